// Views built in steps (BeginFilterBuild ... FinishFilterBuild): the result is the view that
// SetFilter and SetFiltered(true) give at the end, also when rows change, the order changes or a
// newer build comes while the rows are tested; a build the table no longer wants changes nothing.
#include "platform/Error.h"
#include "storage/ClientTable.h"
#include "storage/TaskSchema.h"

#include <QByteArray>
#include <functional>
#include <gtest/gtest.h>

using namespace ql;

namespace {

// A list of 300 tasks whose texts contain "pl", "plu" or neither, with varied statuses.
QByteArray listBytes()
{
    ClientTable table;
    DefineTaskTable(table);
    table.CreateEmpty();
    const QStringList texts = { "plum pie", "apple", "pear", "Plum", "maple syrup", "plus one", "kiwi" };
    const QStringList statuses = { "Complete", "Not Started", "In progress", "Paused" };
    for (int i = 0; i < 300; ++i) {
        table.AppendRow();
        if (i % 17 != 0)
            table.SetText(TaskField::Task, texts.at(i * 5 % texts.size()) + QString::number(i));
        table.SetText(TaskField::Status, statuses.at(i * 3 % statuses.size()));
        table.PostRow();
    }
    return table.WriteToBytes(DataFormat::XmlUtf8);
}

std::unique_ptr<ClientTable> loaded(const QByteArray &bytes)
{
    auto table = std::make_unique<ClientTable>();
    DefineTaskTable(*table);
    table->ClearFields();
    table->ReadFromBytes(bytes);
    table->SetIndexName(TaskOrder::ID);
    return table;
}

QList<qint64> idsInView(const ClientTable &table)
{
    QList<qint64> ids;
    const Field &id = table.RequireField(TaskField::ID);
    for (int row = 1; row <= table.RowCount(); ++row)
        ids << table.ViewValue(row, id).toInteger();
    return ids;
}

void setFilterAtOnce(ClientTable &table, const QString &expression)
{
    table.SetFilter(expression);
    table.SetFiltered(true);
}

// Edits the task at a position of the view.
void editTask(ClientTable &table, int row, const QString &text)
{
    table.MoveTo(row);
    table.EditRow();
    table.SetText(TaskField::Task, text);
    table.PostRow();
}

void addTask(ClientTable &table, const QString &text)
{
    table.AppendRow();
    table.SetText(TaskField::Task, text);
    table.PostRow();
}

const QString Pl = QStringLiteral("Task LIKE '%pl%'");
const QString Plu = QStringLiteral("Task LIKE '%plu%'");
const QString NotStarted = QStringLiteral("Status = 'Not Started' ");

struct Case
{
    const char *name;
    QString inPlace; // the filter in place when the build begins; empty: none
    QString expression;
    // Done to both tables while the build is halfway (to the reference before it filters).
    std::function<void(ClientTable &)> change;
    bool narrows = false;
    bool leavesRowPending = false; // the change leaves an edit pending, stored when the view is put in place
};

std::ostream &operator<<(std::ostream &out, const Case &c)
{
    return out << c.name;
}

class FilterBuildTest : public ::testing::TestWithParam<Case>
{
};

// Records what the table tells its followers.
struct Notices : TableSubscriber
{
    QStringList seen;
    void afterRowsChange(ClientTable &, const RowsChange &change) override
    {
        seen << (change.kind == RowsChange::Kind::Reset ? QStringLiteral("reset") : QStringLiteral("rows"));
    }
    void afterScroll(ClientTable &) override { seen << QStringLiteral("scroll"); }
};

TEST_P(FilterBuildTest, BuiltInSteps_GivesTheViewOfFilteringAtTheEnd)
{
    const Case &c = GetParam();
    const QByteArray bytes = listBytes();
    const auto expected = loaded(bytes);
    const auto table = loaded(bytes);
    for (ClientTable *t : { expected.get(), table.get() })
        if (!c.inPlace.isEmpty())
            setFilterAtOnce(*t, c.inPlace);
    const int inView = table->RowCount();

    const std::shared_ptr<ClientTable::FilterBuild> build = table->BeginFilterBuild(c.expression);
    EXPECT_EQ(ClientTable::FilterBuildRows(*build) < 300, c.narrows);
    ASSERT_FALSE(table->FilterBuildStep(*build, 40));
    // The view in place stays as it was while the rows are tested.
    EXPECT_EQ(table->RowCount(), inView);
    EXPECT_EQ(table->Filter(), c.inPlace);
    if (c.change) {
        c.change(*expected);
        c.change(*table);
    }
    while (!table->FilterBuildStep(*build, 40)) { }
    Notices notices;
    table->Subscribe(&notices);
    ASSERT_TRUE(table->FinishFilterBuild(*build));
    table->Unsubscribe(&notices);
    setFilterAtOnce(*expected, c.expression);

    EXPECT_EQ(idsInView(*table), idsInView(*expected));
    EXPECT_EQ(table->Filter(), c.expression);
    EXPECT_TRUE(table->Filtered());
    EXPECT_EQ(table->IndexName(), expected->IndexName());
    EXPECT_EQ(table->RowNumber(), table->RowCount() > 0 ? 1 : 0);
    EXPECT_EQ(table->AtEnd(), expected->AtEnd());
    // Told once, as filtering at once tells (after the post of a row left pending).
    EXPECT_EQ(notices.seen.join(' '),
        c.name == std::string("EditLeftPending_IsStoredFirst") ? QStringLiteral("rows reset scroll")
                                                               : QStringLiteral("reset scroll"));
    EXPECT_FALSE(table->FilterBuildCurrent(*build));

    // The view then follows posts as a view filtered at once does.
    for (ClientTable *t : { expected.get(), table.get() })
        editTask(*t, 1, QStringLiteral("zzz last"));
    EXPECT_EQ(idsInView(*table), idsInView(*expected));
}

INSTANTIATE_TEST_SUITE_P(Changes, FilterBuildTest,
    ::testing::Values(Case { "Search_Unfiltered", {}, Pl, {} },
        Case { "View_OverASearch", Pl, NotStarted, {} }, Case { "Narrowing", Pl, Plu, {}, true },
        // The same text again is filtered afresh: a posted task that no longer passes goes.
        Case { "SameTextAgain_DropsAPostedTaskThatNoLongerPasses", Pl, Pl,
            [](ClientTable &t) { editTask(t, 3, QStringLiteral("kiwi")); } },
        Case { "EditsToPassAndToFail_EarlyAndLate", {}, Plu,
            [](ClientTable &t) {
                // Both tested already: the first passed, the second did not.
                editTask(t, 2, QStringLiteral("kiwi"));
                editTask(t, 4, QStringLiteral("plump"));
                editTask(t, 280, QStringLiteral("plume"));
                editTask(t, 290, QStringLiteral("grape"));
            } },
        Case { "Narrowing_EditsToPassAndToFail", Pl, Plu,
            [](ClientTable &t) {
                editTask(t, 1, QStringLiteral("apple pie"));
                editTask(t, 2, QStringLiteral("plump"));
                editTask(t, t.RowCount() - 1, QStringLiteral("unplugged"));
            },
            true },
        Case { "Inserts_PassingAndFailing", {}, Pl,
            [](ClientTable &t) {
                addTask(t, QStringLiteral("plan the trip"));
                addTask(t, QStringLiteral("kiwi jam"));
            } },
        Case { "Narrowing_Inserts", Pl, Plu,
            [](ClientTable &t) {
                addTask(t, QStringLiteral("plus two"));
                addTask(t, QStringLiteral("plain"));
            },
            true },
        Case { "Deletions_TestedAndNotYet", {}, Pl,
            [](ClientTable &t) {
                for (int row : { 1, 2, 250, 260 }) {
                    t.MoveTo(row);
                    t.DeleteRow();
                }
            } },
        Case { "OrderSwitched", {}, Pl, [](ClientTable &t) { t.SetIndexName(TaskOrder::TaskName); } },
        Case { "Narrowing_OrderSwitchedAndEdited", Pl, Plu,
            [](ClientTable &t) {
                t.SetIndexName(TaskOrder::TaskName);
                editTask(t, 5, QStringLiteral("a plum first"));
            },
            true },
        Case { "EditLeftPending_IsStoredFirst", {}, Plu,
            [](ClientTable &t) {
                t.MoveTo(7);
                t.EditRow();
                t.SetText(TaskField::Task, QStringLiteral("plucked"));
            },
            false, true }),
    [](const ::testing::TestParamInfo<Case> &info) { return std::string(info.param.name); });

TEST(FilterBuild, ANewerBuild_DropsTheOlder_AndANarrowingOneStillNarrowsTheViewInPlace)
{
    const QByteArray bytes = listBytes();
    const auto expected = loaded(bytes);
    const auto table = loaded(bytes);
    setFilterAtOnce(*expected, Pl);
    setFilterAtOnce(*table, Pl);

    const std::shared_ptr<ClientTable::FilterBuild> older = table->BeginFilterBuild(NotStarted);
    ASSERT_FALSE(table->FilterBuildStep(*older, 50));
    const std::shared_ptr<ClientTable::FilterBuild> newer = table->BeginFilterBuild(Plu);
    EXPECT_FALSE(table->FilterBuildCurrent(*older));
    // The newer one narrows the search in place, not the view the older one was building.
    EXPECT_EQ(ClientTable::FilterBuildRows(*newer), table->RowCount());
    EXPECT_TRUE(table->FilterBuildStep(*older, 1000));
    EXPECT_FALSE(table->FinishFilterBuild(*older));
    EXPECT_EQ(table->Filter(), Pl);

    while (!table->FilterBuildStep(*newer, 50)) { }
    ASSERT_TRUE(table->FinishFilterBuild(*newer));
    setFilterAtOnce(*expected, Plu);
    EXPECT_EQ(idsInView(*table), idsInView(*expected));
    EXPECT_EQ(table->Filter(), Plu);
}

// What drops a build under way: it then tests nothing more, and finishing it changes nothing.
TEST(FilterBuild, ABuildTheTableNoLongerWants_ChangesNothing)
{
    const QByteArray bytes = listBytes();
    const std::vector<std::pair<const char *, std::function<void(ClientTable &)>>> drops {
        { "closed", [](ClientTable &t) { t.Close(); } },
        { "read again", [&](ClientTable &t) { t.ReadFromBytes(bytes); } },
        { "filtered at once", [](ClientTable &t) { t.SetFilter(NotStarted); } },
        { "filtering switched off", [](ClientTable &t) { t.SetFiltered(false); } },
        { "another list adopted",
            [&](ClientTable &t) {
                const auto other = loaded(bytes);
                other->MoveTo(2);
                other->DeleteRow();
                t.AdoptContents(*other);
            } },
    };
    for (const auto &[name, drop] : drops) {
        SCOPED_TRACE(name);
        const auto table = loaded(bytes);
        const std::shared_ptr<ClientTable::FilterBuild> build = table->BeginFilterBuild(Pl);
        ASSERT_FALSE(table->FilterBuildStep(*build, 50));
        drop(*table);
        const QString filter = table->Filter();
        const bool filtered = table->Filtered();
        const QList<qint64> ids = idsInView(*table);
        EXPECT_FALSE(table->FilterBuildCurrent(*build));
        EXPECT_TRUE(table->FilterBuildStep(*build, 50));
        EXPECT_FALSE(table->FinishFilterBuild(*build));
        EXPECT_EQ(table->Filter(), filter);
        EXPECT_EQ(table->Filtered(), filtered);
        EXPECT_EQ(idsInView(*table), ids);
    }
}

// The message of the error `run` throws; empty when none.
QString errorOf(const std::function<void()> &run)
{
    try {
        run();
    } catch (const Error &e) {
        return e.message();
    }
    return {};
}

TEST(FilterBuild, AnExpressionThatFails_ThrowsAsSetFilterDoes_AndLeavesTheBuildUnderWay)
{
    const QByteArray bytes = listBytes();
    const QString broken = QStringLiteral("Task LIKE");
    const auto direct = loaded(bytes);
    direct->SetFiltered(true);
    const QString expectedMessage = errorOf([&] { direct->SetFilter(broken); });
    ASSERT_FALSE(expectedMessage.isEmpty());

    const auto table = loaded(bytes);
    const std::shared_ptr<ClientTable::FilterBuild> build = table->BeginFilterBuild(Pl);
    ASSERT_FALSE(table->FilterBuildStep(*build, 50));
    EXPECT_EQ(errorOf([&] { (void)table->BeginFilterBuild(broken); }), expectedMessage);
    EXPECT_TRUE(table->FilterBuildCurrent(*build));
    while (!table->FilterBuildStep(*build, 50)) { }
    EXPECT_TRUE(table->FinishFilterBuild(*build));
    EXPECT_EQ(table->Filter(), Pl);
}

} // namespace
