#include "report/ReportPreview.h"

#include "platform/Error.h"
#include "platform/gui/ErrorBox.h"
#include "platform/gui/ShowModal.h"
#include "report/TaskReportPainter.h"

#include <QAction>
#include <QEvent>
#include <QLabel>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace ql {

namespace {

// Grey around the page, in pixels.
constexpr int Pad = 16;
// The laid-out pages and the drawn pages kept.
constexpr size_t LaidOutKept = 8;
constexpr size_t DrawnKept = 3;
// Zoom limits: the screen pixels of a report millimetre.
constexpr double MinZoom = 0.5;
constexpr double MaxZoom = 20;
constexpr double ZoomStep = 1.25;
// The resolution the page images are drawn at before the zoom scales them: the screen's usual.
constexpr int ImageDotsPerMetre = 3780; // 96 dots per inch

} // namespace

// Shows the preview's current page, drawn at the preview's zoom when it first comes into view.
class ReportPageView final : public QWidget
{
public:
    explicit ReportPageView(ReportPreview &preview)
        : m_preview(preview)
    {
        setObjectName(QStringLiteral("PageView"));
        setAccessibleName(QStringLiteral("Report page"));
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    QSize pageSize() const
    {
        const QSizeF mm = m_preview.paperMillimetres();
        return QSize(qRound(mm.width() * m_preview.m_zoom), qRound(mm.height() * m_preview.m_zoom));
    }

    void forgetDrawings() { m_drawn.clear(); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::Dark));
        const QSize size = pageSize();
        const QRect page(QPoint(std::max(Pad, (width() - size.width()) / 2), Pad), size);
        painter.fillRect(page.translated(3, 3), palette().color(QPalette::Shadow));
        painter.drawImage(page.topLeft(), drawing(m_preview.m_current, size));
        emit m_preview.pagePainted(m_preview.m_current);
    }

private:
    struct Drawn
    {
        int index;
        QSize size;
        QImage image;
    };

    const QImage &drawing(int index, const QSize &size)
    {
        const auto found = std::find_if(m_drawn.begin(), m_drawn.end(),
            [&](const Drawn &d) { return d.index == index && d.size == size; });
        if (found != m_drawn.end()) {
            m_drawn.splice(m_drawn.begin(), m_drawn, found);
            return m_drawn.front().image;
        }
        const qreal ratio = devicePixelRatioF();
        QImage image(size * ratio, QImage::Format_RGB32);
        image.setDevicePixelRatio(ratio);
        image.setDotsPerMeterX(ImageDotsPerMetre);
        image.setDotsPerMeterY(ImageDotsPerMetre);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            const double scale = m_preview.m_zoom / (image.logicalDpiX() / 25.4);
            painter.scale(scale, scale);
            paintReportPage(painter, m_preview.laidOutPage(index));
        }
        m_drawn.push_front({ index, size, std::move(image) });
        if (m_drawn.size() > DrawnKept)
            m_drawn.pop_back();
        return m_drawn.front().image;
    }

    ReportPreview &m_preview;
    std::list<Drawn> m_drawn; // most recent first
};

ReportPreview::ReportPreview(
    const ClientTable &table, const QString &heading, QPrinter &printer, QWidget *parent)
    : QDialog(parent)
    , m_table(table)
    , m_heading(heading)
    , m_printer(printer)
{
    setObjectName(QStringLiteral("QRPreview"));
    m_pages.emplace(m_table, m_heading);
    setWindowTitle(m_pages->title());
    setUpReportPrinter(m_printer, m_pages->pageLayout(), m_pages->title());

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_view = new ReportPageView(*this);
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("PageScroller"));
    m_scroll->setAccessibleName(QStringLiteral("Pages"));
    m_scroll->setWidget(m_view);
    m_scroll->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    // A scroll bar that came and went would change the width a fitted page is sized for, which
    // would make it come and go again.
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_scroll->setFocusPolicy(Qt::StrongFocus);
    m_scroll->viewport()->installEventFilter(this);
    buildToolBar();
    layout->addWidget(m_scroll, 1);
    m_scroll->setFocus();
    resize(1000, 720);
    showPage();
}

ReportPreview::~ReportPreview() = default;

void ReportPreview::buildToolBar()
{
    auto *bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("PreviewToolBar"));
    bar->setAccessibleName(QStringLiteral("Preview"));
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    static_cast<QVBoxLayout *>(layout())->addWidget(bar);

    const auto action
        = [this, bar](const char *name, const QString &text, const QKeySequence &key, auto slot) {
              auto *a = new QAction(text, this);
              a->setObjectName(QString::fromLatin1(name));
              if (!key.isEmpty()) {
                  a->setShortcut(key);
                  a->setToolTip(QStringLiteral("%1 (%2)").arg(text, key.toString(QKeySequence::NativeText)));
              }
              a->setShortcutContext(Qt::WindowShortcut);
              connect(a, &QAction::triggered, this, [slot] { runGuarded(slot); });
              bar->addAction(a);
              return a;
          };

    m_first = action("actFirstPage", QStringLiteral("First Page"), QKeySequence(Qt::Key_Home),
        [this] { setCurrentPage(1); });
    m_previous = action("actPreviousPage", QStringLiteral("Previous Page"), QKeySequence(Qt::Key_PageUp),
        [this] { setCurrentPage(currentPage() - 1); });

    m_pageNumber = new QSpinBox(bar);
    m_pageNumber->setObjectName(QStringLiteral("PageNumber"));
    m_pageNumber->setAccessibleName(QStringLiteral("Page"));
    m_pageNumber->setKeyboardTracking(false);
    m_pageNumber->setMinimum(1);
    bar->addWidget(m_pageNumber);
    connect(m_pageNumber, &QSpinBox::valueChanged, this, [this](int page) { setCurrentPage(page); });
    m_pageCount = new QLabel(bar);
    m_pageCount->setObjectName(QStringLiteral("PageCount"));
    m_pageCount->setAccessibleName(QStringLiteral("Page count"));
    m_pageCount->setContentsMargins(6, 0, 6, 0);
    bar->addWidget(m_pageCount);

    m_next = action("actNextPage", QStringLiteral("Next Page"), QKeySequence(Qt::Key_PageDown),
        [this] { setCurrentPage(currentPage() + 1); });
    m_last = action("actLastPage", QStringLiteral("Last Page"), QKeySequence(Qt::Key_End),
        [this] { setCurrentPage(pageCount()); });
    bar->addSeparator();
    action("actFitWidth", QStringLiteral("Fit Width"), QKeySequence(), [this] { setFit(Fit::Width); });
    action("actFitPage", QStringLiteral("Fit Page"), QKeySequence(), [this] { setFit(Fit::Page); });
    action("actZoomOut", QStringLiteral("Zoom Out"), QKeySequence(QKeySequence::ZoomOut),
        [this] { zoomBy(1 / ZoomStep); });
    action("actZoomIn", QStringLiteral("Zoom In"), QKeySequence(QKeySequence::ZoomIn),
        [this] { zoomBy(ZoomStep); });
    bar->addSeparator();
    action("actPageSetup", QStringLiteral("Page Setup..."), QKeySequence(), [this] { pageSetup(); });
    action(
        "actPrint", QStringLiteral("Print..."), QKeySequence(QKeySequence::Print), [this] { printReport(); });
    bar->addSeparator();
    action("actClose", QStringLiteral("Close"), QKeySequence(), [this] { reject(); });
    // The button that shows the actions a narrow window has no room for.
    for (QToolButton *button : bar->findChildren<QToolButton *>(QStringLiteral("qt_toolbar_ext_button")))
        button->setAccessibleName(QStringLiteral("More Commands"));
}

void ReportPreview::setCurrentPage(int page)
{
    m_current = std::clamp(page, 1, pageCount()) - 1;
    showPage();
}

// Shows the current page: the navigation follows, and the page is drawn when it is painted.
void ReportPreview::showPage()
{
    const int count = pageCount();
    const QSignalBlocker blocker(m_pageNumber);
    m_pageNumber->setMaximum(count);
    m_pageNumber->setValue(currentPage());
    m_pageCount->setText(QStringLiteral("of %1").arg(count));
    m_first->setEnabled(m_current > 0);
    m_previous->setEnabled(m_current > 0);
    m_next->setEnabled(m_current < count - 1);
    m_last->setEnabled(m_current < count - 1);
    m_view->setAccessibleDescription(QStringLiteral("Page %1 of %2").arg(currentPage()).arg(count));
    applyZoom();
    m_scroll->verticalScrollBar()->setValue(0);
    m_view->update();
}

const ReportPage &ReportPreview::laidOutPage(int index)
{
    const auto found = std::find_if(
        m_laidOut.begin(), m_laidOut.end(), [index](const auto &kept) { return kept.first == index; });
    if (found != m_laidOut.end()) {
        m_laidOut.splice(m_laidOut.begin(), m_laidOut, found);
    } else {
        m_laidOut.emplace_front(index, m_pages->page(index));
        if (m_laidOut.size() > LaidOutKept)
            m_laidOut.pop_back();
    }
    return m_laidOut.front().second;
}

QSizeF ReportPreview::paperMillimetres() const
{
    return m_pages->pageLayout().fullRect(QPageLayout::Millimeter).size();
}

void ReportPreview::setFit(Fit fit)
{
    m_fit = fit;
    applyZoom();
}

void ReportPreview::zoomBy(double factor)
{
    m_fit = Fit::None;
    m_zoom = std::clamp(m_zoom * factor, MinZoom, MaxZoom);
    applyZoom();
}

// Sizes the page view for the zoom, working the zoom out first where the page fits the window.
void ReportPreview::applyZoom()
{
    const QSizeF paper = paperMillimetres();
    const QSize room = m_scroll->viewport()->size() - QSize(2 * Pad, 2 * Pad);
    if (m_fit == Fit::Width)
        m_zoom = room.width() / paper.width();
    else if (m_fit == Fit::Page)
        m_zoom = std::min(room.width() / paper.width(), room.height() / paper.height());
    m_zoom = std::clamp(m_zoom, MinZoom, MaxZoom);
    const QSize page = m_view->pageSize();
    m_view->resize(std::max(page.width() + 2 * Pad, m_scroll->viewport()->width()), page.height() + 2 * Pad);
    m_view->update();
}

bool ReportPreview::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_scroll->viewport() && event->type() == QEvent::Resize && m_fit != Fit::None)
        applyZoom();
    return QDialog::eventFilter(watched, event);
}

// After a dialog that may have changed the printer's page: the report follows it.
void ReportPreview::followPrinterPage()
{
    const QPageLayout page = m_printer.pageLayout();
    if (page.isEquivalentTo(m_pages->pageLayout()))
        return;
    m_pages.emplace(m_table, m_heading, page);
    m_laidOut.clear();
    m_view->forgetDrawings();
    m_current = std::min(m_current, pageCount() - 1);
    showPage();
}

void ReportPreview::pageSetup()
{
    QPageSetupDialog dialog(&m_printer, this);
    dialog.setWindowTitle(QStringLiteral("Page Setup"));
    if (showModal(dialog) == QDialog::Accepted)
        followPrinterPage();
}

bool ReportPreview::printReport()
{
    QPrintDialog dialog(&m_printer, this);
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintPageRange
        | QAbstractPrintDialog::PrintShowPageSize);
    dialog.setMinMax(1, pageCount());
    if (showModal(dialog) != QDialog::Accepted)
        return false;
    followPrinterPage();

    // Printing a long list takes a while: the progress window keeps the program painting and can
    // stop the job.
    QProgressDialog progress(this);
    progress.setObjectName(QStringLiteral("PrintProgress"));
    progress.setWindowTitle(m_pages->title());
    progress.setLabelText(QStringLiteral("Printing..."));
    progress.setCancelButtonText(QStringLiteral("Cancel"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    const bool printed = printTaskReport(m_printer, *m_pages, [&progress](int done, int total) {
        progress.setMaximum(total);
        progress.setLabelText(QStringLiteral("Printing page %1 of %2").arg(done).arg(total));
        progress.setValue(done);
        return !progress.wasCanceled();
    });
    if (!printed && !progress.wasCanceled())
        throw Error(QStringLiteral("The report could not be printed: the printer could not be opened"));
    return printed;
}

} // namespace ql
