#pragma once

#include <QDate>
#include <QString>
#include <optional>

namespace ql {

class ClientTable;

// What the program does to tasks, below any window: the task-list frame, its dialogs and
// quillon-cli run these on a task table, so a task changed from the window and one changed by a
// script end up with the same fields. Every field is reached by its name (TaskField) at the moment
// of use: a list read from a file may lack some, and an operation stops with the table's error at
// the first one it needs and cannot find, leaving what it did so far.
namespace TaskCommands {

// The values a new row starts with, whoever inserts it (quick add, the grid, batch entry, import):
// Status the integer 0 (stored as the text "0"), CreatedDate `today`, Progress 0. The row is not
// posted.
void SetInsertDefaults(ClientTable &table, const QDate &today);

// The text of a task as the quick-add box takes it: blanks and control characters dropped at both
// ends, kept inside.
QString TrimmedTaskText(const QString &text);

// What quick add writes into a new task besides its text.
struct QuickAddChoice
{
    QString priority = QStringLiteral("Normal");
    QString difficulty = QStringLiteral("Moderate");
    QString category;
    // The user the task is assigned to; the logged-on user when not given.
    std::optional<QString> assignedTo;
};

// Appends a task for `text` (trimmed; nothing happens and false is returned when nothing is left),
// writes Task, CreatedDate, Status "Not Started", Progress 0, Priority, Difficulty, Bookmarked
// false, Time 0, AssignedTo and Category in that order, and posts it. The table's insert reaction
// runs on the append, before these fields are written.
bool QuickAdd(ClientTable &table, const QString &text, const QuickAddChoice &choice, const QDate &today);

} // namespace TaskCommands

} // namespace ql
