// The task-list frame's document state, its reactions to the table, the wheel and quick add.
#include "TaskListFixture.h"
#include "common/uGeneral.h"
#include "storage/DataSource.h"
#include "tasks/TabCaption.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QToolButton>
#include <QWheelEvent>

namespace {

using ql::ScriptedUi;
using ql::TfrTasks;

class FrameTest : public TaskListFixture
{
};

// A caption that cannot be reached, as for a frame that is on no tab.
class UnreachableCaption final : public ql::TabCaption
{
public:
    QString text() const override { throw ql::Error(QStringLiteral("no tab")); }
    void setText(const QString &) override { throw ql::Error(QStringLiteral("no tab")); }
};

TEST_F(FrameTest, NewList_IsMarkedUnsavedWithAnEmptyFileName)
{
    TfrTasks &frame = newList();
    EXPECT_EQ(caption(frame), QStringLiteral("New *"));
    EXPECT_EQ(frame.SavedTabCaption(), QStringLiteral("New"));
    EXPECT_EQ(frame.statusPanelText(0), QStringLiteral("Items 0"));
    EXPECT_EQ(frame.statusPanelText(1), QStringLiteral("Unsaved"));
    EXPECT_TRUE(frame.IsNewList());
    EXPECT_TRUE(frame.Modified());
    EXPECT_TRUE(frame.ListFileName().isEmpty());
    EXPECT_EQ(frame.cdsTasks().Fields().size(), 25u);
    EXPECT_EQ(frame.cdsTasks().IndexName(), QStringLiteral("cdsTasksIndexID"));
    EXPECT_EQ(combo(frame, "cbOrder")->currentText(), QStringLiteral("ID"));
    EXPECT_EQ(combo(frame, "cbShow")->currentText(), QStringLiteral("All"));
    EXPECT_TRUE(m_ui.prompts().empty());
}

TEST_F(FrameTest, LoadedList_ShowsItsTasksWithoutMark)
{
    const QString file = writeList(QStringLiteral("Plan.ql1"), { "one", "two", "three" });
    TfrTasks &frame = loadedList(file, QStringLiteral("Plan"));
    EXPECT_EQ(caption(frame), QStringLiteral("Plan"));
    EXPECT_EQ(frame.statusPanelText(0), QStringLiteral("Items 3"));
    EXPECT_EQ(frame.statusPanelText(1), QString());
    EXPECT_FALSE(frame.Modified());
    EXPECT_FALSE(frame.IsNewList());
    EXPECT_EQ(frame.ListFileName(), file);
    EXPECT_EQ(frame.cdsTasks().RowNumber(), 1);
    EXPECT_EQ(frame.DBGrid1->currentIndex().row(), 0);
    EXPECT_TRUE(m_ui.prompts().empty());
}

TEST_F(FrameTest, OpenList_MissingFileLeavesTheTableClosedWithoutAWord)
{
    TfrTasks &frame = loadedList(path(QStringLiteral("gone.ql1")), QStringLiteral("gone"));
    EXPECT_FALSE(frame.cdsTasks().Active());
    EXPECT_TRUE(frame.ListFileName().isEmpty());
    EXPECT_EQ(caption(frame), QStringLiteral("gone"));
    EXPECT_FALSE(frame.Modified());
    EXPECT_TRUE(m_ui.prompts().empty());
}

// The mark is state of the frame: captions that contain "*" themselves (a file name may) get it
// all the same, only once, and lose exactly it on save.
TEST_F(FrameTest, UnsavedMark_AddedOnceAndTakenAwayOnSave)
{
    for (const QString name : { "Plan", "a*b", "*", "Plan *", "R&D" }) {
        SCOPED_TRACE(name.toStdString());
        const QString file = writeList(name + QStringLiteral(".ql1"), { "one" });
        TfrTasks &frame = loadedList(file, name);

        frame.MarkUnsaved();
        frame.MarkUnsaved();
        EXPECT_EQ(caption(frame), name + QStringLiteral(" *"));
        EXPECT_EQ(frame.SavedTabCaption(), name);
        EXPECT_EQ(frame.statusPanelText(1), QStringLiteral("Unsaved"));
        EXPECT_TRUE(frame.Modified());

        frame.MarkSaved();
        EXPECT_EQ(caption(frame), name);
        EXPECT_EQ(frame.statusPanelText(1), QStringLiteral("Saved"));
        EXPECT_FALSE(frame.Modified());

        frame.MarkUnsaved();
        EXPECT_EQ(caption(frame), name + QStringLiteral(" *"));
    }
}

// The main window's sequences: Save As marks the list saved and then names the tab; Save names
// the tab and then marks it saved.
TEST_F(FrameTest, MarkSaved_KeepsTheNameTheMainWindowGave)
{
    TfrTasks &frame = newList();
    const int tab = m_tabs.indexOf(frame.parentWidget());

    frame.MarkSaved(); // Save As
    m_tabs.setTabText(tab, QStringLiteral("Plan"));
    EXPECT_EQ(caption(frame), QStringLiteral("Plan"));

    m_tabs.setTabText(tab, QStringLiteral("Plan")); // Save without changes
    frame.MarkSaved();
    EXPECT_EQ(caption(frame), QStringLiteral("Plan"));

    frame.MarkUnsaved();
    EXPECT_EQ(caption(frame), QStringLiteral("Plan *"));
    m_tabs.setTabText(tab, QStringLiteral("Plan")); // Save after a change
    frame.MarkSaved();
    EXPECT_EQ(caption(frame), QStringLiteral("Plan"));

    // A list saved under another name while marked keeps the new name, and a later change marks it.
    frame.MarkUnsaved();
    frame.MarkSaved();
    m_tabs.setTabText(tab, QStringLiteral("Other"));
    frame.MarkUnsaved();
    EXPECT_EQ(caption(frame), QStringLiteral("Other *"));
    EXPECT_EQ(frame.SavedTabCaption(), QStringLiteral("Other"));
}

TEST_F(FrameTest, MarkUnsaved_UnreachableCaptionSaysSoAndStaysModified)
{
    TfrTasks &frame = addFrame(QStringLiteral("New"));
    frame.setTabCaption(std::make_unique<UnreachableCaption>());
    frame.OpenList(QStringLiteral("New"), true);

    EXPECT_TRUE(frame.Modified());
    ASSERT_EQ(m_ui.prompts().size(), 1u);
    const ScriptedUi::Prompt &prompt = m_ui.prompts().front();
    EXPECT_EQ(prompt.kind, ScriptedUi::Kind::Message);
    EXPECT_EQ(prompt.caption, QStringLiteral("Quillon"));
    EXPECT_EQ(prompt.text, QStringLiteral("Cannot set unsaved"));
    EXPECT_EQ(prompt.buttons, QStringList { QStringLiteral("OK") });
    EXPECT_EQ(caption(frame), QStringLiteral("New"));
}

// A loaded list builds its other orders while the program is idle after opening, changing nothing
// the user sees; an order its file cannot have is left for the user's choice to report.
TEST_F(FrameTest, LoadedList_BuildsItsOrdersWhenIdle)
{
    TfrTasks &frame
        = loadedList(writeList(QStringLiteral("Plan.ql1"), { "b", "a", "c" }), QStringLiteral("Plan"));
    ql::ClientTable &table = frame.cdsTasks();
    EXPECT_FALSE(table.IndexPrepared(QStringLiteral("cdsTasksIndexTaskName")));
    for (const QString &name : table.IndexNames())
        EXPECT_TRUE(QTest::qWaitFor([&] { return table.IndexPrepared(name); })) << name.toStdString();
    EXPECT_EQ(table.IndexName(), QStringLiteral("cdsTasksIndexID"));
    EXPECT_EQ(table.RowNumber(), 1);
    EXPECT_FALSE(frame.Modified());

    TfrTasks &old = loadedList(
        writeList(QStringLiteral("Old.ql1"), { "x" }, { "ID", "Task", "Status" }), QStringLiteral("Old"));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return old.cdsTasks().IndexPrepared(QStringLiteral("cdsTasksStatus")); }));
    EXPECT_FALSE(old.cdsTasks().IndexPrepared(QStringLiteral("cdsTasksCategory")));
    EXPECT_TRUE(m_ui.prompts().empty());
}

TEST_F(FrameTest, CursorMovement_ClearsTheSaveStateButNotModified)
{
    TfrTasks &frame = newList();
    typeTask(frame, QStringLiteral("one"));
    typeTask(frame, QStringLiteral("two"));
    // The count follows every post and deletion, not only the cursor.
    EXPECT_EQ(frame.statusPanelText(0), QStringLiteral("Items 2"));
    EXPECT_EQ(frame.statusPanelText(1), QStringLiteral("Unsaved"));
    frame.cdsTasks().DeleteRow();
    EXPECT_EQ(frame.statusPanelText(0), QStringLiteral("Items 1"));
    typeTask(frame, QStringLiteral("two"));

    frame.cdsTasks().MoveFirst();
    EXPECT_EQ(frame.statusPanelText(0), QStringLiteral("Items 2"));
    EXPECT_EQ(frame.statusPanelText(1), QString());
    EXPECT_TRUE(frame.Modified());
    EXPECT_EQ(caption(frame), QStringLiteral("New *"));
}

// Rows inserted by any route (the grid, Batch Insert, Import) get the defaults and mark the list.
TEST_F(FrameTest, InsertReaction_GivesDefaultsAndMarksUnsaved)
{
    TfrTasks &frame = loadedList(writeList(QStringLiteral("Plan.ql1"), { "one" }), QStringLiteral("Plan"));
    ql::ClientTable &table = frame.cdsTasks();
    table.AppendRow();
    EXPECT_EQ(table.AsText(QStringLiteral("Status")), QStringLiteral("0"));
    EXPECT_EQ(table.AsDateTime(QStringLiteral("CreatedDate")).date(), Today);
    EXPECT_EQ(table.GetValue(QStringLiteral("Progress")), ql::Value::integer(0));
    EXPECT_TRUE(table.IsNull(QStringLiteral("Task")));
    EXPECT_EQ(caption(frame), QStringLiteral("Plan *"));
    EXPECT_TRUE(frame.Modified());
    // The row is left to its inserter: still pending.
    EXPECT_EQ(table.GetState(), ql::ClientTable::State::Insert);
}

TEST_F(FrameTest, EditReaction_MarksUnsaved)
{
    TfrTasks &frame = loadedList(writeList(QStringLiteral("Plan.ql1"), { "one" }), QStringLiteral("Plan"));
    frame.cdsTasks().EditRow();
    EXPECT_TRUE(frame.Modified());
    EXPECT_EQ(caption(frame), QStringLiteral("Plan *"));
    EXPECT_EQ(frame.statusPanelText(1), QStringLiteral("Unsaved"));
}

// Another view of the list (a dialog's data source) neither cuts the frame off while it follows the
// table nor when it goes, and the frame's editors still write what they hold when it posts.
TEST_F(FrameTest, AnotherDataSourceOnTheList_TheFrameGoesOnFollowingTheTable)
{
    TfrTasks &frame = loadedList(writeList(QStringLiteral("Plan.ql1"), { "one" }), QStringLiteral("Plan"));
    showTabs();
    {
        ql::DataSource other(frame.cdsTasks());
        typeTask(frame, QStringLiteral("two"));
        EXPECT_EQ(frame.DBGrid1->model()->rowCount(), 2);
        EXPECT_EQ(frame.DBGrid1->currentIndex().row(), 1);
        EXPECT_EQ(frame.statusPanelText(0), QStringLiteral("Items 2"));
    }
    typeTask(frame, QStringLiteral("three"));
    EXPECT_EQ(frame.DBGrid1->model()->rowCount(), 3);
    EXPECT_EQ(frame.DBGrid1->currentIndex().row(), 2);
    EXPECT_EQ(frame.statusPanelText(0), QStringLiteral("Items 3"));
    EXPECT_TRUE(m_ui.prompts().empty());
}

// One task per turn whatever its size; a turn away from the user goes to the previous task.
TEST_F(FrameTest, Wheel_MovesOneTaskPerTurn)
{
    TfrTasks &frame
        = loadedList(writeList(QStringLiteral("Plan.ql1"), { "a", "b", "c" }), QStringLiteral("Plan"));
    showTabs();
    const struct
    {
        int delta;
        int rowAfter;
    } turns[] = { { -120, 2 }, { -960, 3 }, { -120, 3 }, { 120, 2 }, { 0, 2 }, { 480, 1 }, { 120, 1 } };
    for (const auto &turn : turns) {
        SCOPED_TRACE(turn.delta);
        const QPointF at(10, 10);
        QWheelEvent wheel(at, frame.mapToGlobal(at), QPoint(), QPoint(0, turn.delta), Qt::NoButton,
            Qt::NoModifier, Qt::NoScrollPhase, false);
        wheel.setAccepted(false);
        QCoreApplication::sendEvent(&frame, &wheel);
        EXPECT_TRUE(wheel.isAccepted());
        EXPECT_EQ(frame.cdsTasks().RowNumber(), turn.rowAfter);
        EXPECT_EQ(frame.DBGrid1->currentIndex().row(), turn.rowAfter - 1);
    }
    EXPECT_TRUE(m_ui.prompts().empty());
}

TEST_F(FrameTest, Wheel_OnAClosedTableShowsTheTableError)
{
    TfrTasks &frame = loadedList(path(QStringLiteral("gone.ql1")), QStringLiteral("gone"));
    QWheelEvent wheel(QPointF(1, 1), QPointF(1, 1), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
        Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&frame, &wheel);
    EXPECT_EQ(shownMessages(ScriptedUi::Kind::Error),
        QStringList { QStringLiteral("Cannot perform this operation on a closed dataset.") });
}

// ---------------------------------------------------------------------------------------------
// Quick add

TEST_F(FrameTest, QuickAdd_FillsTheTaskAndResetsTheBar)
{
    TfrTasks &frame = newList();
    ql::ClientTable &table = frame.cdsTasks();
    auto *edit = frame.findChild<QLineEdit *>(QStringLiteral("Edit2"));

    typeTask(frame, QStringLiteral(" \t Buy  milk \x01 "));
    ASSERT_EQ(table.RowCount(), 1);
    EXPECT_EQ(table.GetState(), ql::ClientTable::State::Browse);
    const struct
    {
        const char *field;
        ql::Value value;
    } expected[] = {
        { "ID", ql::Value::integer(1) },
        { "Task", ql::Value::text("Buy  milk") },
        { "CreatedDate", ql::Value::fromDate(Today) },
        { "Status", ql::Value::text("Not Started") },
        { "Progress", ql::Value::integer(0) },
        { "Priority", ql::Value::text("Normal") },
        { "Difficulty", ql::Value::text("Moderate") },
        { "Bookmarked", ql::Value::boolean(false) },
        { "Time", ql::Value::integer(0) },
        { "AssignedTo", ql::Value::text(ql::CurrentUserName()) },
        { "Category", ql::Value::text("") },
    };
    for (const auto &e : expected) {
        SCOPED_TRACE(e.field);
        EXPECT_EQ(table.GetValue(QString::fromLatin1(e.field)), e.value);
    }
    for (const char *empty : { "CompletedDate", "LastActioned", "StartDate", "DueDate", "ParentID", "GroupNo",
             "Comments", "Owner", "Details", "RelatedFile", "LinkedList", "Properties", "Points", "URL" })
        EXPECT_TRUE(table.IsNull(QString::fromLatin1(empty))) << empty;
    EXPECT_TRUE(edit->text().isEmpty());
    EXPECT_EQ(combo(frame, "cbDifficulty")->currentText(), QStringLiteral("Easy"));
    EXPECT_EQ(combo(frame, "cbPriority")->currentText(), QStringLiteral("Normal"));

    // The boxes untouched: "Easy" now, not "Moderate".
    typeTask(frame, QStringLiteral("Call Bob"));
    EXPECT_EQ(table.AsText(QStringLiteral("Difficulty")), QStringLiteral("Easy"));
    EXPECT_EQ(table.AsText(QStringLiteral("Priority")), QStringLiteral("Normal"));

    combo(frame, "cbDifficulty")->setCurrentText(QStringLiteral("Hard"));
    combo(frame, "cbPriority")->setCurrentText(QStringLiteral("High"));
    frame.findChild<QToolButton *>(QStringLiteral("SpeedButton1"))->setFocus();
    edit->setText(QStringLiteral("Fix roof"));
    QTest::mouseClick(frame.findChild<QToolButton *>(QStringLiteral("SpeedButton1")), Qt::LeftButton);
    EXPECT_EQ(table.AsText(QStringLiteral("Task")), QStringLiteral("Fix roof"));
    EXPECT_EQ(table.AsText(QStringLiteral("Difficulty")), QStringLiteral("Hard"));
    EXPECT_EQ(table.AsText(QStringLiteral("Priority")), QStringLiteral("High"));
    EXPECT_EQ(combo(frame, "cbDifficulty")->currentText(), QStringLiteral("Easy"));
    EXPECT_EQ(combo(frame, "cbPriority")->currentText(), QStringLiteral("Normal"));

    EXPECT_EQ(table.RowCount(), 3);
    EXPECT_EQ(writtenChangeLog(table), QStringLiteral("1 0 4 2 0 4 3 0 4"));
    EXPECT_EQ(frame.DBGrid1->model()->rowCount(), 3);
    EXPECT_EQ(frame.DBGrid1->currentIndex().row(), 2);
    EXPECT_TRUE(m_ui.prompts().empty());
}

TEST_F(FrameTest, QuickAdd_BlankTextAddsNothingAndLeavesTheBar)
{
    TfrTasks &frame = loadedList(writeList(QStringLiteral("Plan.ql1"), { "one" }), QStringLiteral("Plan"));
    combo(frame, "cbPriority")->setCurrentText(QStringLiteral("Low"));
    typeTask(frame, QStringLiteral(" \t  "));
    EXPECT_EQ(frame.cdsTasks().RowCount(), 1);
    EXPECT_EQ(frame.cdsTasks().GetState(), ql::ClientTable::State::Browse);
    EXPECT_FALSE(frame.Modified());
    EXPECT_EQ(frame.findChild<QLineEdit *>(QStringLiteral("Edit2"))->text(), QStringLiteral(" \t  "));
    EXPECT_EQ(combo(frame, "cbPriority")->currentText(), QStringLiteral("Low"));
    EXPECT_EQ(combo(frame, "cbDifficulty")->currentText(), QStringLiteral("Moderate"));
}

TEST_F(FrameTest, QuickAdd_TypedCategoryIsKeptAndNotAddedToTheList)
{
    TfrTasks &frame = newList();
    QComboBox *cbCat = frame.cbCat;
    cbCat->addItems({ QStringLiteral("Home"), QStringLiteral("Work") });
    cbCat->setCurrentIndex(-1);
    QTest::keyClicks(cbCat->lineEdit(), QStringLiteral("Garden"));
    QTest::keyClick(cbCat->lineEdit(), Qt::Key_Return);

    typeTask(frame, QStringLiteral("Mow"));
    typeTask(frame, QStringLiteral("Weed"));
    ql::ClientTable &table = frame.cdsTasks();
    EXPECT_EQ(table.AsText(QStringLiteral("Category")), QStringLiteral("Garden"));
    table.MoveFirst();
    EXPECT_EQ(table.AsText(QStringLiteral("Category")), QStringLiteral("Garden"));
    EXPECT_EQ(cbCat->count(), 2);
    EXPECT_EQ(cbCat->currentText(), QStringLiteral("Garden"));
}

// The add stops at the first field the file lacks; the row stays pending with what was set, the
// bar keeps its text, and Esc in the grid abandons the row.
TEST_F(FrameTest, QuickAdd_ListLackingAFieldShowsTheFieldErrorAndLeavesTheRowPending)
{
    QStringList fields = ql::TaskGridModel::columnFields();
    fields.removeAll(QStringLiteral("Time"));
    fields << QStringLiteral("ParentID") << QStringLiteral("Properties");
    TfrTasks &frame
        = loadedList(writeList(QStringLiteral("Old.ql1"), { "one" }, fields), QStringLiteral("Old"));
    showTabs();
    typeTask(frame, QStringLiteral("Two"));

    EXPECT_EQ(
        shownMessages(ScriptedUi::Kind::Error), QStringList { QStringLiteral("Field 'Time' not found.") });
    ql::ClientTable &table = frame.cdsTasks();
    ASSERT_EQ(table.GetState(), ql::ClientTable::State::Insert);
    EXPECT_EQ(table.AsText(QStringLiteral("Task")), QStringLiteral("Two"));
    EXPECT_EQ(table.GetValue(QStringLiteral("Bookmarked")), ql::Value::boolean(false));
    EXPECT_TRUE(table.IsNull(QStringLiteral("AssignedTo")));
    EXPECT_EQ(frame.findChild<QLineEdit *>(QStringLiteral("Edit2"))->text(), QStringLiteral("Two"));
    EXPECT_EQ(frame.DBGrid1->model()->rowCount(), 2);
    EXPECT_EQ(frame.DBGrid1->currentIndex().row(), 1);
    EXPECT_EQ(frame.DBGrid1->model()->index(1, 1).data().toString(), QStringLiteral("Two"));

    frame.DBGrid1->setFocus();
    QTest::keyClick(frame.DBGrid1, Qt::Key_Escape);
    EXPECT_EQ(table.GetState(), ql::ClientTable::State::Browse);
    EXPECT_EQ(table.RowCount(), 1);
    EXPECT_EQ(frame.DBGrid1->model()->rowCount(), 1);
    EXPECT_EQ(writtenRows(table), 1);
}

TEST_F(FrameTest, Paste_InsertsTheClipboardAtTheCaretWithoutAdding)
{
    TfrTasks &frame = newList();
    auto *edit = frame.findChild<QLineEdit *>(QStringLiteral("Edit2"));
    QGuiApplication::clipboard()->setText(QStringLiteral("milk"));
    edit->setText(QStringLiteral("Buy bread"));
    edit->setSelection(4, 5);
    frame.findChild<QAction *>(QStringLiteral("Paste1"))->trigger();
    EXPECT_EQ(edit->text(), QStringLiteral("Buy milk"));
    EXPECT_EQ(frame.cdsTasks().RowCount(), 0);

    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(frame.cdsTasks().AsText(QStringLiteral("Task")), QStringLiteral("Buy milk"));
}

} // namespace
