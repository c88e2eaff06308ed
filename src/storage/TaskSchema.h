#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace ql {

class ClientTable;
struct IndexDef;

// The names of the 25 fields of a task list, in the order of a new list. Code reaches a field by
// one of these names at the moment of use: a list read from a file has exactly the fields its file
// declares, which may be fewer.
namespace TaskField {
inline const QString ID = QStringLiteral("ID");
inline const QString Task = QStringLiteral("Task");
inline const QString Status = QStringLiteral("Status");
inline const QString Priority = QStringLiteral("Priority");
inline const QString Progress = QStringLiteral("Progress");
inline const QString Difficulty = QStringLiteral("Difficulty");
inline const QString CreatedDate = QStringLiteral("CreatedDate");
inline const QString CompletedDate = QStringLiteral("CompletedDate");
inline const QString LastActioned = QStringLiteral("LastActioned");
inline const QString StartDate = QStringLiteral("StartDate");
inline const QString Time = QStringLiteral("Time");
inline const QString ParentID = QStringLiteral("ParentID");
inline const QString Bookmarked = QStringLiteral("Bookmarked");
inline const QString AssignedTo = QStringLiteral("AssignedTo");
inline const QString DueDate = QStringLiteral("DueDate");
inline const QString GroupNo = QStringLiteral("GroupNo");
inline const QString Comments = QStringLiteral("Comments");
inline const QString Owner = QStringLiteral("Owner");
inline const QString Details = QStringLiteral("Details");
inline const QString Category = QStringLiteral("Category");
inline const QString RelatedFile = QStringLiteral("RelatedFile");
inline const QString LinkedList = QStringLiteral("LinkedList");
inline const QString Properties = QStringLiteral("Properties");
inline const QString Points = QStringLiteral("Points");
inline const QString URL = QStringLiteral("URL");
} // namespace TaskField

// The words the program writes into Status, Priority and Difficulty and compares them with,
// exactly and with their case ("In progress" has a small p). The table does not restrict the
// fields to them: a row with another word matches none of the views and gets no row colour.
namespace TaskStatus {
inline const QString NotStarted = QStringLiteral("Not Started");
inline const QString Paused = QStringLiteral("Paused");
inline const QString InProgress = QStringLiteral("In progress");
inline const QString Complete = QStringLiteral("Complete");
inline const QString Cancelled = QStringLiteral("Cancelled");
} // namespace TaskStatus

namespace TaskPriority {
inline const QString Normal = QStringLiteral("Normal");
inline const QString Urgent = QStringLiteral("Urgent");
inline const QString High = QStringLiteral("High");
inline const QString Low = QStringLiteral("Low");
} // namespace TaskPriority

namespace TaskDifficulty {
inline const QString Easy = QStringLiteral("Easy");
inline const QString Moderate = QStringLiteral("Moderate");
inline const QString Hard = QStringLiteral("Hard");
// The detail view's own word for the middle difficulty; the pick lists say Moderate.
inline const QString Normal = QStringLiteral("Normal");
} // namespace TaskDifficulty

// The words of the grid's pick lists, in their order.
const QStringList &StatusWords();
const QStringList &PriorityWords();
const QStringList &DifficultyWords();

// The word of `words` that `text` spells, compared without regard to case; nothing when it spells
// none of them.
std::optional<QString> PickListWord(const QStringList &words, const QString &text);

// The names of the nine named orders of a task list.
namespace TaskOrder {
inline const QString ID = QStringLiteral("cdsTasksIndexID");
inline const QString TaskName = QStringLiteral("cdsTasksIndexTaskName");
inline const QString LastActioned = QStringLiteral("cdsTasksIndexLastActioned");
inline const QString Status = QStringLiteral("cdsTasksStatus");
inline const QString Difficulty = QStringLiteral("cdsTasksDifficulty");
inline const QString Priority = QStringLiteral("cdsTasksPriority");
inline const QString Category = QStringLiteral("cdsTasksCategory");
inline const QString Progress = QStringLiteral("cdsTasksProgress");
inline const QString GroupNo = QStringLiteral("cdsTasksGroupNo");
} // namespace TaskOrder

// The nine named orders of a task list, each on one field.
const std::vector<IndexDef> &TaskIndexDefs();

// Gives a table the field definitions of a new task list (25 fields) and its nine named orders.
// CreateEmpty then opens it.
void DefineTaskTable(ClientTable &table);

// Gives a table the two fields of the recent-files store (File, LastUsed).
void DefineRecentTable(ClientTable &table);

} // namespace ql
