// The bar over a list's grid: the orders of "Sort by" and of the column titles, the views of "Only
// Show", and the search, as a user chooses them.
#include "TaskListFixture.h"

#include "platform/SystemFormats.h"

#include <QHeaderView>
#include <QToolButton>

namespace {

using ql::ClientTable;
using ql::TaskGridModel;
using ql::TfrTasks;

class SortViewSearchTest : public TaskListFixture
{
protected:
    // Six tasks of every kind the views tell apart; IDs 1 to 6 in this order.
    TfrTasks &mixedList()
    {
        ClientTable table;
        ql::DefineTaskTable(table);
        table.CreateEmpty();
        struct Task
        {
            const char *text, *status, *priority, *difficulty;
            int progress, lastActionedDaysAgo;
            bool completedToday, bookmarked;
        };
        const Task tasks[] = {
            { "Buy milk", "Not Started", "Normal", "Easy", 0, 9, false, false },
            { "Fix roof", "In progress", "High", "Hard", 40, 1, false, true },
            { "Call Bob", "Complete", "High", "Easy", 100, 0, true, false },
            { "Paint it's fence", "Cancelled", "High", "Moderate", 10, 5, false, false },
            { "Buy Milk powder", "Paused", "Urgent", "Hard", 20, 3, false, false },
            { "File taxes", "Complete", "Low", "Hard", 100, 20, false, false },
        };
        for (const Task &t : tasks) {
            table.AppendRow();
            table.SetText(QStringLiteral("Task"), QString::fromLatin1(t.text));
            table.SetText(QStringLiteral("Status"), QString::fromLatin1(t.status));
            table.SetText(QStringLiteral("Priority"), QString::fromLatin1(t.priority));
            table.SetText(QStringLiteral("Difficulty"), QString::fromLatin1(t.difficulty));
            table.SetInteger(QStringLiteral("Progress"), t.progress);
            table.SetBoolean(QStringLiteral("Bookmarked"), t.bookmarked);
            setDay(table, "LastActioned", Today.addDays(-t.lastActionedDaysAgo));
            setDay(table, "CreatedDate", t.bookmarked ? Today : Today.addDays(-30));
            if (t.completedToday)
                setDay(table, "CompletedDate", Today);
            table.PostRow();
        }
        const QString file = path(QStringLiteral("Mixed.ql1"));
        table.WriteToFile(file, ql::DataFormat::XmlUtf8);
        TfrTasks &frame = loadedList(file, QStringLiteral("Mixed"));
        return frame;
    }

    static void setDay(ClientTable &table, const char *field, const QDate &day)
    {
        table.SetValue(table.RequireField(QString::fromLatin1(field)), ql::Value::fromDate(day));
    }

    // What the grid shows, as the IDs of its rows in order.
    static QString ids(TfrTasks &frame) { return column(frame.cdsTasks(), QStringLiteral("ID")).join(u' '); }

    static QStringList column(const ClientTable &table, const QString &field)
    {
        QStringList values;
        const ql::Field &f = table.RequireField(field);
        for (int row = 1; row <= table.RowCount(); ++row)
            values << ClientTable::ValueText(f, table.ViewValue(row, f));
        return values;
    }

    // A user's pick of an item in a drop-down list.
    static void pick(QComboBox *box, const QString &item)
    {
        const int index = box->findText(item);
        ASSERT_GE(index, 0) << item.toStdString();
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
};

TEST_F(SortViewSearchTest, SortBy_MakesEachItemsOrderActive)
{
    TfrTasks &frame = mixedList();
    EXPECT_EQ(frame.cbOrder->currentText(), QStringLiteral("ID"));
    const struct
    {
        const char *item;
        const char *ids;
    } cases[] = {
        { "Task", "1 5 3 6 2 4" },
        { "Priority", "2 3 4 6 1 5" }, // the words in alphabetical order, not by urgency
        { "Difficulty", "1 3 2 5 6 4" },
        { "Last Actioned", "3 2 5 4 1 6" }, // most recent first
        { "Progress", "3 6 2 5 4 1" }, // highest first
        { "Status", "4 3 6 2 1 5" },
        { "ID", "1 2 3 4 5 6" },
        { "None", "1 2 3 4 5 6" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.item);
        pick(frame.cbOrder, QString::fromLatin1(c.item));
        EXPECT_EQ(ids(frame), QString::fromLatin1(c.ids));
    }
    EXPECT_TRUE(m_ui.prompts().empty());
}

TEST_F(SortViewSearchTest, TitleClick_OrdersByItsFieldAndShowsTheItemOfThatName)
{
    TfrTasks &frame = mixedList();
    QHeaderView *titles = frame.DBGrid1->horizontalHeader();
    const struct
    {
        const char *field;
        const char *ids;
        const char *boxShows;
    } cases[] = {
        { "Task", "1 5 3 6 2 4", "Task" },
        { "LastActioned", "3 2 5 4 1 6", "" }, // its item reads "Last Actioned"
        { "CreatedDate", "3 2 5 4 1 6", "" }, // no order of its own: the order stays
        { "Progress", "3 6 2 5 4 1", "Progress" },
        { "Progress", "3 6 2 5 4 1", "Progress" }, // a second click does not reverse
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.field);
        emit titles->sectionClicked(TaskGridModel::columnOf(QString::fromLatin1(c.field)));
        EXPECT_EQ(ids(frame), QString::fromLatin1(c.ids));
        EXPECT_EQ(frame.cbOrder->currentText(), QString::fromLatin1(c.boxShows));
    }
}

TEST_F(SortViewSearchTest, OnlyShow_SetsEachViewsFilter)
{
    TfrTasks &frame = mixedList();
    const QString today = ql::SystemFormats::current().formatDate(Today);
    const struct
    {
        const char *item;
        const char *ids;
        QString filter; // the expression the table holds afterwards
    } cases[] = {
        { "Not Started", "1", "Status = 'Not Started' " }, { "In progress", "2", "Status = 'In progress' " },
        { "High Priority", "2 4", "Priority = 'High' and Status <> 'Complete' " }, // cancelled stays
        { "Urgent Priority", "5", "Priority = 'Urgent' and Status <> 'Complete' " },
        { "Easy", "1", "Difficulty = 'Easy' and Status <> 'Complete' " },
        { "Hard", "2 5", "Difficulty = 'Hard' and Status <> 'Complete' " },
        { "Completed", "3 6", "Status = 'Complete' " },
        { "Completed Today", "3", "Status = 'Complete' and CompletedDate = '" + today + "' " },
        { "Created Today", "2", "CreatedDate = '" + today + "' " },
        { "Bookmarked", "2", "Bookmarked =True " },
        { "All", "1 2 3 4 5 6", "Bookmarked =True " }, // filtering off; the last expression stays
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.item);
        pick(frame.cbShow, QString::fromLatin1(c.item));
        EXPECT_EQ(ids(frame), QString::fromLatin1(c.ids));
        EXPECT_EQ(frame.cdsTasks().Filter(), c.filter);
        EXPECT_EQ(frame.statusPanelText(0), QStringLiteral("Items %1").arg(frame.cdsTasks().RowCount()));
    }
    EXPECT_TRUE(m_ui.prompts().empty());
}

TEST_F(SortViewSearchTest, Search_ReplacesTheViewAndShowAllEndsIt)
{
    TfrTasks &frame = mixedList();
    pick(frame.cbShow, QStringLiteral("Completed"));
    const struct
    {
        const char *typed;
        bool enter; // Enter in the box, else the button
        const char *ids;
    } cases[] = {
        { "milk", true, "1" }, // with case: "Buy Milk powder" is not found
        { "it's", false, "4" }, // a quote inside a word is searched for
        { "B_y", true, "1 5" }, // "_" and "%" are wildcards
        { "", true, "1 2 3 4 5 6" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed);
        frame.edSearch->setText(QString::fromUtf8(c.typed));
        if (c.enter)
            QTest::keyClick(frame.edSearch, Qt::Key_Return);
        else
            QTest::mouseClick(frame.bnSearch, Qt::LeftButton);
        EXPECT_EQ(ids(frame), QString::fromLatin1(c.ids));
        EXPECT_EQ(
            frame.cdsTasks().Filter(), QStringLiteral("Task LIKE '%") + QString::fromUtf8(c.typed) + "%'");
    }
    EXPECT_TRUE(frame.bnSearch->isChecked());
    EXPECT_FALSE(frame.SpeedButton2->isChecked());
    EXPECT_EQ(frame.cbShow->currentText(), QStringLiteral("Completed"));

    // Show all: every task, the search box emptied, the view's box left as it was.
    frame.edSearch->setText(QStringLiteral("milk"));
    QTest::keyClick(frame.edSearch, Qt::Key_Return);
    QTest::mouseClick(frame.SpeedButton2, Qt::LeftButton);
    EXPECT_EQ(ids(frame), QStringLiteral("1 2 3 4 5 6"));
    EXPECT_TRUE(frame.edSearch->text().isEmpty());
    EXPECT_TRUE(frame.SpeedButton2->isChecked());
    EXPECT_FALSE(frame.bnSearch->isChecked());
    EXPECT_EQ(frame.cbShow->currentText(), QStringLiteral("Completed"));

    // Enter does not change which button shows pressed.
    frame.edSearch->setText(QStringLiteral("Fix"));
    QTest::keyClick(frame.edSearch, Qt::Key_Return);
    EXPECT_EQ(ids(frame), QStringLiteral("2"));
    EXPECT_TRUE(frame.SpeedButton2->isChecked());
    EXPECT_TRUE(m_ui.prompts().empty());
}

// A search over a list filtered already rebuilds its view once, and searching the same text again
// applies the filter anew: a task changed since then so that it no longer matches leaves the view.
TEST_F(SortViewSearchTest, Search_RebuildsOnceAndReappliesTheSameText)
{
    TfrTasks &frame = mixedList();
    frame.edSearch->setText(QStringLiteral("B"));
    QTest::keyClick(frame.edSearch, Qt::Key_Return);
    ASSERT_TRUE(frame.cdsTasks().Filtered());

    int resets = 0;
    QObject::connect(&frame.DataSource1(), &ql::DataSource::rowsChanged,
        [&](const ql::RowsChange &change) { resets += change.kind == ql::RowsChange::Kind::Reset ? 1 : 0; });
    frame.edSearch->setText(QStringLiteral("Buy m"));
    QTest::keyClick(frame.edSearch, Qt::Key_Return);
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(ids(frame), QStringLiteral("1"));

    ClientTable &table = frame.cdsTasks();
    table.EditRow();
    table.SetText(QStringLiteral("Task"), QStringLiteral("Sell milk"));
    table.PostRow();
    EXPECT_EQ(ids(frame), QStringLiteral("1"));
    QTest::keyClick(frame.edSearch, Qt::Key_Return);
    EXPECT_EQ(ids(frame), QString());
    EXPECT_EQ(frame.statusPanelText(0), QStringLiteral("Items 0"));
}

// A view or order chosen with the keyboard in the open drop-down is carried out once. The choice's
// error box may come up while the closed drop-down list still holds the keyboard; the key that
// answers the box then reaches that list and must not choose the item again.
TEST_F(SortViewSearchTest, DropDownChoice_ByKeyboardRunsOnceEvenWhenKeysReachTheClosedList)
{
    // A list from an older program: no Bookmarked, no GroupNo, so the last view and the last order
    // of the two boxes fail.
    ClientTable full;
    ql::DefineTaskTable(full);
    full.CreateEmpty();
    QStringList fields;
    for (const ql::Field &field : full.Fields())
        if (field.name() != QStringLiteral("Bookmarked") && field.name() != QStringLiteral("GroupNo"))
            fields << field.name();
    TfrTasks &frame
        = loadedList(writeList(QStringLiteral("Old.ql1"), { "a", "b" }, fields), QStringLiteral("Old"));
    showTabs();
    const struct
    {
        QComboBox *box;
        QString error;
    } boxes[] = {
        { frame.cbShow, QStringLiteral("Field 'Bookmarked' not found.") },
        { frame.cbOrder, QStringLiteral("Field 'GroupNo' not found.") },
    };
    for (const auto &b : boxes) {
        SCOPED_TRACE(b.box->objectName().toStdString());
        m_ui.clear();
        b.box->setFocus();
        b.box->setCurrentIndex(b.box->count() - 2);
        b.box->showPopup();
        QAbstractItemView *list = b.box->view();
        ASSERT_TRUE(list->isVisible());
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Return);
        settle();
        EXPECT_FALSE(list->isVisible());
        EXPECT_EQ(b.box->currentIndex(), b.box->count() - 1);
        EXPECT_EQ(shownMessages(ql::ScriptedUi::Kind::Error), QStringList { b.error });
        // The key that answers the box.
        QTest::keyClick(list, Qt::Key_Return);
        settle();
        EXPECT_EQ(shownMessages(ql::ScriptedUi::Kind::Error), QStringList { b.error });
    }
}

} // namespace
