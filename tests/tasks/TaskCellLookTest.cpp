// How the task grid draws its cells: the look of a cell as a function of its task, the progress
// bar's geometry, and a real grid rendered to an image.
#include "TaskListFixture.h"

#include "tasks/TaskCellLook.h"

#include "platform/gui/BarPicture.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QImage>

namespace {

using ql::CellLook;
using ql::TaskCellLook;
using ql::TaskRowFacts;
namespace Colour = ql::GridColour;
using Style = CellLook::Style;

const QString Task = QStringLiteral("Task");
const QString Progress = QStringLiteral("Progress");
const QString Bookmarked = QStringLiteral("Bookmarked");

TaskRowFacts row(
    int number, const char *status, const char *priority, qint64 progress, bool bookmarked = false)
{
    return { number, QString::fromLatin1(status), QString::fromLatin1(priority), progress, bookmarked };
}

TEST(TaskCellLook, RowRulesInTheirOrder)
{
    const QColor window; // the grid's own background
    const struct
    {
        const char *name;
        TaskRowFacts facts;
        QColor background;
        Style style;
    } cases[] = {
        { "odd row, no rule", row(1, "Not Started", "Normal", 0), window, Style::Plain },
        { "even row, no rule", row(2, "Not Started", "Normal", 0), Colour::EvenRow, Style::Plain },
        { "complete, urgent, 100", row(1, "Complete", "Urgent", 100), Colour::Complete, Style::Bold },
        { "cancelled", row(2, "Cancelled", "Normal", 0), Colour::PausedOrCancelled, Style::StrikeOut },
        { "cancelled and high", row(1, "Cancelled", "High", 0), Colour::High, Style::Bold },
        { "paused", row(1, "Paused", "Low", 10), Colour::PausedOrCancelled, Style::Plain },
        { "in progress", row(1, "In progress", "Normal", 49), Colour::InProgress, Style::Plain },
        { "in progress at 60", row(1, "In progress", "Normal", 60), Colour::HalfDone, Style::Plain },
        { "urgent at 50", row(2, "Not Started", "Urgent", 50), Colour::HalfDone, Style::Bold },
        // The comparisons are exact.
        { "status in other case", row(1, "complete", "high", 0), window, Style::Plain },
        { "status with a blank", row(1, "Complete ", "Normal", 0), window, Style::Plain },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const CellLook look = TaskCellLook(c.facts, Task, Task, false);
        EXPECT_EQ(look.background, c.background);
        EXPECT_EQ(look.style, c.style);
        EXPECT_EQ(look.text, Colour::Text);
        EXPECT_FALSE(look.progressBar);
    }
}

TEST(TaskCellLook, CurrentCellProgressCellAndBookmark)
{
    const TaskRowFacts urgent = row(2, "Cancelled", "Urgent", 70, true);
    // The current cell is navy with white text whatever the task; the rest of its row keeps the
    // row's colour.
    const CellLook current = TaskCellLook(urgent, Task, Task, true);
    EXPECT_EQ(current.background, Colour::CurrentCell);
    EXPECT_EQ(current.text, Colour::CurrentText);
    EXPECT_EQ(current.style, Style::Plain);
    EXPECT_EQ(TaskCellLook(urgent, Task, Task, false).background, Colour::HalfDone);

    // The progress cell keeps the plain background, also in a coloured row.
    const CellLook bar = TaskCellLook(urgent, Progress, Progress, false);
    EXPECT_TRUE(bar.progressBar);
    EXPECT_FALSE(bar.background.isValid());
    EXPECT_EQ(bar.text, Colour::Text);
    const CellLook currentBar = TaskCellLook(urgent, Progress, Progress, true);
    EXPECT_TRUE(currentBar.progressBar);
    EXPECT_EQ(currentBar.background, Colour::CurrentCell);
    EXPECT_EQ(currentBar.text, Colour::CurrentText);

    // A list without the Progress field shows its Progress column as empty cells in the row's
    // colours, with no bar.
    const CellLook noField = TaskCellLook(urgent, QString(), Progress, false);
    EXPECT_FALSE(noField.progressBar);
    EXPECT_EQ(noField.background, Colour::HalfDone);
    EXPECT_FALSE(TaskCellLook(urgent, QString(), Progress, true).progressBar);

    // A bookmarked task's Bookmarked cell is red, also when current; an unmarked one's is not.
    EXPECT_EQ(TaskCellLook(urgent, Bookmarked, Bookmarked, false).background, Colour::Bookmarked);
    EXPECT_EQ(TaskCellLook(urgent, Bookmarked, Bookmarked, true).background, Colour::Bookmarked);
    EXPECT_EQ(TaskCellLook(urgent, Bookmarked, Bookmarked, true).text, Colour::CurrentText);
    EXPECT_EQ(
        TaskCellLook(row(2, "", "", 0, false), Bookmarked, Bookmarked, false).background, Colour::EvenRow);
}

TEST(TaskCellLook, ProgressBarGeometry)
{
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(7);
    const QFontMetrics metrics(font);
    const QPoint cell(100, 40);
    const struct
    {
        qint64 progress;
        int width;
        QRect filled;
        const char *text;
    } cases[] = {
        { 0, 120, QRect(), "0%" }, { -5, 120, QRect(), "-5%" },
        { 1, 120, QRect(), "1%" }, // 1.2 pixels: nothing to fill inside the outline
        { 37, 120, QRect(QPoint(101, 41), QPoint(143, 54)), "37%" }, // 44.4 cut to 44
        { 100, 120, QRect(QPoint(101, 41), QPoint(219, 54)), "100%" },
        { 150, 120, QRect(QPoint(101, 41), QPoint(219, 54)), "150%" }, // stops at the width
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.progress);
        const ql::ProgressBarLayout bar = ql::TaskProgressBar(cell, c.width, c.progress, metrics);
        EXPECT_EQ(bar.box, QRect(QPoint(101, 41), QPoint(219, 54)));
        EXPECT_EQ(bar.filled, c.filled);
        EXPECT_EQ(bar.text, QString::fromLatin1(c.text));
        EXPECT_EQ(bar.textTopLeft, QPoint(100 + 60 - metrics.horizontalAdvance(bar.text) / 2, 41));
    }
}

// A loaded list of four tasks drawn by the real grid.
class TaskGridDrawingTest : public TaskListFixture
{
};

TEST_F(TaskGridDrawingTest, RenderedRowsShowTheirColoursAtKnownPixels)
{
    ql::TfrTasks &frame
        = loadedList(writeList(QStringLiteral("Look.ql1"), { "plain", "even", "done", "flagged" }), "Look");
    m_tabs.resize(3200, 300); // every column in sight
    showTabs();
    ql::ClientTable &table = frame.cdsTasks();
    const auto set = [&](int row, const QString &field, const QString &text) {
        table.MoveTo(row);
        table.EditRow();
        table.SetValue(
            table.RequireField(field), ql::ClientTable::ValueFromText(table.RequireField(field), text));
        table.PostRow();
    };
    set(3, QStringLiteral("Status"), QStringLiteral("Complete"));
    set(3, Progress, QStringLiteral("37"));
    set(4, Bookmarked, QStringLiteral("True"));
    table.MoveTo(1);
    ql::TaskGrid &grid = *frame.DBGrid1;
    const int taskColumn = ql::TaskGridModel::columnOf(Task);
    grid.setCurrentIndex(grid.model()->index(0, taskColumn));
    const QImage image = grid.viewport()->grab().toImage();

    // A pixel well inside the cell, away from its text.
    const auto pixel = [&](int row, const QString &field, int dx = -4) {
        const QRect cell = grid.visualRect(grid.model()->index(row, ql::TaskGridModel::columnOf(field)));
        return image.pixelColor(cell.right() + dx, cell.bottom() - 1);
    };
    const QColor white = grid.palette().color(QPalette::Base);
    EXPECT_EQ(pixel(0, Task), Colour::CurrentCell);
    EXPECT_EQ(pixel(0, QStringLiteral("Owner")), white);
    EXPECT_EQ(pixel(1, Task), Colour::EvenRow);
    EXPECT_EQ(pixel(2, Task), Colour::Complete);
    EXPECT_EQ(pixel(3, Task), Colour::EvenRow);
    EXPECT_EQ(pixel(3, Bookmarked), Colour::Bookmarked);

    // The progress cell of the complete task: the outline, the filled part up to 44 of 120 pixels,
    // then the window colour inside the box, and the plain background below the box.
    const QRect bar = grid.visualRect(grid.model()->index(2, ql::TaskGridModel::columnOf(Progress)));
    EXPECT_EQ(image.pixelColor(bar.left() + 1, bar.top() + 8), Colour::BarOutline);
    EXPECT_EQ(image.pixelColor(bar.left() + 3, bar.top() + 12), Colour::BarFill);
    EXPECT_EQ(image.pixelColor(bar.left() + 42, bar.top() + 12), Colour::BarFill);
    EXPECT_EQ(image.pixelColor(bar.left() + 43, bar.top() + 12), Colour::BarOutline);
    EXPECT_EQ(image.pixelColor(bar.left() + 100, bar.top() + 12), white);
    EXPECT_EQ(image.pixelColor(bar.left() + 100, bar.top() + 16), white);
    // Its text, dark on light, around the middle of the column.
    bool textDrawn = false;
    for (int x = bar.left() + 45; x < bar.left() + 75; ++x)
        for (int y = bar.top() + 2; y < bar.top() + 13; ++y)
            textDrawn = textDrawn || image.pixelColor(x, y).lightness() < 100;
    EXPECT_TRUE(textDrawn);
}

// In a list whose file has no Progress field the column stays, with empty cells in the rows'
// colours: no bar, no "0%".
TEST_F(TaskGridDrawingTest, ListWithoutProgress_ShowsEmptyProgressCells)
{
    ql::TfrTasks &frame = loadedList(writeList(QStringLiteral("NoProgress.ql1"), { "odd", "even" },
                                         { "ID", "Task", "Status", "Priority", "Difficulty" }),
        "NoProgress");
    m_tabs.resize(3200, 300);
    showTabs();
    ql::TaskGrid &grid = *frame.DBGrid1;
    grid.setCurrentIndex(grid.model()->index(0, ql::TaskGridModel::columnOf(Task)));
    const QImage image = grid.viewport()->grab().toImage();
    const QColor backgrounds[] = { grid.palette().color(QPalette::Base), Colour::EvenRow };
    for (int row = 0; row < 2; ++row) {
        SCOPED_TRACE(row);
        const QRect cell = grid.visualRect(grid.model()->index(row, ql::TaskGridModel::columnOf(Progress)));
        int others = 0;
        for (int x = cell.left(); x < cell.right(); ++x)
            for (int y = cell.top(); y < cell.bottom(); ++y)
                others += image.pixelColor(x, y) != backgrounds[row] ? 1 : 0;
        EXPECT_EQ(others, 0);
    }
}

// Every title fits its column, and the title row looks the same whichever cell is current.
TEST_F(TaskGridDrawingTest, TitlesFitTheirColumnsAndIgnoreTheSelection)
{
    ql::TfrTasks &frame = loadedList(writeList(QStringLiteral("Titles.ql1"), { "a", "b" }), "Titles");
    m_tabs.resize(3200, 300);
    showTabs();
    ql::TaskGrid &grid = *frame.DBGrid1;
    QHeaderView &titles = *grid.horizontalHeader();
    const QFontMetrics metrics(titles.font());
    for (int column = 0; column < grid.model()->columnCount(); ++column) {
        if (grid.isColumnHidden(column))
            continue;
        const QString title = grid.model()->headerData(column, Qt::Horizontal).toString();
        SCOPED_TRACE(title.toStdString());
        EXPECT_LE(
            metrics.horizontalAdvance(title) + ql::GridHeader::TextMargin, grid.columnWidth(column) - 1);
    }
    grid.setCurrentIndex(grid.model()->index(0, 0));
    const QImage before = titles.grab().toImage();
    grid.setCurrentIndex(grid.model()->index(1, ql::TaskGridModel::columnOf(QStringLiteral("CreatedDate"))));
    EXPECT_EQ(titles.grab().toImage(), before);
}

} // namespace
