// The report's print preview: its first page at once, page navigation by keyboard, printing the
// chosen pages a page at a time, and the page setup that the report follows.
#include "report/ReportPreview.h"
#include "ReportFixture.h"
#include "gui/Printers.h"
#include "platform/gui/ShowModal.h"
#include "report/TaskReportPainter.h"
#include "report/uQRptTasks.h"

#include <QAccessible>
#include <QAction>
#include <QLabel>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QScrollArea>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

using namespace reportfixture;
using ql::ReportPreview;

// 200 tasks: pages of 41, 44, 44, 44 and 27 rows on A4 landscape.
constexpr int Tasks = 200;

// Shows the program's modal dialogs through `drive` for as long as it lives.
class ModalDialogs
{
public:
    explicit ModalDialogs(ql::ModalHook drive)
        : m_previous(ql::setModalHook(std::move(drive)))
    {
    }
    ~ModalDialogs() { ql::setModalHook(m_previous); }

private:
    ql::ModalHook m_previous;
};

// A print dialog answered with "print to this PDF file", pages `from` to `to` (0: all).
ql::ModalHook printTo(const QString &pdf, int from = 0, int to = 0)
{
    return [=](QDialog &dialog) {
        auto *print = qobject_cast<QPrintDialog *>(&dialog);
        EXPECT_NE(print, nullptr);
        if (!print)
            return int(QDialog::Rejected);
        EXPECT_EQ(print->minPage(), 1);
        QPrinter &printer = *print->printer();
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        if (from > 0) {
            printer.setPrintRange(QPrinter::PageRange);
            printer.setFromTo(from, to);
        }
        return int(QDialog::Accepted);
    };
}

int pdfPages(const QString &pdf)
{
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)"))
                                          .match(poppler(QStringLiteral("pdfinfo"), { pdf }));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// The Print command opens the preview on the first page of the tasks the grid shows; the keys move
// through the pages, each drawn when it shows; Esc closes it, leaving the cursor on the last task.
TEST(ReportPreview, OpensOnTheFirstPageAndMovesByKeyboard)
{
    const auto table = listOf(Tasks);
    table->MoveTo(7);
    ql::TQRptTasks report;
    QWidget parent;
    int shown = 0;
    const ModalDialogs dialogs([&](QDialog &dialog) {
        ++shown;
        auto *preview = qobject_cast<ReportPreview *>(&dialog);
        EXPECT_NE(preview, nullptr);
        if (!preview)
            return int(QDialog::Rejected);
        EXPECT_EQ(preview->windowTitle(), QStringLiteral("Tasks"));
        EXPECT_EQ(preview->parentWidget(), &parent);
        EXPECT_EQ(preview->pageCount(), 5);
        EXPECT_EQ(preview->currentPage(), 1);
        EXPECT_EQ(preview->pages().heading(), QStringLiteral("Plan *"));

        QSignalSpy painted(preview, &ReportPreview::pagePainted);
        preview->show();
        preview->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(preview));
        (void)preview->grab();
        EXPECT_FALSE(painted.isEmpty());
        EXPECT_EQ(painted.last().at(0).toInt(), 0);

        auto *number = preview->findChild<QSpinBox *>(QStringLiteral("PageNumber"));
        auto *count = preview->findChild<QLabel *>(QStringLiteral("PageCount"));
        EXPECT_TRUE(number && count);
        if (!number || !count)
            return int(QDialog::Rejected);
        EXPECT_EQ(count->text(), QStringLiteral("of 5"));
        struct Step
        {
            Qt::Key key;
            int page;
        };
        const Step steps[] = { { Qt::Key_PageDown, 2 }, { Qt::Key_End, 5 }, { Qt::Key_PageDown, 5 },
            { Qt::Key_PageUp, 4 }, { Qt::Key_Home, 1 }, { Qt::Key_PageUp, 1 } };
        for (const Step &step : steps) {
            QTest::keyClick(preview->focusWidget(), step.key);
            EXPECT_EQ(preview->currentPage(), step.page) << QKeySequence(step.key).toString().toStdString();
            EXPECT_EQ(number->value(), step.page);
        }
        // Typing a page number goes there; the page is drawn when it shows.
        number->setValue(3);
        EXPECT_EQ(preview->currentPage(), 3);
        (void)preview->grab();
        EXPECT_EQ(painted.last().at(0).toInt(), 2);

        // Fit Page shows the whole page; Zoom In makes it larger.
        const auto trigger = [&](const char *name) {
            auto *action = preview->findChild<QAction *>(QString::fromLatin1(name));
            EXPECT_NE(action, nullptr) << name;
            if (action)
                action->trigger();
        };
        auto *scroller = preview->findChild<QScrollArea *>(QStringLiteral("PageScroller"));
        EXPECT_NE(scroller, nullptr);
        trigger("actFitPage");
        const int fittedHeight = scroller ? scroller->widget()->height() : 0;
        if (scroller) {
            EXPECT_LE(fittedHeight, scroller->viewport()->height());
        }
        const double fitted = preview->zoom();
        trigger("actZoomIn");
        EXPECT_NEAR(preview->zoom(), fitted * 1.25, 1e-9);
        if (scroller) {
            EXPECT_GT(scroller->widget()->height(), fittedHeight);
        }

        // Every control can be told apart by a screen reader.
        for (QToolButton *button : preview->findChildren<QToolButton *>()) {
            if (button->isVisible()) {
                EXPECT_FALSE(
                    QAccessible::queryAccessibleInterface(button)->text(QAccessible::Name).isEmpty());
            }
        }
        EXPECT_EQ(
            QAccessible::queryAccessibleInterface(number)->text(QAccessible::Name), QStringLiteral("Page"));

        QTest::keyClick(preview->focusWidget(), Qt::Key_Escape);
        EXPECT_FALSE(preview->isVisible());
        return preview->result();
    });
    report.Preview(*table, QStringLiteral("Plan *"), &parent);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(table->AsText(QStringLiteral("Task")), QStringLiteral("Task 200"));
}

// Print prints the pages the printer dialog chose, each laid out as it is printed.
TEST(ReportPreview, Print_PrintsTheChosenPages)
{
    const auto table = listOf(Tasks);
    QPrinter printer(QPrinter::HighResolution);
    ReportPreview preview(*table, QStringLiteral("Plan"), printer);
    EXPECT_EQ(printer.docName(), QStringLiteral("Tasks"));
    EXPECT_TRUE(printer.fullPage());
    EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Landscape);
    EXPECT_EQ(printer.pageLayout().pageSize().id(), QPageSize::A4);

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString pdf = dir.filePath(QStringLiteral("pages.pdf"));
    {
        const ModalDialogs dialogs(printTo(pdf, 2, 3));
        EXPECT_TRUE(preview.printReport());
    }
    EXPECT_EQ(pdfPages(pdf), 2);
    const QStringList pages
        = poppler(QStringLiteral("pdftotext"), { QStringLiteral("-layout"), pdf, QStringLiteral("-") })
              .split(u'\f');
    ASSERT_GE(pages.size(), 2);
    EXPECT_TRUE(pages[0].contains(QRegularExpression(QStringLiteral("^ *42 +Task 42 "))));
    EXPECT_FALSE(pages[0].contains(QStringLiteral("Plan")));
    EXPECT_TRUE(pages[1].contains(QRegularExpression(QStringLiteral("\\n *129 +Task 129 "))));
    EXPECT_FALSE(pages[1].contains(QStringLiteral("Task 130")));

    // The printer dialog cancelled prints nothing.
    const QString none = dir.filePath(QStringLiteral("none.pdf"));
    const ModalDialogs dialogs([&](QDialog &) { return int(QDialog::Rejected); });
    EXPECT_FALSE(preview.printReport());
    EXPECT_FALSE(QFile::exists(none));
}

// Printing stops when the progress window is cancelled: no page after it is laid out or printed.
TEST(ReportPreview, Printing_StopsWhenCancelled)
{
    const auto table = listOf(Tasks);
    const ql::TaskReportPages pages(*table, QStringLiteral("Plan"));
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("stopped.pdf")));
    ql::setUpReportPrinter(printer, pages.pageLayout(), pages.title());
    std::vector<std::pair<int, int>> told;
    EXPECT_FALSE(ql::printTaskReport(printer, pages, [&](int printed, int total) {
        told.emplace_back(printed, total);
        return printed < 2;
    }));
    EXPECT_EQ(told, (std::vector<std::pair<int, int>> { { 1, 5 }, { 2, 5 } }));
}

// Portrait chosen in the page setup: the report follows it, everything drawn smaller so that every
// column stays on the paper, and more rows to a page.
TEST(ReportPreview, PageSetup_TheReportFollowsThePageChosen)
{
    const auto table = listOf(Tasks);
    QPrinter printer(QPrinter::HighResolution);
    ReportPreview preview(*table, QStringLiteral("Plan"), printer);
    preview.setCurrentPage(5);

    // Nothing changed: nothing to follow.
    {
        const ModalDialogs dialogs([](QDialog &dialog) {
            EXPECT_NE(qobject_cast<QPageSetupDialog *>(&dialog), nullptr);
            dialog.accept();
            return dialog.result();
        });
        preview.pageSetup();
    }
    EXPECT_EQ(preview.pageCount(), 5);
    EXPECT_EQ(preview.pages().scale(), 1);
    EXPECT_EQ(preview.pages().pageLayout().margins(QPageLayout::Millimeter), QMarginsF(5, 5, 5, 5));

    {
        const ModalDialogs dialogs([](QDialog &dialog) {
            auto *setup = qobject_cast<QPageSetupDialog *>(&dialog);
            EXPECT_NE(setup, nullptr);
            if (setup)
                setup->printer()->setPageOrientation(QPageLayout::Portrait);
            return int(QDialog::Accepted);
        });
        preview.pageSetup();
    }
    EXPECT_EQ(preview.pages().pageLayout().orientation(), QPageLayout::Portrait);
    EXPECT_EQ(preview.pageCount(), 3); // 88 + 91 + 21 rows
    EXPECT_EQ(preview.currentPage(), 3);
    EXPECT_NEAR(preview.pages().scale(), 200.0 / 287, 1e-9);

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString pdf = dir.filePath(QStringLiteral("portrait.pdf"));
    {
        const ModalDialogs dialogs(printTo(pdf));
        EXPECT_TRUE(preview.printReport());
    }
    const QString info = poppler(QStringLiteral("pdfinfo"), { pdf });
    EXPECT_TRUE(info.contains(
        QRegularExpression(QStringLiteral("Page size:\\s+595(\\.\\d+)? x 84[12](\\.\\d+)? pts"))))
        << info.toStdString();
    EXPECT_EQ(pdfPages(pdf), 3);
    // Every word within the margins: 5 mm is 14.17 points.
    const QString boxes
        = poppler(QStringLiteral("pdftotext"), { QStringLiteral("-bbox"), pdf, QStringLiteral("-") });
    const QRegularExpression word(
        QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"[\\d.]+\" xMax=\"([\\d.]+)\"[^>]*>([^<]*)</word>"));
    double leftmost = 1e9;
    double rightmost = 0;
    bool comments = false;
    for (auto m = word.globalMatch(boxes); m.hasNext();) {
        const QRegularExpressionMatch w = m.next();
        leftmost = std::min(leftmost, w.captured(1).toDouble());
        rightmost = std::max(rightmost, w.captured(2).toDouble());
        comments = comments || w.captured(3) == QLatin1String("Comments");
    }
    EXPECT_TRUE(comments);
    EXPECT_GE(leftmost, 14.17 - 0.1);
    EXPECT_LE(rightmost, 595.28 - 14.17);
    EXPECT_TRUE(poppler(QStringLiteral("pdftotext"), { pdf, QStringLiteral("-") })
                    .contains(QStringLiteral("Task 200")));
}

} // namespace
