#pragma once

#include <QStringList>

namespace ql {

class ClientTable;

// Batch entry's lines become tasks of `table`: for each line, from the first to the last, that is
// not empty (a line of blanks is not empty), append a task, set its Task to the whole line as typed
// (the table cuts it to the field's width) and post it. Whoever owns the table supplies the other
// values of a new task through its insert reaction; nothing but Task is written here. Returns the
// number of tasks added.
//
// A task the user is still editing is stored first, so that its own refusal is told as such.
// Throws the table's error at the first line that cannot be added; the lines before it are tasks
// by then, and the refused one is dropped: left pending, it would be posted, or refused again, by
// whatever next moves or saves the list. A list without a Task field fails before any task is
// started.
int BatchInsertLines(ClientTable &table, const QStringList &lines);

} // namespace ql
