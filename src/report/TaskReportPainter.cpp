#include "report/TaskReportPainter.h"

#include "report/TaskReportLayout.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <algorithm>

namespace ql {

namespace {

constexpr double LineWidthMm = 0.2;

QRectF toDots(const QRectF &mm, double dotsPerMm)
{
    return QRectF(mm.x() * dotsPerMm, mm.y() * dotsPerMm, mm.width() * dotsPerMm, mm.height() * dotsPerMm);
}

// Paints the pages `first` to `last` (0-based), a new page before each but the first.
template <class Device> void paintPages(Device &device, const TaskReport &report, int first, int last)
{
    QPainter painter(&device);
    for (int i = first; i <= last; ++i) {
        if (i > first)
            device.newPage();
        paintReportPage(painter, report.pages.at(size_t(i)));
    }
}

} // namespace

void paintReportPage(QPainter &painter, const ReportPage &page)
{
    const double dotsPerMm = painter.device()->logicalDpiX() / 25.4;
    painter.save();
    painter.setRenderHint(QPainter::TextAntialiasing);
    if (page.scale != 1) {
        const QPointF origin = page.origin * dotsPerMm;
        painter.translate(origin);
        painter.scale(page.scale, page.scale);
        painter.translate(-origin);
    }
    for (const ReportItem &item : page.items) {
        const QRectF rect = toDots(item.rect, dotsPerMm);
        if (item.kind == ReportItem::Kind::Line) {
            painter.setPen(QPen(Qt::black, LineWidthMm * dotsPerMm));
            const double middle = rect.center().y();
            painter.drawLine(QPointF(rect.left(), middle), QPointF(rect.right(), middle));
            continue;
        }
        if (item.text.isEmpty() || rect.width() <= 0)
            continue;
        painter.fillRect(rect, Qt::white);
        painter.setFont(item.font);
        painter.setPen(Qt::black);
        // On the band's baseline, not at the top of the box: a line whose characters come partly
        // from another font (CJK in a Latin text) would otherwise sit as much lower as that font
        // rises higher. The layout has already cut the text to what its box shows.
        painter.drawText(QPointF(rect.left(), item.baseline * dotsPerMm), item.text);
    }
    painter.restore();
}

void setUpReportPrinter(QPrinter &printer, const QPageLayout &pageLayout, const QString &title)
{
    printer.setPageLayout(pageLayout);
    printer.setFullPage(true);
    printer.setDocName(title);
    printer.setCopyCount(1);
    printer.setDuplex(QPrinter::DuplexNone);
    printer.setPaperSource(QPrinter::Auto);
    printer.setPrintRange(QPrinter::AllPages);
}

void setUpReportPrinter(QPrinter &printer, const TaskReport &report)
{
    setUpReportPrinter(printer, report.pageLayout, report.title);
}

namespace {

// The 0-based pages to print of `count`: all, or the range chosen in a print dialog.
std::pair<int, int> pagesToPrint(const QPrinter &printer, int count)
{
    int first = 0;
    int last = count - 1;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = std::min(printer.fromPage(), count) - 1;
        last = std::clamp(printer.toPage() > 0 ? printer.toPage() : count, first + 1, count) - 1;
    }
    return { first, last };
}

} // namespace

void printTaskReport(QPrinter &printer, const TaskReport &report)
{
    const auto [first, last] = pagesToPrint(printer, int(report.pages.size()));
    paintPages(printer, report, first, last);
}

bool printTaskReport(QPrinter &printer, const TaskReportPages &pages, const PrintProgress &progress)
{
    const auto [first, last] = pagesToPrint(printer, pages.pageCount());
    QPainter painter(&printer);
    if (!painter.isActive())
        return false;
    for (int i = first; i <= last; ++i) {
        if (i > first)
            printer.newPage();
        paintReportPage(painter, pages.page(i));
        if (progress && !progress(i - first + 1, last - first + 1)) {
            printer.abort();
            return false;
        }
    }
    return true;
}

namespace {

// A PDF document of `count` pages of `pageLayout`, page `i` given by `page(i)`.
template <class PageAt>
QByteArray pdfOf(const QString &title, const QPageLayout &pageLayout, int count, const PageAt &page)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("Quillon"));
        writer.setResolution(1200);
        // The layout places every item from the paper's corner, margins included.
        QPageLayout paper = pageLayout;
        paper.setMinimumMargins(QMarginsF());
        paper.setMargins(QMarginsF());
        writer.setPageLayout(paper);
        QPainter painter(&writer);
        for (int i = 0; i < count; ++i) {
            if (i > 0)
                writer.newPage();
            paintReportPage(painter, page(i));
        }
    }
    return bytes;
}

} // namespace

QByteArray taskReportPdf(const TaskReport &report)
{
    return pdfOf(report.title, report.pageLayout, int(report.pages.size()),
        [&report](int i) -> const ReportPage & { return report.pages.at(size_t(i)); });
}

QByteArray taskReportPdf(const TaskReportPages &pages)
{
    return pdfOf(
        pages.title(), pages.pageLayout(), pages.pageCount(), [&pages](int i) { return pages.page(i); });
}

} // namespace ql
