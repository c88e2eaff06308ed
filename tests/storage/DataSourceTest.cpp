// The data source: the notices it passes on and their order, its editors' flush before every post,
// several data sources on one table, and a table and its data sources going in either order.
#include "TaskTableFixture.h"

#include "platform/Error.h"
#include "storage/DataSource.h"

#include <QStringList>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

using ql::ClientTable;
using ql::DataSource;
using ql::RowsChange;
using ql::Value;
using ql::test::addTask;
using ql::test::newTaskTable;

const char *kindName(RowsChange::Kind kind)
{
    switch (kind) {
    case RowsChange::Kind::Reset:
        return "reset";
    case RowsChange::Kind::Inserted:
        return "inserted";
    case RowsChange::Kind::Removed:
        return "removed";
    case RowsChange::Kind::Moved:
        return "moved";
    case RowsChange::Kind::Changed:
        return "changed";
    }
    return "?";
}

// Writes what it holds into a field of the pending row when asked, as a bound edit does; refuses
// with the table's kind of error when told to.
class HeldText final : public DataSource::Editor
{
public:
    HeldText(ClientTable &table, QString field, QStringList *log = nullptr, QString name = {})
        : m_table(table)
        , m_field(std::move(field))
        , m_log(log)
        , m_name(std::move(name))
    {
    }

    void flushToRow() override
    {
        if (m_log)
            *m_log << QStringLiteral("flush ") + m_name;
        if (refuse)
            throw ql::Error(QStringLiteral("'%1' is not a valid value").arg(held));
        if (!held.isEmpty())
            m_table.SetText(m_field, std::exchange(held, QString()));
    }

    QString held;
    bool refuse = false;

private:
    ClientTable &m_table;
    QString m_field;
    QStringList *m_log;
    QString m_name;
};

// Every signal of a data source, in the order it came, as "<prefix>notice".
void record(DataSource &source, QStringList &log, const QString &prefix = {})
{
    QObject::connect(&source, &DataSource::rowInserted, [&log, prefix] { log << prefix + "row inserted"; });
    QObject::connect(&source, &DataSource::rowEdited, [&log, prefix] { log << prefix + "row edited"; });
    QObject::connect(&source, &DataSource::rowPosted, [&log, prefix] { log << prefix + "row posted"; });
    QObject::connect(&source, &DataSource::rowReverted, [&log, prefix] { log << prefix + "row reverted"; });
    QObject::connect(&source, &DataSource::currentRowChanged, [&log, prefix] { log << prefix + "cursor"; });
    QObject::connect(&source, &DataSource::rowsChanged, [&log, prefix](const RowsChange &c) {
        log << prefix + QStringLiteral("rows %1 %2 %3").arg(kindName(c.kind)).arg(c.from).arg(c.to);
    });
    QObject::connect(&source, &DataSource::tableGone, [&log, prefix] { log << prefix + "table gone"; });
}

// What each operation tells a view, in order: the rows first, then what happened to the pending row,
// then the cursor; the table's own reaction of a kind (the insert defaults) before the data source's
// notice of it.
TEST(DataSource, PassesEveryNoticeInTheOrderTheTableTellsIt)
{
    auto table = newTaskTable();
    addTask(*table, QStringLiteral("a"));
    QStringList log;
    table->SetAfterInsert([&](ClientTable &t) {
        log << QStringLiteral("defaults");
        t.SetText(QStringLiteral("Status"), QStringLiteral("0"));
    });
    DataSource source(*table);
    record(source, log);

    const struct
    {
        const char *what;
        std::function<void()> run;
        QStringList expected;
    } steps[] = {
        { "append", [&] { table->AppendRow(); },
            { "rows inserted -1 1", "defaults", "row inserted", "cursor" } },
        { "write", [&] { table->SetText(QStringLiteral("Task"), QStringLiteral("b")); }, {} },
        { "post", [&] { table->PostRow(); }, { "rows changed -1 1", "row posted" } },
        { "edit", [&] { table->EditRow(); }, { "row edited" } },
        { "cancel an edit", [&] { table->CancelRow(); }, { "rows changed -1 1", "row reverted" } },
        { "cancel an insertion",
            [&] {
                table->AppendRow();
                table->CancelRow();
            },
            { "rows inserted -1 2", "defaults", "row inserted", "cursor", "rows removed 2 -1", "cursor",
                "row reverted" } },
        { "a move posts the edit first",
            [&] {
                table->EditRow();
                table->SetText(QStringLiteral("Task"), QStringLiteral("0b"));
                table->MoveFirst();
            },
            { "row edited", "rows changed -1 1", "row posted", "cursor" } },
        { "order", [&] { table->SetIndexName(QStringLiteral("cdsTasksIndexTaskName")); },
            { "rows reset -1 -1" } },
        { "filter", [&] { table->SetFiltered(true); }, { "rows reset -1 -1", "cursor" } },
        { "delete", [&] { table->DeleteRow(); }, { "rows removed 0 -1", "cursor" } },
    };
    for (const auto &step : steps) {
        log.clear();
        step.run();
        EXPECT_EQ(log, step.expected) << step.what;
    }
}

// Before any post, by whatever route, the editors write what they hold; one that refuses stops the
// post and the row stays pending with what it had. An editor that joins has the others write first.
TEST(DataSource, FlushesItsEditorsBeforeEveryPost_ARefusalStopsThePost)
{
    auto table = newTaskTable();
    addTask(*table, QStringLiteral("a"));
    DataSource source(*table);
    HeldText editor(*table, QStringLiteral("Task"));
    source.addEditor(&editor);

    const struct
    {
        const char *what;
        std::function<void()> end;
    } ends[] = {
        { "post", [&] { table->PostRow(); } },
        { "move", [&] { table->MoveFirst(); } },
        { "write", [&] { table->WriteToBytes(ql::DataFormat::XmlUtf8); } },
    };
    for (const auto &end : ends) {
        table->EditRow();
        editor.held = QString::fromLatin1(end.what);
        end.end();
        EXPECT_EQ(table->GetState(), ClientTable::State::Browse) << end.what;
        EXPECT_EQ(table->AsText(QStringLiteral("Task")), QString::fromLatin1(end.what)) << end.what;
    }

    table->EditRow();
    table->SetText(QStringLiteral("Comments"), QStringLiteral("kept"));
    editor.held = QStringLiteral("lots");
    editor.refuse = true;
    EXPECT_THROW(table->PostRow(), ql::Error);
    EXPECT_EQ(table->GetState(), ClientTable::State::Edit);
    EXPECT_EQ(table->AsText(QStringLiteral("Comments")), QStringLiteral("kept"));
    editor.refuse = false;

    HeldText joining(*table, QStringLiteral("Comments"));
    source.addEditor(&joining);
    EXPECT_EQ(table->AsText(QStringLiteral("Task")), QStringLiteral("lots"))
        << "the first editor wrote on the join";
    EXPECT_EQ(table->GetState(), ClientTable::State::Edit);
}

// Each of two data sources on one table is told everything and flushes its own editors; either can
// go, and the other goes on following.
TEST(DataSource, TwoOnOneTable_EachIsToldEverythingAndFlushesItsEditors)
{
    auto table = newTaskTable();
    addTask(*table, QStringLiteral("a"));
    addTask(*table, QStringLiteral("b"));
    QStringList log;
    auto first = std::make_unique<DataSource>(*table);
    DataSource second(*table);
    record(*first, log, QStringLiteral("1: "));
    record(second, log, QStringLiteral("2: "));
    HeldText task(*table, QStringLiteral("Task"), &log, QStringLiteral("1"));
    HeldText comments(*table, QStringLiteral("Comments"), &log, QStringLiteral("2"));
    first->addEditor(&task);
    second.addEditor(&comments);

    table->EditRow();
    task.held = QStringLiteral("B");
    comments.held = QStringLiteral("by both");
    log.clear();
    table->PostRow();
    EXPECT_EQ(log,
        QStringList({ "flush 1", "flush 2", "1: rows changed -1 1", "2: rows changed -1 1", "1: row posted",
            "2: row posted" }));
    log.clear();
    table->MoveFirst();
    EXPECT_EQ(log, QStringList({ "1: cursor", "2: cursor" }));
    table->MoveLast();
    EXPECT_EQ(table->AsText(QStringLiteral("Task")), QStringLiteral("B"));
    EXPECT_EQ(table->AsText(QStringLiteral("Comments")), QStringLiteral("by both"));

    first.reset();
    log.clear();
    table->EditRow();
    table->PostRow();
    table->MoveFirst();
    EXPECT_EQ(log,
        QStringList({ "2: row edited", "flush 2", "2: rows changed -1 1", "2: row reverted", "2: cursor" }));
}

TEST(DataSource, TableAndDataSource_GoInEitherOrder)
{
    {
        // The data source first: the table goes on, and tells nobody.
        auto table = newTaskTable();
        auto source = std::make_unique<DataSource>(*table);
        HeldText editor(*table, QStringLiteral("Task"));
        source->addEditor(&editor);
        source.reset();
        addTask(*table, QStringLiteral("after"));
        EXPECT_EQ(table->RowCount(), 1);
    }
    {
        // The table first: its data sources hear of it once, and let go of it.
        auto table = newTaskTable();
        addTask(*table, QStringLiteral("a"));
        QStringList log;
        DataSource one(*table);
        DataSource two(*table);
        record(one, log, QStringLiteral("1: "));
        record(two, log, QStringLiteral("2: "));
        table.reset();
        EXPECT_EQ(log, QStringList({ "1: table gone", "2: table gone" }));
        EXPECT_FALSE(one.hasTable());
        EXPECT_FALSE(two.hasTable());
    }
}

} // namespace
