#include "operations/ListImport.h"

#include "platform/Error.h"
#include "storage/ClientTable.h"
#include "storage/PendingRow.h"

#include <exception>

namespace ql {

namespace {

// Copies one source row into the target's pending row, field by field.
void copyFields(ClientTable &target, const ClientTable &source, int row)
{
    for (const Field &field : source.Fields()) {
        try {
            const QString text = ClientTable::ValueText(field, source.ViewValue(row, field));
            if (target.LookupField(field.name()))
                target.SetText(field.name(), text);
        } catch (const std::exception &) {
            // A field the target cannot take is left out and the others are copied: a list from
            // elsewhere seldom matches this one field for field, and one odd field should not
            // keep the rest of a task out.
        }
    }
}

[[noreturn]] void stopImport(const QString &reason, int taskNumber, int total)
{
    QString text = reason;
    if (!text.isEmpty() && text.back() > u'.')
        text += u'.';
    const int added = taskNumber - 1;
    if (added == 0)
        text += QStringLiteral("\nImport stopped at the first task: nothing was imported.");
    else if (added == 1)
        text += QStringLiteral("\nImport stopped at task %1 of %2: 1 task was imported before it.")
                    .arg(taskNumber)
                    .arg(total);
    else
        text += QStringLiteral("\nImport stopped at task %1 of %2: %3 tasks were imported before it.")
                    .arg(taskNumber)
                    .arg(total)
                    .arg(added);
    throw Error(text);
}

} // namespace

int ImportRows(ClientTable &target, const ClientTable &source)
{
    // A task the user is still editing is stored first, so that a refusal of it is told as what it
    // is and the edit is not lost with an imported task that failed.
    if (target.IsEditing())
        target.PostRow();
    const int total = source.RowCount();
    for (int row = 1; row <= total; ++row) {
        try {
            // A task the target refuses is dropped whole: left pending, it would be posted (or
            // refused again) by whatever next moves, saves or edits the list.
            PendingRow task(target, PendingRow::Start::Append);
            copyFields(target, source, row);
            task.post();
        } catch (const Error &error) {
            stopImport(error.message(), row, total);
        }
    }
    return total;
}

int ImportListFile(ClientTable &target, const QString &path)
{
    ClientTable source;
    source.ReadFromFile(path);
    return ImportRows(target, source);
}

} // namespace ql
