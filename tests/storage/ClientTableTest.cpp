#include "TaskTableFixture.h"

#include "platform/Error.h"
#include "platform/SystemFormats.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

using namespace ql;
using namespace ql::test;

namespace {

QString errorOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const Error &e) {
        return e.message();
    }
    return QStringLiteral("<no error>");
}

} // namespace

TEST(ClientTable, Counter_NeverGivesANumberTwice)
{
    auto table = newTaskTable();
    addTask(*table, QStringLiteral("one"));
    addTask(*table, QStringLiteral("two"));
    EXPECT_EQ(column(*table, QStringLiteral("ID")), QStringList({ "1", "2" }));
    table->MoveLast();
    table->DeleteRow();
    addTask(*table, QStringLiteral("three"));
    EXPECT_EQ(column(*table, QStringLiteral("ID")), QStringList({ "1", "3" }));

    // Saved with tasks 1 to 5 (4 and 5 deleted), reloaded: the next task continues at 6.
    for (int i = 0; i < 2; ++i)
        addTask(*table, QStringLiteral("more"));
    table->MoveLast();
    table->DeleteRow();
    table->MoveLast();
    table->DeleteRow();
    const QByteArray saved = table->WriteToBytes(DataFormat::XmlUtf8);
    ClientTable loaded;
    loaded.ReadFromBytes(saved);
    loaded.AppendRow();
    loaded.SetText(QStringLiteral("Task"), QStringLiteral("after reload"));
    loaded.PostRow();
    EXPECT_EQ(loaded.AsInteger(QStringLiteral("ID")), 6);
}

TEST(ClientTable, Counter_IgnoresWhatWasWrittenIntoTheCounterField)
{
    auto table = newTaskTable();
    table->AppendRow();
    table->SetInteger(QStringLiteral("ID"), 77);
    table->PostRow();
    EXPECT_EQ(table->AsInteger(QStringLiteral("ID")), 1);
    EXPECT_EQ(table->Counter(), 2);
}

// Which reactions each operation runs, in order. AfterInsert precedes AfterScroll on an insert;
// posting and changing the order run nothing.
TEST(ClientTable, Reactions_RunExactlyWhenTheCursorMovesOrARowIsEdited)
{
    auto table = newTaskTable();
    QStringList events;
    table->SetAfterInsert([&](ClientTable &) { events << "insert"; });
    table->SetAfterEdit([&](ClientTable &) { events << "edit"; });
    table->SetAfterScroll([&](ClientTable &) { events << "scroll"; });
    table->SetAfterCancel([&](ClientTable &) { events << "cancel"; });

    struct Step
    {
        const char *what;
        std::function<void()> action;
        QStringList expected;
    };
    const std::vector<Step> steps = {
        { "EditRow on an empty view inserts", [&] { table->EditRow(); }, { "insert", "scroll" } },
        { "write", [&] { table->SetText("Task", "a"); }, {} },
        { "post", [&] { table->PostRow(); }, {} },
        { "append", [&] { table->AppendRow(); }, { "insert", "scroll" } },
        { "cancel an insertion", [&] { table->CancelRow(); }, { "scroll", "cancel" } },
        { "append and post", [&] { addTask(*table, "b"); }, { "insert", "scroll" } },
        { "edit", [&] { table->EditRow(); }, { "edit" } },
        { "edit again does nothing", [&] { table->EditRow(); }, {} },
        { "cancel an edit", [&] { table->CancelRow(); }, { "cancel" } },
        { "cancel with nothing pending", [&] { table->CancelRow(); }, {} },
        { "order", [&] { table->SetIndexName("cdsTasksStatus"); }, {} },
        { "filter on", [&] { table->SetFiltered(true); }, { "scroll" } },
        { "filter on again", [&] { table->SetFiltered(true); }, { "scroll" } },
        { "filter off", [&] { table->SetFiltered(false); }, { "scroll" } },
        { "first", [&] { table->MoveFirst(); }, { "scroll" } },
        { "next", [&] { table->MoveNext(); }, { "scroll" } },
        { "prior", [&] { table->MovePrior(); }, { "scroll" } },
        { "locate found", [&] { table->LocateRow("Task", Value::text("b")); }, { "scroll" } },
        { "locate missing", [&] { table->LocateRow("Task", Value::text("zzz")); }, {} },
        { "delete", [&] { table->DeleteRow(); }, { "scroll" } },
    };
    for (const Step &step : steps) {
        events.clear();
        step.action();
        EXPECT_EQ(events, step.expected) << step.what;
    }
}

// A bound editor that still holds text hands it over before the row is stored: by an explicit post,
// by a movement (where an untouched row would otherwise be dropped) and by a write of the table.
// A view that follows only the row notices must always show what the table shows: the notices
// are replayed on a list of task texts, which is compared with the table after every operation.
TEST(ClientTable, RowsChange_LetsAViewFollowEveryChangeAtItsPlace)
{
    auto table = newTaskTable();
    table->SetIndexName(QStringLiteral("cdsTasksIndexTaskName"));
    const Field &task = table->RequireField(QStringLiteral("Task"));
    // The rows a view shows: the view, with the pending new row at its place.
    auto shown = [&] {
        QStringList rows = column(*table, QStringLiteral("Task"));
        if (table->GetState() == ClientTable::State::Insert)
            rows.insert(table->RowNumber() - 1,
                table->IsNull(QStringLiteral("Task")) ? QStringLiteral("<null>")
                                                      : table->AsText(QStringLiteral("Task")));
        return rows;
    };
    QStringList mirror = shown();
    std::vector<RowsChange> changes;
    table->SetAfterRowsChange([&](ClientTable &t, const RowsChange &c) {
        changes.push_back(c);
        auto textAt = [&](int pos) {
            if (t.GetState() == ClientTable::State::Insert && pos == t.RowNumber() - 1)
                return t.IsNull(QStringLiteral("Task")) ? QStringLiteral("<null>")
                                                        : t.AsText(QStringLiteral("Task"));
            const int viewRow
                = t.GetState() == ClientTable::State::Insert && pos > t.RowNumber() - 1 ? pos : pos + 1;
            const Value v = t.ViewValue(viewRow, task);
            return v.isNull() ? QStringLiteral("<null>") : v.text();
        };
        switch (c.kind) {
        case RowsChange::Kind::Reset:
            mirror = shown();
            break;
        case RowsChange::Kind::Inserted:
            mirror.insert(c.to, textAt(c.to));
            break;
        case RowsChange::Kind::Removed:
            mirror.removeAt(c.from);
            break;
        case RowsChange::Kind::Moved:
            mirror.removeAt(c.from);
            mirror.insert(c.to, textAt(c.to));
            break;
        case RowsChange::Kind::Changed:
            mirror[c.to] = textAt(c.to);
            break;
        }
    });
    using K = RowsChange::Kind;
    struct Step
    {
        const char *name;
        std::function<void()> act;
        std::vector<RowsChange> expected;
    };
    const Step steps[] = {
        { "append", [&] { addTask(*table, QStringLiteral("m")); },
            { { K::Inserted, -1, 0 }, { K::Changed, -1, 0 } } },
        { "append sorts before", [&] { addTask(*table, QStringLiteral("c")); },
            { { K::Inserted, -1, 1 }, { K::Moved, 1, 0 } } },
        { "append sorts last", [&] { addTask(*table, QStringLiteral("x")); },
            { { K::Inserted, -1, 2 }, { K::Changed, -1, 2 } } },
        { "insert before the current row, abandoned",
            [&] {
                table->MoveFirst();
                table->InsertRow();
                table->CancelRow();
            },
            { { K::Inserted, -1, 0 }, { K::Removed, 0, -1 } } },
        { "edit moves the row",
            [&] {
                table->MoveFirst();
                table->EditRow();
                table->SetText(QStringLiteral("Task"), QStringLiteral("z"));
                table->PostRow();
            },
            { { K::Moved, 0, 2 } } },
        { "edit abandoned",
            [&] {
                table->EditRow();
                table->SetText(QStringLiteral("Task"), QStringLiteral("a"));
                table->CancelRow();
            },
            { { K::Changed, -1, 2 } } },
        { "delete",
            [&] {
                table->MoveFirst();
                table->DeleteRow();
            },
            { { K::Removed, 0, -1 } } },
        { "order", [&] { table->SetIndexName(QStringLiteral("cdsTasksIndexID")); },
            { { K::Reset, -1, -1 } } },
        { "filter",
            [&] {
                table->SetFilter(QStringLiteral("Task = 'z'"));
                table->SetFiltered(true);
            },
            { { K::Reset, -1, -1 } } },
        { "close", [&] { table->Close(); }, { { K::Reset, -1, -1 } } },
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.name);
        changes.clear();
        step.act();
        EXPECT_EQ(changes, step.expected);
        EXPECT_EQ(mirror, shown());
    }
}

TEST(ClientTable, BeforePost_LetsEditorsWriteIntoThePendingRow)
{
    auto table = newTaskTable();
    addTask(*table, "a");
    QString held;
    int runs = 0;
    table->SetBeforePost([&](ClientTable &t) {
        ++runs;
        EXPECT_TRUE(t.IsEditing());
        if (!held.isEmpty())
            t.SetText("Task", std::exchange(held, QString()));
    });

    const struct
    {
        const char *what;
        std::function<void()> end;
    } ends[] = {
        { "post", [&] { table->PostRow(); } },
        { "movement", [&] { table->MoveFirst(); } },
        { "write", [&] { table->WriteToBytes(DataFormat::XmlUtf8); } },
    };
    for (const auto &end : ends) {
        table->MoveFirst();
        table->EditRow();
        held = QString::fromLatin1(end.what);
        end.end();
        EXPECT_EQ(table->GetState(), ClientTable::State::Browse) << end.what;
        EXPECT_EQ(table->AsText("Task"), QString::fromLatin1(end.what));
    }
    EXPECT_GE(runs, 3);

    // Nothing pending: nothing to hand over.
    runs = 0;
    table->PostRow();
    table->MoveFirst();
    EXPECT_EQ(runs, 0);
}

TEST(ClientTable, ImplicitPost_StoresWrittenRowsAndDropsUntouchedOnes)
{
    auto table = newTaskTable();
    // Insert defaults count as writes: the row is stored by the next movement.
    table->SetAfterInsert([](ClientTable &t) { t.SetText("Status", "Not Started"); });
    table->AppendRow();
    table->MoveFirst();
    EXPECT_EQ(table->RowCount(), 1);
    EXPECT_EQ(table->GetState(), ClientTable::State::Browse);

    table->SetAfterInsert(nullptr);
    table->AppendRow();
    EXPECT_EQ(table->RowCount(), 1) << "a pending insertion is not counted";
    EXPECT_EQ(table->RowNumber(), 2);
    table->MoveFirst();
    EXPECT_EQ(table->RowCount(), 1) << "an untouched insertion is dropped";

    // Writing the table ends the pending edit too.
    table->EditRow();
    table->SetText("Task", "edited");
    table->WriteToBytes(DataFormat::XmlUtf8);
    EXPECT_EQ(table->GetState(), ClientTable::State::Browse);
    EXPECT_EQ(table->AsText("Task"), "edited");
}

TEST(ClientTable, KeyViolation_LeavesTheRowPendingAndTheCounterUnchanged)
{
    ClientTable table;
    table.AddFieldDef({ "ID", FieldType::Counter });
    table.AddFieldDef({ "Code", FieldType::Text, 10 });
    table.AddIndexDef({ "ByCode", { "Code" }, { false, true, false, true } });
    table.CreateEmpty();
    table.AppendRow();
    table.SetText("Code", "abc");
    table.PostRow();

    table.AppendRow();
    table.SetText("Code", "ABC"); // equal without regard to case in a case-insensitive unique order
    EXPECT_EQ(errorOf([&] { table.PostRow(); }), "Key violation.");
    EXPECT_EQ(table.GetState(), ClientTable::State::Insert);
    EXPECT_EQ(table.Counter(), 2);
    EXPECT_EQ(table.RowCount(), 1);
    table.SetText("Code", "xyz");
    table.PostRow();
    EXPECT_EQ(table.AsInteger("ID"), 2);

    // An edit onto another row's key is refused as well, and the row keeps its old key.
    table.EditRow();
    table.SetText("Code", "abc");
    EXPECT_EQ(errorOf([&] { table.PostRow(); }), "Key violation.");
    table.CancelRow();
    EXPECT_EQ(table.AsText("Code"), "xyz");
}

TEST(ClientTable, Errors_CarryTheExactMessages)
{
    auto table = newTaskTable();
    ClientTable closed;
    closed.AddFieldDef({ "A", FieldType::Integer });
    ClientTable noFields;
    struct Case
    {
        std::function<void()> action;
        QString message;
    };
    const std::vector<Case> cases = {
        { [&] { table->RequireField("Nope"); }, "Field 'Nope' not found" },
        { [&] { table->DeleteRow(); }, "Cannot perform this operation on an empty dataset" },
        { [&] { table->SetText("Task", "x"); }, "Dataset not in edit or insert mode" },
        { [&] { closed.MoveFirst(); }, "Cannot perform this operation on a closed dataset" },
        { [&] { table->SetIndexName("NoSuchIndex"); }, "Index 'NoSuchIndex' not found" },
        { [&] { noFields.CreateEmpty(); }, "No fields defined.  Cannot create dataset" },
        { [&] {
             table->AppendRow();
             table->SetText("Progress", "lots");
         },
            "'lots' is not a valid integer value for field 'Progress'" },
        { [&] { table->SetText("Bookmarked", "maybe"); },
            "'maybe' is not a valid boolean value for field 'Bookmarked'" },
        { [&] { table->SetInteger("Points", 70000); },
            "70000 is not a valid value for field 'Points'. The allowed range is 0 to 65535" },
    };
    for (const Case &c : cases)
        EXPECT_EQ(errorOf(c.action), c.message);
}

TEST(ClientTable, Conversions_FollowTheSystemFormats)
{
    auto table = newTaskTable();
    table->AppendRow();
    table->SetText("Task", QString(300, u'x'));
    EXPECT_EQ(table->AsText("Task").size(), 255);
    table->SetInteger("Status", 7);
    EXPECT_EQ(table->AsText("Status"), "7");
    table->SetText("Comments", QStringLiteral("before") + QChar(0) + QStringLiteral("after"));
    EXPECT_EQ(table->AsText("Comments"), "before");
    // A character outside the basic plane is never cut in half.
    table->SetText("Owner", QString(29, u'a') + QString::fromUtf8("\xF0\x9F\x98\x80"));
    EXPECT_EQ(table->AsText("Owner"), QString(29, u'a'));

    table->SetDateTime("CreatedDate", QDateTime(QDate(2024, 3, 9), QTime(14, 5)));
    EXPECT_EQ(table->AsText("CreatedDate"), "3/9/2024") << "a date field keeps the date only";
    table->SetText("DueDate", "12/31/2025");
    EXPECT_EQ(table->AsDateTime("DueDate").date(), QDate(2025, 12, 31));
    table->SetBoolean("Bookmarked", true);
    EXPECT_EQ(table->AsText("Bookmarked"), "True");
    table->SetText("Progress", "");
    EXPECT_TRUE(table->IsNull("Progress"));
    table->SetText("Category", "");
    EXPECT_FALSE(table->IsNull("Category")) << "an empty text is not null";

    Field stamp({ "LastUsed", FieldType::DateTime }, 0);
    EXPECT_EQ(ClientTable::ValueText(stamp, Value::fromDateTime(QDate(2024, 3, 9), QTime(0, 0))), "3/9/2024");
    EXPECT_EQ(ClientTable::ValueText(stamp, Value::fromDateTime(QDate(2024, 3, 9), QTime(14, 5, 7))),
        "3/9/2024 2:05:07 PM");
    EXPECT_EQ(ClientTable::ValueFromText(stamp, "3/9/2024 2:05:07 PM"),
        Value::fromDateTime(QDate(2024, 3, 9), QTime(14, 5, 7)));
}

TEST(ClientTable, NamedOrders_SortAsDefined)
{
    auto table = newTaskTable();
    const struct
    {
        const char *task;
        const char *status;
        std::optional<int> progress;
    } rows[] = { { "beta", "Cancelled", 50 }, { "Alpha", "complete", 100 },
        { "alpha", "cancelled", std::nullopt }, { "Beta", "Complete", 0 } };
    for (const auto &r : rows)
        addTask(*table, r.task, r.status, r.progress);

    table->SetIndexName("cdsTasksStatus");
    EXPECT_EQ(column(*table, "Status"), QStringList({ "Cancelled", "cancelled", "complete", "Complete" }))
        << "case-insensitive: equal words stay together in the order they were added";
    table->SetIndexName("cdsTasksIndexTaskName");
    EXPECT_EQ(column(*table, "Task"), QStringList({ "alpha", "Alpha", "beta", "Beta" }))
        << "case-sensitive locale collation, not code points";
    table->SetIndexName("cdsTasksProgress");
    EXPECT_EQ(column(*table, "Progress"), QStringList({ "100", "50", "0", "<null>" }));
    table->SetIndexName("cdsTasksIndexLastActioned");
    table->MoveFirst();
    table->EditRow();
    table->SetText("LastActioned", "1/2/2024");
    table->PostRow();
    EXPECT_EQ(column(*table, "LastActioned"), QStringList({ "1/2/2024", "<null>", "<null>", "<null>" }))
        << "never-actioned tasks come last in a descending order";
    table->SetIndexName("");
    EXPECT_EQ(column(*table, "ID"), QStringList({ "1", "2", "3", "4" }));
}

TEST(ClientTable, ChangingTheOrder_KeepsTheCurrentRow)
{
    auto table = newTaskTable();
    for (const char *t : { "c", "a", "b" })
        addTask(*table, t);
    table->LocateRow("Task", Value::text("c"));
    table->SetIndexName("cdsTasksIndexTaskName");
    EXPECT_EQ(table->AsText("Task"), "c");
    EXPECT_EQ(table->RowNumber(), 3);
}

// Orders are kept up to date on post, edit and delete rather than re-sorted. After a random mix of
// operations every order must equal the same order built from scratch.
TEST(ClientTable, MaintainedOrders_MatchFreshlyBuiltOrders)
{
    auto table = newTaskTable();
    // Orders made at run time too: a text key descending, and one without regard to case.
    const auto addRunTimeOrders = [](ClientTable &t) {
        t.AddIndex("TaskDown", { "Task" }, { false, false, true, false });
        t.AddIndex("TaskNoCase", { "Task" }, { false, false, false, true });
    };
    addRunTimeOrders(*table);
    std::mt19937 rng(7);
    const QStringList words { "apple", "Apple", "banana", "cherry", "Cherry", "", "zeta", "Éclair" };
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    for (int step = 0; step < 600; ++step) {
        const int op = pick(10);
        if (op < 5 || table->RowCount() == 0) {
            table->AppendRow();
        } else if (op < 8) {
            table->MoveTo(1 + pick(table->RowCount()));
            table->EditRow();
        } else {
            table->MoveTo(1 + pick(table->RowCount()));
            table->DeleteRow();
            continue;
        }
        if (pick(8))
            table->SetText("Task", words[pick(words.size())]);
        else
            table->SetNull("Task");
        table->SetText("Status", StatusWords()[pick(StatusWords().size())]);
        if (pick(4))
            table->SetInteger("Progress", pick(5) * 25);
        else
            table->SetNull("Progress");
        if (pick(3))
            table->SetDateTime("LastActioned", QDateTime(QDate(2024, 1, 1).addDays(pick(30)), QTime()));
        table->SetInteger("GroupNo", pick(4));
        table->PostRow();
        if (step % 97 == 0)
            table->SetIndexName(table->IndexNames()[pick(table->IndexNames().size())]);
    }

    ClientTable fresh;
    DefineTaskTable(fresh);
    fresh.ClearFields();
    fresh.ReadFromBytes(table->WriteToBytes(DataFormat::XmlUtf8));
    addRunTimeOrders(fresh);
    ASSERT_EQ(fresh.RowCount(), table->RowCount());
    ASSERT_EQ(fresh.IndexNames(), table->IndexNames());
    for (const QString &name : table->IndexNames()) {
        table->SetIndexName(name);
        fresh.SetIndexName(name);
        EXPECT_EQ(column(*table, "ID"), column(fresh, "ID")) << name.toStdString();
    }
}

// An order prepared a few texts at a time, while rows are added, changed and deleted between the
// steps, ends exactly as the order built at once from the final rows.
TEST(ClientTable, OrderPreparedInSteps_MatchesTheOrderBuiltAtOnce)
{
    auto source = newTaskTable();
    const QStringList words { "pear", "Apple", "apple", "fig", "Éclair", "eclair", "kiwi", "date", "" };
    for (int i = 0; i < 40; ++i)
        addTask(*source, words[i % words.size()] + QString::number(i % 7));
    const QByteArray bytes = source->WriteToBytes(DataFormat::XmlUtf8);
    const auto loaded = [&] {
        auto table = std::make_unique<ClientTable>();
        DefineTaskTable(*table);
        table->AddIndex("TaskNoCase", { "Task" }, { false, false, false, true });
        table->ClearFields();
        table->ReadFromBytes(bytes);
        return table;
    };
    for (const QString name : { "cdsTasksIndexTaskName", "TaskNoCase", "cdsTasksStatus" }) {
        SCOPED_TRACE(name.toStdString());
        auto stepped = loaded();
        ASSERT_FALSE(stepped->IndexPrepared(name)) << "a loaded table builds its other orders when asked";
        int steps = 0;
        while (!stepped->PrepareIndexStep(name, 3)) {
            ++steps;
            // Rows change between the steps.
            stepped->MoveTo(1 + steps % stepped->RowCount());
            stepped->EditRow();
            stepped->SetText("Task", QStringLiteral("changed %1").arg(steps));
            stepped->PostRow();
            if (steps % 4 == 0)
                addTask(*stepped, QStringLiteral("Added %1").arg(steps));
            if (steps % 5 == 0) {
                stepped->MoveTo(1);
                stepped->DeleteRow();
            }
        }
        if (name != QStringLiteral("cdsTasksStatus")) {
            EXPECT_GT(steps, 3);
        }
        EXPECT_TRUE(stepped->IndexPrepared(name));

        ClientTable fresh;
        DefineTaskTable(fresh);
        fresh.ClearFields();
        fresh.ReadFromBytes(stepped->WriteToBytes(DataFormat::XmlUtf8));
        fresh.AddIndex("TaskNoCase", { "Task" }, { false, false, false, true });
        stepped->SetIndexName(name);
        fresh.SetIndexName(name);
        EXPECT_EQ(column(*stepped, "ID"), column(fresh, "ID"));
    }
}

// Searches typed a letter at a time narrow the view they start from; each view is the one a search
// over the whole table gives, also after a posted task stopped matching.
TEST(ClientTable, NarrowingSearch_GivesTheViewOfAFullSearch)
{
    auto table = newTaskTable();
    std::mt19937 rng(11);
    const QString letters = QStringLiteral("abcab");
    for (int i = 0; i < 300; ++i) {
        QString text;
        for (int n = 0; n < 6; ++n)
            text += letters[int(rng() % unsigned(letters.size()))];
        addTask(*table, text);
    }
    table->SetIndexName("cdsTasksIndexTaskName");
    table->SetFiltered(true);
    const auto fullSearch = [&](const QString &expression) {
        ClientTable fresh;
        DefineTaskTable(fresh);
        fresh.ClearFields();
        fresh.ReadFromBytes(table->WriteToBytes(DataFormat::XmlUtf8));
        fresh.SetIndexName("cdsTasksIndexTaskName");
        fresh.SetFilter(expression);
        fresh.SetFiltered(true);
        return column(fresh, "ID");
    };
    for (const char *typed : { "a", "ab", "abc", "abca", "bc", "b" }) {
        const QString expression = QStringLiteral("Task LIKE '%%1%'").arg(QString::fromLatin1(typed));
        table->SetFilter(expression);
        EXPECT_EQ(column(*table, "ID"), fullSearch(expression)) << typed;
        EXPECT_EQ(table->RowNumber(), table->RowCount() > 0 ? 1 : 0);
        if (table->RowCount() > 1) {
            // The first task stops matching; it stays in view until the next search.
            table->EditRow();
            table->SetText("Task", "zzz");
            table->PostRow();
        }
    }
}

// A change of order while a view or search is in place shows the tasks a filter over the whole table
// gives, in the new order, also after a posted task stopped passing.
TEST(ClientTable, OrderSwitch_WhileFiltered_GivesTheViewOfAFullFilter)
{
    auto table = newTaskTable();
    const QStringList statuses = { "Complete", "Not Started", "In progress" };
    for (int i = 0; i < 200; ++i)
        addTask(*table, QStringLiteral("task %1%2").arg(i % 7 ? "pl" : "x").arg(199 - i), statuses.at(i % 3));
    const auto fullFilter = [&](const QString &expression, const QString &order) {
        ClientTable fresh;
        DefineTaskTable(fresh);
        fresh.ClearFields();
        fresh.ReadFromBytes(table->WriteToBytes(DataFormat::XmlUtf8));
        fresh.SetIndexName(order);
        fresh.SetFilter(expression);
        fresh.SetFiltered(true);
        return column(fresh, "ID");
    };
    for (const char *expression : { "Task LIKE '%pl%'", "Status <> 'Complete' " }) {
        SCOPED_TRACE(expression);
        table->SetIndexName("cdsTasksIndexID");
        table->SetFilter(QString::fromLatin1(expression));
        table->SetFiltered(true);
        // The first task stops passing; it stays in view until the view changes.
        table->MoveFirst();
        table->EditRow();
        table->SetText("Task", "x");
        table->SetText("Status", "Complete");
        table->PostRow();
        table->MoveTo(5);
        const QString current = table->AsText("ID");
        for (const char *order : { "cdsTasksIndexTaskName", "cdsTasksStatus", "cdsTasksIndexID" }) {
            table->SetIndexName(QString::fromLatin1(order));
            EXPECT_EQ(
                column(*table, "ID"), fullFilter(QString::fromLatin1(expression), QString::fromLatin1(order)))
                << order;
            EXPECT_EQ(table->AsText("ID"), current) << order;
        }
        table->SetFiltered(false);
    }
}

TEST(ClientTable, Filter_RowCountAndEditOnAnEmptyView)
{
    auto table = newTaskTable();
    addTask(*table, "a", "Complete");
    addTask(*table, "b", "Not Started");
    addTask(*table, "c", "Complete");
    table->SetFilter("Status = 'Complete' ");
    EXPECT_EQ(table->RowCount(), 3) << "the text alone does not filter";
    table->SetFiltered(true);
    EXPECT_EQ(table->RowCount(), 2);
    EXPECT_EQ(table->RowNumber(), 1);

    // A failing expression leaves the view and the text as they were.
    EXPECT_EQ(errorOf([&] { table->SetFilter("Nope = 1"); }), "Field 'Nope' not found");
    EXPECT_EQ(table->Filter(), "Status = 'Complete' ");
    EXPECT_EQ(table->RowCount(), 2);

    table->SetFilter("Status = 'Cancelled' ");
    EXPECT_EQ(table->RowCount(), 0);
    bool inserted = false;
    table->SetAfterInsert([&](ClientTable &) { inserted = true; });
    table->EditRow();
    EXPECT_TRUE(inserted);
    EXPECT_EQ(table->GetState(), ClientTable::State::Insert);
    table->CancelRow();
    table->SetFiltered(false);
    EXPECT_EQ(table->RowCount(), 3);
}

TEST(ClientTable, PostedRowThatFailsTheFilter_StaysUntilTheViewIsRebuilt)
{
    auto table = newTaskTable();
    addTask(*table, "done", "Complete");
    table->SetFilter("Status = 'Complete' ");
    table->SetFiltered(true);
    addTask(*table, "new", "Not Started");
    EXPECT_EQ(table->AsText("Task"), "new");
    EXPECT_EQ(table->RowCount(), 2);
    table->SetFiltered(true);
    EXPECT_EQ(table->RowCount(), 1);
}

TEST(ClientTable, LocateRow_MatchesWholeValueWithCase)
{
    auto table = newTaskTable();
    addTask(*table, "Buy milk");
    addTask(*table, "buy milk");
    EXPECT_TRUE(table->LocateRow("task", Value::text("buy milk")));
    EXPECT_EQ(table->AsInteger("ID"), 2);
    EXPECT_FALSE(table->LocateRow("Task", Value::text("Buy")));
    EXPECT_EQ(table->AsInteger("ID"), 2) << "a failed search leaves the cursor";
    EXPECT_TRUE(table->LocateRow("ID", Value::text("1")));
    EXPECT_EQ(table->AsText("Task"), "Buy milk");
}

TEST(ClientTable, DeleteRow_MakesTheNextRowCurrentOrThePreviousAtTheEnd)
{
    auto table = newTaskTable();
    for (const char *t : { "a", "b", "c" })
        addTask(*table, t);
    table->MoveTo(2);
    table->DeleteRow();
    EXPECT_EQ(table->AsText("Task"), "c");
    table->DeleteRow();
    EXPECT_EQ(table->AsText("Task"), "a");
    table->DeleteRow();
    EXPECT_TRUE(table->AtEnd());
    EXPECT_EQ(table->RowNumber(), 0);
}

TEST(ClientTable, MissingField_FailsWithTheFieldError)
{
    ClientTable old;
    old.ReadFromBytes("<?xml version=\"1.0\"?><DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
                      "<FIELD attrname=\"ID\" fieldtype=\"i4\" SUBTYPE=\"Autoinc\"/>"
                      "<FIELD attrname=\"Task\" fieldtype=\"string\" WIDTH=\"255\"/></FIELDS><PARAMS/>"
                      "</METADATA><ROWDATA/></DATAPACKET>");
    EXPECT_EQ(errorOf([&] { old.RequireField("Points"); }), "Field 'Points' not found");
    EXPECT_EQ(old.LookupField("Points"), nullptr);
}

// The recent-files store: bound to its file, ordered at run time by LastUsed descending, and written
// back on Close only when rows changed since it was read.
TEST(ClientTable, BoundFileAndRunTimeOrder)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Recent.XML");
    {
        ClientTable store;
        DefineRecentTable(store);
        store.CreateEmpty();
        for (int day : { 1, 3, 2 }) {
            store.AppendRow();
            store.SetText("File", QStringLiteral("/lists/%1.ql1").arg(day));
            store.SetDateTime("LastUsed", QDateTime(QDate(2024, 3, day), QTime(9, 0)));
            store.PostRow();
        }
        store.WriteToFile(path, DataFormat::Xml);
    }

    ClientTable store;
    DefineRecentTable(store);
    store.SetFileName(path);
    store.Open();
    store.SetChangeLogging(false);
    store.AddIndex("MyIndex", { "LastUsed" }, { false, false, true, false });
    store.SetIndexName("MyIndex");
    EXPECT_EQ(column(store, "File"), QStringList({ "/lists/3.ql1", "/lists/2.ql1", "/lists/1.ql1" }));

    // Nothing changed: Close must not write (the marker stays).
    const QByteArray original = store.WriteToBytes(DataFormat::Xml);
    {
        QFile marker(path);
        ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
        marker.write("marker");
    }
    store.Close();
    {
        QFile marker(path);
        ASSERT_TRUE(marker.open(QIODevice::ReadOnly));
        EXPECT_EQ(marker.readAll(), "marker");
    }
    {
        QFile restore(path);
        ASSERT_TRUE(restore.open(QIODevice::WriteOnly));
        restore.write(original);
    }

    store.Open();
    store.SetChangeLogging(false);
    store.InsertRow();
    store.SetText("File", "/lists/new.ql1");
    store.SetDateTime("LastUsed", QDateTime(QDate(2024, 4, 1), QTime(8, 0)));
    store.PostRow();
    store.Close();
    ClientTable reread;
    reread.ReadFromFile(path);
    EXPECT_EQ(reread.RowCount(), 4);
    EXPECT_FALSE(reread.WriteToBytes(DataFormat::Xml).contains("RowState"));
}

// Equality in filters is by collation: canonically equivalent texts are equal even though their
// characters differ, while distinct plain ASCII texts never are.
TEST(ClientTable, FilterEquality_IsByCollation)
{
    auto table = newTaskTable();
    addTask(*table, QString::fromUtf8("Caf\xC3\xA9")); // precomposed é
    addTask(*table, QString::fromUtf8("Cafe\xCC\x81")); // e + combining acute
    addTask(*table, "Cafe");
    table->SetFilter(QString::fromUtf8("Task = 'Caf\xC3\xA9'"));
    table->SetFiltered(true);
    EXPECT_EQ(table->RowCount(), 2);
    table->SetFilter("Task <> 'Cafe'");
    EXPECT_EQ(table->RowCount(), 2);
}
