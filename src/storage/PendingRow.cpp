#include "storage/PendingRow.h"

#include "storage/ClientTable.h"

namespace ql {

PendingRow::PendingRow(ClientTable &table, Start start, Abandon abandon)
    : m_table(table)
    , m_own(abandon == Abandon::EarlierChangesToo || !table.IsEditing())
{
    try {
        switch (start) {
        case Start::Edit:
            table.EditRow();
            break;
        case Start::Append:
            table.AppendRow();
            break;
        case Start::Insert:
            table.InsertRow();
            break;
        }
    } catch (...) {
        abandonRow();
        throw;
    }
    if (start != Start::Edit)
        m_own = true;
}

PendingRow::~PendingRow()
{
    if (!m_posted)
        abandonRow();
}

void PendingRow::post()
{
    m_table.PostRow();
    m_posted = true;
}

void PendingRow::abandonRow() noexcept
{
    if (!m_own || !m_table.IsEditing())
        return;
    try {
        m_table.CancelRow();
    } catch (...) {
        // Abandoning only tells whatever follows the table, which must not throw; the error that
        // ended the change is the one to report.
    }
}

} // namespace ql
