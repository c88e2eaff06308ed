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

// Whether the table has a field of that name (without regard to case).
template<class Table>
bool FieldExists(const Table &table, const QString &fieldName)
{
    return table.LookupField(fieldName) != nullptr;
}

// The operating system's name of the logged-on user. Throws ql::Error with the system's error text,
// or a message saying that the user has no entry in the user database.
QString CurrentUserName();

// The name of the user with that numeric ID, with the errors of CurrentUserName.
QString UserNameOf(unsigned int userId);

} // namespace ql
