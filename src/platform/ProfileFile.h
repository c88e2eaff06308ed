#pragma once

#include <QHash>
#include <QString>
#include <vector>

namespace ql {

// One key of a section and its value.
struct ProfileEntry
{
    QString key;
    QString value;
};

// The keys of one section with their values, as ProfileFile::readSection read them from the file in
// one go.
class ProfileSection final
{
public:
    // The section's keys in the order of the file, each once (a key that occurs again, without regard
    // to case, keeps the value of its first occurrence), spelt as in the file, with their values as
    // readString gives them.
    const std::vector<ProfileEntry> &entries() const { return m_entries; }

    // The value of `key`, found without regard to case, as ProfileFile::readString gives it;
    // `defaultValue` when the section has no such key.
    QString readString(const QString &key, const QString &defaultValue) const;

private:
    friend class ProfileFile;

    std::vector<ProfileEntry> m_entries;
    QHash<QString, size_t> m_index; // case-folded key -> its entry
};

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
// as it was, byte for byte. A whole section is read with one read of the file (readSection) and
// replaced with one write (replaceSection), so a list of many keys is neither read nor written key
// by key.
class ProfileFile final
{
public:
    static constexpr int MaxValueLength = 2047;

    explicit ProfileFile(QString path);

    const QString &path() const { return m_path; }

    // The value of `key` in `section`; `defaultValue` when the file, the section or the key is
    // missing. A key that is present with an empty value reads as empty, not as the default.
    QString readString(const QString &section, const QString &key, const QString &defaultValue) const;

    // Every key of `section` with its value, from one read of the file, with the conventions of
    // readString (the first section of that name counts). Empty when the file or the section is
    // missing, or the file cannot be read.
    ProfileSection readSection(const QString &section) const;

    // Sets `key` in `section` to `value`, written as given. An existing key keeps its line (and its
    // spelling); a new key follows the last key of its section; a new section goes at the end of the
    // file. Creates the file when it does not exist. Throws ql::Error "Unable to write to <path>"
    // when the file cannot be written, and for names or values that cannot be written to a line.
    void writeString(const QString &section, const QString &key, const QString &value);

    // Removes every section of this name with all its lines, up to the next section. Nothing is
    // written when there is no such section. Throws as writeString does.
    void eraseSection(const QString &section);

    // Replaces every section of this name with `entries`, in one write: the file ends byte for byte
    // as eraseSection(section) followed by writeString(section, key, value) for each entry in order
    // would leave it (so the section, when there are entries, goes at the end of the file), but a
    // failure leaves the file as it was instead of half-written. Nothing is written when the file
    // would not change. Throws as writeString does, also before anything is written when an entry
    // cannot be written.
    void replaceSection(const QString &section, const std::vector<ProfileEntry> &entries);

private:
    QString m_path;
};

} // namespace ql
