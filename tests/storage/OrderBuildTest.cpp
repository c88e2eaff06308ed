// Orders built away from the table (BeginIndexBuild ... FinishIndexBuild): the result is the order
// a build at once gives, also when rows change between the copy of the keys and the finish.
#include "platform/Error.h"
#include "platform/SystemFormats.h"
#include "storage/ClientTable.h"
#include "storage/TaskSchema.h"

#include <QByteArray>
#include <QCollator>
#include <functional>
#include <gtest/gtest.h>

using namespace ql;

namespace {

// A loaded list (orders not built) whose keys repeat, differ by case and accent, and are missing.
QByteArray listBytes()
{
    ClientTable table;
    DefineTaskTable(table);
    table.CreateEmpty();
    const QStringList texts = { "pear", "Apple", "apple", "Äpfel", "", "zucchini", "banana", "Banana" };
    const QStringList statuses = { "Complete", "Not Started", "In progress", "Paused" };
    for (int i = 0; i < 300; ++i) {
        table.AppendRow();
        if (i % 11 != 0)
            table.SetText(TaskField::Task, texts.at(i * 7 % texts.size()) + QString::number(i % 5));
        if (i % 13 != 0)
            table.SetText(TaskField::Status, statuses.at(i * 3 % statuses.size()));
        if (i % 9 != 0)
            table.SetInteger(TaskField::Progress, (i * 37) % 101);
        table.PostRow();
    }
    return table.WriteToBytes(DataFormat::XmlUtf8);
}

// The IDs of the rows in the order the view shows them.
QList<qint64> idsInView(const ClientTable &table)
{
    QList<qint64> ids;
    const Field &id = table.RequireField(TaskField::ID);
    for (int row = 1; row <= table.RowCount(); ++row)
        ids << table.ViewValue(row, id).toInteger();
    return ids;
}

// Changes made to the table while its order is being built elsewhere.
void changeRows(ClientTable &table)
{
    table.MoveTo(5);
    table.EditRow();
    table.SetText(TaskField::Task, QStringLiteral("aaa first now"));
    table.SetText(TaskField::Status, QStringLiteral("Cancelled"));
    table.SetInteger(TaskField::Progress, 100);
    table.PostRow();
    table.MoveTo(40);
    table.DeleteRow();
    table.AppendRow();
    table.SetText(TaskField::Task, QStringLiteral("mango"));
    table.SetText(TaskField::Status, QStringLiteral("Paused"));
    table.SetInteger(TaskField::Progress, 50);
    table.PostRow();
    table.AppendRow();
    table.PostRow(); // all keys empty
}

struct Case
{
    const char *order;
    // When the rows change: before the copy of the keys starts, halfway through it, or after it
    // (while the worker builds).
    enum When { None, DuringCopy, WhileBuilding } when;
};

class OrderBuildTest : public ::testing::TestWithParam<Case>
{
};

TEST_P(OrderBuildTest, BuiltAway_GivesTheOrderOfABuildAtOnce)
{
    const Case c = GetParam();
    const QString order = QString::fromLatin1(c.order);
    const QByteArray bytes = listBytes();

    ClientTable expected;
    DefineTaskTable(expected);
    expected.ClearFields();
    expected.ReadFromBytes(bytes);
    if (c.when != Case::None)
        changeRows(expected);
    expected.SetIndexName(order);

    ClientTable table;
    DefineTaskTable(table);
    table.ClearFields();
    table.ReadFromBytes(bytes);
    const std::shared_ptr<ClientTable::IndexBuild> build = table.BeginIndexBuild(order);
    ASSERT_TRUE(build);
    ASSERT_FALSE(table.SnapshotIndexStep(*build, 120));
    if (c.when == Case::DuringCopy)
        changeRows(table);
    while (!table.SnapshotIndexStep(*build, 120)) { }
    if (c.when == Case::WhileBuilding)
        changeRows(table);
    const std::atomic<bool> cancel { false };
    ASSERT_TRUE(ClientTable::RunIndexBuild(*build, cancel));
    ASSERT_TRUE(table.FinishIndexBuild(*build));
    EXPECT_TRUE(table.IndexPrepared(order));
    table.SetIndexName(order);
    EXPECT_EQ(idsInView(table), idsInView(expected));

    // The order stays up to date as posts come, as an order built at once does.
    for (ClientTable *t : { &table, &expected }) {
        t->MoveTo(3);
        t->EditRow();
        t->SetText(TaskField::Task, QStringLiteral("Banana1"));
        t->SetText(TaskField::Status, QStringLiteral("Complete"));
        t->SetInteger(TaskField::Progress, 7);
        t->PostRow();
    }
    EXPECT_EQ(idsInView(table), idsInView(expected));
}

INSTANTIATE_TEST_SUITE_P(Orders, OrderBuildTest,
    ::testing::Values(Case { "cdsTasksIndexTaskName", Case::None },
        Case { "cdsTasksIndexTaskName", Case::DuringCopy },
        Case { "cdsTasksIndexTaskName", Case::WhileBuilding }, Case { "cdsTasksStatus", Case::WhileBuilding },
        Case { "cdsTasksProgress", Case::DuringCopy }, Case { "cdsTasksProgress", Case::WhileBuilding }));

TEST(OrderBuild, ABuildTheTableNoLongerWants_ChangesNothing)
{
    const QByteArray bytes = listBytes();
    ClientTable table;
    DefineTaskTable(table);
    table.ClearFields();
    table.ReadFromBytes(bytes);
    const QString order = TaskOrder::TaskName;
    const std::atomic<bool> noCancel { false };

    // Cancelled on the way: no result.
    auto cancelled = table.BeginIndexBuild(order);
    while (!table.SnapshotIndexStep(*cancelled, 1000)) { }
    const std::atomic<bool> cancel { true };
    EXPECT_FALSE(ClientTable::RunIndexBuild(*cancelled, cancel));
    EXPECT_FALSE(table.FinishIndexBuild(*cancelled));
    EXPECT_FALSE(table.IndexPrepared(order));

    // The list was read again meanwhile: its rows are other rows.
    auto stale = table.BeginIndexBuild(order);
    while (!table.SnapshotIndexStep(*stale, 1000)) { }
    ASSERT_TRUE(ClientTable::RunIndexBuild(*stale, noCancel));
    table.ReadFromBytes(bytes);
    EXPECT_FALSE(table.FinishIndexBuild(*stale));
    EXPECT_FALSE(table.IndexPrepared(order));

    // The order was built at once meanwhile (the user chose it): that build stays.
    auto overtaken = table.BeginIndexBuild(order);
    while (!table.SnapshotIndexStep(*overtaken, 1000)) { }
    ASSERT_TRUE(ClientTable::RunIndexBuild(*overtaken, noCancel));
    table.SetIndexName(order);
    const QList<qint64> shown = idsInView(table);
    EXPECT_FALSE(table.FinishIndexBuild(*overtaken));
    EXPECT_EQ(idsInView(table), shown);

    // A built order needs no build.
    EXPECT_EQ(table.BeginIndexBuild(order), nullptr);
    EXPECT_THROW(table.BeginIndexBuild(QStringLiteral("NoSuchOrder")), Error);
}

TEST(OrderBuild, AdoptContents_TakesTheReadListAndTellsFollowers)
{
    const QByteArray bytes = listBytes();
    ClientTable read;
    DefineTaskTable(read);
    read.ClearFields();
    read.SetIndexName(TaskOrder::ID);
    read.ReadFromBytes(bytes);

    struct Follower : TableSubscriber
    {
        std::vector<RowsChange> changes;
        int scrolls = 0;
        void afterRowsChange(ClientTable &, const RowsChange &change) override { changes.push_back(change); }
        void afterScroll(ClientTable &) override { ++scrolls; }
    } follower;
    ClientTable shown(QStringLiteral("cdsTasks"));
    DefineTaskTable(shown);
    shown.ClearFields();
    shown.Subscribe(&follower);
    shown.AdoptContents(read);
    shown.Unsubscribe(&follower);

    EXPECT_EQ(shown.Name(), QStringLiteral("cdsTasks"));
    EXPECT_TRUE(shown.Active());
    EXPECT_FALSE(read.Active());
    EXPECT_EQ(shown.RowCount(), 300);
    EXPECT_EQ(shown.IndexName(), TaskOrder::ID);
    ASSERT_FALSE(follower.changes.empty());
    EXPECT_EQ(follower.changes.back().kind, RowsChange::Kind::Reset);
    EXPECT_EQ(follower.scrolls, 1);
    // The list works as one read in place: it saves the same document and takes new rows.
    EXPECT_EQ(shown.WriteToBytes(DataFormat::XmlUtf8), bytes);
    shown.AppendRow();
    shown.SetText(TaskField::Task, QStringLiteral("new"));
    shown.PostRow();
    EXPECT_EQ(shown.RowCount(), 301);
}

} // namespace

// A list with more distinct task texts than a build works out the sort keys of at once: the build
// sorts them in batches and merges the batches by comparing texts, and the order must be the one
// the comparisons of later posts assume. Texts that collate alike (case, accents) and repeats far
// apart, beyond what the build looks up to share, land in different batches.
TEST(OrderBuild, ManyDistinctTexts_AreOrderedAsPostsCompareThem)
{
    ClientTable empty;
    DefineTaskTable(empty);
    empty.CreateEmpty();
    empty.SetChangeLogging(false);
    QByteArray bytes = empty.WriteToBytes(DataFormat::XmlUtf8);
    const QByteArray tail = "</ROWDATA></DATAPACKET>";
    const qsizetype end = bytes.lastIndexOf("<ROWDATA");
    ASSERT_GE(end, 0);
    bytes.truncate(end);
    bytes += "<ROWDATA>";
    const int count = 150000;
    const char *const stems[] = { "apple", "Apple", "äpple", "banana", "" };
    for (int i = 1; i <= count; ++i) {
        // Every 7th row repeats the text of a row 70,000 rows before it.
        const int n = i % 7 == 0 && i > 70000 ? i - 70000 : i;
        bytes += "<ROW ID=\"" + QByteArray::number(i) + "\" Task=\"" + stems[n % 5]
            + QByteArray::number((n * 7919) % count) + "\"/>";
        if (i % 1000 == 0)
            bytes += "<ROW ID=\"" + QByteArray::number(count + i) + "\" Task=\"\"/>";
    }
    bytes += tail;

    ClientTable table;
    DefineTaskTable(table);
    table.ClearFields();
    table.ReadFromBytes(bytes);
    table.SetIndexName(TaskOrder::TaskName);
    // One more row posted into the built order lands where the comparisons put it.
    table.AppendRow();
    table.SetText(TaskField::Task, QStringLiteral("Äpple5"));
    table.PostRow();

    const QCollator collator = SystemFormats::current().newCollator(true);
    const Field &task = table.RequireField(TaskField::Task);
    const Field &id = table.RequireField(TaskField::ID);
    ASSERT_EQ(table.RowCount(), count + count / 1000 + 1);
    int ties = 0;
    for (int row = 2; row <= table.RowCount(); ++row) {
        const Value a = table.ViewValue(row - 1, task);
        const Value b = table.ViewValue(row, task);
        const int c = collator.compare(a.textView(), b.textView());
        ASSERT_LE(c, 0) << row << ": " << a.text().toStdString() << " / " << b.text().toStdString();
        if (c == 0) {
            ++ties;
            ASSERT_LT(table.ViewValue(row - 1, id).toInteger(), table.ViewValue(row, id).toInteger()) << row;
        }
    }
    // 10,000 rows repeat an earlier text; the rows without a text all tie.
    EXPECT_EQ(ties, 10000 + count / 1000 - 1);
}
