#include "dialogs/BatchLines.h"

#include "storage/ClientTable.h"
#include "storage/TaskSchema.h"

namespace ql {

int BatchInsertLines(ClientTable &table, const QStringList &lines)
{
    if (table.IsEditing())
        table.PostRow();
    int added = 0;
    for (const QString &line : lines) {
        if (line.isEmpty())
            continue;
        // A list without a Task field fails here, before a blank task is started that nothing
        // would fill.
        table.RequireField(TaskField::Task);
        try {
            table.AppendRow();
            table.SetText(TaskField::Task, line);
            table.PostRow();
        } catch (...) {
            table.CancelRow();
            throw;
        }
        ++added;
    }
    return added;
}

} // namespace ql
