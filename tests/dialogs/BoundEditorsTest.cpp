// The editors bound to a task table's current row through its data source: what they show with and
// without the focus, when they put the row into edit mode, when they write, how they follow the row,
// and what a refused value does.
#include "bound/DBComboBox.h"
#include "bound/DBEdit.h"
#include "bound/DBMemo.h"
#include "gui/Printers.h"
#include "platform/Error.h"
#include "platform/gui/ScriptedUi.h"
#include "storage/DataSource.h"
#include "storage/TaskTableFixture.h"

#include <QApplication>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>
#include <memory>

namespace {

using ql::ClientTable;
using ql::DataSource;
using ql::DBComboBox;
using ql::DBEdit;
using ql::DBMemo;
namespace TaskField = ql::TaskField;
using ql::test::addTask;
using ql::test::column;
using ql::test::newTaskTable;

class BoundEditorsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_previousUi = ql::Ui::install(&m_ui);
        m_table = newTaskTable();
        m_source = std::make_unique<DataSource>(*m_table);
        m_host = std::make_unique<QWidget>();
        m_host->resize(600, 300);
        // Takes the focus when the window opens, so that no editor starts with it.
        m_start = new QLineEdit(m_host.get());
    }

    void TearDown() override
    {
        m_host.reset();
        m_source.reset();
        ql::Ui::install(m_previousUi);
    }

    template <typename Editor> Editor *editor(const QString &fieldName)
    {
        auto *e = new Editor(m_host.get());
        e->setGeometry(10, 10 + 25 * int(m_host->children().size()), 300, 21);
        e->bind(*m_source, fieldName);
        return e;
    }

    void showHost()
    {
        m_host->show();
        m_host->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_host.get()));
    }

    // Runs what waits for the end of the current event: errors and focus taken back after a focus
    // change.
    static void settle()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }

    // Gives `w` the focus as Tab does (an edit then selects its text, so typing replaces it).
    static void tabTo(QWidget *w) { w->setFocus(Qt::TabFocusReason); }

    QStringList errors() const
    {
        QStringList texts;
        for (const auto &p : m_ui.prompts())
            if (p.kind == ql::ScriptedUi::Kind::Error)
                texts << p.text;
        return texts;
    }

    ql::ScriptedUi m_ui;
    ql::Ui *m_previousUi = nullptr;
    std::unique_ptr<ClientTable> m_table;
    std::unique_ptr<DataSource> m_source;
    std::unique_ptr<QWidget> m_host;
    QLineEdit *m_start = nullptr;
};

TEST_F(BoundEditorsTest, Edit_ShowsTheDisplayTextWithoutFocusAndTheEditingTextWithIt)
{
    addTask(*m_table, QStringLiteral("Pay rent"));
    m_table->EditRow();
    m_table->SetBoolean(TaskField::Bookmarked, true);
    m_table->SetDateTime(TaskField::DueDate, QDateTime(QDate(2026, 3, 7), QTime(0, 0)));
    m_table->SetInteger(TaskField::Progress, 40);
    m_table->PostRow();

    struct Case
    {
        QString field;
        bool yesNo;
        QString display;
        QString editing;
    };
    const Case cases[] = {
        { TaskField::Bookmarked, true, QStringLiteral("Yes"), QStringLiteral("True") },
        { TaskField::Bookmarked, false, QStringLiteral("True"), QStringLiteral("True") },
        { TaskField::DueDate, false, QStringLiteral("3/7/2026"), QStringLiteral("3/7/2026") },
        { TaskField::Progress, false, QStringLiteral("40"), QStringLiteral("40") },
        { TaskField::Owner, false, QString(), QString() },
    };
    showHost();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.field.toStdString());
        auto *edit = editor<DBEdit>(c.field);
        edit->setYesNoBooleans(c.yesNo);
        edit->show();
        EXPECT_EQ(edit->text(), c.display);
        tabTo(edit);
        EXPECT_EQ(edit->text(), c.editing);
        tabTo(m_start);
        EXPECT_EQ(edit->text(), c.display);
    }
    EXPECT_EQ(m_table->GetState(), ClientTable::State::Browse) << "looking changed the task";
    EXPECT_TRUE(m_ui.prompts().empty());
}

TEST_F(BoundEditorsTest, Edit_FirstChangeEntersEditMode_WritesOnFocusLossToAControlOnly)
{
    addTask(*m_table, QStringLiteral("Pay rent"));
    addTask(*m_table, QStringLiteral("Call Ann"));
    m_table->MoveFirst();
    int edits = 0;
    m_table->SetAfterEdit([&](ClientTable &) { ++edits; });
    auto *task = editor<DBEdit>(TaskField::Task);
    auto *bookmark = editor<DBEdit>(TaskField::Bookmarked);
    bookmark->setYesNoBooleans(true);
    showHost();

    tabTo(task);
    QTest::keyClicks(task, QStringLiteral("Pay the rent"));
    EXPECT_EQ(m_table->GetState(), ClientTable::State::Edit);
    EXPECT_EQ(edits, 1);
    EXPECT_EQ(m_table->AsText(TaskField::Task), QStringLiteral("Pay rent")) << "written before focus loss";

    // Another window taking the focus leaves the text in the edit.
    QWidget elsewhere;
    elsewhere.show();
    elsewhere.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&elsewhere));
    EXPECT_EQ(m_table->AsText(TaskField::Task), QStringLiteral("Pay rent"));
    EXPECT_TRUE(task->holdsUnwrittenText());

    m_host->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_host.get()));
    tabTo(bookmark);
    EXPECT_EQ(m_table->AsText(TaskField::Task), QStringLiteral("Pay the rent"));
    // The Yes/No words are read back as the grid reads them, in any case.
    QTest::keyClicks(bookmark, QStringLiteral("yes"));
    tabTo(task);
    EXPECT_TRUE(m_table->AsBoolean(TaskField::Bookmarked));
    EXPECT_EQ(bookmark->text(), QStringLiteral("Yes"));
    EXPECT_EQ(edits, 1);
    EXPECT_EQ(m_table->GetState(), ClientTable::State::Edit) << "focus loss posts nothing";
    EXPECT_TRUE(m_ui.prompts().empty());
}

TEST_F(BoundEditorsTest, EmptyList_FirstChangeStartsATask_OtherEditorsShowItsDefaults)
{
    int inserts = 0;
    m_table->SetAfterInsert([&](ClientTable &t) {
        ++inserts;
        t.SetText(TaskField::Status, QStringLiteral("Not Started"));
    });
    auto *task = editor<DBEdit>(TaskField::Task);
    auto *status = editor<DBComboBox>(TaskField::Status);
    status->setItems(ql::StatusWords());
    auto *details = editor<DBMemo>(TaskField::Details);
    auto *priority = editor<DBComboBox>(TaskField::Priority);
    priority->setItems({ QStringLiteral("Low"), QStringLiteral("Normal") });
    showHost();
    EXPECT_EQ(status->currentIndex(), -1);

    tabTo(task);
    QTest::keyClicks(task, QStringLiteral("Write"));
    EXPECT_EQ(inserts, 1);
    EXPECT_EQ(m_table->GetState(), ClientTable::State::Insert);
    EXPECT_EQ(task->text(), QStringLiteral("Write")) << "the new row's notice wiped the typing";
    EXPECT_EQ(status->currentText(), QStringLiteral("Not Started"));

    // A memo and a list write at once into the same new task.
    details->setFocus();
    QTest::keyClicks(details, QStringLiteral("all of it"));
    tabTo(priority);
    QTest::keyClicks(priority, QStringLiteral("n"));
    EXPECT_EQ(inserts, 1);
    m_table->PostRow();
    ASSERT_EQ(m_table->RowCount(), 1);
    EXPECT_EQ(m_table->AsText(TaskField::Task), QStringLiteral("Write")) << "the post did not flush the edit";
    EXPECT_EQ(m_table->AsText(TaskField::Details), QStringLiteral("all of it"));
    EXPECT_EQ(m_table->AsText(TaskField::Priority), QStringLiteral("Normal"));
    EXPECT_EQ(m_table->AsInteger(TaskField::ID), 1);

    // A memo that starts the task keeps its first character too.
    m_table->DeleteRow();
    details->setFocus();
    QTest::keyClicks(details, QStringLiteral("x"));
    EXPECT_EQ(m_table->GetState(), ClientTable::State::Insert);
    EXPECT_EQ(details->toPlainText(), QStringLiteral("x"));
    EXPECT_EQ(inserts, 2);
    EXPECT_TRUE(m_ui.prompts().empty());
}

TEST_F(BoundEditorsTest, Editors_FollowTheRow_AndAMoveStoresTypedTextInTheRowItWasTypedFor)
{
    addTask(*m_table, QStringLiteral("First"));
    addTask(*m_table, QStringLiteral("Second"), QStringLiteral("Paused"));
    addTask(*m_table, QStringLiteral("Third"));
    m_table->MoveFirst();
    auto *task = editor<DBEdit>(TaskField::Task);
    auto *status = editor<DBComboBox>(TaskField::Status);
    status->setItems(ql::StatusWords());
    auto *details = editor<DBMemo>(TaskField::Details);
    showHost();

    // A move first stores what the focused edit holds, in the row it was typed for.
    tabTo(task);
    QTest::keyClicks(task, QStringLiteral("First!"));
    m_table->MoveNext();
    EXPECT_EQ(column(*m_table, TaskField::Task),
        (QStringList { QStringLiteral("First!"), QStringLiteral("Second"), QStringLiteral("Third") }));
    EXPECT_EQ(task->text(), QStringLiteral("Second"));
    EXPECT_EQ(status->currentText(), QStringLiteral("Paused"));

    // An abandoned change drops what the edit has not written.
    QTest::keyClicks(task, QStringLiteral("Lost"));
    m_table->CancelRow();
    EXPECT_EQ(task->text(), QStringLiteral("Second"));
    EXPECT_FALSE(task->holdsUnwrittenText());

    // A command that changes and posts the row is shown at once.
    m_table->EditRow();
    m_table->SetText(TaskField::Status, QStringLiteral("complete"));
    m_table->SetText(TaskField::Details, QStringLiteral("line 1\r\nline 2"));
    m_table->PostRow();
    EXPECT_EQ(status->currentText(), QStringLiteral("Complete"));
    EXPECT_EQ(details->toPlainText(), QStringLiteral("line 1\nline 2"));
    EXPECT_TRUE(m_ui.prompts().empty());
}

TEST_F(BoundEditorsTest, Edit_RefusedValue_ShowsTheTablesMessageKeepsTheFocusAndSelectsTheText)
{
    addTask(*m_table, QStringLiteral("Pay rent"), QStringLiteral("Not Started"), 20);
    auto *progress = editor<DBEdit>(TaskField::Progress);
    auto *task = editor<DBEdit>(TaskField::Task);
    showHost();

    tabTo(progress);
    QTest::keyClicks(progress, QStringLiteral("abc"));
    tabTo(task);
    settle();
    EXPECT_EQ(
        errors(), QStringList { QStringLiteral("'abc' is not a valid integer value for field 'Progress'") });
    EXPECT_TRUE(progress->hasFocus());
    EXPECT_EQ(progress->selectedText(), QStringLiteral("abc"));
    EXPECT_EQ(m_table->AsInteger(TaskField::Progress), 20);

    // A post cannot store the row while the edit holds the refused text.
    try {
        m_table->PostRow();
        ADD_FAILURE() << "the post stored a refused value";
    } catch (const ql::Error &e) {
        EXPECT_EQ(e.message(), QStringLiteral("'abc' is not a valid integer value for field 'Progress'"));
    }
    EXPECT_EQ(m_table->GetState(), ClientTable::State::Edit);

    // Typed over, the number is taken on the next focus loss.
    QTest::keyClicks(progress, QStringLiteral("45"));
    tabTo(task);
    settle();
    EXPECT_EQ(m_table->AsInteger(TaskField::Progress), 45);
    EXPECT_EQ(errors().size(), 1);
    EXPECT_TRUE(task->hasFocus());
}

TEST_F(BoundEditorsTest, List_ShowsTheItemEqualIgnoringCase_ChoosingWritesTheItemExactly)
{
    addTask(*m_table, QStringLiteral("A"), QStringLiteral("in progress"));
    addTask(*m_table, QStringLiteral("B"), QStringLiteral("Waiting"));
    addTask(*m_table, QStringLiteral("C"), QStringLiteral("Moderate"));
    m_table->MoveFirst();
    auto *status = editor<DBComboBox>(TaskField::Status);
    status->setItems(ql::StatusWords());
    auto *difficulty = editor<DBComboBox>(TaskField::Difficulty);
    difficulty->setItems({ QStringLiteral("Easy"), QStringLiteral("Normal"), QStringLiteral("Hard") });
    showHost();

    EXPECT_EQ(status->currentText(), QStringLiteral("In progress"));
    m_table->MoveNext();
    EXPECT_EQ(status->currentIndex(), -1) << "a word outside the list shows as an empty box";
    EXPECT_EQ(status->currentText(), QString());

    // The wheel over a list without the focus changes nothing.
    QWheelEvent wheel(QPointF(5, 5), status->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120),
        Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(status, &wheel);
    EXPECT_EQ(m_table->GetState(), ClientTable::State::Browse);
    EXPECT_EQ(status->currentIndex(), -1);

    m_table->MoveNext();
    EXPECT_EQ(difficulty->currentIndex(), -1);
    difficulty->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(difficulty, QStringLiteral("n"));
    EXPECT_EQ(m_table->GetState(), ClientTable::State::Edit);
    EXPECT_EQ(m_table->AsText(TaskField::Difficulty), QStringLiteral("Normal"));
    m_table->PostRow();
    EXPECT_EQ(column(*m_table, TaskField::Difficulty),
        (QStringList { QStringLiteral("<null>"), QStringLiteral("<null>"), QStringLiteral("Normal") }));
    EXPECT_TRUE(m_ui.prompts().empty());
}

TEST_F(BoundEditorsTest, Editors_OutliveTheirDataSource_AsEmptyReadOnlyBoxes)
{
    addTask(*m_table, QStringLiteral("Pay rent"));
    auto *task = editor<DBEdit>(TaskField::Task);
    auto *status = editor<DBComboBox>(TaskField::Status);
    status->setItems(ql::StatusWords());
    auto *details = editor<DBMemo>(TaskField::Details);
    EXPECT_EQ(task->text(), QStringLiteral("Pay rent"));

    m_source.reset();
    EXPECT_FALSE(task->isBound());
    EXPECT_TRUE(task->text().isEmpty());
    EXPECT_TRUE(task->isReadOnly());
    EXPECT_EQ(status->currentIndex(), -1);
    EXPECT_TRUE(details->isReadOnly());
    // The table goes on without them.
    m_table->EditRow();
    m_table->SetText(TaskField::Task, QStringLiteral("Pay"));
    m_table->PostRow();
    EXPECT_EQ(m_table->AsText(TaskField::Task), QStringLiteral("Pay"));
}

} // namespace
