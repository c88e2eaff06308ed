// The task state commands of a list's frame, run from its tool buttons and popup items as a user
// runs them, on the task under the grid's cursor.
#include "TaskListFixture.h"

#include "platform/SystemFormats.h"
#include "tasks/TaskPickers.h"

#include <QAction>
#include <QMenu>
#include <QToolButton>

namespace {

using ql::ClientTable;
using ql::ScriptedUi;
using ql::TfrTasks;

class TaskStateCommandsTest : public TaskListFixture
{
protected:
    // A loaded list of two tasks, unmarked, with the second current; the second was started last
    // week with 40 % done and is of high priority.
    TfrTasks &planList()
    {
        TfrTasks &frame
            = loadedList(writeList(QStringLiteral("Plan.ql1"), { "one", "two" }), QStringLiteral("Plan"));
        ClientTable &table = frame.cdsTasks();
        table.MoveLast();
        table.EditRow();
        table.SetInteger(QStringLiteral("Progress"), 40);
        table.SetText(QStringLiteral("Priority"), QStringLiteral("High"));
        table.SetValue(
            table.RequireField(QStringLiteral("StartDate")), ql::Value::fromDate(Today.addDays(-7)));
        table.PostRow();
        frame.MarkSaved();
        m_ui.clear();
        return frame;
    }

    // The values of the current task, as "Field=text" for each field that has one.
    static QStringList currentTask(const ClientTable &table)
    {
        QStringList values;
        for (const ql::Field &field : table.Fields()) {
            const ql::Value value = table.GetValue(field);
            if (!value.isNull())
                values << field.name() + u'=' + ClientTable::ValueText(field, value);
        }
        return values;
    }

    static QString day(int offset = 0)
    {
        return ql::SystemFormats::current().formatDate(Today.addDays(offset));
    }
};

TEST_F(TaskStateCommandsTest, EachCommandWritesItsFieldsAndMarksTheList)
{
    const struct
    {
        const char *button; // tool button that runs it, or nullptr
        const char *menuItem; // popup item that runs it
        QStringList changed; // field=value after the command, for the fields it writes
    } cases[] = {
        { "ToolButton11", "StartTask1",
            { "Status=In progress", "Progress=40", "LastActioned=" + day(), "StartDate=" + day() } },
        { "tbCancel", "CancelTask1", { "Status=Cancelled", "Priority=Low", "LastActioned=" + day() } },
        { "ToolButton10", "PauseTask1", { "Status=Paused", "Priority=Low", "LastActioned=" + day() } },
        { "ToolButton2", "CompleteTask1",
            { "CompletedDate=" + day(), "LastActioned=" + day(), "Progress=100", "Status=Complete",
                "Priority=High" } },
        { "ToolButton4", "BookmarkTask1", { "Bookmarked=True", "LastActioned=" + day() } },
        { nullptr, "Lastactionednow1", { "LastActioned=" + day() } },
    };
    for (const auto &c : cases) {
        for (const bool fromMenu : { false, true }) {
            if (!fromMenu && !c.button)
                continue;
            SCOPED_TRACE(std::string(fromMenu ? c.menuItem : c.button));
            TfrTasks &frame = planList();
            ClientTable &table = frame.cdsTasks();
            const QStringList before = currentTask(table);
            table.MoveFirst();
            const QStringList other = currentTask(table);
            table.MoveLast();

            if (fromMenu)
                frame.findChild<QAction *>(QString::fromLatin1(c.menuItem))->trigger();
            else
                QTest::mouseClick(
                    frame.findChild<QToolButton *>(QString::fromLatin1(c.button)), Qt::LeftButton);

            EXPECT_TRUE(m_ui.prompts().empty());
            EXPECT_EQ(table.GetState(), ClientTable::State::Browse);
            EXPECT_TRUE(frame.Modified());
            EXPECT_EQ(caption(frame), QStringLiteral("Plan *"));
            // The fields of the command have their new values, and no other field changed.
            QStringList expected = before;
            for (const QString &change : c.changed) {
                const QString name = change.section(u'=', 0, 0);
                expected.erase(std::remove_if(expected.begin(), expected.end(),
                                   [&](const QString &v) { return v.section(u'=', 0, 0) == name; }),
                    expected.end());
                expected << change;
            }
            QStringList after = currentTask(table);
            std::sort(expected.begin(), expected.end());
            std::sort(after.begin(), after.end());
            EXPECT_EQ(after, expected);
            table.MoveFirst();
            EXPECT_EQ(currentTask(table), other);
        }
    }
}

// Start sets a progress of 0 or none to 1; a command on a view without tasks starts a new one.
TEST_F(TaskStateCommandsTest, StartFromNothingAndCancelOnAnEmptyList)
{
    TfrTasks &frame = newList();
    ClientTable &table = frame.cdsTasks();
    frame.findChild<QAction *>(QStringLiteral("CancelTask1"))->trigger();
    ASSERT_EQ(table.RowCount(), 1);
    EXPECT_EQ(table.AsText(QStringLiteral("Status")), QStringLiteral("Cancelled"));
    EXPECT_EQ(table.AsText(QStringLiteral("Priority")), QStringLiteral("Low"));
    EXPECT_TRUE(table.IsNull(QStringLiteral("Task")));
    EXPECT_EQ(table.AsInteger(QStringLiteral("Progress")), 0);

    frame.findChild<QAction *>(QStringLiteral("StartTask1"))->trigger();
    EXPECT_EQ(table.AsInteger(QStringLiteral("Progress")), 1);
    EXPECT_EQ(table.AsText(QStringLiteral("Priority")), QStringLiteral("Low"));
    EXPECT_EQ(frame.statusPanelText(0), QStringLiteral("Items 1"));
}

TEST_F(TaskStateCommandsTest, Delete_AsksAndDeletesOnlyOnYes)
{
    TfrTasks &frame = planList();
    ClientTable &table = frame.cdsTasks();
    m_ui.answerQuestion(ql::Answer::No);
    frame.findChild<QAction *>(QStringLiteral("DeleteTask1"))->trigger();
    ASSERT_EQ(m_ui.prompts().size(), 1u);
    EXPECT_EQ(m_ui.prompts().front().kind, ScriptedUi::Kind::Question);
    EXPECT_EQ(m_ui.prompts().front().text, QStringLiteral("Delete current task ?"));
    EXPECT_EQ(table.RowCount(), 2);
    EXPECT_FALSE(frame.Modified());

    m_ui.answerQuestion(ql::Answer::Yes);
    QTest::mouseClick(frame.findChild<QToolButton *>(QStringLiteral("ToolButton3")), Qt::LeftButton);
    EXPECT_EQ(table.RowCount(), 1);
    EXPECT_EQ(table.AsText(QStringLiteral("Task")), QStringLiteral("one"));
    EXPECT_TRUE(frame.Modified());
    EXPECT_EQ(frame.statusPanelText(0), QStringLiteral("Items 1"));

    // With no task left to delete, the question is asked and the table's error follows.
    m_ui.answerQuestion(ql::Answer::Yes);
    frame.findChild<QAction *>(QStringLiteral("DeleteTask1"))->trigger();
    m_ui.answerQuestion(ql::Answer::Yes);
    frame.findChild<QAction *>(QStringLiteral("DeleteTask1"))->trigger();
    EXPECT_EQ(m_ui.prompts().back().kind, ScriptedUi::Kind::Error);
    EXPECT_EQ(
        m_ui.prompts().back().text, QStringLiteral("Cannot perform this operation on an empty dataset."));
}

// A list whose file lacks a field a command writes stops at that field, with the task left pending
// with what was written before it.
TEST_F(TaskStateCommandsTest, ListLackingAField_StopsAtIt)
{
    TfrTasks &frame = loadedList(
        writeList(QStringLiteral("Old.ql1"), { "one" }, { "ID", "Task", "Status", "LastActioned" }),
        QStringLiteral("Old"));
    ClientTable &table = frame.cdsTasks();
    frame.findChild<QAction *>(QStringLiteral("PauseTask1"))->trigger();
    ASSERT_FALSE(m_ui.prompts().empty());
    EXPECT_EQ(m_ui.prompts().back().text, QStringLiteral("Field 'Priority' not found."));
    EXPECT_EQ(table.GetState(), ClientTable::State::Edit);
    EXPECT_EQ(table.AsText(QStringLiteral("Status")), QStringLiteral("Paused"));
    EXPECT_TRUE(frame.Modified());
}

// Answers the pickers as a user would, and remembers what the frame handed in.
class AnsweringPickers final : public ql::TaskPickers
{
public:
    qint64 pickProgress(qint64 current) override
    {
        presets.push_back(current);
        return progress;
    }
    std::optional<DateChoice> pickDate() override { return date; }

    qint64 progress = 0;
    std::optional<DateChoice> date;
    std::vector<qint64> presets;
};

TEST_F(TaskStateCommandsTest, SetProgressAndSetDate_AskThePickers)
{
    TfrTasks &frame = planList();
    ClientTable &table = frame.cdsTasks();
    auto *progress = frame.findChild<QAction *>(QStringLiteral("Progress1"));
    auto *setDate = frame.findChild<QAction *>(QStringLiteral("SetDates1"));
    EXPECT_FALSE(progress->isEnabled()) << "no dialogs to ask yet";
    AnsweringPickers pickers;
    frame.SetPickers(&pickers);
    ASSERT_TRUE(progress->isEnabled() && setDate->isEnabled());

    // Complete first: 100 % from the picker leaves the task in progress and keeps the completed date.
    frame.findChild<QAction *>(QStringLiteral("CompleteTask1"))->trigger();
    pickers.progress = 100;
    progress->trigger();
    EXPECT_EQ(pickers.presets, std::vector<qint64> { 100 });
    EXPECT_EQ(table.AsText(QStringLiteral("Status")), QStringLiteral("In progress"));
    EXPECT_EQ(table.AsInteger(QStringLiteral("Progress")), 100);
    EXPECT_FALSE(table.IsNull(QStringLiteral("CompletedDate")));
    pickers.progress = 250; // no range check
    progress->trigger();
    EXPECT_EQ(table.AsInteger(QStringLiteral("Progress")), 250);

    // A date: only the chosen field changes.
    frame.MarkSaved();
    const QStringList before = currentTask(table);
    pickers.date = ql::TaskPickers::DateChoice { ql::TaskCommands::DateField::Due, QDate(2024, 3, 3) };
    setDate->trigger();
    QStringList expected = before;
    expected << QStringLiteral("DueDate=") + ql::SystemFormats::current().formatDate(QDate(2024, 3, 3));
    QStringList after = currentTask(table);
    std::sort(expected.begin(), expected.end());
    std::sort(after.begin(), after.end());
    EXPECT_EQ(after, expected);
    EXPECT_TRUE(frame.Modified());

    // Cancelled: nothing changes and the list stays saved. Applied without a field: nothing is
    // written, but the list is marked.
    frame.MarkSaved();
    pickers.date.reset();
    setDate->trigger();
    EXPECT_FALSE(frame.Modified());
    pickers.date = ql::TaskPickers::DateChoice {};
    setDate->trigger();
    EXPECT_TRUE(frame.Modified());
    QStringList unchanged = currentTask(table);
    std::sort(unchanged.begin(), unchanged.end());
    EXPECT_EQ(unchanged, after);
    frame.SetPickers(nullptr);
}

} // namespace
