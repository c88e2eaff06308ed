#pragma once

#include <QString>
#include <QStringList>
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

// The words the program writes into Status, Priority and Difficulty, in the order of the pick lists.
const QStringList &StatusWords();
const QStringList &PriorityWords();
const QStringList &DifficultyWords();

// The nine named orders of a task list, each on one field.
const std::vector<IndexDef> &TaskIndexDefs();

// Gives a table the field definitions of a new task list (25 fields) and its nine named orders.
// CreateEmpty then opens it.
void DefineTaskTable(ClientTable &table);

// Gives a table the two fields of the recent-files store (File, LastUsed).
void DefineRecentTable(ClientTable &table);

} // namespace ql
