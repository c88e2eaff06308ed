#pragma once

namespace ql {

class ClientTable;

// One change of one row of a table, from its start to its post. The guard starts the change (edit
// the current row, or append or insert a new one) and, unless post() stored the row by the time the
// guard ends (an error left the operation), abandons it: no half-written row is left pending for
// whatever next moves, saves or edits the table to post, or to refuse again.
//
//   {
//       PendingRow row(table, PendingRow::Start::Append);
//       table.SetText(TaskField::Task, line);
//       row.post();
//   }
//
// A row that was pending already when an edit began is someone else's change: by default it stays
// pending, with what the guard wrote. With Abandon::EarlierChangesToo the guard takes the whole
// pending row as its own and abandons it all. A new row is always the guard's own: appending stores
// a row that was pending before.
class PendingRow final
{
public:
    enum class Start { Edit, Append, Insert };
    enum class Abandon { OwnChange, EarlierChangesToo };

    // Starts the change; a start that fails abandons what it left pending and throws the table's
    // error.
    PendingRow(ClientTable &table, Start start, Abandon abandon = Abandon::OwnChange);
    ~PendingRow();
    PendingRow(const PendingRow &) = delete;
    PendingRow &operator=(const PendingRow &) = delete;

    // Posts the row; throws the table's refusal, and the row is then abandoned when the guard ends.
    void post();

private:
    void abandonRow() noexcept;

    ClientTable &m_table;
    bool m_own = true; // whether the pending row is the guard's to abandon
    bool m_posted = false;
};

} // namespace ql
