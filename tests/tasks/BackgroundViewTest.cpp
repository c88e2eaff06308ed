// A large list's views and searches are built in idle turns: the grid keeps the view it shows, the
// status bar says what is being built, and the new view replaces it when ready.
#include "TaskListFixture.h"

#include "operations/ViewFiltering.h"

#include <QLabel>

namespace {

class BackgroundViewTest : public TaskListFixture
{
protected:
    // A loaded list just over the size whose views are built in the background.
    ql::TfrTasks &largeList()
    {
        QStringList texts;
        const int count = ql::ViewFiltering::BackgroundRows + 100;
        for (int i = 1; i <= count; ++i)
            texts << QStringLiteral("Task %1").arg(i, 5, 10, QLatin1Char('0'));
        return loadedList(writeList(QStringLiteral("large.ql1"), texts), QStringLiteral("large"));
    }

    static void search(ql::TfrTasks &frame, const QString &text)
    {
        frame.edSearch->setText(text);
        QTest::keyClick(frame.edSearch, Qt::Key_Return);
    }

    static void pick(QComboBox *box, const QString &item)
    {
        const int index = box->findText(item);
        box->setCurrentIndex(index);
        emit box->activated(index);
    }

    static QString activity(ql::TfrTasks &frame)
    {
        return frame.findChild<QLabel *>(QStringLiteral("StatusPanel3"))->text();
    }

    static QString task(ql::TfrTasks &frame, int row)
    {
        ql::ClientTable &table = frame.cdsTasks();
        return table.ViewValue(row, table.RequireField(ql::TaskField::Task)).text();
    }

    static bool waitForView(ql::TfrTasks &frame)
    {
        return QTest::qWaitFor([&] { return !frame.viewPending(); }, 30000);
    }
};

TEST_F(BackgroundViewTest, Search_ShowsTheOldViewUntilTheNewOneIsReady)
{
    ql::TfrTasks &frame = largeList();
    ql::ClientTable &table = frame.cdsTasks();
    table.MoveTo(50);

    search(frame, QStringLiteral("Task 0409"));
    // Nothing was searched while the user waited: the grid shows every task, the cursor where it was.
    EXPECT_TRUE(frame.viewPending());
    EXPECT_EQ(table.RowCount(), 4100);
    EXPECT_FALSE(table.Filtered());
    EXPECT_EQ(table.RowNumber(), 50);
    EXPECT_EQ(activity(frame), QStringLiteral("Searching for \"Task 0409\" ..."));

    // A task added meanwhile is searched too; a later keystroke replaces the search under way.
    typeTask(frame, QStringLiteral("Task 0409 added"));
    search(frame, QStringLiteral("Task 04"));
    search(frame, QStringLiteral("Task 040"));
    EXPECT_EQ(activity(frame), QStringLiteral("Searching for \"Task 040\" ..."));

    ASSERT_TRUE(waitForView(frame));
    EXPECT_EQ(table.Filter(), QStringLiteral("Task LIKE '%Task 040%'"));
    EXPECT_TRUE(table.Filtered());
    // Task 04000 to 04099 and the one added, by ID, the cursor on the first.
    EXPECT_EQ(table.RowCount(), 101);
    EXPECT_EQ(task(frame, 1), QStringLiteral("Task 04000"));
    EXPECT_EQ(task(frame, 101), QStringLiteral("Task 0409 added"));
    EXPECT_EQ(table.RowNumber(), 1);
    EXPECT_EQ(frame.statusPanelText(0), QStringLiteral("Items 101"));
    EXPECT_TRUE(activity(frame).isEmpty());

    // One letter more searches only the tasks in view, and is as quick as before: at once.
    search(frame, QStringLiteral("Task 0409"));
    EXPECT_FALSE(frame.viewPending());
    EXPECT_EQ(table.RowCount(), 11);
    EXPECT_TRUE(shownMessages(ql::ScriptedUi::Kind::Error).isEmpty());
}

TEST_F(BackgroundViewTest, ViewsAndShowAll_WhileAViewIsBuilt)
{
    ql::TfrTasks &frame = largeList();
    ql::ClientTable &table = frame.cdsTasks();

    pick(frame.cbShow, QStringLiteral("Completed"));
    EXPECT_EQ(activity(frame), QStringLiteral("Showing Completed ..."));
    EXPECT_EQ(table.RowCount(), 4100);
    ASSERT_TRUE(waitForView(frame));
    EXPECT_EQ(table.RowCount(), 0);
    EXPECT_EQ(table.Filter(), QStringLiteral("Status = 'Complete' "));

    // "All" while a view is built shows every task at once; the view never comes.
    pick(frame.cbShow, QStringLiteral("Not Started"));
    EXPECT_TRUE(frame.viewPending());
    pick(frame.cbShow, QStringLiteral("All"));
    EXPECT_FALSE(frame.viewPending());
    EXPECT_TRUE(activity(frame).isEmpty());
    EXPECT_FALSE(table.Filtered());
    EXPECT_EQ(table.RowCount(), 4100);

    // So does Show All after a search; a search that fails tells so at once and changes nothing.
    search(frame, QStringLiteral("Task 1"));
    search(frame, QStringLiteral("a' or 'b"));
    EXPECT_EQ(shownMessages(ql::ScriptedUi::Kind::Error).size(), 1);
    EXPECT_EQ(activity(frame), QStringLiteral("Searching for \"Task 1\" ..."));
    QTest::mouseClick(frame.SpeedButton2, Qt::LeftButton);
    EXPECT_FALSE(frame.viewPending());
    EXPECT_TRUE(activity(frame).isEmpty());
    EXPECT_EQ(table.RowCount(), 4100);
    EXPECT_TRUE(frame.edSearch->text().isEmpty());
}

TEST_F(BackgroundViewTest, ClosingTheList_WhileAViewIsBuilt_IsSafe)
{
    for (int round = 0; round < 3; ++round) {
        ql::TfrTasks &frame = largeList();
        search(frame, QStringLiteral("Task 1"));
        // Each round lets the build get a little further before the tab goes.
        for (int turn = 0; turn < round * 2; ++turn)
            QCoreApplication::processEvents();
        delete m_tabs.widget(m_tabs.indexOf(frame.parentWidget()));
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(m_tabs.count(), 0);
}

} // namespace
