// A large list's orders are built in the background: choosing one that is not built yet leaves the
// grid as it is, says so in the status bar, and shows the order when it is ready.
#include "TaskListFixture.h"

#include "operations/OrderPreparation.h"
#include "operations/TaskViews.h"

#include <QLabel>
#include <QThreadPool>

namespace {

class BackgroundOrderTest : public TaskListFixture
{
protected:
    // A loaded list just over the size whose orders are built in the background, its task texts
    // running backwards so that the Task order differs from the ID order.
    ql::TfrTasks &largeList()
    {
        QStringList texts;
        const int count = ql::OrderPreparation::BackgroundRows + 100;
        for (int i = count; i > 0; --i)
            texts << QStringLiteral("Task %1").arg(i, 5, 10, QLatin1Char('0'));
        return loadedList(writeList(QStringLiteral("large.ql1"), texts), QStringLiteral("large"));
    }

    static void choose(ql::TfrTasks &frame, const QString &index)
    {
        QComboBox *box = combo(frame, "cbOrder");
        for (int i = 0; i < box->count(); ++i) {
            if (ql::TaskViews::IndexForOrderItem(i) == index) {
                box->setCurrentIndex(i);
                emit box->activated(i);
            }
        }
    }

    static QString activity(ql::TfrTasks &frame)
    {
        return frame.findChild<QLabel *>(QStringLiteral("StatusPanel3"))->text();
    }

    static QString firstTask(ql::TfrTasks &frame)
    {
        ql::ClientTable &table = frame.cdsTasks();
        return table.ViewValue(1, table.RequireField(QStringLiteral("Task"))).text();
    }
};

TEST_F(BackgroundOrderTest, ChosenOrder_NotBuiltYet_IsShownWhenReady)
{
    ql::TfrTasks &frame = largeList();
    ql::ClientTable &table = frame.cdsTasks();
    ASSERT_FALSE(table.IndexPrepared(ql::TaskOrder::TaskName));

    choose(frame, ql::TaskOrder::TaskName);
    // Nothing was built while the user waited: the grid still shows the list by ID.
    EXPECT_EQ(table.IndexName(), ql::TaskOrder::ID);
    EXPECT_EQ(frame.pendingOrder(), ql::TaskOrder::TaskName);
    EXPECT_EQ(activity(frame), QStringLiteral("Sorting by Task ..."));
    EXPECT_EQ(firstTask(frame), QStringLiteral("Task 04100"));

    // A task added meanwhile takes its place in the order that is being built.
    typeTask(frame, QStringLiteral("Task 00000 added"));

    ASSERT_TRUE(QTest::qWaitFor([&] { return frame.pendingOrder().isEmpty(); }, 30000));
    EXPECT_EQ(table.IndexName(), ql::TaskOrder::TaskName);
    EXPECT_EQ(firstTask(frame), QStringLiteral("Task 00000 added"));
    EXPECT_EQ(
        table.ViewValue(2, table.RequireField(QStringLiteral("Task"))).text(), QStringLiteral("Task 00001"));
    EXPECT_TRUE(activity(frame).isEmpty());
    EXPECT_TRUE(shownMessages(ql::ScriptedUi::Kind::Error).isEmpty());
}

TEST_F(BackgroundOrderTest, LaterChoice_WhileAnOrderBuilds_IsTheOneShown)
{
    ql::TfrTasks &frame = largeList();
    ql::ClientTable &table = frame.cdsTasks();

    choose(frame, ql::TaskOrder::TaskName);
    choose(frame, ql::TaskOrder::Status);
    ASSERT_TRUE(QTest::qWaitFor([&] { return frame.pendingOrder().isEmpty(); }, 30000));
    EXPECT_EQ(table.IndexName(), ql::TaskOrder::Status);
    // The idle preparation goes on to build the others, the abandoned choice among them; choosing
    // it then switches at once.
    ASSERT_TRUE(QTest::qWaitFor([&] { return table.IndexPrepared(ql::TaskOrder::TaskName); }, 30000));
    choose(frame, ql::TaskOrder::TaskName);
    EXPECT_EQ(table.IndexName(), ql::TaskOrder::TaskName);
    EXPECT_TRUE(frame.pendingOrder().isEmpty());
}

TEST_F(BackgroundOrderTest, ClosingTheList_WhileAnOrderBuilds_IsSafe)
{
    for (int round = 0; round < 3; ++round) {
        ql::TfrTasks &frame = largeList();
        choose(frame, ql::TaskOrder::TaskName);
        // Each round lets the build get a little further before the tab goes.
        for (int turn = 0; turn < round * 2; ++turn)
            QCoreApplication::processEvents();
        delete m_tabs.widget(m_tabs.indexOf(frame.parentWidget()));
    }
    // The workers end on their own; nothing they touch is gone.
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_EQ(m_tabs.count(), 0);
}

} // namespace
