#pragma once

#include <QString>
#include <QtGlobal>

namespace ql {

class ClientTable;

// Appends `count` made-up but realistic tasks to an open table that has the task fields: every word
// of the Status, Priority and Difficulty vocabularies (once the count reaches five), dates spread
// over fourteen years, memos with line breaks, empty (null) fields, non-ASCII text and the
// characters the file format escapes. The same seed gives the same tasks on every platform.
//
// The task texts come from small pools, so a large list repeats a few thousand texts over and over.
// With `distinctTexts` each text also names a drawn detail (a person, a place, a reference number),
// so that almost every task has a text of its own, as in a list a person typed over the years.
// Throws the table's error when a task field is missing.
void generateTasks(ClientTable &table, int count, quint32 seed, bool distinctTexts = false);

// Writes a new task list of `count` generated tasks to `path` in the UTF-8 format.
void generate(const QString &path, int count, quint32 seed, bool distinctTexts = false);

} // namespace ql
