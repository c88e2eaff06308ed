#pragma once

#include "storage/ClientTable.h"
#include "storage/TaskSchema.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <memory>

namespace ql::test {

// A new task list as the program creates it.
inline std::unique_ptr<ClientTable> newTaskTable()
{
    auto table = std::make_unique<ClientTable>(QStringLiteral("cdsTasks"));
    DefineTaskTable(*table);
    table->CreateEmpty();
    return table;
}

// Adds one posted task with the given text and optional status/progress.
inline void addTask(ClientTable &table, const QString &text,
    const QString &status = QStringLiteral("Not Started"), std::optional<int> progress = std::nullopt)
{
    table.AppendRow();
    table.SetText(QStringLiteral("Task"), text);
    table.SetText(QStringLiteral("Status"), status);
    if (progress)
        table.SetInteger(QStringLiteral("Progress"), *progress);
    table.PostRow();
}

// The values of one field over the view, in view order.
inline QStringList column(const ClientTable &table, const QString &fieldName)
{
    QStringList out;
    const Field &field = table.RequireField(fieldName);
    for (int r = 1; r <= table.RowCount(); ++r) {
        const Value v = table.ViewValue(r, field);
        out << (v.isNull() ? QStringLiteral("<null>") : ClientTable::ValueText(field, v));
    }
    return out;
}

} // namespace ql::test
