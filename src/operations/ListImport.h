#pragma once

#include <QString>

namespace ql {

class ClientTable;

// Import: the tasks of another list file appended to a list.
//
// Every row of the source, in the source's order, becomes a new task of the target. The target
// appends a row (its insert reaction fills the defaults), each source field's value is copied as
// text, in the source's field order, into the target field of the same name, and the row is posted,
// so the target's counter numbers it after the target's own tasks, whatever ID the source gave it.
// The source need not be a task list: any table the reader can load will do.
//
// A field that cannot be copied is skipped without a word: the target lacks it, refuses to write
// it, or the text is no valid value for it. A value the source leaves empty replaces the default:
// empty text in a text field, null in any other.
//
// A task that cannot be added at all (the target refuses to start or to post it) ends the import:
// that task is abandoned, so no half-filled task is left pending, the tasks before it stay, and the
// error names the target's reason and where the import stopped.

// Copies every row of `source` into `target` as above; gives the number of tasks added.
int ImportRows(ClientTable &target, const ClientTable &source);

// Reads the file `path` into a table of its own and imports its rows into `target` (ImportRows).
// A file that cannot be read throws the reader's error before anything is added.
int ImportListFile(ClientTable &target, const QString &path);

} // namespace ql
