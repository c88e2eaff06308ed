#pragma once

#include "storage/TaskSchema.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>
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

// Makes SetInsertDefaults the table's own insert reaction, with the day `today` gives at each
// insert: a task list in the window and in quillon-cli starts every new task the same way. A list
// whose file lacks one of the fields fails the insert with the field's error.
void InstallInsertDefaults(ClientTable &table, std::function<QDate()> today);

// The text of a task as the quick-add box takes it: blanks and control characters dropped at both
// ends, kept inside.
QString TrimmedTaskText(const QString &text);

// What quick add writes into a new task besides its text.
struct QuickAddChoice
{
    QString priority = TaskPriority::Normal;
    QString difficulty = TaskDifficulty::Moderate;
    QString category;
    // The user the task is assigned to; the logged-on user when not given.
    std::optional<QString> assignedTo;
};

// Appends a task for `text` (trimmed; nothing happens and false is returned when nothing is left),
// writes Task, CreatedDate, Status "Not Started", Progress 0, Priority, Difficulty, Bookmarked
// false, Time 0, AssignedTo and Category in that order, and posts it. The table's insert reaction
// runs on the append, before these fields are written.
bool QuickAdd(ClientTable &table, const QString &text, const QuickAddChoice &choice, const QDate &today);

// The commands that change the current task's state in one step. Each puts the task into edit
// mode (on a view that shows no task, a new task is started instead, with the insert defaults),
// writes its fields in this order, and posts it:
//
//   Start            Status "In progress"; Progress 1 when it reads as 0 (empty reads as 0);
//                    LastActioned today; StartDate today
//   Cancel           Status "Cancelled"; Priority "Low"; LastActioned today
//   Pause            Status "Paused"; Priority "Low"; LastActioned today
//   Complete         CompletedDate today; LastActioned today; Progress 100; Status "Complete"
//   Bookmark         Bookmarked true; LastActioned today
//   LastActionedNow  LastActioned today
//
// No command writes any other field or looks at the task's state first.
enum class StateCommand { Start, Cancel, Pause, Complete, Bookmark, LastActionedNow };
void RunStateCommand(ClientTable &table, StateCommand command, const QDate &today);

// The current task's progress as a whole number; an empty one reads as 0.
qint64 CurrentProgress(const ClientTable &table);

// LastActioned today; Progress as given, without a range check; Status "In progress".
void SetProgress(ClientTable &table, qint64 progress, const QDate &today);

// The main window's Set Progress: the whole number `percentage` (as typed) into the current task's
// Progress, without a range check, and the task posted; no other field changes. Text that is not a
// whole number throws "'TEXT' is not a valid integer value" before anything changes. A change the
// table refuses is abandoned, unless the task was being edited already: that edit stays pending.
void SetProgressOnly(ClientTable &table, const QString &percentage);

// The date fields the date selection offers, in the order of its list.
enum class DateField { LastActioned, Started, Due, Completed, Created };
QString FieldOf(DateField field);

// Writes `date` into the chosen field of the current task and posts it; without a field the task
// is put into edit mode and posted with nothing written. No other field changes.
void SetDate(ClientTable &table, std::optional<DateField> field, const QDate &date);

// Deletes the current task; throws the table's error when the view shows none.
void DeleteCurrent(ClientTable &table);

// Links the current task to a list file, another file or a web address: puts the task into edit
// mode (a new task on a view that shows none), stores `target` exactly as given in `fieldName`
// (LinkedList, RelatedFile or URL), sets LastActioned to `lastActioned` when given, and posts the
// task. A target longer than the field holds is refused before anything changes: cut short, it
// would name another file or address.
void SetLink(ClientTable &table, const QString &fieldName, const QString &target,
    std::optional<QDate> lastActioned = std::nullopt);

// Batch entry's lines become tasks: for each line, from the first to the last, that is not empty (a
// line of blanks is not empty), append a task, set its Task to the whole line as typed (the table
// cuts it to the field's width) and post it. The table's insert reaction supplies the other values
// of a new task; nothing but Task is written here. Returns the number of tasks added.
//
// A task the user is still editing is stored first, so that its own refusal is told as such.
// Throws the table's error at the first line that cannot be added; the lines before it are tasks
// by then, and the refused one is dropped: left pending, it would be posted, or refused again, by
// whatever next moves or saves the list. A list without a Task field fails before any task is
// started.
int BatchInsertLines(ClientTable &table, const QStringList &lines);

// What an open command follows: the current task's field with blanks and control characters
// dropped at both ends; empty when nothing is left (or the view shows no task).
QString LinkTarget(const ClientTable &table, const QString &fieldName);

} // namespace TaskCommands

} // namespace ql
