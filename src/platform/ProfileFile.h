#pragma once

#include <QString>

namespace ql {

// A settings file of the profile (INI) kind, read and written with the conventions of the Windows
// profile functions, so that a Quillon.ini from the Windows program reads the same here.
//
//     ; a comment line
//     [Category]            a section; the name is matched without regard to case
//     Line0=Errands         a key and its value
//       line1 =  Home       blanks around keys and values are dropped: key "line1", value "Home"
//     Line2=" Work "        matching surrounding quotes (" or ') are removed: value " Work "
//     Url=a=b               the key ends at the first "=": value "a=b"
//
// Lines before the first section belong to no section. When a section or key occurs more than once,
// the first occurrence counts. A value is read up to MaxValueLength characters. The file is UTF-8;
// a line that is not valid UTF-8 is read as Windows-1252.
//
// Every call reads the file afresh, and every change replaces the file at once (atomically): another
// program's edits between two calls are seen, and keys written before a failure stay written. Writing
// changes only the lines concerned; every other section, comment, blank line and line break stays
// as it was, byte for byte.
class ProfileFile final
{
public:
    static constexpr int MaxValueLength = 2047;

    explicit ProfileFile(QString path);

    const QString &path() const { return m_path; }

    // The value of `key` in `section`; `defaultValue` when the file, the section or the key is
    // missing. A key that is present with an empty value reads as empty, not as the default.
    QString readString(const QString &section, const QString &key, const QString &defaultValue) const;

    // Sets `key` in `section` to `value`, written as given. An existing key keeps its line (and its
    // spelling); a new key follows the last key of its section; a new section goes at the end of the
    // file. Creates the file when it does not exist. Throws ql::Error "Unable to write to <path>"
    // when the file cannot be written, and for names or values that cannot be written to a line.
    void writeString(const QString &section, const QString &key, const QString &value);

    // Removes every section of this name with all its lines, up to the next section. Nothing is
    // written when there is no such section. Throws as writeString does.
    void eraseSection(const QString &section);

private:
    QString m_path;
};

} // namespace ql
