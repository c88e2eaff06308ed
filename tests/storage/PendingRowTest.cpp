// The guard of one row's change: posted, or abandoned when an error ends it, and whose pending row
// it may abandon.
#include "TaskTableFixture.h"

#include "platform/Error.h"
#include "storage/PendingRow.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

using ql::ClientTable;
using ql::PendingRow;
using ql::test::addTask;
using ql::test::newTaskTable;

TEST(PendingRow, PostedOrAbandoned_AndOnlyItsOwnChangeUnlessTold)
{
    struct Case
    {
        const char *what;
        bool editBefore; // a change of the row was pending when the guard began
        PendingRow::Start start;
        PendingRow::Abandon abandon;
        bool refuse; // the post is refused
        ClientTable::State state; // afterwards
        int rows;
        const char *task; // of the current row afterwards
        const char *comments;
    };
    using Start = PendingRow::Start;
    using Abandon = PendingRow::Abandon;
    using State = ClientTable::State;
    const Case cases[] = {
        { "edit posted", false, Start::Edit, Abandon::OwnChange, false, State::Browse, 2, "new", "" },
        { "edit refused", false, Start::Edit, Abandon::OwnChange, true, State::Browse, 2, "b", "" },
        { "earlier edit refused", true, Start::Edit, Abandon::OwnChange, true, State::Edit, 2, "new",
            "earlier" },
        { "earlier edit refused, all abandoned", true, Start::Edit, Abandon::EarlierChangesToo, true,
            State::Browse, 2, "b", "" },
        { "append posted", false, Start::Append, Abandon::OwnChange, false, State::Browse, 3, "new", "" },
        { "append refused", false, Start::Append, Abandon::OwnChange, true, State::Browse, 2, "b", "" },
        { "append after an earlier edit, refused", true, Start::Append, Abandon::OwnChange, true,
            State::Browse, 2, "b", "earlier" },
        { "insert refused", false, Start::Insert, Abandon::OwnChange, true, State::Browse, 2, "b", "" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        auto table = newTaskTable();
        addTask(*table, QStringLiteral("a"));
        addTask(*table, QStringLiteral("b"));
        if (c.editBefore) {
            table->EditRow();
            table->SetText(QStringLiteral("Comments"), QStringLiteral("earlier"));
        }
        bool refuse = false;
        table->SetBeforePost([&](ClientTable &) {
            if (refuse)
                throw ql::Error(QStringLiteral("Key violation."));
        });
        try {
            PendingRow row(*table, c.start, c.abandon);
            table->SetText(QStringLiteral("Task"), QStringLiteral("new"));
            refuse = c.refuse;
            row.post();
            EXPECT_FALSE(c.refuse) << "not refused";
        } catch (const ql::Error &) {
            EXPECT_TRUE(c.refuse) << "refused";
        }
        EXPECT_EQ(table->GetState(), c.state);
        EXPECT_EQ(table->RowCount(), c.rows);
        EXPECT_EQ(table->AsText(QStringLiteral("Task")), QString::fromLatin1(c.task));
        EXPECT_EQ(table->AsText(QStringLiteral("Comments")), QString::fromLatin1(c.comments));
    }
}

// A start that fails (the insert reaction refuses the new row) leaves no row pending.
TEST(PendingRow, FailedStart_LeavesNothingPending)
{
    auto table = newTaskTable();
    addTask(*table, QStringLiteral("a"));
    table->SetAfterInsert([](ClientTable &) { throw ql::Error(QStringLiteral("Field 'Status' not found")); });
    EXPECT_THROW({ PendingRow row(*table, PendingRow::Start::Append); }, ql::Error);
    EXPECT_EQ(table->GetState(), ClientTable::State::Browse);
    EXPECT_EQ(table->RowCount(), 1);
}

} // namespace
