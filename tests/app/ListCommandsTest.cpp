// The main window's commands on the active list: Print, Import, Batch Insert, Comments, Detail View,
// About and the commands of the controls the window never shows. Each is started from its menu item
// or tool button; prompts are scripted and the dialogs are driven through the modal seam.
#include "MainWindowFixture.h"

#include "app/DialogPickers.h"
#include "dialogs/uAbout.h"
#include "dialogs/uFrmBatchImport.h"
#include "dialogs/uFrmComments.h"
#include "dialogs/uFrmDetails.h"
#include "dialogs/uFrmProgress.h"
#include "dialogs/ufrmDateSelect.h"
#include "platform/gui/ShowModal.h"
#include "report/ReportPreview.h"
#include "report/uQRptTasks.h"
#include "storage/TaskTableFixture.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <functional>
#include <vector>

namespace {

using Kind = ql::ScriptedUi::Kind;
using ql::ClientTable;
using ql::FieldType;
using ql::Value;
using ql::test::column;
namespace TaskField = ql::TaskField;

const QString Guard = QStringLiteral("Open or create a list first!");

class ListCommandsTest : public MainWindowFixture
{
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        if (HasFatalFailure())
            return;
        main().setBatchImportDialog(&m_batch);
        main().setAboutDialog(&m_about);
        main().setReport(&m_report);
        m_pickers.setCommentsDialog(&m_comments);
        m_pickers.setDetailsDialog(&m_details);
        main().setPickers(&m_pickers);
        // Every dialog shown is recorded; `m_drive` plays the user in it, and a dialog it leaves
        // open counts as closed with its close box.
        m_previousHook = ql::setModalHook([this](QDialog &dialog) {
            m_shown.push_back(&dialog);
            dialog.setResult(QDialog::Rejected);
            if (m_drive)
                m_drive(dialog);
            return dialog.result();
        });
    }

    void TearDown() override
    {
        ql::setModalHook(m_previousHook);
        MainWindowFixture::TearDown();
    }

    // The window's own controls: a list's frame has items and buttons of the same names.
    void clickMenuItem(const char *name)
    {
        const QString itemName = QString::fromLatin1(name);
        QAction *item = main().menuBar()->findChild<QAction *>(itemName);
        if (!item)
            item = main().PopupMenu1->findChild<QAction *>(itemName);
        ASSERT_NE(item, nullptr) << name;
        item->trigger();
    }

    void clickToolButton(const char *name)
    {
        auto *button = main().ToolBar1->findChild<QToolButton *>(QString::fromLatin1(name));
        ASSERT_NE(button, nullptr) << name;
        button->click();
    }

    ql::TfrTasks &frame() { return *main().ActiveTasksFrame(); }
    ClientTable &tasks() { return frame().cdsTasks(); }

    // Writes a table to a list file in the lists folder.
    QString writeTable(ClientTable &table, const QString &name)
    {
        const QString path = listPath(name);
        table.WriteToFile(path, ql::DataFormat::XmlUtf8);
        return path;
    }

    // A list from elsewhere whose IDs are plain numbers the list keeps itself, not counter values:
    // its unique ID order refuses a task whose ID another task holds.
    QString writeListWithPlainIds(const QString &name, const std::vector<std::pair<int, QString>> &tasks)
    {
        ClientTable table;
        table.AddFieldDef({ TaskField::ID, FieldType::Integer, 0 });
        table.AddFieldDef({ TaskField::Task, FieldType::Text, 255 });
        table.AddFieldDef({ TaskField::Status, FieldType::Text, 20 });
        table.AddFieldDef({ TaskField::Progress, FieldType::Integer, 0 });
        table.AddFieldDef({ TaskField::CreatedDate, FieldType::Date, 0 });
        table.CreateEmpty();
        for (const auto &[id, text] : tasks) {
            table.AppendRow();
            table.SetInteger(TaskField::ID, id);
            table.SetText(TaskField::Task, text);
            table.PostRow();
        }
        return writeTable(table, name);
    }

    void importFile(const QString &path, const char *control = "tbImport")
    {
        m_ui.answerOpenFile(path);
        clickToolButton(control);
    }

    ql::TfrmBatchImport m_batch;
    ql::TfrmComments m_comments;
    ql::TfrmDetails m_details;
    ql::TfrmAbout m_about;
    ql::TQRptTasks m_report;
    ql::TfrmProgress m_progress;
    ql::TfrmDateSelect m_dates;
    ql::DialogPickers m_pickers { m_progress, m_dates };
    std::vector<QDialog *> m_shown;
    std::function<void(QDialog &)> m_drive;
    ql::ModalHook m_previousHook;
};

// Without a list: Print and the menu's Batch Insert do nothing, Categories and About show their
// dialogs, and every other command stops at the guard, before any dialog.
TEST_F(ListCommandsTest, WithoutList_EachCommandGuardsOrDoesNothingOrWorks)
{
    struct Case
    {
        const char *control;
        bool toolButton;
        bool guarded;
        QDialog *shows;
    };
    const Case cases[] = {
        { "Print1", false, false, nullptr },
        { "tbPrint", true, false, nullptr },
        { "Import1", false, true, nullptr },
        { "tbImport", true, true, nullptr },
        { "BatchInsert1", false, false, nullptr },
        { "ToolButton5", true, true, nullptr },
        { "DetailView1", false, true, nullptr },
        { "Comments1", false, true, nullptr },
        { "About1", false, false, &m_about },
        { "Categories1", false, false, m_categories.get() },
        { "ToolButton6", true, false, m_categories.get() },
        // The controls the window never shows.
        { "SetTasktoCancelled1", false, true, nullptr },
        { "SetProgress1", false, true, nullptr },
        { "ToolButton1", true, true, nullptr },
        { "ToolButton20", true, true, nullptr },
        { "ToolButton8", true, true, nullptr },
        { "ToolButton2", true, false, nullptr },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.control);
        m_ui.clear();
        m_shown.clear();
        if (c.toolButton)
            clickToolButton(c.control);
        else
            clickMenuItem(c.control);
        EXPECT_EQ(errors(), c.guarded ? QStringList { Guard } : QStringList());
        EXPECT_EQ(m_ui.prompts().size(), c.guarded ? 1u : 0u);
        EXPECT_EQ(m_shown, c.shows ? std::vector<QDialog *> { c.shows } : std::vector<QDialog *> {});
    }
    EXPECT_EQ(tabs().count(), 0);
}

// Print previews the tasks the grid shows under the tab's caption as shown, unsaved mark included,
// and leaves the list as it was, its cursor on the last task.
TEST_F(ListCommandsTest, Print_PreviewsTheListUnderItsCaptionWithTheUnsavedMark)
{
    openList(writeList(QStringLiteral("Plan.ql1"), { QStringLiteral("Alpha"), QStringLiteral("Beta") }));
    typeTask(QStringLiteral("Gamma"));
    tasks().MoveFirst();
    // A task still being edited is posted before the report reads it.
    tasks().EditRow();
    tasks().SetText(TaskField::Task, QStringLiteral("Alpha, edited"));

    QString previewedHeading;
    m_drive = [&](QDialog &dialog) {
        EXPECT_NE(qobject_cast<ql::ReportPreview *>(&dialog), nullptr);
        EXPECT_EQ(dialog.parentWidget(), &main());
        previewedHeading = m_report.Heading();
    };
    clickMenuItem("Print1");

    EXPECT_EQ(m_shown.size(), 1u);
    EXPECT_EQ(previewedHeading, QStringLiteral("Plan *"));
    EXPECT_FALSE(tasks().IsEditing());
    EXPECT_EQ(column(tasks(), TaskField::Task),
        QStringList({ QStringLiteral("Alpha, edited"), QStringLiteral("Beta"), QStringLiteral("Gamma") }));
    EXPECT_EQ(tasks().AsText(TaskField::Task), QStringLiteral("Gamma"));
    EXPECT_EQ(captions(), QStringList({ "Plan *" }));
    EXPECT_EQ(m_ui.prompts().size(), 1u); // the Open dialog
    EXPECT_TRUE(errors().isEmpty());

    // A list without unsaved changes is headed by its name alone.
    openList(writeList(QStringLiteral("Clean.ql1")));
    clickToolButton("tbPrint");
    EXPECT_EQ(m_shown.size(), 2u);
    EXPECT_EQ(previewedHeading, QStringLiteral("Clean"));
}

// Import from a list with the same fields: one new task per source task, every value as the source
// has it, numbered after the list's own; an empty source value replaces the new task's default.
TEST_F(ListCommandsTest, Import_SameFields_AppendsEverySourceTaskNumberedAfterTheListsOwn)
{
    openList(
        writeList(QStringLiteral("Target.ql1"), { QStringLiteral("Old one"), QStringLiteral("Old two") }));
    ASSERT_FALSE(frame().Modified());

    auto source = ql::test::newTaskTable();
    source->AppendRow();
    for (const ql::Field &field : source->Fields()) {
        switch (field.type()) {
        case FieldType::Counter:
            break;
        case FieldType::Date:
            source->SetValue(field, Value::fromDate(QDate(2026, 1, 5).addDays(field.index())));
            break;
        case FieldType::Boolean:
            source->SetValue(field, Value::boolean(true));
            break;
        case FieldType::Integer:
        case FieldType::Word:
            source->SetValue(field, Value::integer(40 + field.index()));
            break;
        default:
            source->SetValue(field, Value::text(field.name() + QStringLiteral(" of Call Bob\r\nmore")));
        }
    }
    source->SetText(TaskField::Status, QStringLiteral("Complete"));
    source->PostRow();
    // A task that leaves everything but its text empty.
    source->AppendRow();
    source->SetText(TaskField::Task, QStringLiteral("Pay rent"));
    source->PostRow();
    const QString path = writeTable(*source, QStringLiteral("Source.ql1"));

    m_ui.clear();
    importFile(path);

    ASSERT_EQ(m_ui.prompts().size(), 1u);
    EXPECT_EQ(m_ui.prompts()[0].kind, Kind::OpenFile);
    EXPECT_EQ(m_ui.prompts()[0].file.filter, QStringLiteral("Quillon File v1|*.ql1|All Files (*.*)|*.*"));
    EXPECT_EQ(m_ui.prompts()[0].file.initialFolder, ql::ProgramFolder::path());
    EXPECT_TRUE(errors().isEmpty());

    ASSERT_EQ(tasks().RowCount(), 4);
    EXPECT_FALSE(tasks().IsEditing());
    EXPECT_EQ(column(tasks(), TaskField::ID), QStringList({ "1", "2", "3", "4" }));
    for (const ql::Field &field : source->Fields()) {
        if (field.name() == TaskField::ID)
            continue;
        EXPECT_EQ(column(tasks(), field.name())[2], column(*source, field.name())[0])
            << field.name().toStdString();
    }
    // Empty in the source: a text field holds empty text, any other field is null; the defaults
    // of a new task (status, progress, creation date) are gone.
    EXPECT_EQ(tasks().ViewValue(4, tasks().RequireField(TaskField::Task)).text(), QStringLiteral("Pay rent"));
    for (const QString &field : { TaskField::Status, TaskField::Comments }) {
        const Value value = tasks().ViewValue(4, tasks().RequireField(field));
        EXPECT_FALSE(value.isNull()) << field.toStdString();
        EXPECT_TRUE(value.text().isEmpty()) << field.toStdString();
    }
    for (const QString &field : { TaskField::Progress, TaskField::CreatedDate, TaskField::Bookmarked })
        EXPECT_TRUE(tasks().ViewValue(4, tasks().RequireField(field)).isNull()) << field.toStdString();

    EXPECT_TRUE(frame().Modified());
    EXPECT_EQ(captions(), QStringList({ "Target *" }));
    // The new tasks reach the file with the list's next save.
    main().actSaveExecute();
    EXPECT_EQ(tasksIn(listPath(QStringLiteral("Target.ql1"))),
        QStringList({ "Old one", "Old two", column(*source, TaskField::Task)[0], "Pay rent" }));

    // From the Tools menu, cancelled: nothing happens.
    m_ui.clear();
    clickMenuItem("Import1");
    EXPECT_EQ(m_ui.prompts().size(), 1u);
    EXPECT_TRUE(errors().isEmpty());
    EXPECT_EQ(tasks().RowCount(), 4);
    EXPECT_FALSE(frame().Modified());
}

// A source field the list lacks, or one whose text the list's field cannot take, is left out
// without a word; the other fields arrive and a skipped field keeps the new task's default.
TEST_F(ListCommandsTest, Import_FieldsTheListCannotTake_AreSkippedSilently)
{
    main().actNewExecute();
    ClientTable source;
    source.AddFieldDef({ QStringLiteral("task"), FieldType::Text, 40 });
    source.AddFieldDef({ QStringLiteral("Colour"), FieldType::Text, 20 });
    source.AddFieldDef({ TaskField::Progress, FieldType::Text, 10 });
    source.AddFieldDef({ TaskField::DueDate, FieldType::Text, 10 });
    source.AddFieldDef({ TaskField::Status, FieldType::Text, 20 });
    source.CreateEmpty();
    source.AppendRow();
    source.SetText(QStringLiteral("task"), QStringLiteral("Paint the fence"));
    source.SetText(QStringLiteral("Colour"), QStringLiteral("green"));
    source.SetText(TaskField::Progress, QStringLiteral("lots"));
    source.SetText(TaskField::DueDate, QStringLiteral("soon"));
    source.SetText(TaskField::Status, QStringLiteral("Paused"));
    source.PostRow();

    importFile(writeTable(source, QStringLiteral("Foreign.xml")));

    EXPECT_TRUE(errors().isEmpty());
    ASSERT_EQ(tasks().RowCount(), 1);
    EXPECT_FALSE(tasks().IsEditing());
    EXPECT_EQ(tasks().AsText(TaskField::Task), QStringLiteral("Paint the fence"));
    EXPECT_EQ(tasks().AsText(TaskField::Status), QStringLiteral("Paused"));
    EXPECT_EQ(tasks().AsInteger(TaskField::Progress), 0);
    EXPECT_TRUE(tasks().IsNull(TaskField::DueDate));
    EXPECT_EQ(tasks().AsDateTime(TaskField::CreatedDate).date(), QDate(2026, 3, 14));
    EXPECT_EQ(tasks().LookupField(QStringLiteral("Colour")), nullptr);
}

// A file that cannot be read as a table ends the import with the reader's error before anything is
// added: the list stays as it was.
TEST_F(ListCommandsTest, Import_FileThatIsNotAList_ShowsTheLoadErrorAndAddsNothing)
{
    const QString notAList = listPath(QStringLiteral("Notes.ql1"));
    {
        QFile file(notAList);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("Buy milk\nCall Bob\n");
    }
    openList(writeList(QStringLiteral("Plan.ql1")));
    for (const QString &path : { notAList, listPath(QStringLiteral("Missing.ql1")) }) {
        SCOPED_TRACE(path.toStdString());
        m_ui.clear();
        importFile(path);
        ASSERT_EQ(errors().size(), 1);
        EXPECT_FALSE(errors()[0].isEmpty());
        EXPECT_EQ(tasks().RowCount(), 1);
        EXPECT_FALSE(tasks().IsEditing());
        EXPECT_FALSE(frame().Modified());
    }
}

// The list refuses a task half-way (its ID is taken): the tasks before it stay, the refused task is
// not left pending half-filled, the rest are not imported, and the error says so.
TEST_F(ListCommandsTest, Import_TaskRefusedHalfWay_KeepsEarlierTasksAndSaysWhereItStopped)
{
    openList(writeListWithPlainIds(
        QStringLiteral("Theirs.ql1"), { { 5, QStringLiteral("Five") }, { 2, QStringLiteral("Two") } }));
    // Numbered 1, 2 and 3 in their own list.
    const QString source = writeList(
        QStringLiteral("Source.ql1"), { QStringLiteral("X"), QStringLiteral("Y"), QStringLiteral("Z") });

    importFile(source);

    EXPECT_EQ(errors(),
        QStringList({ QStringLiteral("Key violation.\nImport stopped at task 2 of 3: 1 task was imported "
                                     "before it.") }));
    EXPECT_FALSE(tasks().IsEditing());
    EXPECT_EQ(column(tasks(), TaskField::ID), QStringList({ "1", "2", "5" }));
    EXPECT_EQ(column(tasks(), TaskField::Task), QStringList({ "X", "Two", "Five" }));
    EXPECT_TRUE(frame().Modified());

    // Nothing is left over to fail the next save.
    m_ui.clear();
    main().actSaveExecute();
    EXPECT_TRUE(errors().isEmpty());
    EXPECT_EQ(tasksIn(listPath(QStringLiteral("Theirs.ql1"))), QStringList({ "Five", "Two", "X" }));
}

// Batch Insert: Cancel adds nothing and keeps the text for the next showing; Save adds one task per
// non-empty line and empties the box. The menu item and the tool button show the same dialog.
TEST_F(ListCommandsTest, BatchInsert_SaveAddsTheNonEmptyLines_CancelKeepsThemForNextTime)
{
    main().actNewExecute();
    typeTask(QStringLiteral("Existing"));

    m_drive = [&](QDialog &dialog) {
        EXPECT_EQ(&dialog, &m_batch);
        m_batch.Memo1->setPlainText(QStringLiteral("Buy milk\n\nCall Bob"));
        m_batch.Button2->click();
    };
    clickMenuItem("BatchInsert1");
    EXPECT_EQ(m_shown.size(), 1u);
    EXPECT_EQ(tasks().RowCount(), 1);

    QString shownText;
    m_drive = [&](QDialog &) {
        shownText = m_batch.Memo1->toPlainText();
        m_batch.Button1->click();
    };
    clickToolButton("ToolButton5");
    EXPECT_EQ(m_shown.size(), 2u);
    EXPECT_EQ(shownText, QStringLiteral("Buy milk\n\nCall Bob"));
    EXPECT_EQ(column(tasks(), TaskField::Task), QStringList({ "Existing", "Buy milk", "Call Bob" }));
    EXPECT_EQ(column(tasks(), TaskField::ID), QStringList({ "1", "2", "3" }));
    // The list's own defaults for a new task.
    EXPECT_EQ(column(tasks(), TaskField::Progress).mid(1), QStringList({ "0", "0" }));
    EXPECT_TRUE(m_batch.Memo1->toPlainText().isEmpty());
    EXPECT_TRUE(m_ui.prompts().empty());
}

// A line the list refuses ends the command with the list's error: the lines before it are tasks,
// the refused one is not left pending, and the box keeps every line.
TEST_F(ListCommandsTest, BatchInsert_LineRefused_EarlierLinesStayAndTheBoxKeepsItsText)
{
    openList(writeListWithPlainIds(QStringLiteral("Theirs.ql1"), { { 5, QStringLiteral("Five") } }));
    m_batch.Memo1->setPlainText(QStringLiteral("one\ntwo\nthree"));
    // Batch Insert gives no ID: the second task without one is a second task with the same ID.
    m_drive = [&](QDialog &) { m_batch.Button1->click(); };
    clickToolButton("ToolButton5");

    EXPECT_EQ(errors(), QStringList({ QStringLiteral("Key violation.") }));
    EXPECT_FALSE(tasks().IsEditing());
    EXPECT_EQ(column(tasks(), TaskField::Task), QStringList({ "one", "Five" }));
    EXPECT_EQ(m_batch.Memo1->toPlainText(), QStringLiteral("one\ntwo\nthree"));
}

// Comments and Detail View act on the current task of the active tab's list.
TEST_F(ListCommandsTest, CommentsAndDetailView_ActOnTheActiveListsCurrentTask)
{
    main().actNewExecute();
    typeTask(QStringLiteral("In the first list"));
    main().actNewExecute();
    typeTask(QStringLiteral("Call Bob"));
    typeTask(QStringLiteral("Pay rent"));
    tasks().MoveFirst();

    m_drive = [&](QDialog &dialog) {
        EXPECT_EQ(&dialog, &m_comments);
        QTest::keyClicks(m_comments.DBMemo1, QStringLiteral("after lunch"));
        m_comments.close();
    };
    clickMenuItem("Comments1");
    EXPECT_EQ(m_shown.size(), 1u);
    EXPECT_FALSE(tasks().IsEditing());
    EXPECT_EQ(column(tasks(), TaskField::Comments), QStringList({ "after lunch", "<null>" }));
    EXPECT_EQ(column(main().tasksFrameAt(0)->cdsTasks(), TaskField::Comments), QStringList({ "<null>" }));

    ClientTable *detailed = nullptr;
    m_drive = [&](QDialog &dialog) {
        EXPECT_EQ(&dialog, &m_details);
        detailed = m_details.SourceTable();
    };
    clickMenuItem("DetailView1");
    EXPECT_EQ(m_shown.size(), 2u);
    EXPECT_EQ(detailed, &tasks());
    EXPECT_TRUE(m_ui.prompts().empty());
}

// The commands of the never-shown controls, where they have an effect of their own.
TEST_F(ListCommandsTest, HiddenCommands_SetProgressCancelAndProperties)
{
    main().actNewExecute();
    typeTask(QStringLiteral("Paint the fence"));

    m_ui.answerInput(QStringLiteral("75"));
    clickMenuItem("SetProgress1");
    ASSERT_EQ(m_ui.prompts().size(), 1u);
    EXPECT_EQ(m_ui.prompts()[0].kind, Kind::Input);
    EXPECT_EQ(m_ui.prompts()[0].caption, QStringLiteral("Percentage"));
    EXPECT_EQ(m_ui.prompts()[0].text, QStringLiteral("Perc: "));
    EXPECT_EQ(m_ui.prompts()[0].initialText, QStringLiteral("50"));
    EXPECT_EQ(tasks().AsInteger(TaskField::Progress), 75);
    EXPECT_EQ(tasks().AsText(TaskField::Status), QStringLiteral("Not Started"));

    m_ui.clear();
    m_ui.answerInput(QStringLiteral("most"));
    clickToolButton("ToolButton1");
    EXPECT_EQ(errors(), QStringList({ QStringLiteral("'most' is not a valid integer value.") }));
    EXPECT_FALSE(tasks().IsEditing());
    EXPECT_EQ(tasks().AsInteger(TaskField::Progress), 75);

    clickMenuItem("SetTasktoCancelled1");
    EXPECT_EQ(tasks().AsText(TaskField::Status), QStringLiteral("Cancelled"));

    clickToolButton("ToolButton2");
    EXPECT_TRUE(frame().PageControl1->isVisibleTo(&frame()));
    EXPECT_FALSE(tasks().IsEditing());
}

} // namespace
