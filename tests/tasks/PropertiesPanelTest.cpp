// The frame's properties side panel: the key/value editor filled from the current task, and the
// Text page's memo bound to the task's properties.
#include "TaskListFixture.h"
#include "bound/DBMemo.h"
#include "tasks/ValueListEditor.h"

#include "tasks/TaskPickers.h"

#include <QAction>
#include <QTabWidget>

namespace {

using ql::TfrTasks;
using ql::ValueListEditor;
using Pairs = std::vector<std::pair<QString, QString>>;

Pairs entries(const ValueListEditor &editor)
{
    Pairs pairs;
    for (int row = 0; row < editor.entryCount(); ++row)
        pairs.emplace_back(editor.key(row), editor.value(row));
    return pairs;
}

// Answers the property entry dialog as the user would: a pair on OK, nothing on Cancel.
class PropertyPickers final : public ql::TaskPickers
{
public:
    qint64 pickProgress(qint64) override { return 0; }
    std::optional<DateChoice> pickDate() override { return std::nullopt; }
    std::optional<std::pair<QString, QString>> pickProperty() override { return answer; }

    std::optional<std::pair<QString, QString>> answer;
};

class PropertiesPanelTest : public TaskListFixture
{
protected:
    // A list whose tasks carry the given property texts, loaded from its file.
    TfrTasks &listWithProperties(const QStringList &properties)
    {
        ql::ClientTable table;
        ql::DefineTaskTable(table);
        table.CreateEmpty();
        for (const QString &text : properties) {
            table.AppendRow();
            table.SetText(QStringLiteral("Task"), QStringLiteral("task"));
            table.SetText(QStringLiteral("Properties"), text);
            table.PostRow();
        }
        const QString file = path(QStringLiteral("Props.ql1"));
        table.WriteToFile(file, ql::DataFormat::XmlUtf8);
        return loadedList(file, QStringLiteral("Props"));
    }
};

TEST_F(PropertiesPanelTest, LoadPropertyList_SplitsLinesAtTheFirstEquals)
{
    const struct
    {
        const char *text;
        Pairs rows;
        int shownRows;
    } cases[] = {
        { "Colour=Red\r\nSize=L\r\n", { { "Colour", "Red" }, { "Size", "L" } }, 2 },
        { "a=b=c", { { "a", "b=c" } }, 1 },
        // An empty field gives no entries; the editor still shows its blank row.
        { "", {}, 1 },
        // The stored form of an empty list is one blank entry.
        { "=\r\n", { { "", "" } }, 1 },
        // The editor stays on its first row: a blank first line gives way to the next one.
        { "=\r\nk=v\r\n", { { "k", "v" } }, 1 },
        { "k=v\r\n\r\nx=y\r\n", { { "k", "v" }, { "", "" }, { "x", "y" } }, 3 },
        { "k=v\rx=y\nz=", { { "k", "v" }, { "x", "y" }, { "z", "" } }, 3 },
        { "Size=L\r\nSize=M\r\n", { { "Size", "L" }, { "Size", "M" } }, 2 },
        { "no equals here", { { "no equals here", "" } }, 1 },
    };
    TfrTasks &frame = listWithProperties({ "Old=entry\r\nMore=entries\r\nThird=one" });
    ql::ClientTable &table = frame.cdsTasks();
    ValueListEditor &editor = *frame.ValueListEditor1;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        table.EditRow();
        table.SetText(QStringLiteral("Properties"), QString::fromUtf8(c.text));
        table.PostRow();
        ql::LoadPropertyList(editor, table, QStringLiteral("Properties"));
        EXPECT_EQ(entries(editor), c.rows);
        EXPECT_EQ(editor.rowCount(), c.shownRows);
        EXPECT_EQ(editor.currentRow(), 0);
    }
}

TEST_F(PropertiesPanelTest, LoadPropertyList_FailsOnAClosedTableOrAMissingField)
{
    TfrTasks &closed = loadedList(path(QStringLiteral("gone.ql1")), QStringLiteral("gone"));
    try {
        ql::LoadPropertyList(*closed.ValueListEditor1, closed.cdsTasks(), QStringLiteral("Properties"));
        ADD_FAILURE() << "no error";
    } catch (const ql::Error &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Dataset is not active."));
    }

    TfrTasks &frame = listWithProperties({ "k=v" });
    EXPECT_THROW(
        ql::LoadPropertyList(*frame.ValueListEditor1, frame.cdsTasks(), QStringLiteral("Nope")), ql::Error);
}

TEST_F(PropertiesPanelTest, Panel_IsHiddenAndFollowsTheCurrentTask)
{
    TfrTasks &frame = listWithProperties({ "Colour=Red\r\n", "", "Size=L\r\nSize=M\r\n" });
    showTabs();
    EXPECT_FALSE(frame.PageControl1->isVisible());
    ValueListEditor &editor = *frame.ValueListEditor1;
    EXPECT_EQ(entries(editor), (Pairs { { "Colour", "Red" } }));

    frame.cdsTasks().MoveNext();
    EXPECT_EQ(entries(editor), Pairs {});
    EXPECT_EQ(editor.rowCount(), 1);
    frame.cdsTasks().MoveNext();
    EXPECT_EQ(entries(editor), (Pairs { { "Size", "L" }, { "Size", "M" } }));

    // A value edited in place and not written back is gone after a movement.
    editor.item(0, 1)->setText(QStringLiteral("XL"));
    frame.cdsTasks().MoveFirst();
    frame.cdsTasks().MoveLast();
    EXPECT_EQ(entries(editor), (Pairs { { "Size", "L" }, { "Size", "M" } }));
    EXPECT_FALSE(frame.Modified());
}

// A list from a file without the field leaves the memo unbound and the editor as it was.
TEST_F(PropertiesPanelTest, ListWithoutPropertiesField_LeavesThePanelAlone)
{
    const QString file = writeList(QStringLiteral("Old.ql1"), { "a", "b" }, { "ID", "Task", "Status" });
    TfrTasks &frame = loadedList(file, QStringLiteral("Old"));
    ValueListEditor &editor = *frame.ValueListEditor1;
    editor.addPair(QStringLiteral("kept"), QStringLiteral("here"));
    frame.cdsTasks().MoveNext();
    EXPECT_EQ(entries(editor), (Pairs { { "kept", "here" } }));
    EXPECT_FALSE(frame.DBMemo1->isBound());
    EXPECT_TRUE(frame.DBMemo1->isReadOnly());
    EXPECT_TRUE(m_ui.prompts().empty());
}

TEST_F(PropertiesPanelTest, Memo_ShowsAndEditsTheTasksText)
{
    TfrTasks &frame = listWithProperties({ "Colour=Red\r\nSize=L\r\n", "k=v" });
    ql::DBMemo &memo = *frame.DBMemo1;
    ASSERT_TRUE(memo.isBound());
    EXPECT_FALSE(memo.isReadOnly());
    EXPECT_EQ(memo.toPlainText(), QStringLiteral("Colour=Red\nSize=L\n"));
    frame.cdsTasks().MoveNext();
    EXPECT_EQ(memo.toPlainText(), QStringLiteral("k=v"));

    // The first change puts the task into edit mode and marks the list; the text is stored with
    // the files' line breaks when the task is posted.
    showTabs();
    frame.PageControl1->show();
    frame.PageControl1->setCurrentIndex(1);
    memo.setFocus();
    memo.moveCursor(QTextCursor::End);
    QTest::keyClick(&memo, Qt::Key_Return);
    QTest::keyClicks(&memo, QStringLiteral("n=1"));
    EXPECT_EQ(frame.cdsTasks().GetState(), ql::ClientTable::State::Edit);
    EXPECT_TRUE(frame.Modified());
    frame.cdsTasks().MoveFirst();
    frame.cdsTasks().MoveNext();
    EXPECT_EQ(frame.cdsTasks().AsText(QStringLiteral("Properties")), QStringLiteral("k=v\r\nn=1"));
    // One stored version for the whole visit, however many keys were typed.
    EXPECT_EQ(writtenChangeLog(frame.cdsTasks()), QStringLiteral("1 0 4 2 0 4 3 2 8"));
    // ... and the key/value editor shows it after the movement.
    EXPECT_EQ(entries(*frame.ValueListEditor1), (Pairs { { "k", "v" }, { "n", "1" } }));

    // Abandoning the edit shows the stored text again.
    QTest::keyClicks(&memo, QStringLiteral("x"));
    frame.cdsTasks().CancelRow();
    EXPECT_EQ(memo.toPlainText(), QStringLiteral("k=v\nn=1"));
}

TEST_F(PropertiesPanelTest, AddProperty_AddsThePairAndWritesTheEditorBackEvenOnCancel)
{
    TfrTasks &frame = listWithProperties({ QString(), QStringLiteral("Colour=Red\r\nSize=L\r\n") });
    PropertyPickers pickers;
    frame.SetPickers(&pickers);
    auto *addProperty = frame.findChild<QAction *>(QStringLiteral("AddProperty1"));
    ASSERT_NE(addProperty, nullptr);
    ASSERT_TRUE(addProperty->isEnabled());
    ql::ClientTable &table = frame.cdsTasks();

    // A task without properties: the pair fills the blank row.
    pickers.answer = std::make_pair(QStringLiteral("k"), QStringLiteral("v"));
    addProperty->trigger();
    EXPECT_EQ(table.AsText(QStringLiteral("Properties")), QStringLiteral("k=v\r\n"));
    EXPECT_EQ(table.GetState(), ql::ClientTable::State::Browse);
    EXPECT_TRUE(frame.Modified());

    // Two rows written back as they were read; a cancelled dialog still writes the editor.
    table.MoveTo(2);
    frame.MarkSaved();
    pickers.answer.reset();
    addProperty->trigger();
    EXPECT_EQ(table.AsText(QStringLiteral("Properties")), QStringLiteral("Colour=Red\r\nSize=L\r\n"));
    EXPECT_TRUE(frame.Modified());

    // Keys need not be unique: each row keeps its own value, in row order.
    pickers.answer = std::make_pair(QStringLiteral("Colour"), QStringLiteral("Blue=ish"));
    addProperty->trigger();
    EXPECT_EQ(table.AsText(QStringLiteral("Properties")),
        QStringLiteral("Colour=Red\r\nSize=L\r\nColour=Blue=ish\r\n"));
    EXPECT_TRUE(m_ui.prompts().empty());
}

TEST_F(PropertiesPanelTest, SavePropertyList_WritesTheBlankRowAsEqualsAndFailsCleanly)
{
    TfrTasks &frame = listWithProperties({ QStringLiteral("a=1\r\n") });
    ql::ClientTable &table = frame.cdsTasks();
    ValueListEditor &editor = *frame.ValueListEditor1;

    // An editor showing only its blank row stores "=", which loads back as that one blank row.
    editor.clearEntries();
    ql::SavePropertyList(editor, table, QStringLiteral("Properties"));
    EXPECT_EQ(table.AsText(QStringLiteral("Properties")), QStringLiteral("=\r\n"));
    ql::LoadPropertyList(editor, table, QStringLiteral("Properties"));
    EXPECT_EQ(entries(editor), (Pairs { { QString(), QString() } }));

    // A field the table refuses abandons the edit and passes the error on.
    EXPECT_THROW(ql::SavePropertyList(editor, table, QStringLiteral("Nothing")), ql::Error);
    EXPECT_EQ(table.GetState(), ql::ClientTable::State::Browse);

    // The main window's variant: its own message on a closed table; on a list without the field
    // the task is posted unchanged.
    ql::ClientTable closed;
    try {
        ql::SavePropertyListChecked(editor, closed, QStringLiteral("Properties"));
        ADD_FAILURE() << "no error";
    } catch (const ql::Error &error) {
        EXPECT_EQ(error.message(), QStringLiteral("Open or create a list first!"));
    }
    try {
        ql::SavePropertyList(editor, closed, QStringLiteral("Properties"));
        ADD_FAILURE() << "no error";
    } catch (const ql::Error &error) {
        EXPECT_EQ(error.message(), QStringLiteral("Dataset is not active."));
    }
    TfrTasks &old = loadedList(
        writeList(QStringLiteral("Old.ql1"), { "one" }, { "ID", "Task", "Status" }), QStringLiteral("Old"));
    ql::SavePropertyListChecked(editor, old.cdsTasks(), QStringLiteral("Properties"));
    EXPECT_EQ(old.cdsTasks().GetState(), ql::ClientTable::State::Browse);
    EXPECT_EQ(old.cdsTasks().AsText(QStringLiteral("Task")), QStringLiteral("one"));
}

} // namespace
