#pragma once

#include <QStringList>

namespace ql {

class ClientTable;

// The words the program writes into Status, Priority and Difficulty, in the order of the pick lists.
const QStringList &StatusWords();
const QStringList &PriorityWords();
const QStringList &DifficultyWords();

// Gives a table the field definitions of a new task list (25 fields) and its nine named orders.
// CreateEmpty then opens it.
void DefineTaskTable(ClientTable &table);

// Gives a table the two fields of the recent-files store (File, LastUsed).
void DefineRecentTable(ClientTable &table);

} // namespace ql
