#pragma once

#include <QString>
#include <QStringList>

namespace ql {

// The file name part of a path (after the last folder separator) without its last extension.
// Names tabs and the window title.
QString FileNameWithoutExt(const QString &path);

// Sorts lines ascending, comparing case-insensitively by the user's locale. Each line is compared
// with every later line and the two are swapped when the earlier one sorts after the later one, so
// two equal lines are never swapped with each other (a third line can still move one past the
// other: "B", "b", "a" becomes "a", "b", "B").
void SortMemoLines(QStringList &lines);

// The lines of a multi-line box's text. "\n", "\r\n" and a lone "\r" each end a line; a final line
// break adds no empty line, so "a\nb\n" and "a\nb" are both the two lines "a" and "b", while
// "a\n\n" is "a" and an empty line. An empty text has no lines at all.
QStringList MemoLines(const QString &text);

// Whether the table has a field of that name (without regard to case).
template <class Table> bool FieldExists(const Table &table, const QString &fieldName)
{
    return table.LookupField(fieldName) != nullptr;
}

// The operating system's name of the logged-on user. Throws ql::Error with the system's error text,
// or a message saying that the user has no entry in the user database.
QString CurrentUserName();

// The name of the user with that numeric ID, with the errors of CurrentUserName.
QString UserNameOf(unsigned int userId);

} // namespace ql
