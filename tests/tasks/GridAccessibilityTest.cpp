// The task grid as a screen reader sees it, and closing a list after one has read its cells.
#include "TaskListFixture.h"

#include <QAccessible>
#include <QAccessibleTableCellInterface>
#include <QAccessibleTableInterface>
#include <QApplication>
#include <QLineEdit>
#include <vector>

namespace {

using ql::TfrTasks;

class GridAccessibilityTest : public TaskListFixture
{
};

// Qt's table interface keeps an interface for every cell a client has read, each holding a
// persistent index into the grid's model, and drops them one by one when the grid goes. Each drop
// searches the model's index hash, whose cost grows with the number of indexes left, so closing a
// large list after a screen reader walked it took minutes. By the time the grid is destroyed the
// model must have let go of every persistent index it handed out, in one step: then the cells are
// dropped without searching anything. The test holds one such index itself, as each cell does,
// because the cells themselves are out of reach once the grid's end has begun.
TEST_F(GridAccessibilityTest, ClosingTheList_AfterAReaderReadTheCells_LetsGoOfTheirRowsBeforeTheGridGoes)
{
    // What the grid is doing when the list closes.
    enum class Grid { Idle, InsertPending, EditorOpen };
    struct Case
    {
        const char *name;
        Grid grid;
    };
    const Case cases[] = {
        { "idle grid", Grid::Idle },
        { "new task pending in the grid", Grid::InsertPending },
        { "cell editor open with typed text", Grid::EditorOpen },
    };
    QStringList texts;
    for (int i = 1; i <= 40; ++i)
        texts << QStringLiteral("Task %1").arg(i);
    const QString file = writeList(QStringLiteral("read.ql1"), texts);
    const int taskColumn = ql::TaskGridModel::columnOf(QStringLiteral("Task"));

    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TfrTasks &frame = loadedList(file, QStringLiteral("read"));
        showTabs();
        ql::TaskGridModel *model = frame.DBGrid1->taskModel();
        frame.DBGrid1->setFocus();
        if (c.grid == Grid::InsertPending)
            QTest::keyClick(frame.DBGrid1, Qt::Key_Insert);
        if (c.grid == Grid::EditorOpen) {
            frame.DBGrid1->setCurrentIndex(model->index(2, taskColumn));
            QTest::keyClick(frame.DBGrid1, Qt::Key_F2);
            auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
            ASSERT_NE(editor, nullptr);
            ASSERT_TRUE(frame.DBGrid1->isAncestorOf(editor));
            QTest::keyClicks(editor, QStringLiteral(" and more"));
        }
        ASSERT_EQ(model->rowPending(), c.grid != Grid::Idle);

        // A reader walks every cell and reads what it says.
        QAccessibleInterface *grid = QAccessible::queryAccessibleInterface(frame.DBGrid1);
        ASSERT_NE(grid, nullptr);
        QAccessibleTableInterface *table = grid->tableInterface();
        ASSERT_NE(table, nullptr);
        const int rows = table->rowCount();
        const int columns = table->columnCount();
        ASSERT_EQ(rows, c.grid == Grid::InsertPending ? 41 : 40);
        std::vector<QAccessible::Id> cellIds;
        for (int row = 0; row < rows; ++row) {
            for (int column = 0; column < columns; ++column) {
                QAccessibleInterface *cell = table->cellAt(row, column);
                ASSERT_NE(cell, nullptr);
                (void)cell->text(QAccessible::Name);
                cellIds.push_back(QAccessible::uniqueId(cell));
            }
        }
        const int firstTaskRow = c.grid == Grid::InsertPending ? 1 : 0;
        EXPECT_EQ(table->cellAt(firstTaskRow, taskColumn)->text(QAccessible::Name), QStringLiteral("Task 1"));

        const QPersistentModelIndex held(model->index(firstTaskRow, taskColumn));
        ASSERT_TRUE(held.isValid());
        bool gridWent = false;
        bool heldARowWhenTheGridWent = true;
        QObject::connect(frame.DBGrid1, &QObject::destroyed, [&] {
            gridWent = true;
            heldARowWhenTheGridWent = held.isValid();
        });

        // Close List frees the tab page, and the frame with it.
        delete frame.parentWidget();
        ASSERT_TRUE(gridWent);
        EXPECT_FALSE(heldARowWhenTheGridWent);
        // No cell a client may still ask about outlives the grid.
        for (QAccessible::Id id : cellIds)
            ASSERT_EQ(QAccessible::accessibleInterface(id), nullptr);
    }
}

} // namespace
