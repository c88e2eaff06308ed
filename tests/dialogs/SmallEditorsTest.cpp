// The property entry dialog, the comments editor and the batch entry dialog: what each hands back
// or stores, and what it keeps between showings.
#include "dialogs/uFrmBatchImport.h"
#include "dialogs/uFrmComments.h"
#include "dialogs/ufrmProperties.h"
#include "gui/Printers.h"
#include "operations/TaskCommands.h"
#include "platform/Error.h"
#include "platform/gui/ScriptedUi.h"
#include "platform/gui/ShowModal.h"
#include "storage/DataSource.h"
#include "storage/TaskTableFixture.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

namespace {

using ql::ClientTable;
namespace TaskField = ql::TaskField;
using ql::test::addTask;
using ql::test::column;
using ql::test::newTaskTable;

class SmallEditorsTest : public ::testing::Test
{
protected:
    void SetUp() override { m_previousUi = ql::Ui::install(&m_ui); }
    void TearDown() override { ql::Ui::install(m_previousUi); }

    // Runs `command` with `act` playing the user in every dialog it shows through the program's
    // modal seam; `act` gets the dialog shown.
    static void whileShowing(const std::function<void(QDialog &)> &act, const std::function<void()> &command)
    {
        const ql::ModalHook previous = ql::setModalHook([&](QDialog &shown) {
            shown.setResult(-1);
            act(shown);
            return shown.result();
        });
        command();
        ql::setModalHook(previous);
    }

    // Shows `dialog` through the modal seam with `act` playing the user; gives the result.
    static int showDriven(QDialog &dialog, const std::function<void()> &act)
    {
        int result = -1;
        whileShowing([&](QDialog &) { act(); }, [&] { result = ql::showModal(dialog); });
        return result;
    }

    ql::ScriptedUi m_ui;
    ql::Ui *m_previousUi = nullptr;
};

TEST_F(SmallEditorsTest, Properties_OnlyTheButtonsCloseIt_AndItKeepsKeyAndValue)
{
    ql::TfrmProperties dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Properties"));

    // Tab goes Edit1, Edit2, OK, Cancel.
    std::vector<QWidget *> order;
    for (QWidget *w = dialog.Edit1; order.size() < 4; w = w->nextInFocusChain())
        if (w->focusPolicy() & Qt::TabFocus)
            order.push_back(w);
    EXPECT_EQ(order, (std::vector<QWidget *> { dialog.Edit1, dialog.Edit2, dialog.Button1, dialog.Button2 }));

    const int first = showDriven(dialog, [&] {
        QTest::keyClicks(dialog.Edit1, QStringLiteral(" Colour "));
        QTest::keyClick(dialog.Edit1, Qt::Key_Return);
        QTest::keyClicks(dialog.Edit2, QStringLiteral("blue"));
        QTest::keyClick(dialog.Edit2, Qt::Key_Enter);
        QTest::keyClick(dialog.Edit2, Qt::Key_Escape);
        QTest::keyClick(dialog.Button1, Qt::Key_Return);
        EXPECT_EQ(dialog.result(), -1) << "Enter or Esc closed the dialog";
        dialog.Button1->click();
    });
    EXPECT_EQ(first, int(QDialog::Accepted));
    EXPECT_EQ(dialog.Edit1->text(), QStringLiteral(" Colour "));
    EXPECT_EQ(dialog.Edit2->text(), QStringLiteral("blue"));

    // The next "Add Property" finds the last key and value still there.
    const int second = showDriven(dialog, [&] {
        EXPECT_EQ(dialog.Edit1->text(), QStringLiteral(" Colour "));
        EXPECT_EQ(dialog.Edit2->text(), QStringLiteral("blue"));
        dialog.Edit2->clear();
        dialog.Button2->click();
    });
    EXPECT_EQ(second, int(QDialog::Rejected));
    EXPECT_EQ(dialog.Edit2->text(), QString());
    EXPECT_TRUE(m_ui.prompts().empty());
}

TEST_F(SmallEditorsTest, Comments_TypedThenClosedWithTheCloseBox_StoredOnTheCurrentTask)
{
    auto table = newTaskTable();
    addTask(*table, QStringLiteral("First"));
    addTask(*table, QStringLiteral("Second"));
    table->EditRow();
    table->SetText(TaskField::Comments, QStringLiteral("Ask Ann"));
    table->PostRow();
    addTask(*table, QStringLiteral("Third"));
    table->MoveTo(2);

    ql::TfrmComments comments;
    ql::DataSource source(*table);
    EXPECT_EQ(comments.windowTitle(), QStringLiteral("Comments"));
    bool ran = false;
    whileShowing(
        [&](QDialog &shown) {
            EXPECT_EQ(&shown, &comments);
            EXPECT_EQ(comments.DBMemo1->toPlainText(), QStringLiteral("Ask Ann"));
            EXPECT_FALSE(comments.DBMemo1->isReadOnly());
            QTest::keyClick(comments.DBMemo1, Qt::Key_End, Qt::ControlModifier);
            QTest::keyClicks(comments.DBMemo1, QStringLiteral(" about the bank"));
            EXPECT_EQ(table->GetState(), ClientTable::State::Edit);
            comments.close();
        },
        [&] { ran = comments.editComments(source); });

    EXPECT_TRUE(ran);
    EXPECT_FALSE(table->IsEditing()) << "the task was not posted";
    EXPECT_EQ(column(*table, TaskField::Comments),
        (QStringList {
            QStringLiteral("<null>"), QStringLiteral("Ask Ann about the bank"), QStringLiteral("<null>") }));
    EXPECT_EQ(table->AsText(TaskField::Task), QStringLiteral("Second"));
    // The hidden window no longer holds the list.
    EXPECT_FALSE(comments.DBMemo1->isBound());
    EXPECT_TRUE(comments.DBMemo1->toPlainText().isEmpty());
    EXPECT_TRUE(m_ui.prompts().empty());
}

TEST_F(SmallEditorsTest, Comments_OnAnEmptyList_TypingAddsATaskWithTheCommentCutTo255)
{
    auto table = newTaskTable();
    int inserts = 0;
    table->SetAfterInsert([&](ClientTable &t) {
        ++inserts;
        t.SetText(TaskField::Status, QStringLiteral("0"));
    });
    ql::TfrmComments comments;
    ql::DataSource source(*table);
    const QString typed = QString(250, u'c') + QStringLiteral("0123456789") + QString(40, u'x');
    whileShowing(
        [&](QDialog &) {
            comments.DBMemo1->insertPlainText(typed);
            comments.reject();
        },
        [&] { EXPECT_TRUE(comments.editComments(source)); });

    EXPECT_EQ(inserts, 1);
    ASSERT_EQ(table->RowCount(), 1);
    EXPECT_FALSE(table->IsEditing());
    EXPECT_EQ(table->AsText(TaskField::Comments), typed.left(255));
    EXPECT_TRUE(m_ui.prompts().empty());
}

TEST_F(SmallEditorsTest, Comments_RefusedPost_ShownInTheErrorBoxAndTheTaskStaysPending)
{
    auto table = newTaskTable();
    addTask(*table, QStringLiteral("Only"));
    table->SetBeforePost([](ClientTable &) { throw ql::Error(QStringLiteral("Key violation")); });
    ql::TfrmComments comments;
    ql::DataSource source(*table);
    bool ran = true;
    whileShowing(
        [&](QDialog &) {
            QTest::keyClicks(comments.DBMemo1, QStringLiteral("soon"));
            comments.close();
        },
        [&] { ran = comments.editComments(source); });

    EXPECT_FALSE(ran);
    ASSERT_EQ(m_ui.prompts().size(), 1u);
    EXPECT_EQ(m_ui.prompts().front().kind, ql::ScriptedUi::Kind::Error);
    EXPECT_EQ(m_ui.prompts().front().text, QStringLiteral("Key violation."));
    EXPECT_EQ(table->GetState(), ClientTable::State::Edit);
    EXPECT_EQ(table->AsText(TaskField::Comments), QStringLiteral("soon"));
    EXPECT_FALSE(comments.DBMemo1->isBound());
}

TEST_F(SmallEditorsTest, Comments_ListWithoutTheField_ShowsAReadOnlyBoxAndPostsNothing)
{
    ClientTable table(QStringLiteral("cdsTasks"));
    table.AddFieldDef({ QStringLiteral("Task"), ql::FieldType::Text, 255 });
    table.CreateEmpty();
    table.AppendRow();
    table.SetText(TaskField::Task, QStringLiteral("Only"));
    table.PostRow();
    const size_t logged = table.ChangeLog().size();

    ql::TfrmComments comments;
    ql::DataSource source(table);
    whileShowing(
        [&](QDialog &) {
            EXPECT_TRUE(comments.DBMemo1->isReadOnly());
            QTest::keyClicks(comments.DBMemo1, QStringLiteral("lost"));
            comments.close();
        },
        [&] { EXPECT_TRUE(comments.editComments(source)); });

    EXPECT_FALSE(table.IsEditing());
    EXPECT_EQ(table.ChangeLog().size(), logged);
    EXPECT_TRUE(m_ui.prompts().empty());
}

TEST_F(SmallEditorsTest, BatchImport_CancelKeepsTheLines_SaveAddsEachNonEmptyLineAndEmptiesTheBox)
{
    auto table = newTaskTable();
    addTask(*table, QStringLiteral("Existing"));
    // The frame's insert reaction gives every new task its defaults.
    table->SetAfterInsert([](ClientTable &t) { t.SetText(TaskField::Priority, QStringLiteral("Normal")); });

    ql::TfrmBatchImport batch;
    EXPECT_EQ(batch.windowTitle(), QStringLiteral("Batch Import"));
    const QString longLine = QString(255, u'a') + QString(45, u'b');
    const QString pasted
        = QStringLiteral("Buy milk\n Call Bob \n\n   \r\n") + longLine + QStringLiteral("\nPay\u00A0rent\n");

    // Cancel: nothing is added, and the text waits for the next showing.
    const int cancelled = showDriven(batch, [&] {
        batch.Memo1->insertPlainText(pasted);
        batch.Button2->click();
    });
    EXPECT_EQ(cancelled, int(QDialog::Rejected));
    EXPECT_EQ(table->RowCount(), 1);

    const int saved = showDriven(batch, [&] {
        EXPECT_EQ(batch.lines().size(), 6);
        batch.Button1->click();
    });
    ASSERT_EQ(saved, int(QDialog::Accepted));
    const int added = batch.insertLines(*table);

    EXPECT_EQ(added, 5);
    EXPECT_EQ(column(*table, TaskField::Task),
        (QStringList { QStringLiteral("Existing"), QStringLiteral("Buy milk"), QStringLiteral(" Call Bob "),
            QStringLiteral("   "), longLine.left(255), QStringLiteral("Pay\u00A0rent") }));
    EXPECT_EQ(column(*table, TaskField::Priority).mid(1), QStringList(5, QStringLiteral("Normal")));
    EXPECT_FALSE(table->IsEditing());
    EXPECT_TRUE(batch.Memo1->toPlainText().isEmpty());
    EXPECT_TRUE(m_ui.prompts().empty());
}

TEST_F(SmallEditorsTest, BatchInsert_AFailingLineEndsIt_LinesBeforeStayAndTheBoxKeepsItsText)
{
    ql::TfrmBatchImport batch;
    batch.Memo1->setPlainText(QStringLiteral("one\ntwo\nthree"));

    // A list whose file has no Task field: refused before any task is started.
    ClientTable foreign(QStringLiteral("cdsTasks"));
    foreign.AddFieldDef({ QStringLiteral("Name"), ql::FieldType::Text, 20 });
    foreign.CreateEmpty();
    try {
        batch.insertLines(foreign);
        ADD_FAILURE() << "no error";
    } catch (const ql::Error &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Field 'Task' not found"));
    }
    EXPECT_EQ(foreign.RowCount(), 0);
    EXPECT_FALSE(foreign.IsEditing());

    // A post refused at the second line: the first is a task, and nothing is emptied.
    auto table = newTaskTable();
    int posts = 0;
    table->SetBeforePost([&](ClientTable &) {
        if (++posts == 2)
            throw ql::Error(QStringLiteral("Key violation"));
    });
    EXPECT_THROW(batch.insertLines(*table), ql::Error);
    EXPECT_EQ(column(*table, TaskField::Task), QStringList { QStringLiteral("one") });
    EXPECT_EQ(batch.Memo1->toPlainText(), QStringLiteral("one\ntwo\nthree"));

    // Lines with nothing to add leave the list alone.
    auto other = newTaskTable();
    EXPECT_EQ(ql::TaskCommands::BatchInsertLines(*other, { QString(), QString() }), 0);
    EXPECT_EQ(other->RowCount(), 0);
}

} // namespace
