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
// Throws the table's error at the first line that cannot be added; the lines before it are tasks
// by then. A list without a Task field fails before any task is started, so it is not left with a
// blank new task; a refused post leaves the failing task pending as the table left it.
int BatchInsertLines(ClientTable &table, const QStringList &lines);

} // namespace ql
