// The task report: its pages and items in millimetres, what it prints of the list's view, how it
// leaves the list's cursor, its preview, and the PDF it paints.
#include "ReportFixture.h"
#include "gui/Printers.h"
#include "report/TaskReportLayout.h"
#include "report/TaskReportPainter.h"
#include "report/uQRptTasks.h"
#include "storage/ClientTable.h"
#include "storage/TaskSchema.h"

#include <QFile>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

namespace {

using ql::ClientTable;
using ql::ReportItem;
using namespace reportfixture;
using ql::ReportPage;
using ql::TaskReport;

constexpr double Near = 0.005; // millimetres

std::vector<const ReportItem *> itemsNamed(const ReportPage &page, const QString &name)
{
    std::vector<const ReportItem *> found;
    for (const ReportItem &item : page.items) {
        if (item.name == name)
            found.push_back(&item);
    }
    return found;
}

const ReportItem &only(const ReportPage &page, const QString &name)
{
    static const ReportItem none;
    const auto found = itemsNamed(page, name);
    EXPECT_EQ(found.size(), 1u) << name.toStdString();
    return found.empty() ? none : *found.front();
}

// The values of one data column over the rows of every page, in print order.
QStringList column(const TaskReport &report, const char *dataName)
{
    QStringList texts;
    for (const ReportPage &page : report.pages) {
        for (const ReportItem *item : itemsNamed(page, QString::fromLatin1(dataName)))
            texts << item->text;
    }
    return texts;
}

double widthOf(const QString &text)
{
    // The same measure as the layout's: 1200 dots per inch.
    QImage device(1, 1, QImage::Format_Mono);
    device.setDotsPerMeterX(qRound(1200 / 0.0254));
    device.setDotsPerMeterY(qRound(1200 / 0.0254));
    return QFontMetricsF(ql::taskReportFont(), &device).horizontalAdvance(text) * 25.4 / device.logicalDpiX();
}

// The report font's ascent in millimetres, measured as widthOf measures.
double ascent()
{
    QImage device(1, 1, QImage::Format_Mono);
    device.setDotsPerMeterX(qRound(1200 / 0.0254));
    device.setDotsPerMeterY(qRound(1200 / 0.0254));
    return QFontMetricsF(ql::taskReportFont(), &device).ascent() * 25.4 / device.logicalDpiX();
}

struct Caption
{
    const char *name;
    const char *text;
    double left;
    double top;
};

// The title band's captions, from the paper's corner (5 mm margins).
const Caption Captions[] = {
    { "QRLabel2", "ID", 6.85, 10.03 },
    { "QRLabel3", "Task", 13.47, 10.03 },
    { "QRLabel4", "Status", 70.62, 9.23 },
    { "QRLabel5", "Difficulty", 87.55, 9.23 },
    { "QRLabel6", "Priority", 102.37, 9.23 },
    { "QRLabel7", "%", 119.30, 9.23 },
    { "QRLabel8", "Category", 127.77, 9.23 },
    { "QRLabel9", "Date Created", 148.93, 9.23 },
    { "QRLabel10", "Last Actioned", 170.10, 9.23 },
    { "QRLabel11", "Completed Date", 191.27, 9.23 },
    { "QRLabel12", "Start Date", 216.67, 9.23 },
    { "QRLabel13", "Due Date", 233.60, 9.23 },
    { "QRLabel14", "Comments", 250.53, 9.23 },
};

// Expects the title band of the first page: heading, line and captions where they belong.
void expectTitleBand(const ReportPage &page, const QString &heading)
{
    const ReportItem &label = only(page, QStringLiteral("QRLabel1"));
    EXPECT_EQ(label.text, heading);
    EXPECT_NEAR(label.rect.left(), 5.0, Near);
    EXPECT_NEAR(label.rect.top(), 5.0, Near);
    EXPECT_NEAR(label.rect.width(), widthOf(heading), Near);

    const ReportItem &shape = only(page, QStringLiteral("QRShape1"));
    EXPECT_EQ(shape.kind, ReportItem::Kind::Line);
    EXPECT_NEAR(shape.rect.left(), 5.0, Near);
    EXPECT_NEAR(shape.rect.width(), 288.13, Near);
    EXPECT_NEAR(shape.rect.center().y(), 5.0 + 9.79, 0.01);

    for (const Caption &c : Captions) {
        SCOPED_TRACE(c.name);
        const ReportItem &item = only(page, QString::fromLatin1(c.name));
        EXPECT_EQ(item.kind, ReportItem::Kind::Text);
        EXPECT_EQ(item.text, QString::fromLatin1(c.text));
        EXPECT_NEAR(item.rect.left(), c.left, Near);
        EXPECT_NEAR(item.rect.top(), c.top, Near);
    }
}

// The data texts of one detail band: left edge and fixed width (0: as wide as the text).
struct DataColumn
{
    const char *name;
    double left;
    double fixedWidth;
};

const DataColumn DataColumns[] = {
    { "QRDBText2", 7.12, 0 },
    { "QRDBText1", 13.47, 55.30 },
    { "QRDBText3", 70.62, 0 },
    { "QRDBText4", 87.55, 0 },
    { "QRDBText5", 102.37, 0 },
    { "QRDBText6", 119.30, 6.61 },
    { "QRDBText7", 127.77, 19.31 },
    { "QRDBText8", 148.93, 0 },
    { "QRDBText9", 170.10, 0 },
    { "QRDBText10", 191.27, 0 },
    { "QRDBText11", 216.67, 0 },
    { "QRDBText12", 233.60, 0 },
    { "QRDBText13", 250.53, 40.48 },
};

TEST(TaskReportLayout, Font_IsArialNinePointOrItsMetricTwin)
{
    const QFont font = ql::taskReportFont();
    EXPECT_DOUBLE_EQ(font.pointSizeF(), 9.0);
    const QString family = QFontInfo(font).family();
    EXPECT_TRUE(family == QLatin1String("Arial") || family == QLatin1String("Liberation Sans"))
        << family.toStdString();
}

TEST(TaskReportLayout, EmptyList_PrintsOnePageWithTheTitleBandAlone)
{
    const auto table = newTaskTable();
    const TaskReport report = ql::layOutTaskReport(*table, QStringLiteral("New *"));

    EXPECT_EQ(report.title, QStringLiteral("Tasks"));
    EXPECT_EQ(report.pageLayout.pageSize().id(), QPageSize::A4);
    EXPECT_EQ(report.pageLayout.orientation(), QPageLayout::Landscape);
    EXPECT_EQ(report.pageLayout.fullRect(QPageLayout::Millimeter).size(), QSizeF(297, 210));
    EXPECT_EQ(report.pageLayout.margins(QPageLayout::Millimeter), QMarginsF(5, 5, 5, 5));

    ASSERT_EQ(report.pages.size(), 1u);
    EXPECT_EQ(report.pages[0].items.size(), 2u + std::size(Captions));
    expectTitleBand(report.pages[0], QStringLiteral("New *"));
    for (const ReportItem &item : report.pages[0].items) {
        if (item.kind == ReportItem::Kind::Text) {
            EXPECT_EQ(item.font, ql::taskReportFont()) << item.name.toStdString();
        }
    }
}

TEST(TaskReportLayout, Rows_FollowTheViewsOrderAndFilterWithTheGridsTexts)
{
    const auto table = newTaskTable();
    addTask(*table, { QStringLiteral("Write report"), QStringLiteral("High") });
    addTask(*table, { QStringLiteral("Buy milk"), QStringLiteral("Low") });
    addTask(*table, { QStringLiteral("Call Bob"), QStringLiteral("High"), QStringLiteral("before noon") });
    addTask(*table, { QStringLiteral("Archive"), QStringLiteral("Normal") });
    table->SetIndexName(QStringLiteral("cdsTasksIndexTaskName"));
    table->SetFilter(QStringLiteral("Priority = 'High'"));
    table->SetFiltered(true);

    const TaskReport report = ql::layOutTaskReport(*table, QStringLiteral("Plan"));
    ASSERT_EQ(report.pages.size(), 1u);
    expectTitleBand(report.pages[0], QStringLiteral("Plan"));
    EXPECT_EQ(column(report, "QRDBText1"), QStringList({ "Call Bob", "Write report" }));
    EXPECT_EQ(column(report, "QRDBText2"), QStringList({ "3", "1" }));

    // The second row, field by field: short dates, plain numbers, nothing for an empty field.
    const QStringList texts = { "1", "Write report", "In progress", "Moderate", "High", "50", "Work",
        "3/9/2024", "", "", "", "12/31/2024", "" };
    for (size_t i = 0; i < std::size(DataColumns); ++i) {
        const DataColumn &c = DataColumns[i];
        SCOPED_TRACE(c.name);
        const auto items = itemsNamed(report.pages[0], QString::fromLatin1(c.name));
        ASSERT_EQ(items.size(), 2u);
        EXPECT_NEAR(items[0]->rect.top(), 16.38, Near);
        const ReportItem &item = *items[1];
        EXPECT_EQ(item.text, texts.at(qsizetype(i)));
        EXPECT_NEAR(item.rect.left(), c.left, Near);
        EXPECT_NEAR(item.rect.top(), 16.38 + 4.5, Near);
        // A value that prints nothing has no box to cover another with.
        const double width = item.text.isEmpty() ? 0 : c.fixedWidth > 0 ? c.fixedWidth : widthOf(item.text);
        EXPECT_NEAR(item.rect.width(), width, Near);
        EXPECT_GT(item.rect.height(), 3.0);
        EXPECT_LE(item.rect.height(), 4.5);
        EXPECT_NEAR(item.baseline, 16.38 + 4.5 + ascent(), Near);
    }
}

TEST(TaskReportLayout, LongTexts_FixedColumnsPrintTheirFirstLine)
{
    const QString words = QStringLiteral("Prepare the quarterly budget review with every department head "
                                         "and collect their figures before the board meets");
    const QString oneWord = QString(80, u'W');
    const auto table = newTaskTable();
    addTask(*table, { words, QStringLiteral("Normal"), words });
    addTask(*table, { oneWord });
    addTask(*table, { QStringLiteral("First line\r\nsecond line") });

    const TaskReport report = ql::layOutTaskReport(*table, QStringLiteral("Plan"));
    const QStringList tasks = column(report, "QRDBText1");
    ASSERT_EQ(tasks.size(), 3);

    // Whole words while they fit in 55.30 mm; the next word would not have.
    const QString first = tasks.at(0);
    ASSERT_FALSE(first.isEmpty());
    EXPECT_TRUE(words.startsWith(first + u' ')) << first.toStdString();
    EXPECT_LE(widthOf(first), 55.30);
    const QString nextWord = words.mid(first.size() + 1).section(u' ', 0, 0);
    EXPECT_GT(widthOf(first + u' ' + nextWord), 55.30);
    // The comment is cut at its own width in the same way.
    const QString comment = column(report, "QRDBText13").at(0);
    EXPECT_TRUE(words.startsWith(comment + u' '));
    EXPECT_LT(comment.size(), first.size());

    // A word wider than the column is broken where the column ends.
    EXPECT_TRUE(oneWord.startsWith(tasks.at(1)));
    EXPECT_LT(tasks.at(1).size(), oneWord.size());
    EXPECT_GT(widthOf(tasks.at(1) + u'W'), 55.30);

    // A line break ends the printed text.
    EXPECT_EQ(tasks.at(2), QStringLiteral("First line"));
}

// The texts of one detail band that print something, left to right.
std::vector<const ReportItem *> printedTextsOfRow(const ReportPage &page, double top)
{
    std::vector<const ReportItem *> row;
    for (const ReportItem &item : page.items) {
        if (item.kind == ReportItem::Kind::Text && !item.text.isEmpty()
            && std::abs(item.rect.top() - top) < Near)
            row.push_back(&item);
    }
    std::sort(row.begin(), row.end(), [](auto *a, auto *b) { return a->rect.left() < b->rect.left(); });
    return row;
}

// Every printed value stays readable: no text's box reaches over the next text of its row, and
// none passes the right margin. A value runs on over columns that print nothing; a text running
// into the next printed value is cut where that one begins; a number or date is printed whole and
// the value after it gives way, starting a blank later (a fixed column keeps its right edge).
TEST(TaskReportLayout, RunningValues_AreNeverDrawnOverByTheNextColumn)
{
    struct Expect
    {
        const char *name;
        QString text;
        double left; // < 0: a blank after the end of the value expected before it
        double right = 0; // > 0: where the box ends
    };
    struct Case
    {
        const char *what;
        int id; // the task's number
        QString status;
        QString difficulty;
        QString priority;
        int progress;
        std::vector<Expect> expected;
    };
    const QString waiting = QStringLiteral("Waiting on supplier");
    const Case cases[] = {
        { "a long Status before the Difficulty", 3, waiting, {}, {}, 50,
            { { "QRDBText3", QStringLiteral("Waiting on"), 70.62 },
                { "QRDBText4", QStringLiteral("Moderate"), 87.55 } } },
        { "a long Status over an empty Difficulty", 4, waiting, QStringLiteral(""), {}, 50,
            { { "QRDBText3", waiting, 70.62 }, { "QRDBText4", QString(), 87.55 },
                { "QRDBText5", QStringLiteral("Normal"), 102.37 } } },
        { "a long Priority before the % column", 5, {}, {}, QStringLiteral("When there is time"), 50,
            { { "QRDBText5", QStringLiteral("When there"), 102.37 },
                { "QRDBText6", QStringLiteral("50"), 119.30 } } },
        { "a percentage wider than its column", 6, {}, {}, {}, 12345,
            { { "QRDBText6", QStringLiteral("12345"), 119.30 },
                { "QRDBText7", QStringLiteral("Work"), -1, 5 + 122.77 + 19.31 } } },
        { "a four-digit ID before the Task", 1274, {}, {}, {}, 50,
            { { "QRDBText2", QStringLiteral("1274"), 7.12 },
                { "QRDBText1", QStringLiteral("Task 1274"), -1, 5 + 8.47 + 55.30 } } },
    };
    auto table = listOf(1274);
    table->SetFilter(QStringLiteral("ID IN (3, 4, 5, 6, 1274)"));
    table->SetFiltered(true);
    for (const Case &c : cases) {
        ASSERT_TRUE(table->LocateRow(QStringLiteral("ID"), ql::Value::integer(c.id)));
        table->EditRow();
        if (!c.status.isNull())
            table->SetText(QStringLiteral("Status"), c.status);
        if (!c.difficulty.isNull())
            table->SetText(QStringLiteral("Difficulty"), c.difficulty);
        if (!c.priority.isNull())
            table->SetText(QStringLiteral("Priority"), c.priority);
        table->SetInteger(QStringLiteral("Progress"), c.progress);
        table->PostRow();
    }
    const QString longHeading(400, u'M');
    const TaskReport report = ql::layOutTaskReport(*table, longHeading);
    ASSERT_EQ(report.pages.size(), 1u);
    const ReportPage &page = report.pages[0];

    for (size_t r = 0; r < std::size(cases); ++r) {
        const Case &c = cases[r];
        SCOPED_TRACE(c.what);
        const double top = 16.38 + 4.5 * double(r);
        const auto row = printedTextsOfRow(page, top);
        ASSERT_FALSE(row.empty());
        EXPECT_EQ(row.front()->text, QString::number(c.id));
        for (size_t i = 0; i + 1 < row.size(); ++i) {
            SCOPED_TRACE(row[i]->name.toStdString());
            EXPECT_LE(row[i]->rect.left() + widthOf(row[i]->text), row[i + 1]->rect.left() + Near);
            EXPECT_LE(row[i]->rect.right(), row[i + 1]->rect.left() + Near);
        }
        EXPECT_LE(row.back()->rect.right(), 292.0 + Near);

        double previousEnd = 0;
        for (const Expect &e : c.expected) {
            SCOPED_TRACE(e.name);
            const auto item = std::find_if(page.items.begin(), page.items.end(), [&](const ReportItem &i) {
                return i.name == QLatin1String(e.name) && std::abs(i.rect.top() - top) < Near;
            });
            ASSERT_NE(item, page.items.end());
            EXPECT_EQ(item->text, e.text);
            if (e.text.isEmpty()) {
                EXPECT_EQ(item->rect.width(), 0);
                continue;
            }
            const double left = e.left >= 0 ? e.left : previousEnd + widthOf(QStringLiteral(" "));
            EXPECT_NEAR(item->rect.left(), left, Near);
            if (e.right > 0) {
                EXPECT_NEAR(item->rect.right(), e.right, Near);
            }
            previousEnd = item->rect.left() + widthOf(item->text);
        }
    }

    // A heading wider than the page is cut at the right margin.
    const ReportItem &heading = only(page, QStringLiteral("QRLabel1"));
    EXPECT_TRUE(longHeading.startsWith(heading.text));
    EXPECT_LE(heading.rect.right(), 292.0 + Near);
    EXPECT_GT(widthOf(heading.text + u'M'), 287.0);
}

TEST(TaskReportLayout, Pages_BreakWhenTheNextRowWouldReachTheBottomMargin)
{
    // The first page holds 41 rows under the title band, later pages 44 from the top margin.
    struct Case
    {
        int rows;
        std::vector<int> perPage;
    };
    const Case cases[] = {
        { 1, { 1 } },
        { 41, { 41 } },
        { 42, { 41, 1 } },
        { 85, { 41, 44 } },
        { 86, { 41, 44, 1 } },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.rows);
        const auto table = listOf(c.rows);
        const TaskReport report = ql::layOutTaskReport(*table, QStringLiteral("Plan"));
        ASSERT_EQ(report.pages.size(), c.perPage.size());
        expectTitleBand(report.pages[0], QStringLiteral("Plan"));
        int number = 0;
        for (size_t p = 0; p < report.pages.size(); ++p) {
            const ReportPage &page = report.pages[p];
            const auto ids = itemsNamed(page, QStringLiteral("QRDBText2"));
            ASSERT_EQ(int(ids.size()), c.perPage[p]);
            EXPECT_EQ(page.items.size(), (p == 0 ? 2 + std::size(Captions) : 0) + ids.size() * 13);
            const double firstTop = p == 0 ? 5.0 + 11.38 : 5.0;
            for (size_t r = 0; r < ids.size(); ++r) {
                EXPECT_EQ(ids[r]->text, QString::number(++number));
                EXPECT_NEAR(ids[r]->rect.top(), firstTop + 4.5 * double(r), Near);
                EXPECT_LE(ids[r]->rect.top() + 4.5, 205.0 + Near);
            }
            // Captions and heading belong to the first page only.
            if (p > 0) {
                for (const ReportItem &item : page.items)
                    EXPECT_TRUE(item.name.startsWith(QLatin1String("QRDBText"))) << item.name.toStdString();
            }
        }
    }
}

TEST(TaskReportLayout, FieldsTheListLacks_PrintNothing)
{
    // A list from an older file with only a few of the fields.
    ClientTable table(QStringLiteral("cdsTasks"));
    table.AddFieldDef({ QStringLiteral("ID"), ql::FieldType::Counter });
    table.AddFieldDef({ QStringLiteral("Task"), ql::FieldType::Text, 255 });
    table.AddFieldDef({ QStringLiteral("Status"), ql::FieldType::Text, 20 });
    table.CreateEmpty();
    table.AppendRow();
    table.SetText(QStringLiteral("Task"), QStringLiteral("Old task"));
    table.PostRow();

    const TaskReport report = ql::layOutTaskReport(table, QStringLiteral("Old"));
    ASSERT_EQ(report.pages.size(), 1u);
    EXPECT_EQ(column(report, "QRDBText1"), QStringList { "Old task" });
    EXPECT_EQ(column(report, "QRDBText3"), QStringList { "" });
    EXPECT_EQ(column(report, "QRDBText13"), QStringList { "" });
}

// Pages are laid out one at a time, in any order, for the page the printer has. Each is the page
// a walk from the first row gives: a row goes on the page where it still ends on the bottom margin,
// the first page under the title band. A page narrower than the designed one draws everything
// smaller so that no column leaves the paper.
TEST(TaskReportLayout, AnyPageAlone_IsThePageAWalkFromTheFirstRowGives)
{
    struct Case
    {
        const char *what;
        QPageSize::PageSizeId paper;
        QPageLayout::Orientation orientation;
        QMarginsF margins;
        double scale;
        int firstPageRows;
        int rowsPerPage;
    };
    const Case cases[] = {
        { "A4 landscape", QPageSize::A4, QPageLayout::Landscape, { 5, 5, 5, 5 }, 1, 41, 44 },
        { "A4 portrait", QPageSize::A4, QPageLayout::Portrait, { 5, 5, 5, 5 }, 200.0 / 287, 88, 91 },
        { "Letter landscape, wider margins", QPageSize::Letter, QPageLayout::Landscape, { 10, 12, 10, 8 },
            (279.4 - 20) / 287, 45, 48 },
        { "A3 landscape", QPageSize::A3, QPageLayout::Landscape, { 5, 5, 5, 5 }, 1, 61, 63 },
    };
    const auto table = listOf(300);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const QPageLayout layout(QPageSize(c.paper), c.orientation, c.margins, QPageLayout::Millimeter);
        const ql::TaskReportPages pages(*table, QStringLiteral("Plan"), layout);
        EXPECT_NEAR(pages.scale(), c.scale, 1e-9);
        const QRectF paper = layout.fullRect(QPageLayout::Millimeter);

        // The walk: the page and top of every row, in the report's millimetres.
        const double bottom
            = c.margins.top() + (paper.height() - c.margins.top() - c.margins.bottom()) / c.scale;
        std::vector<std::vector<std::pair<int, double>>> walk(1);
        double top = c.margins.top() + 11.38;
        for (int row = 1; row <= table->RowCount(); ++row) {
            if (top + 4.5 > bottom + 1e-6) {
                walk.emplace_back();
                top = c.margins.top();
            }
            walk.back().emplace_back(row, top);
            top += 4.5;
        }
        ASSERT_EQ(pages.pageCount(), int(walk.size()));
        EXPECT_EQ(int(walk[0].size()), c.firstPageRows);
        EXPECT_EQ(int(walk[1].size()), c.rowsPerPage);

        // Last page first, then the first, then those between.
        std::vector<int> order { pages.pageCount() - 1, 0 };
        for (int i = 1; i < pages.pageCount() - 1; ++i)
            order.push_back(i);
        for (int index : order) {
            SCOPED_TRACE(index);
            const ReportPage page = pages.page(index);
            EXPECT_EQ(page.scale, pages.scale());
            EXPECT_EQ(page.origin, QPointF(c.margins.left(), c.margins.top()));
            EXPECT_EQ(itemsNamed(page, QStringLiteral("QRLabel1")).size(), index == 0 ? 1u : 0u);
            const auto ids = itemsNamed(page, QStringLiteral("QRDBText2"));
            ASSERT_EQ(ids.size(), walk[size_t(index)].size());
            for (size_t r = 0; r < ids.size(); ++r) {
                EXPECT_EQ(ids[r]->text, QString::number(walk[size_t(index)][r].first));
                EXPECT_DOUBLE_EQ(ids[r]->rect.top(), walk[size_t(index)][r].second);
                EXPECT_NEAR(ids[r]->rect.left(), c.margins.left() + 2.12, Near);
            }
            // On the paper, everything stays within the margins.
            for (const ReportItem &item : page.items) {
                if (item.kind != ReportItem::Kind::Text || item.text.isEmpty())
                    continue;
                const double right = page.origin.x() + page.scale * (item.rect.right() - page.origin.x());
                const double lower = page.origin.y() + page.scale * (item.rect.bottom() - page.origin.y());
                EXPECT_LE(right, paper.width() - c.margins.right() + Near) << item.name.toStdString();
                EXPECT_LE(lower, paper.height() - c.margins.bottom() + Near) << item.name.toStdString();
            }
        }
        EXPECT_TRUE(pages.page(pages.pageCount()).items.empty());
    }
}

TEST(TaskReportDefinition, Prepare_PostsThePendingEditAndLeavesTheCursorOnTheLastTaskOfTheView)
{
    const auto table = listOf(5);
    table->SetFilter(QStringLiteral("ID < 5"));
    table->SetFiltered(true);
    table->MoveTo(2);
    table->EditRow();
    table->SetText(QStringLiteral("Task"), QStringLiteral("Edited"));

    ql::TQRptTasks report;
    EXPECT_EQ(report.Heading(), QStringLiteral("Tasks"));
    const TaskReport pages = ql::layOutTaskReport(report.Prepare(*table, QStringLiteral("Plan *")));
    EXPECT_EQ(report.Heading(), QStringLiteral("Plan *"));
    EXPECT_EQ(only(pages.pages[0], QStringLiteral("QRLabel1")).text, QStringLiteral("Plan *"));
    EXPECT_EQ(column(pages, "QRDBText1"), QStringList({ "Task 1", "Edited", "Task 3", "Task 4" }));
    EXPECT_EQ(table->GetState(), ClientTable::State::Browse);
    EXPECT_EQ(table->AsText(QStringLiteral("Task")), QStringLiteral("Task 4"));

    // An empty view prints the title band and leaves nothing to stand on.
    table->SetFilter(QStringLiteral("ID > 99"));
    EXPECT_EQ(report.Prepare(*table, QStringLiteral("Plan")).pageCount(), 1);
    EXPECT_EQ(table->RowCount(), 0);
}

// Expects the PDF of the 45-task report: two pages with the heading, captions and rows, each word
// where the layout put it.
void expectPdfOfTheReport(const QString &path)
{
    const QString info = poppler(QStringLiteral("pdfinfo"), { path });
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+2\\n")))) << info.toStdString();
    EXPECT_TRUE(info.contains(
        QRegularExpression(QStringLiteral("Page size:\\s+84[12](\\.\\d+)? x 595(\\.\\d+)? pts"))))
        << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Title:\\s+Tasks\\n"))))
        << info.toStdString();

    // Page by page, as text: heading and captions on the first page only, every row once.
    const QStringList pages
        = poppler(QStringLiteral("pdftotext"), { QStringLiteral("-layout"), path, QStringLiteral("-") })
              .split(u'\f');
    ASSERT_GE(pages.size(), 2);
    EXPECT_TRUE(pages[0].contains(QStringLiteral("Plan *")));
    EXPECT_TRUE(pages[0].contains(QRegularExpression(QStringLiteral(
        "ID +Task +Status +Difficulty +Priority +% +Category +Date Created +Last Actioned +Completed Date +"
        "Start Date +Due Date +Comments"))))
        << pages[0].toStdString();
    EXPECT_TRUE(pages[0].contains(QRegularExpression(QString::fromUtf8(
        "\\n *1 +Café & crème +In progress +Moderate +Normal +50 +Work +3/9/2024 +12/31/2024"))))
        << pages[0].toStdString();
    EXPECT_TRUE(pages[0].contains(QRegularExpression(QStringLiteral("\\n *41 +Task 41 "))));
    EXPECT_FALSE(pages[0].contains(QStringLiteral("Task 42")));
    EXPECT_FALSE(pages[1].contains(QStringLiteral("Plan")));
    EXPECT_FALSE(pages[1].contains(QStringLiteral("Status")));
    EXPECT_TRUE(pages[1].contains(QRegularExpression(QStringLiteral("^ *42 +Task 42 "))));
    EXPECT_TRUE(pages[1].contains(QRegularExpression(QStringLiteral("\\n *45 +Task 45 "))));

    // Where the words stand on the paper, in points from its corner (1 mm = 72 / 25.4 pt).
    const QString boxes = poppler(QStringLiteral("pdftotext"),
        { QStringLiteral("-bbox"), QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
            QStringLiteral("1"), path, QStringLiteral("-") });
    const auto wordAt = [&](const QString &word) -> std::optional<QPointF> {
        const QRegularExpression box(
            QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\"[^>]*>%1</word>")
                .arg(QRegularExpression::escape(word)));
        const QRegularExpressionMatch m = box.match(boxes);
        if (!m.hasMatch())
            return std::nullopt;
        return QPointF(m.captured(1).toDouble() * 25.4 / 72, m.captured(2).toDouble() * 25.4 / 72);
    };
    struct Word
    {
        const char *text;
        double left;
        double top; // the top of the item's box; the glyphs start a little below
    };
    const Word words[] = {
        { "Plan", 5.0, 5.0 },
        { "Status", 70.62, 9.23 },
        { "Comments", 250.53, 9.23 },
        { "Moderate", 87.55, 16.38 },
    };
    for (const Word &w : words) {
        SCOPED_TRACE(w.text);
        const auto at = wordAt(QString::fromLatin1(w.text));
        ASSERT_TRUE(at.has_value());
        EXPECT_NEAR(at->x(), w.left, 0.3);
        EXPECT_NEAR(at->y(), w.top, 0.6);
    }
}

// Both ways to paper: the PDF writer of quillon-cli, and a printer set up for the report, as the
// preview prints (here a printer that writes PDF).
TEST(TaskReportPdf, ShowsTheHeadingCaptionsAndRowsWhereTheLayoutPutThem)
{
    const auto table = listOf(45);
    table->MoveFirst();
    table->EditRow();
    table->SetText(QStringLiteral("Task"), QString::fromUtf8("Café & crème"));
    table->PostRow();
    const TaskReport report = ql::layOutTaskReport(*table, QStringLiteral("Plan *"));
    ASSERT_EQ(report.pages.size(), 2u);

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString written = dir.filePath(QStringLiteral("written.pdf"));
    {
        QFile file(written);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(ql::taskReportPdf(report));
    }
    const QString printed = dir.filePath(QStringLiteral("printed.pdf"));
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printed);
        ql::setUpReportPrinter(printer, report);
        ql::printTaskReport(printer, report);
    }
    for (const QString &path : { written, printed }) {
        SCOPED_TRACE(path.toStdString());
        expectPdfOfTheReport(path);
    }
}

// The PDF written a page at a time, each page laid out as it is written, is the PDF of the whole
// layout, byte for byte but for the moment it was made.
TEST(TaskReportPdf, PageAtATime_IsTheWholeLayoutsPdf)
{
    const auto table = listOf(175); // 41 + 44 + 44 + 44 + 2 rows
    table->SetIndexName(QStringLiteral("cdsTasksIndexTaskName"));
    const ql::TaskReportPages pages(*table, QStringLiteral("Plan"));
    ASSERT_EQ(pages.pageCount(), 5);
    const auto withoutDate = [](QByteArray pdf) {
        const QRegularExpression date(QStringLiteral("/CreationDate \\(D:\\d+Z\\)"));
        return QString::fromLatin1(pdf).replace(date, QString());
    };
    const QByteArray whole = ql::taskReportPdf(ql::layOutTaskReport(*table, QStringLiteral("Plan")));
    const QByteArray pageAtATime = ql::taskReportPdf(pages);
    EXPECT_GT(whole.size(), 10000);
    EXPECT_TRUE(withoutDate(whole) == withoutDate(pageAtATime));
}

// What the layout cannot show: the PDF prints a four-digit ID apart from the Task text beside it,
// a tab in a comment as a blank with every word after it, and a text mixing CJK and Latin on the
// same baseline as the rest of its row.
TEST(TaskReportPdf, PrintsEveryWordOfTheRowOnOneBaseline)
{
    auto table = listOf(1000);
    table->SetFilter(QStringLiteral("ID >= 999"));
    table->SetFiltered(true);
    table->MoveLast();
    table->EditRow();
    table->SetText(QStringLiteral("Task"), QString::fromUtf8("H 漢字とLatin"));
    table->SetText(QStringLiteral("Category"), QStringLiteral("H"));
    table->SetText(QStringLiteral("Comments"), QStringLiteral("Tab\tseparated note"));
    table->PostRow();
    const TaskReport report = ql::layOutTaskReport(*table, QStringLiteral("Plan"));
    ASSERT_EQ(report.pages.size(), 1u);

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
    {
        QFile file(pdf);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(ql::taskReportPdf(report));
    }

    const QString text
        = poppler(QStringLiteral("pdftotext"), { QStringLiteral("-layout"), pdf, QStringLiteral("-") });
    EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("\\n *1000 +H ")))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Tab separated note"))) << text.toStdString();

    // The last row at 600 dots per inch: the lowest dark row of the letter H opening the Task text
    // and of the H of the Category, both on the row's baseline.
    const auto rowItem
        = [&](const char *name) { return itemsNamed(report.pages[0], QString::fromLatin1(name)).back(); };
    const int dpi = 600;
    const auto dots = [&](double mm) { return int(mm * dpi / 25.4); };
    const int bandTop = dots(rowItem("QRDBText1")->rect.top());
    const int bandHeight = dots(4.5);
    poppler(QStringLiteral("pdftoppm"),
        { QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-gray"), QStringLiteral("-png"),
            QStringLiteral("-singlefile"), QStringLiteral("-y"), QString::number(bandTop),
            QStringLiteral("-H"), QString::number(bandHeight), pdf, dir.filePath(QStringLiteral("row")) });
    const QImage band(dir.filePath(QStringLiteral("row.png")));
    ASSERT_FALSE(band.isNull());
    const auto lowestInk = [&](const ReportItem &item) {
        int lowest = -1;
        for (int y = 0; y < band.height(); ++y) {
            for (int x = dots(item.rect.left()); x < dots(item.rect.left() + widthOf(QStringLiteral("H")));
                 ++x) {
                if (qGray(band.pixel(x, y)) < 128)
                    lowest = y;
            }
        }
        return lowest;
    };
    const ReportItem &task = *rowItem("QRDBText1");
    const ReportItem &category = *rowItem("QRDBText7");
    ASSERT_TRUE(task.text.startsWith(QStringLiteral("H ")));
    ASSERT_EQ(category.text, QStringLiteral("H"));
    const int taskBaseline = lowestInk(task);
    ASSERT_GT(taskBaseline, 0);
    EXPECT_NEAR(taskBaseline, lowestInk(category), 1);
}

} // namespace
