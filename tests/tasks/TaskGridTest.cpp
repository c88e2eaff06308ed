// The task grid over the frame's table: what it shows, and in-place editing with the rows of the
// table (one stored version per visit of a row, Enter stores, Esc abandons).
#include "TaskListFixture.h"

#include "common/CategoryList.h"
#include <QAbstractItemModelTester>
#include <QApplication>

#include <QCalendarWidget>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>

namespace {

using ql::ClientTable;
using ql::ScriptedUi;
using ql::TaskGrid;
using ql::TaskGridModel;
using ql::TfrTasks;

const int TaskColumn = TaskGridModel::columnOf(QStringLiteral("Task"));
const int CategoryColumn = TaskGridModel::columnOf(QStringLiteral("Category"));
const int ProgressColumn = TaskGridModel::columnOf(QStringLiteral("Progress"));
const int StatusColumn = TaskGridModel::columnOf(QStringLiteral("Status"));
const int DueDateColumn = TaskGridModel::columnOf(QStringLiteral("DueDate"));
const int StartDateColumn = TaskGridModel::columnOf(QStringLiteral("StartDate"));

// A loaded list of three tasks, unmarked, shown on its tab.
class TaskGridTest : public TaskListFixture
{
protected:
    void SetUp() override
    {
        TaskListFixture::SetUp();
        m_frame = &loadedList(
            writeList(QStringLiteral("Plan.ql1"), { "one", "two", "three" }), QStringLiteral("Plan"));
        showTabs();
        m_grid = m_frame->DBGrid1;
        m_grid->setFocus();
    }

    ClientTable &table() { return m_frame->cdsTasks(); }
    QString cell(int row, int column) const { return m_grid->model()->index(row, column).data().toString(); }

    void goTo(int row, int column) { m_grid->setCurrentIndex(m_grid->model()->index(row, column)); }

    // Opens the editor of the current cell and types `text` over its contents.
    QLineEdit *typeInto(int row, int column, const QString &text)
    {
        goTo(row, column);
        m_grid->edit(m_grid->currentIndex());
        QLineEdit *editor = openEditor();
        if (editor) {
            editor->selectAll();
            QTest::keyClicks(editor, text);
        }
        return editor;
    }

    QLineEdit *openEditor() const
    {
        for (QLineEdit *editor : m_grid->viewport()->findChildren<QLineEdit *>())
            if (editor->isVisible())
                return editor;
        return nullptr;
    }

    // The open cell editor, a line editor or a drop-down list.
    QWidget *openCellEditor() const
    {
        for (QWidget *editor : m_grid->viewport()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            if (editor->isVisible())
                return editor;
        return nullptr;
    }

    TfrTasks *m_frame = nullptr;
    TaskGrid *m_grid = nullptr;
};

TEST_F(TaskGridTest, ShowsTheViewWithTitlesAndNoCopyOfTheRows)
{
    const QAbstractItemModel *model = m_grid->model();
    EXPECT_EQ(model->rowCount(), 3);
    EXPECT_EQ(model->columnCount(), 23);
    EXPECT_EQ(
        model->headerData(TaskGridModel::columnOf(QStringLiteral("CreatedDate")), Qt::Horizontal).toString(),
        QStringLiteral("Created Date"));
    EXPECT_EQ(model->headerData(TaskGridModel::columnOf(QStringLiteral("Time")), Qt::Horizontal).toString(),
        QStringLiteral("Time Taken"));
    EXPECT_TRUE(m_grid->isColumnHidden(TaskGridModel::columnOf(QStringLiteral("Details"))));
    EXPECT_EQ(cell(0, TaskColumn), QStringLiteral("one"));
    EXPECT_EQ(cell(2, TaskColumn), QStringLiteral("three"));
    EXPECT_FALSE(
        model->flags(model->index(0, TaskGridModel::columnOf(QStringLiteral("ID")))) & Qt::ItemIsEditable);

    // A change made to the table through another route shows at once.
    table().MoveTo(2);
    table().EditRow();
    table().SetText(QStringLiteral("Task"), QStringLiteral("TWO"));
    EXPECT_EQ(cell(1, TaskColumn), QStringLiteral("TWO"));
}

// The model reports each row that comes, goes or moves at its place, as Qt's model checker
// requires, so what the grid holds on to (its current cell, an open editor) stays on its task when
// rows change elsewhere.
TEST_F(TaskGridTest, Model_ReportsRowsAtTheirPlace)
{
    QStringList warnings;
    static QStringList *collected = nullptr;
    collected = &warnings;
    const QtMessageHandler previous
        = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
              if (type != QtDebugMsg && type != QtInfoMsg)
                  collected->append(text);
          });
    {
        QAbstractItemModelTester tester(
            m_grid->model(), QAbstractItemModelTester::FailureReportingMode::Warning);
        table().SetIndexName(QStringLiteral("cdsTasksIndexTaskName")); // one, three, two
        const QPersistentModelIndex two = m_grid->model()->index(2, TaskColumn);
        ASSERT_EQ(two.data().toString(), QStringLiteral("two"));

        typeTask(*m_frame, QStringLiteral("alpha")); // placed first
        EXPECT_EQ(two.row(), 3);
        table().MoveTo(1);
        table().EditRow();
        table().SetText(QStringLiteral("Task"), QStringLiteral("zulu")); // moves to the end
        table().PostRow();
        EXPECT_EQ(two.row(), 2);
        table().MoveTo(1);
        table().DeleteRow();
        EXPECT_EQ(two.row(), 1);
        table().MoveTo(1);
        table().InsertRow();
        EXPECT_EQ(two.row(), 2);
        table().CancelRow();
        EXPECT_EQ(two.data().toString(), QStringLiteral("two"));
        EXPECT_EQ(m_grid->model()->rowCount(), table().RowCount());

        table().SetFilter(QStringLiteral("Task <> 'three'"));
        table().SetFiltered(true);
        EXPECT_EQ(m_grid->model()->rowCount(), table().RowCount());
        EXPECT_EQ(cell(0, TaskColumn), QStringLiteral("two"));
    }
    qInstallMessageHandler(previous);
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join(u'\n').toStdString();
}

TEST_F(TaskGridTest, Bookmarked_ReadsYesNoInANewListAndTheTablesTextInALoadedOne)
{
    table().EditRow();
    table().SetBoolean(QStringLiteral("Bookmarked"), true);
    table().PostRow();
    const int column = TaskGridModel::columnOf(QStringLiteral("Bookmarked"));
    EXPECT_EQ(cell(0, column), QStringLiteral("True"));
    EXPECT_EQ(cell(1, column), QString());

    TfrTasks &fresh = newList();
    typeTask(fresh, QStringLiteral("a"));
    EXPECT_EQ(fresh.DBGrid1->model()->index(0, column).data().toString(), QStringLiteral("No"));
}

TEST_F(TaskGridTest, FirstKeystrokePutsTheRowIntoEditModeAndMarksTheList)
{
    typeInto(1, TaskColumn, QStringLiteral("x"));
    EXPECT_EQ(table().GetState(), ClientTable::State::Edit);
    EXPECT_EQ(table().RowNumber(), 2);
    EXPECT_TRUE(m_frame->Modified());
    EXPECT_EQ(caption(*m_frame), QStringLiteral("Plan *"));
    EXPECT_EQ(m_frame->statusPanelText(1), QStringLiteral("Unsaved"));
}

// Two cells of one row, then another row: one stored version. A visit that opens an editor and
// changes nothing stores nothing.
TEST_F(TaskGridTest, LeavingARow_StoresOneVersionForAllItsCells)
{
    const QString before = writtenChangeLog(table());
    ASSERT_EQ(before, QStringLiteral("1 0 4 2 0 4 3 0 4"));

    QTest::keyClick(typeInto(0, TaskColumn, QStringLiteral("ONE")), Qt::Key_Tab);
    QTest::keyClick(typeInto(0, CategoryColumn, QStringLiteral("Home")), Qt::Key_Tab);
    EXPECT_EQ(table().GetState(), ClientTable::State::Edit);
    EXPECT_EQ(table().ChangeLog().size(), 3u);

    goTo(1, TaskColumn);
    EXPECT_EQ(table().GetState(), ClientTable::State::Browse);
    EXPECT_EQ(table().RowNumber(), 2);
    EXPECT_EQ(writtenChangeLog(table()), before + QStringLiteral(" 4 1 8"));
    EXPECT_EQ(writtenRows(table()), 4);
    EXPECT_EQ(cell(0, TaskColumn), QStringLiteral("ONE"));
    EXPECT_EQ(cell(0, CategoryColumn), QStringLiteral("Home"));

    // Looking only.
    m_grid->edit(m_grid->currentIndex());
    ASSERT_NE(openEditor(), nullptr);
    goTo(2, TaskColumn);
    EXPECT_EQ(writtenChangeLog(table()), before + QStringLiteral(" 4 1 8"));
    EXPECT_TRUE(m_ui.prompts().empty());
}

TEST_F(TaskGridTest, Enter_StoresTheRowInPlace)
{
    QTest::keyClick(typeInto(1, TaskColumn, QStringLiteral("TWO")), Qt::Key_Return);
    settle();
    EXPECT_EQ(table().GetState(), ClientTable::State::Browse);
    EXPECT_EQ(writtenChangeLog(table()), QStringLiteral("1 0 4 2 0 4 3 0 4 4 2 8"));
    EXPECT_EQ(m_grid->currentIndex().row(), 1);

    // With the editor closed, Enter stores what Tab wrote into the row.
    QTest::keyClick(typeInto(1, CategoryColumn, QStringLiteral("Work")), Qt::Key_Tab);
    m_grid->setFocus();
    m_grid->finishEditing(false);
    QTest::keyClick(m_grid, Qt::Key_Return);
    EXPECT_EQ(table().GetState(), ClientTable::State::Browse);
    EXPECT_EQ(writtenChangeLog(table()), QStringLiteral("1 0 4 2 0 4 3 0 4 4 2 8 5 4 8"));
    EXPECT_EQ(cell(1, CategoryColumn), QStringLiteral("Work"));
}

// Esc abandons the whole row, whether a cell editor is open or not.
TEST_F(TaskGridTest, Esc_AbandonsTheRow)
{
    for (const bool editorOpen : { true, false }) {
        SCOPED_TRACE(editorOpen);
        QTest::keyClick(typeInto(0, TaskColumn, QStringLiteral("gone")), Qt::Key_Tab);
        ASSERT_EQ(table().GetState(), ClientTable::State::Edit);
        if (editorOpen) {
            QWidget *next = openCellEditor();
            ASSERT_NE(next, nullptr);
            QTest::keyClick(next, Qt::Key_Escape);
        } else {
            m_grid->finishEditing(false);
            m_grid->setFocus();
            QTest::keyClick(m_grid, Qt::Key_Escape);
        }
        EXPECT_EQ(table().GetState(), ClientTable::State::Browse);
        EXPECT_EQ(cell(0, TaskColumn), QStringLiteral("one"));
        EXPECT_EQ(writtenChangeLog(table()), QStringLiteral("1 0 4 2 0 4 3 0 4"));
        // Abandoning keeps the list marked: it was changed, as far as the user could see.
        EXPECT_TRUE(m_frame->Modified());
    }
}

TEST_F(TaskGridTest, Wheel_StoresTheTextBeingTypedWithTheRowItLeaves)
{
    typeInto(0, TaskColumn, QStringLiteral("ONE"));
    QWheelEvent wheel(QPointF(1, 1), QPointF(1, 1), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
        Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(m_frame, &wheel);
    EXPECT_EQ(table().RowNumber(), 2);
    EXPECT_EQ(cell(0, TaskColumn), QStringLiteral("ONE"));
    EXPECT_EQ(writtenChangeLog(table()), QStringLiteral("1 0 4 2 0 4 3 0 4 4 1 8"));
}

// Text typed into a cell whose editor is still open is stored by whatever stores the row: a save of
// the list (the tool button takes no focus from the editor), or quick add appending the next task.
TEST_F(TaskGridTest, OpenEditor_TextIsStoredWithTheRowByAnyRoute)
{
    const QString file = path(QStringLiteral("Saved.ql1"));
    const struct
    {
        const char *what;
        std::function<void()> store;
    } routes[] = {
        { "save", [&] { table().WriteToFile(file, ql::DataFormat::XmlUtf8); } },
        { "quick add", [&] { typeTask(*m_frame, QStringLiteral("next")); } },
    };
    for (const auto &route : routes) {
        SCOPED_TRACE(route.what);
        ASSERT_NE(typeInto(0, TaskColumn, QString::fromLatin1(route.what)), nullptr);
        route.store();
        EXPECT_EQ(openEditor(), nullptr);
        EXPECT_EQ(table().GetState(), ClientTable::State::Browse);
        EXPECT_EQ(cell(0, TaskColumn), QString::fromLatin1(route.what));
    }
    ClientTable saved;
    saved.ReadFromFile(file);
    saved.Open();
    EXPECT_EQ(saved.AsText(QStringLiteral("Task")), QStringLiteral("save"));
    EXPECT_TRUE(m_ui.prompts().empty());
}

TEST_F(TaskGridTest, BadCellText_ShowsTheFieldErrorAndChangesNothing)
{
    QTest::keyClick(typeInto(0, ProgressColumn, QStringLiteral("lots")), Qt::Key_Return);
    settle();
    EXPECT_EQ(m_ui.prompts().size(), 1u);
    EXPECT_EQ(shownMessages(ScriptedUi::Kind::Error),
        QStringList { QStringLiteral("'lots' is not a valid integer value for field 'Progress'") });
    EXPECT_EQ(writtenChangeLog(table()), QStringLiteral("1 0 4 2 0 4 3 0 4"));
}

// Rows refused by the table stay pending, and the grid stays on them.
TEST_F(TaskGridTest, RefusedPost_KeepsTheGridOnThePendingRow)
{
    table().AddIndex(QStringLiteral("UniqueTask"), { QStringLiteral("Task") }, { false, true, false, false });
    QTest::keyClick(typeInto(0, TaskColumn, QStringLiteral("two")), Qt::Key_Tab);
    goTo(2, TaskColumn);
    EXPECT_EQ(shownMessages(ScriptedUi::Kind::Error), QStringList { QStringLiteral("Key violation.") });
    EXPECT_EQ(table().GetState(), ClientTable::State::Edit);
    EXPECT_EQ(m_grid->currentIndex().row(), 0);
}

// Status, Priority and Difficulty change only through their lists: typed characters are dropped,
// in the grid and in the open list alike, while other columns take typing.
TEST_F(TaskGridTest, PickListColumns_DropTypingAndStoreTheChosenItem)
{
    const struct
    {
        const char *field;
        QStringList items;
    } columns[] = {
        { "Status", { "Not Started", "Paused", "In progress", "Complete", "Cancelled" } },
        { "Difficulty", { "Easy", "Moderate", "Hard" } },
        { "Priority", { "Normal", "Urgent", "High", "Low" } },
    };
    for (const auto &c : columns) {
        SCOPED_TRACE(c.field);
        const int column = TaskGridModel::columnOf(QString::fromLatin1(c.field));
        const QString before = cell(0, column);
        goTo(0, column);
        QTest::keyClicks(m_grid, QStringLiteral("Pc"));
        EXPECT_EQ(openCellEditor(), nullptr);
        EXPECT_EQ(table().GetState(), ClientTable::State::Browse);
        EXPECT_EQ(cell(0, column), before);

        m_grid->edit(m_grid->currentIndex());
        auto *list = qobject_cast<QComboBox *>(openCellEditor());
        ASSERT_NE(list, nullptr);
        QStringList items;
        for (int i = 0; i < list->count(); ++i)
            items << list->itemText(i);
        EXPECT_EQ(items, c.items);
        EXPECT_FALSE(list->isEditable());
        QTest::keyClicks(list, QStringLiteral("Hh"));
        EXPECT_EQ(list->currentText(), before);

        list->setCurrentIndex(1);
        emit list->activated(1);
        EXPECT_EQ(table().GetState(), ClientTable::State::Edit);
        QTest::keyClick(list, Qt::Key_Return);
        settle();
        EXPECT_EQ(table().GetState(), ClientTable::State::Browse);
        EXPECT_EQ(table().AsText(QString::fromLatin1(c.field)), c.items.at(1));
    }
    goTo(0, TaskColumn);
    QTest::keyClicks(m_grid, QStringLiteral("P"));
    EXPECT_NE(openEditor(), nullptr);
}

TEST_F(TaskGridTest, CategoryColumn_OffersTheCategoryListAsItIsWhenEntered)
{
    ql::CategoryList categories;
    categories.SetLines({ QStringLiteral("Home"), QStringLiteral("Work") });
    m_frame->SetCategoryList(&categories);
    goTo(0, CategoryColumn);
    EXPECT_EQ(m_grid->pickList(CategoryColumn), categories.Lines());

    categories.SetLines({ QStringLiteral("Garden") });
    goTo(0, TaskColumn);
    goTo(0, CategoryColumn);
    m_grid->edit(m_grid->currentIndex());
    auto *list = qobject_cast<QComboBox *>(openCellEditor());
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->itemText(0), QStringLiteral("Garden"));
    // A category outside the list can be typed.
    ASSERT_TRUE(list->isEditable());
    list->lineEdit()->selectAll();
    QTest::keyClicks(list->lineEdit(), QStringLiteral("Shed"));
    QTest::keyClick(list->lineEdit(), Qt::Key_Return);
    settle();
    EXPECT_EQ(table().AsText(QStringLiteral("Category")), QStringLiteral("Shed"));
}

TEST_F(TaskGridTest, DatePicker_OpensOverTheCellAndStoresTheDateWhenItsCalendarCloses)
{
    QDateEdit *picker = m_frame->DateTimePicker1;
    ASSERT_NE(picker, nullptr);
    EXPECT_FALSE(picker->isVisible());
    goTo(1, DueDateColumn);
    const QRect cellRect = m_grid->visualRect(m_grid->currentIndex());
    QTest::mouseDClick(m_grid->viewport(), Qt::LeftButton, {}, cellRect.center());
    ASSERT_TRUE(picker->isVisible());
    // On an empty cell the picker starts at today.
    EXPECT_EQ(picker->date(), Today);
    // Over the cell: on its left edge unless the frame's right edge pushes it left.
    const QRect onFrame(m_grid->viewport()->mapTo(m_frame, cellRect.topLeft()), cellRect.size());
    EXPECT_EQ(picker->y(), onFrame.top());
    EXPECT_LE(picker->x(), onFrame.left());
    EXPECT_GE(picker->geometry().right(), onFrame.right());
    EXPECT_TRUE(picker->x() == onFrame.left() || picker->geometry().right() == m_frame->width() - 1);
    EXPECT_TRUE(picker->hasFocus());

    // Closing the calendar without a click stores the date shown.
    QWidget *calendar = picker->calendarWidget()->window();
    calendar->show();
    calendar->hide();
    settle();
    EXPECT_FALSE(picker->isVisible());
    EXPECT_EQ(table().GetState(), ClientTable::State::Browse);
    EXPECT_EQ(table().RowNumber(), 2);
    EXPECT_EQ(table().AsDateTime(QStringLiteral("DueDate")).date(), Today);
    EXPECT_TRUE(m_frame->Modified());

    // The picker opens on the cell's date; a date typed into it without the calendar stores
    // nothing, and leaving for a column that holds no date hides it.
    QTest::mouseDClick(m_grid->viewport(), Qt::LeftButton, {}, cellRect.center());
    ASSERT_TRUE(picker->isVisible());
    EXPECT_EQ(picker->date(), Today);
    picker->setDate(Today.addDays(3));
    goTo(1, TaskColumn);
    EXPECT_FALSE(picker->isVisible());
    EXPECT_EQ(table().AsDateTime(QStringLiteral("DueDate")).date(), Today);

    // A double click on a cell that holds no date opens no picker.
    QTest::mouseDClick(
        m_grid->viewport(), Qt::LeftButton, {}, m_grid->visualRect(m_grid->currentIndex()).center());
    EXPECT_FALSE(picker->isVisible());
}

// The picker shows any day a date field holds, from 1 January 1 to 31 December 9999, with its
// whole text, even over the narrowest date column; closing its calendar keeps the cell's day.
TEST_F(TaskGridTest, DatePicker_ShowsEveryDayTheTableHoldsInFull)
{
    QDateEdit *picker = m_frame->DateTimePicker1;
    ASSERT_EQ(m_grid->columnWidth(StartDateColumn), 73);
    const QDate days[]
        = { QDate(2024, 2, 29), QDate(2026, 12, 28), QDate(1700, 5, 1), QDate(1, 1, 1), QDate(9999, 12, 31) };
    for (const QDate &day : days) {
        SCOPED_TRACE(day.toString(Qt::ISODate).toStdString());
        table().MoveTo(1);
        table().EditRow();
        table().SetDateTime(QStringLiteral("StartDate"), QDateTime(day, QTime(0, 0)));
        table().PostRow();
        goTo(0, StartDateColumn);
        QTest::mouseDClick(
            m_grid->viewport(), Qt::LeftButton, {}, m_grid->visualRect(m_grid->currentIndex()).center());
        ASSERT_TRUE(picker->isVisible());
        EXPECT_EQ(picker->date(), day);
        const auto *text = picker->findChild<QLineEdit *>();
        ASSERT_NE(text, nullptr);
        EXPECT_LE(text->fontMetrics().horizontalAdvance(text->text()) + 4, text->contentsRect().width())
            << text->text().toStdString();

        QWidget *calendar = picker->calendarWidget()->window();
        calendar->show();
        calendar->hide();
        settle();
        EXPECT_FALSE(picker->isVisible());
        EXPECT_EQ(table().AsDateTime(QStringLiteral("StartDate")).date(), day);
    }
    EXPECT_TRUE(m_ui.prompts().empty());
}

// However its calendar closes, the picker hands the keyboard back to the grid on the cell it was
// opened over: Up moves to the task above and Tab to the next cell.
TEST_F(TaskGridTest, DatePicker_GivesTheKeyboardBackToTheGridWhenItCloses)
{
    QDateEdit *picker = m_frame->DateTimePicker1;
    m_tabs.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&m_tabs));
    const struct
    {
        const char *how;
        QList<Qt::Key> keys;
        QDate stored;
    } closes[] = {
        { "Enter", { Qt::Key_Enter }, Today },
        { "Esc", { Qt::Key_Escape }, Today },
        { "another day", { Qt::Key_Right, Qt::Key_Return }, Today.addDays(1) },
    };
    for (const auto &close : closes) {
        SCOPED_TRACE(close.how);
        table().MoveTo(2);
        m_grid->setFocus();
        goTo(1, DueDateColumn);
        QTest::mouseDClick(
            m_grid->viewport(), Qt::LeftButton, {}, m_grid->visualRect(m_grid->currentIndex()).center());
        ASSERT_TRUE(picker->isVisible());
        ASSERT_EQ(QApplication::focusWidget(), picker);
        picker->setDate(Today);
        // A click on the drop-down arrow at the picker's right end opens the calendar.
        QTest::mouseClick(picker, Qt::LeftButton, {}, QPoint(picker->width() - 4, picker->height() / 2));
        QWidget *calendar = picker->calendarWidget();
        ASSERT_TRUE(calendar->isVisible());
        for (const Qt::Key key : close.keys)
            QTest::keyClick(QApplication::focusWidget(), key);
        settle();
        // The window system hands the activation back to the window the calendar closed over.
        m_tabs.activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([&] { return QGuiApplication::focusWindow() == m_tabs.windowHandle(); }));
        EXPECT_FALSE(calendar->isVisible());
        EXPECT_FALSE(picker->isVisible());
        EXPECT_EQ(table().AsDateTime(QStringLiteral("DueDate")).date(), close.stored);
        EXPECT_EQ(QApplication::focusWidget(), m_grid);
        EXPECT_EQ(m_grid->currentIndex(), m_grid->model()->index(1, DueDateColumn));

        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
        EXPECT_EQ(table().RowNumber(), 1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(m_grid->currentIndex(), m_grid->model()->index(0, DueDateColumn + 1));
    }
}

// The picker belongs to the task it opened over: moving to another task, by a click in the same
// column or by the wheel, hides it, and a calendar closed afterwards writes into no task.
TEST_F(TaskGridTest, DatePicker_HidesWhenTheCurrentTaskChanges)
{
    QDateEdit *picker = m_frame->DateTimePicker1;
    const auto cellCentre
        = [&](int row) { return m_grid->visualRect(m_grid->model()->index(row, DueDateColumn)).center(); };
    const std::function<void()> moves[] = {
        [&] { QTest::mouseClick(m_grid->viewport(), Qt::LeftButton, {}, cellCentre(2)); },
        [&] {
            QWheelEvent wheel(QPointF(1, 1), QPointF(1, 1), QPoint(), QPoint(0, -120), Qt::NoButton,
                Qt::NoModifier, Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(m_frame, &wheel);
        },
    };
    for (const auto &move : moves) {
        goTo(0, DueDateColumn);
        QTest::mouseDClick(m_grid->viewport(), Qt::LeftButton, {}, cellCentre(0));
        ASSERT_TRUE(picker->isVisible());
        picker->setDate(Today.addDays(5));
        move();
        EXPECT_NE(table().RowNumber(), 1);
        EXPECT_FALSE(picker->isVisible());
        QWidget *calendar = picker->calendarWidget()->window();
        calendar->show();
        calendar->hide();
        settle();
        for (int row = 0; row < 3; ++row)
            EXPECT_EQ(cell(row, DueDateColumn), QString()) << row;
    }
    EXPECT_EQ(table().GetState(), ClientTable::State::Browse);
    EXPECT_FALSE(m_frame->Modified());
}

TEST_F(TaskGridTest, DownOnTheLastTaskIsDropped)
{
    goTo(0, TaskColumn);
    QTest::keyClick(m_grid, Qt::Key_Down);
    EXPECT_EQ(table().RowNumber(), 2);
    goTo(2, TaskColumn);
    QTest::keyClick(m_grid, Qt::Key_Down);
    EXPECT_EQ(table().RowNumber(), 3);
    EXPECT_EQ(m_grid->model()->rowCount(), 3);
    EXPECT_EQ(table().GetState(), ClientTable::State::Browse);
    EXPECT_FALSE(m_frame->Modified());
}

TEST_F(TaskGridTest, InsertStartsANewTaskWithItsDefaultsAndEscAbandonsIt)
{
    goTo(1, TaskColumn);
    QTest::keyClick(m_grid, Qt::Key_Insert);
    EXPECT_EQ(table().GetState(), ClientTable::State::Insert);
    EXPECT_EQ(m_grid->model()->rowCount(), 4);
    EXPECT_EQ(m_grid->currentIndex().row(), table().RowNumber() - 1);
    EXPECT_EQ(table().AsDateTime(QStringLiteral("CreatedDate")).date(), Today);
    EXPECT_EQ(table().AsText(QStringLiteral("Progress")), QStringLiteral("0"));
    EXPECT_TRUE(m_frame->Modified());
    QTest::keyClick(m_grid, Qt::Key_Escape);
    EXPECT_EQ(table().GetState(), ClientTable::State::Browse);
    EXPECT_EQ(m_grid->model()->rowCount(), 3);
}

// A new task abandoned by Esc, by Delete Task answered Yes or by Ctrl+Del leaves the cursor on the
// task the user started it from, at the top, in the middle and at the end of the list, so the next
// command acts on that task.
TEST_F(TaskGridTest, AbandonedNewTask_LeavesTheCursorOnTheTaskItWasStartedFrom)
{
    const QStringList tasks { "t1", "t2", "t3", "t4", "t5" };
    TfrTasks &frame = loadedList(writeList(QStringLiteral("Five.ql1"), tasks), QStringLiteral("Five"));
    TaskGrid *grid = frame.DBGrid1;
    ClientTable &five = frame.cdsTasks();
    const std::function<void()> abandons[] = {
        [&] { QTest::keyClick(grid, Qt::Key_Escape); },
        [&] {
            m_ui.answerQuestion(ql::Answer::Yes);
            QTest::keyClick(grid, Qt::Key_Delete);
        },
        [&] {
            m_ui.answerConfirm(true);
            QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
        },
    };
    int way = 0;
    for (const auto &abandon : abandons) {
        for (const int row : { 0, 2, 4 }) {
            SCOPED_TRACE(testing::Message() << "way " << way << ", " << tasks.at(row).toStdString());
            const QRect rect = grid->visualRect(grid->model()->index(row, TaskColumn));
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, rect.center());
            ASSERT_EQ(five.AsText(QStringLiteral("Task")), tasks.at(row));
            QTest::keyClick(grid, Qt::Key_Insert);
            ASSERT_EQ(five.GetState(), ClientTable::State::Insert);
            abandon();
            EXPECT_EQ(five.GetState(), ClientTable::State::Browse);
            EXPECT_EQ(five.RowCount(), 5);
            EXPECT_EQ(five.AsText(QStringLiteral("Task")), tasks.at(row));
            EXPECT_EQ(grid->currentIndex().row(), row);
            frame.actBookmark->trigger();
            EXPECT_TRUE(five.AsBoolean(QStringLiteral("Bookmarked")));
            EXPECT_EQ(five.AsText(QStringLiteral("Task")), tasks.at(row));
            five.EditRow();
            five.SetNull(QStringLiteral("Bookmarked"));
            five.PostRow();
        }
        ++way;
    }
    EXPECT_EQ(m_ui.unanswered(), 0);
}

// A task entered in the grid is stored at its place in the order (by ID: the end of a long list)
// and the grid scrolls there, as it does for quick add.
TEST_F(TaskGridTest, NewTaskEnteredInTheGrid_IsScrolledIntoView)
{
    QStringList tasks;
    for (int i = 1; i <= 80; ++i)
        tasks << QStringLiteral("t%1").arg(i);
    TfrTasks &frame = loadedList(writeList(QStringLiteral("Long.ql1"), tasks), QStringLiteral("Long"));
    TaskGrid *grid = frame.DBGrid1;
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(0, TaskColumn));
    QTest::keyClick(grid, Qt::Key_Insert);
    grid->edit(grid->currentIndex());
    QLineEdit *editor = nullptr;
    for (QLineEdit *line : grid->viewport()->findChildren<QLineEdit *>())
        if (line->isVisible())
            editor = line;
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, QStringLiteral("new"));
    QTest::keyClick(editor, Qt::Key_Return);
    settle();
    ASSERT_EQ(frame.cdsTasks().GetState(), ClientTable::State::Browse);
    EXPECT_EQ(frame.cdsTasks().RowNumber(), 81);
    EXPECT_EQ(grid->currentIndex().row(), 80);
    EXPECT_TRUE(grid->viewport()->rect().contains(grid->visualRect(grid->currentIndex())));
}

TEST_F(TaskGridTest, CtrlDel_AsksDeleteRecordAndDeletesUnlessCancelled)
{
    goTo(1, TaskColumn);
    m_ui.answerConfirm(false);
    QTest::keyClick(m_grid, Qt::Key_Delete, Qt::ControlModifier);
    ASSERT_EQ(m_ui.prompts().size(), 1u);
    const ScriptedUi::Prompt &asked = m_ui.prompts().front();
    EXPECT_EQ(asked.kind, ScriptedUi::Kind::Confirm);
    EXPECT_EQ(asked.text, QStringLiteral("Delete record?"));
    EXPECT_EQ(asked.icon, ScriptedUi::Icon::Question);
    EXPECT_EQ(asked.buttons, (QStringList { QStringLiteral("OK"), QStringLiteral("Cancel") }));
    EXPECT_EQ(table().RowCount(), 3);
    EXPECT_FALSE(m_frame->Modified());

    m_ui.answerConfirm(true);
    QTest::keyClick(m_grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(table().RowCount(), 2);
    EXPECT_EQ(cell(1, TaskColumn), QStringLiteral("three"));
    // The cursor goes to the task after the deleted one, in the table and the grid alike.
    EXPECT_EQ(table().AsText(QStringLiteral("Task")), QStringLiteral("three"));
    EXPECT_EQ(m_grid->currentIndex().row(), 1);
    EXPECT_TRUE(m_frame->Modified());
    EXPECT_EQ(m_frame->statusPanelText(0), QStringLiteral("Items 2"));
}

} // namespace
