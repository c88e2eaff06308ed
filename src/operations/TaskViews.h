#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>

namespace ql {

class ClientTable;

// The orders, views and search of a task list's bar, below the widgets: which named order each
// "Sort by" item and each column title makes active, and which filter expression each "Only Show"
// item and a search set. The expressions are exact, down to the blank at their end.
namespace TaskViews {

// The items of "Sort by", in order ("None", "Task", "ID", ...).
const QStringList &OrderItems();
// The named order an item makes active; empty for "None" (the table's natural order).
QString IndexForOrderItem(int item);
// The named order a click on a field's column title makes active; nothing for a field without one.
std::optional<QString> IndexForField(const QString &fieldName);

// The items of "Only Show", in order ("All", "Not Started", ...).
const QStringList &ViewItems();
// The filter an item sets; nothing for "All" (filtering off). The two "Today" views write `today`
// in `shortDate`, the format in which the filter reads date literals.
std::optional<QString> ViewFilter(int item, const QString &today);

// The filter of a search: the text exactly as typed between "%" signs.
QString SearchFilter(const QString &text);

// Sets `expression` as the table's filter and switches filtering on, which rebuilds the view and
// moves to its first task. A table filtered already rebuilds its view as the expression changes,
// and then does not walk its rows a second time only to switch on what is on.
void ApplyFilter(ClientTable &table, const QString &expression);

} // namespace TaskViews

} // namespace ql
