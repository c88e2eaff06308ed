// The detail view: the controls it generates from a table's fields, the values they show, and what
// OK and Cancel leave on the task.
#include "dialogs/uFrmDetails.h"
#include "bound/DBComboBox.h"
#include "bound/DBEdit.h"
#include "bound/DBMemo.h"
#include "gui/Printers.h"
#include "platform/gui/ScriptedUi.h"
#include "platform/gui/ShowModal.h"
#include "storage/DataSource.h"
#include "storage/TaskTableFixture.h"

#include <QPushButton>
#include <QScrollArea>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

using ql::ClientTable;
using ql::DataSource;
using ql::DBComboBox;
using ql::DBEdit;
using ql::DBMemo;
using ql::TfrmDetails;
namespace TaskField = ql::TaskField;
using ql::test::addTask;
using ql::test::column;
using ql::test::newTaskTable;

class DetailsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_previousUi = ql::Ui::install(&m_ui);
        m_table = newTaskTable();
        m_source = std::make_unique<DataSource>(*m_table);
        m_view = std::make_unique<TfrmDetails>();
    }

    void TearDown() override
    {
        m_view.reset();
        m_source.reset();
        ql::Ui::install(m_previousUi);
    }

    // Runs the Details command with `act` playing the user in the shown view; gives whether the
    // command ran to its end and, through `result`, how the view closed (-1: it did not).
    bool runDetails(const std::function<void(TfrmDetails &)> &act, int *result = nullptr)
    {
        const ql::ModalHook previous = ql::setModalHook([&](QDialog &shown) {
            EXPECT_EQ(&shown, m_view.get());
            shown.setResult(-1);
            shown.show();
            shown.activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(&shown));
            act(*m_view);
            settle();
            const int closed = shown.result();
            shown.hide();
            if (result)
                *result = closed;
            return closed;
        });
        const bool ran = m_view->editDetails(*m_source, true);
        ql::setModalHook(previous);
        return ran;
    }

    template <typename T = QWidget> T *control(const QString &name) const
    {
        return m_view->ScrollBox1->widget()->findChild<T *>(name, Qt::FindDirectChildrenOnly);
    }

    static void settle()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }

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
    std::unique_ptr<TfrmDetails> m_view;
};

enum class Kind { Edit, ReadOnlyEdit, List, Memo };

struct Row
{
    int i;
    const char *field;
    int top;
    const char *editor;
    Kind kind;
    int width;
};

TEST_F(DetailsTest, StandardTable_OneCaptionAndOneEditorPerField_AtTheirPlaces)
{
    addTask(*m_table, QStringLiteral("Pay rent"));
    EXPECT_EQ(m_view->windowTitle(), QStringLiteral("Details"));
    EXPECT_EQ(m_view->size(), QSize(694, 656));
    m_view->SetSourceTable(*m_source);
    m_view->ClearEditors();
    m_view->BuildEditors();
    EXPECT_EQ(m_view->SourceTable(), m_table.get());

    const Row rows[] = {
        { 0, "ID", 31, "edt0", Kind::ReadOnlyEdit, 100 },
        { 1, "Task", 51, "edt1", Kind::Edit, 500 },
        { 2, "Status", 71, "cboSta2", Kind::List, 100 },
        { 3, "Priority", 91, "cbopri3", Kind::List, 100 },
        { 4, "Progress", 111, "edt4", Kind::Edit, 100 },
        { 5, "Difficulty", 131, "cboDiff5", Kind::List, 100 },
        { 6, "CreatedDate", 151, "edt6", Kind::Edit, 100 },
        { 7, "CompletedDate", 171, "edt7", Kind::Edit, 100 },
        { 8, "LastActioned", 191, "edt8", Kind::Edit, 100 },
        { 9, "StartDate", 211, "edt9", Kind::Edit, 100 },
        { 10, "Time", 231, "edt10", Kind::Edit, 100 },
        { 11, "ParentID", 251, "edt11", Kind::Edit, 100 },
        { 12, "Bookmarked", 271, "edt12", Kind::Edit, 100 },
        { 13, "AssignedTo", 291, "edt13", Kind::Edit, 100 },
        { 14, "DueDate", 311, "edt14", Kind::Edit, 100 },
        { 15, "GroupNo", 331, "edt15", Kind::Edit, 100 },
        { 16, "Comments", 351, "edt16", Kind::Edit, 500 },
        { 17, "Owner", 371, "edt17", Kind::Edit, 100 },
        { 18, "Details", 391, "tbl18", Kind::Memo, 500 },
        { 19, "Category", 487, "edt19", Kind::Edit, 100 },
        { 20, "RelatedFile", 507, "edt20", Kind::Edit, 500 },
        { 21, "LinkedList", 527, "edt21", Kind::Edit, 500 },
        { 22, "Properties", 547, "tbl22", Kind::Memo, 500 },
        { 23, "Points", 643, "edt23", Kind::Edit, 100 },
        { 24, "URL", 663, "edt24", Kind::Edit, 500 },
    };
    std::vector<QWidget *> tabOrder;
    for (const Row &r : rows) {
        SCOPED_TRACE(r.field);
        auto *caption = control<QLineEdit>(QStringLiteral("lbl%1").arg(r.i));
        ASSERT_TRUE(caption);
        EXPECT_EQ(caption->geometry(), QRect(11, r.top, 121, 21));
        EXPECT_EQ(caption->text(), QLatin1String(r.field));
        EXPECT_TRUE(caption->isReadOnly());
        EXPECT_EQ(caption->palette().color(QPalette::Base), QColor(215, 215, 215));

        QWidget *editor = control(QLatin1String(r.editor));
        ASSERT_TRUE(editor);
        EXPECT_EQ(editor->pos(), QPoint(120, r.top));
        EXPECT_EQ(editor->width(), r.width);
        EXPECT_EQ(editor->accessibleName(), QLatin1String(r.field));
        switch (r.kind) {
        case Kind::Edit:
        case Kind::ReadOnlyEdit: {
            auto *edit = qobject_cast<DBEdit *>(editor);
            ASSERT_TRUE(edit);
            EXPECT_EQ(edit->fieldName(), QLatin1String(r.field));
            EXPECT_EQ(edit->isReadOnly(), r.kind == Kind::ReadOnlyEdit);
            if (r.kind == Kind::ReadOnlyEdit) {
                EXPECT_EQ(edit->palette().color(QPalette::Base), QColor(128, 128, 128));
            }
            break;
        }
        case Kind::List: {
            auto *list = qobject_cast<DBComboBox *>(editor);
            ASSERT_TRUE(list);
            EXPECT_FALSE(list->isEditable());
            EXPECT_EQ(list->fieldName(), QLatin1String(r.field));
            break;
        }
        case Kind::Memo: {
            auto *memo = qobject_cast<DBMemo *>(editor);
            ASSERT_TRUE(memo);
            EXPECT_EQ(memo->height(), 97);
            EXPECT_EQ(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
            EXPECT_EQ(memo->lineWrapMode(), QPlainTextEdit::WidgetWidth);
            EXPECT_EQ(memo->fieldName(), QLatin1String(r.field));
            break;
        }
        }
        tabOrder.push_back(caption);
        tabOrder.push_back(editor);
    }
    EXPECT_EQ(m_view->ScrollBox1->widget()->children().size(), 50u);
    EXPECT_EQ(control<DBEdit>(QStringLiteral("edt1"))->text(), QStringLiteral("Pay rent"));

    auto items = [&](const char *name) {
        QStringList texts;
        auto *list = control<QComboBox>(QLatin1String(name));
        for (int i = 0; i < list->count(); ++i)
            texts << list->itemText(i);
        return texts;
    };
    EXPECT_EQ(items("cbopri3"),
        (QStringList { QStringLiteral("Low"), QStringLiteral("Normal"), QStringLiteral("High"),
            QStringLiteral("Urgent") }));
    EXPECT_EQ(items("cboDiff5"),
        (QStringList { QStringLiteral("Easy"), QStringLiteral("Normal"), QStringLiteral("Hard") }));
    EXPECT_EQ(items("cboSta2"),
        (QStringList { QStringLiteral("Not Started"), QStringLiteral("Paused"), QStringLiteral("In progress"),
            QStringLiteral("Complete"), QStringLiteral("Cancelled") }));

    // Tab goes caption, editor, next caption and so on, then OK and Cancel.
    tabOrder.push_back(m_view->BitBtn1);
    tabOrder.push_back(m_view->BitBtn2);
    std::vector<QWidget *> chain;
    for (QWidget *w = tabOrder.front(); chain.size() < tabOrder.size(); w = w->nextInFocusChain())
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(m_view.get()))
            chain.push_back(w);
    EXPECT_EQ(chain, tabOrder);

    // The scrolling area reaches down to the last editor.
    EXPECT_GE(m_view->ScrollBox1->widget()->minimumHeight(), 663 + 21);

    // Building again replaces every control: none left over, none twice.
    m_view->BuildEditors();
    EXPECT_EQ(m_view->ScrollBox1->widget()->children().size(), 50u);
    EXPECT_EQ(m_view->ScrollBox1->widget()->findChildren<QWidget *>(QStringLiteral("edt24")).size(), 1);
}

TEST_F(DetailsTest, LoadedTable_RowsFollowItsFields_ABlobKeepsAnEmptyRow)
{
    ClientTable table(QStringLiteral("cdsTasks"));
    table.AddFieldDef({ QStringLiteral("ID"), ql::FieldType::Counter });
    table.AddFieldDef({ QStringLiteral("Task"), ql::FieldType::Text, 255 });
    table.AddFieldDef({ QStringLiteral("Picture"), ql::FieldType::Blob });
    table.AddFieldDef({ QStringLiteral("Notes"), ql::FieldType::Memo });
    table.AddFieldDef({ QStringLiteral("Category"), ql::FieldType::Text, 30 });
    table.AddFieldDef({ QStringLiteral("PRIORITY"), ql::FieldType::Integer });
    table.AddFieldDef({ QStringLiteral("Status"), ql::FieldType::Memo });
    table.CreateEmpty();
    DataSource source(table);
    m_view->SetSourceTable(source);
    m_view->BuildEditors();

    struct Expected
    {
        const char *name;
        int top;
    };
    const Expected expected[] = {
        { "lbl0", 31 },
        { "edt0", 31 },
        { "edt1", 51 },
        { "tbl3", 91 },
        { "edt4", 187 },
        { "cbopri5", 207 },
        { "tbl6", 227 },
    };
    for (const Expected &e : expected) {
        SCOPED_TRACE(e.name);
        QWidget *w = control(QLatin1String(e.name));
        ASSERT_TRUE(w);
        EXPECT_EQ(w->y(), e.top);
    }
    EXPECT_FALSE(control(QStringLiteral("lbl2")));
    EXPECT_EQ(m_view->ScrollBox1->widget()->children().size(), 12u);
}

TEST_F(DetailsTest, NarrowWindow_WideEditsTakeTheScrollAreaWidthLessTwenty)
{
    struct Case
    {
        int windowWidth;
        bool narrowsWide;
        bool narrowsNarrow;
    };
    const Case cases[] = { { 694, false, false }, { 501, false, false }, { 500, true, false },
        { 480, true, false }, { 100, true, true } };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.windowWidth);
        m_view->setMinimumSize(0, 0);
        m_view->resize(c.windowWidth, 400);
        ASSERT_EQ(m_view->frameGeometry().width(), c.windowWidth);
        m_view->SetSourceTable(*m_source);
        m_view->BuildEditors();
        const int narrowed = m_view->ScrollBox1->width() - 20;
        EXPECT_EQ(control(QStringLiteral("edt1"))->width(), c.narrowsWide ? narrowed : 500);
        EXPECT_EQ(control(QStringLiteral("edt4"))->width(), c.narrowsNarrow ? narrowed : 100);
        EXPECT_EQ(control(QStringLiteral("cboSta2"))->width(), 100);
        EXPECT_EQ(control(QStringLiteral("tbl18"))->width(), 500);
    }
}

TEST_F(DetailsTest, Lists_ShowTheirItemIgnoringCase_ChoosingNormalStoresNormal)
{
    addTask(*m_table, QStringLiteral("Pay rent"), QStringLiteral("in progress"));
    m_table->EditRow();
    m_table->SetText(TaskField::Difficulty, QStringLiteral("Moderate"));
    m_table->SetText(TaskField::Priority, QStringLiteral("High"));
    m_table->PostRow();

    int result = 0;
    EXPECT_TRUE(runDetails(
        [&](TfrmDetails &) {
            EXPECT_EQ(
                control<QComboBox>(QStringLiteral("cboSta2"))->currentText(), QStringLiteral("In progress"));
            EXPECT_EQ(control<QComboBox>(QStringLiteral("cbopri3"))->currentText(), QStringLiteral("High"));
            auto *difficulty = control<QComboBox>(QStringLiteral("cboDiff5"));
            EXPECT_EQ(difficulty->currentIndex(), -1);
            difficulty->setFocus(Qt::TabFocusReason);
            QTest::keyClicks(difficulty, QStringLiteral("n"));
            // The ID edit takes no typing.
            auto *id = control<QLineEdit>(QStringLiteral("edt0"));
            id->setFocus(Qt::TabFocusReason);
            QTest::keyClicks(id, QStringLiteral("77"));
            EXPECT_EQ(id->text(), QStringLiteral("1"));
            // Enter in the ID edit presses OK.
            QTest::keyClick(id, Qt::Key_Return);
        },
        &result));
    EXPECT_EQ(result, int(QDialog::Accepted));
    EXPECT_EQ(m_table->GetState(), ClientTable::State::Browse);
    EXPECT_EQ(m_table->AsText(TaskField::Difficulty), QStringLiteral("Normal"));
    EXPECT_EQ(m_table->AsText(TaskField::Status), QStringLiteral("in progress"));
    EXPECT_EQ(m_table->AsInteger(TaskField::ID), 1);
    EXPECT_TRUE(m_ui.prompts().empty());
}

TEST_F(DetailsTest, OkPostsTheTask_CancelLeavesItPendingWithWhatWasWritten)
{
    addTask(*m_table, QStringLiteral("Pay rent"));
    addTask(*m_table, QStringLiteral("Call Ann"));
    m_table->MoveFirst();
    int edits = 0;
    m_table->SetAfterEdit([&](ClientTable &) { ++edits; });

    struct Case
    {
        const char *name;
        QString typed; // into Task, which keeps the focus unless `leave`
        bool leave;
        std::function<void(TfrmDetails &)> close;
        int result;
        ClientTable::State after;
        QString stored; // Task of the task, read once it is stored
    };
    const Case cases[] = {
        { "Enter", QStringLiteral("Pay the rent"), false,
            [](TfrmDetails &v) { QTest::keyClick(v.focusWidget(), Qt::Key_Return); }, QDialog::Accepted,
            ClientTable::State::Browse, QStringLiteral("Pay the rent") },
        { "OK clicked", QStringLiteral("Pay it"), false,
            [](TfrmDetails &v) { QTest::mouseClick(v.BitBtn1, Qt::LeftButton); }, QDialog::Accepted,
            ClientTable::State::Browse, QStringLiteral("Pay it") },
        // Esc leaves the typed text in the edit, which never lost the focus: it is not stored.
        { "Esc", QStringLiteral("Pay later"), false,
            [](TfrmDetails &v) { QTest::keyClick(v.focusWidget(), Qt::Key_Escape); }, QDialog::Rejected,
            ClientTable::State::Edit, QStringLiteral("Pay it") },
        // Cancel discards nothing: what was written stays pending on the task.
        { "Cancel after leaving the edit", QStringLiteral("Pay soon"), true,
            [](TfrmDetails &v) { QTest::mouseClick(v.BitBtn2, Qt::LeftButton); }, QDialog::Rejected,
            ClientTable::State::Edit, QStringLiteral("Pay soon") },
        { "close box", QStringLiteral("Pay never"), true, [](TfrmDetails &v) { v.close(); },
            QDialog::Rejected, ClientTable::State::Edit, QStringLiteral("Pay never") },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        m_table->MoveFirst();
        edits = 0;
        int result = 0;
        EXPECT_TRUE(runDetails(
            [&](TfrmDetails &view) {
                auto *task = control<QLineEdit>(QStringLiteral("edt1"));
                task->setFocus(Qt::TabFocusReason);
                QTest::keyClicks(task, c.typed);
                if (c.leave)
                    control(QStringLiteral("edt4"))->setFocus(Qt::TabFocusReason);
                c.close(view);
            },
            &result));
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(m_table->GetState(), c.after);
        EXPECT_EQ(edits, 1);
        // Moving to another task stores what is pending.
        m_table->MoveNext();
        m_table->MoveFirst();
        EXPECT_EQ(m_table->AsText(TaskField::Task), c.stored);
        EXPECT_EQ(m_table->GetState(), ClientTable::State::Browse);
    }
    EXPECT_EQ(column(*m_table, TaskField::Task),
        (QStringList { QStringLiteral("Pay never"), QStringLiteral("Call Ann") }));
    EXPECT_TRUE(m_ui.prompts().empty());
    // The hidden view holds the list no longer.
    EXPECT_EQ(m_view->SourceTable(), nullptr);
    EXPECT_FALSE(control<DBEdit>(QStringLiteral("edt1"))->isBound());
}

TEST_F(DetailsTest, EmptyList_TypingAndOkAddsATask)
{
    m_table->SetAfterInsert(
        [](ClientTable &t) { t.SetText(TaskField::Status, QStringLiteral("Not Started")); });
    EXPECT_TRUE(runDetails([&](TfrmDetails &view) {
        for (const char *name : { "edt0", "edt1", "edt16" })
            EXPECT_TRUE(control<QLineEdit>(QLatin1String(name))->text().isEmpty());
        EXPECT_EQ(control<QComboBox>(QStringLiteral("cboSta2"))->currentIndex(), -1);
        auto *task = control<QLineEdit>(QStringLiteral("edt1"));
        task->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(task, QStringLiteral("Water plants"));
        EXPECT_EQ(
            control<QComboBox>(QStringLiteral("cboSta2"))->currentText(), QStringLiteral("Not Started"));
        view.BitBtn1->click();
    }));
    ASSERT_EQ(m_table->RowCount(), 1);
    EXPECT_EQ(m_table->GetState(), ClientTable::State::Browse);
    EXPECT_EQ(m_table->AsText(TaskField::Task), QStringLiteral("Water plants"));
    EXPECT_EQ(m_table->AsInteger(TaskField::ID), 1);
}

TEST_F(DetailsTest, RefusedDate_KeepsTheViewOpenUntilCorrected_OneMessagePerRefusal)
{
    addTask(*m_table, QStringLiteral("Pay rent"));
    const QString refused = QStringLiteral("'31/31' is not a valid date.");
    int result = 0;
    EXPECT_TRUE(runDetails(
        [&](TfrmDetails &view) {
            auto *due = control<QLineEdit>(QStringLiteral("edt14"));
            due->setFocus(Qt::TabFocusReason);
            QTest::keyClicks(due, QStringLiteral("31/31"));

            // Enter: the view stays open, the edit keeps the focus with its text selected.
            QTest::keyClick(due, Qt::Key_Return);
            settle();
            EXPECT_EQ(view.result(), -1);
            EXPECT_EQ(errors(), QStringList { refused });
            EXPECT_TRUE(due->hasFocus());
            EXPECT_EQ(due->selectedText(), QStringLiteral("31/31"));

            // A click on OK takes the focus from the edit and presses the button: one refusal, one box.
            QTest::mouseClick(view.BitBtn1, Qt::LeftButton);
            settle();
            EXPECT_EQ(view.result(), -1);
            EXPECT_EQ(errors(), (QStringList { refused, refused }));
            EXPECT_TRUE(due->hasFocus());
            EXPECT_EQ(m_table->GetState(), ClientTable::State::Edit);
            EXPECT_TRUE(m_table->IsNull(TaskField::DueDate));

            QTest::keyClicks(due, QStringLiteral("3/14/2026"));
            QTest::mouseClick(view.BitBtn1, Qt::LeftButton);
        },
        &result));
    EXPECT_EQ(result, int(QDialog::Accepted));
    EXPECT_EQ(m_table->GetState(), ClientTable::State::Browse);
    EXPECT_EQ(m_table->AsDateTime(TaskField::DueDate).date(), QDate(2026, 3, 14));
    EXPECT_EQ(errors().size(), 2);
}

TEST_F(DetailsTest, RefusedTextLeftByEsc_IsDroppedWithTheView_NotWrittenIntoALaterPost)
{
    addTask(*m_table, QStringLiteral("Pay rent"));
    EXPECT_TRUE(runDetails([&](TfrmDetails &view) {
        auto *progress = control<QLineEdit>(QStringLiteral("edt4"));
        progress->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(progress, QStringLiteral("lots"));
        view.reject();
    }));
    EXPECT_EQ(m_table->GetState(), ClientTable::State::Edit);
    EXPECT_NO_THROW(m_table->PostRow());
    EXPECT_TRUE(m_table->IsNull(TaskField::Progress));
    EXPECT_TRUE(m_ui.prompts().empty());
}

TEST_F(DetailsTest, RefusedPost_IsShownAfterOk_AndTheTaskStaysPending)
{
    addTask(*m_table, QStringLiteral("Pay rent"));
    addTask(*m_table, QStringLiteral("Call Ann"));
    m_table->AddIndex(QStringLiteral("UniqueTask"), { TaskField::Task }, { false, true, false, false });
    m_table->PrepareIndex(QStringLiteral("UniqueTask"));
    m_table->MoveFirst();
    int result = 0;
    const bool ran = runDetails(
        [&](TfrmDetails &view) {
            auto *task = control<QLineEdit>(QStringLiteral("edt1"));
            task->setFocus(Qt::TabFocusReason);
            QTest::keyClicks(task, QStringLiteral("Call Ann"));
            view.BitBtn1->click();
        },
        &result);
    EXPECT_FALSE(ran);
    EXPECT_EQ(result, int(QDialog::Accepted));
    EXPECT_EQ(errors(), QStringList { QStringLiteral("Key violation.") });
    EXPECT_EQ(m_table->GetState(), ClientTable::State::Edit);
    EXPECT_EQ(m_table->AsText(TaskField::Task), QStringLiteral("Call Ann"));
    EXPECT_EQ(m_view->SourceTable(), nullptr);
}

} // namespace
