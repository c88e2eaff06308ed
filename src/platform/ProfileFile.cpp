#include "platform/ProfileFile.h"

#include "platform/Error.h"
#include "platform/FileAccess.h"
#include "platform/FileWriter.h"
#include "platform/TextEncoding.h"

#include <QFileInfo>
#include <QSet>
#include <iterator>
#include <optional>
#include <utility>
#include <vector>

namespace ql {

namespace {

// One line of the file as it was read. Lines that are not changed are written back from `bytes`
// and `lineBreak`, so they keep their exact bytes (also bytes that are not valid UTF-8).
struct Line
{
    enum class Kind { Other, Section, Key };

    QByteArray bytes; // without the line break
    QByteArray lineBreak; // "\n", "\r\n", or empty for a last line without one
    Kind kind = Kind::Other;
    QString name; // section or key name, blanks dropped
    QString value; // a key's text after the first "=", as it stands
};

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f' || c == u'\r';
}

QString trimBlanks(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text.at(begin)))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

void classify(Line &line)
{
    line.kind = Line::Kind::Other;
    line.name.clear();
    line.value.clear();
    const QString text = trimBlanks(decodeSystemText(line.bytes));
    if (text.isEmpty() || text.startsWith(u';'))
        return;
    if (text.startsWith(u'[')) {
        const qsizetype close = text.indexOf(u']');
        if (close > 0) {
            line.kind = Line::Kind::Section;
            line.name = trimBlanks(text.mid(1, close - 1));
        }
        return;
    }
    // A line without "=" is a key without a value, as the profile functions read it.
    const qsizetype equals = text.indexOf(u'=');
    const QString name = trimBlanks(equals < 0 ? text : text.left(equals));
    if (name.isEmpty())
        return;
    line.kind = Line::Kind::Key;
    line.name = name;
    if (equals >= 0)
        line.value = text.mid(equals + 1);
}

std::vector<Line> parse(const QByteArray &data)
{
    std::vector<Line> lines;
    qsizetype start = 0;
    while (start < data.size()) {
        const qsizetype newline = data.indexOf('\n', start);
        Line line;
        if (newline < 0) {
            line.bytes = data.mid(start);
            start = data.size();
        } else {
            const bool crlf = newline > start && data.at(newline - 1) == '\r';
            line.bytes = data.mid(start, newline - start - (crlf ? 1 : 0));
            line.lineBreak = crlf ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\n");
            start = newline + 1;
        }
        classify(line);
        lines.push_back(std::move(line));
    }
    return lines;
}

QByteArray serialize(const std::vector<Line> &lines)
{
    QByteArray data;
    for (const Line &line : lines)
        data += line.bytes + line.lineBreak;
    return data;
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// A name to look up in a hash: two names are the same for sameName exactly when these are equal,
// since Qt folds case one code point at a time in both.
QString foldedName(const QString &name)
{
    return name.toCaseFolded();
}

// The value as the profile functions give it: blanks around it dropped, then one pair of matching
// quotes removed, then cut to the longest value they return (never between the two halves of a
// surrogate pair).
QString cleanValue(const QString &raw)
{
    QString value = trimBlanks(raw);
    if (value.size() >= 2 && value.front() == value.back()
        && (value.front() == u'"' || value.front() == u'\''))
        value = value.mid(1, value.size() - 2);
    if (value.size() > ProfileFile::MaxValueLength) {
        qsizetype cut = ProfileFile::MaxValueLength;
        if (value.at(cut - 1).isHighSurrogate())
            --cut;
        value.truncate(cut);
    }
    return value;
}

// Missing file: empty. A file that exists but cannot be read: nothing, so that a write does not
// replace contents it never saw.
std::optional<QByteArray> readFile(const QString &path)
{
    try {
        return readRegularFile(path).bytes;
    } catch (const Error &) {
        // A named pipe or a device is such a file: it is neither read nor written over.
        return QFileInfo::exists(path) ? std::nullopt : std::optional<QByteArray>(QByteArray());
    }
}

// Index of the first line of the section's body and one past its last line, or nothing.
std::optional<std::pair<size_t, size_t>> findSection(
    const std::vector<Line> &lines, const QString &section, size_t from = 0)
{
    for (size_t i = from; i < lines.size(); ++i) {
        if (lines[i].kind != Line::Kind::Section || !sameName(lines[i].name, section))
            continue;
        size_t end = i + 1;
        while (end < lines.size() && lines[end].kind != Line::Kind::Section)
            ++end;
        return std::make_pair(i + 1, end);
    }
    return std::nullopt;
}

bool hasLineBreak(const QString &text)
{
    return text.contains(u'\n') || text.contains(u'\r');
}

// Names and values that would not read back as the same entry cannot be written.
bool writable(const QString &section, const QString &key, const QString &value)
{
    const QString trimmedKey = trimBlanks(key);
    return !trimBlanks(section).isEmpty() && !section.contains(u']') && !hasLineBreak(section)
        && !trimmedKey.isEmpty() && !trimmedKey.startsWith(u';') && !trimmedKey.startsWith(u'[')
        && !key.contains(u'=') && !hasLineBreak(key) && !hasLineBreak(value);
}

// New lines follow the file's own line breaks: those of its first line, or "\n".
QByteArray lineBreakOf(const std::vector<Line> &lines)
{
    if (!lines.empty() && !lines.front().lineBreak.isEmpty())
        return lines.front().lineBreak;
    return QByteArrayLiteral("\n");
}

// A line as writing it and reading the file again gives it.
Line makeLine(const QString &text, const QByteArray &lineBreak)
{
    Line line;
    line.bytes = text.toUtf8();
    line.lineBreak = lineBreak;
    classify(line);
    return line;
}

// Gives the file's last line, which has no line break, the break it needs when a line follows. A
// last line ending in "\r" that gets "\n" is a line with the break "\r\n" once the file is read
// again, and that break counts when it is the first line (see lineBreakOf).
void endLastLine(std::vector<Line> &lines, const QByteArray &lineBreak)
{
    if (lines.empty() || !lines.back().lineBreak.isEmpty())
        return;
    Line &last = lines.back();
    if (lineBreak == "\n" && last.bytes.endsWith('\r')) {
        last.bytes.chop(1);
        last.lineBreak = QByteArrayLiteral("\r\n");
    } else {
        last.lineBreak = lineBreak;
    }
}

// Only the last line of the file can lack a line break, so only an insertion at the end needs one.
void insertLine(std::vector<Line> &lines, size_t index, Line line, const QByteArray &lineBreak)
{
    if (index == lines.size())
        endLastLine(lines, lineBreak);
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(index), std::move(line));
}

// What writeString does to the lines of the file. The lines it adds or changes are classified again,
// so that a following change sees them as a fresh read of the file would.
void setKey(std::vector<Line> &lines, const QString &section, const QString &key, const QString &value)
{
    const QByteArray lineBreak = lineBreakOf(lines);
    if (const auto body = findSection(lines, section)) {
        size_t insertAfter = body->first; // right after the section line when it has no keys
        for (size_t i = body->first; i < body->second; ++i) {
            if (lines[i].kind != Line::Kind::Key)
                continue;
            if (sameName(lines[i].name, key)) {
                lines[i].bytes = (lines[i].name + u'=' + value).toUtf8();
                classify(lines[i]);
                return;
            }
            insertAfter = i + 1;
        }
        insertLine(lines, insertAfter, makeLine(key + u'=' + value, lineBreak), lineBreak);
    } else {
        insertLine(lines, lines.size(), makeLine(u'[' + section + u']', lineBreak), lineBreak);
        insertLine(lines, lines.size(), makeLine(key + u'=' + value, lineBreak), lineBreak);
    }
}

// What eraseSection does to the lines of the file; false when there was no such section.
bool eraseSections(std::vector<Line> &lines, const QString &section)
{
    bool erased = false;
    while (const auto body = findSection(lines, section)) {
        const auto begin = lines.begin() + static_cast<std::ptrdiff_t>(body->first - 1);
        lines.erase(begin, lines.begin() + static_cast<std::ptrdiff_t>(body->second));
        erased = true;
    }
    return erased;
}

// Appends, in one go, what setKey for each entry in turn appends to lines that hold no such section:
// the section line, then one line per key in order. That holds when every line reads back as the
// section or key it was written for and no key comes twice (without regard to case); otherwise
// nothing is appended and false returned, and the caller takes the entries one by one.
bool appendSection(std::vector<Line> &lines, const QString &section, const std::vector<ProfileEntry> &entries)
{
    if (entries.empty())
        return true;
    // How a line reads back does not depend on its line break, so the breaks are set once it is
    // known that the lines can be appended.
    std::vector<Line> added;
    added.reserve(entries.size() + 1);
    added.push_back(makeLine(u'[' + section + u']', {}));
    if (added.back().kind != Line::Kind::Section || !sameName(added.back().name, section))
        return false;
    QSet<QString> keys;
    keys.reserve(qsizetype(entries.size()));
    for (const ProfileEntry &entry : entries) {
        const QString folded = foldedName(entry.key);
        if (keys.contains(folded))
            return false;
        keys.insert(folded);
        added.push_back(makeLine(entry.key + u'=' + entry.value, {}));
        if (added.back().kind != Line::Kind::Key || !sameName(added.back().name, entry.key))
            return false;
    }
    // The first key is written with the section line and takes the file's line break; the later
    // ones take the break of the file as it then reads, which endLastLine may have changed.
    const QByteArray firstBreak = lineBreakOf(lines);
    endLastLine(lines, firstBreak);
    const QByteArray laterBreak = lines.empty() ? firstBreak : lineBreakOf(lines);
    for (size_t i = 0; i < added.size(); ++i)
        added[i].lineBreak = i < 2 ? firstBreak : laterBreak;
    lines.insert(lines.end(), std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()));
    return true;
}

QString writeFailure(const QString &path)
{
    return QStringLiteral("Unable to write to %1").arg(path);
}

// Replaces the file with `updated` unless that is what it holds. A missing file reads as empty, so
// it is created only for something to write.
void replaceFile(const QString &path, const QByteArray &original, const QByteArray &updated)
{
    if (updated == original)
        return;
    try {
        writeFileAtomically(path, updated);
    } catch (const Error &) {
        throw Error(writeFailure(path));
    }
}

} // namespace

ProfileFile::ProfileFile(QString path)
    : m_path(std::move(path))
{
}

QString ProfileSection::readString(const QString &key, const QString &defaultValue) const
{
    const auto found = m_index.constFind(foldedName(key));
    return found == m_index.cend() ? defaultValue : m_entries[*found].value;
}

QString ProfileFile::readString(const QString &section, const QString &key, const QString &defaultValue) const
{
    const std::optional<QByteArray> data = readFile(m_path);
    if (!data)
        return defaultValue;
    const std::vector<Line> lines = parse(*data);
    const auto body = findSection(lines, section);
    if (!body)
        return defaultValue;
    for (size_t i = body->first; i < body->second; ++i) {
        if (lines[i].kind == Line::Kind::Key && sameName(lines[i].name, key))
            return cleanValue(lines[i].value);
    }
    return defaultValue;
}

ProfileSection ProfileFile::readSection(const QString &section) const
{
    ProfileSection result;
    const std::optional<QByteArray> data = readFile(m_path);
    if (!data)
        return result;
    const std::vector<Line> lines = parse(*data);
    const auto body = findSection(lines, section);
    if (!body)
        return result;
    for (size_t i = body->first; i < body->second; ++i) {
        const Line &line = lines[i];
        if (line.kind != Line::Kind::Key)
            continue;
        const QString folded = foldedName(line.name);
        if (result.m_index.contains(folded))
            continue;
        result.m_index.insert(folded, result.m_entries.size());
        result.m_entries.push_back({ line.name, cleanValue(line.value) });
    }
    return result;
}

void ProfileFile::writeString(const QString &section, const QString &key, const QString &value)
{
    const std::optional<QByteArray> data = readFile(m_path);
    if (!data || !writable(section, key, value))
        throw Error(writeFailure(m_path));
    std::vector<Line> lines = parse(*data);
    setKey(lines, section, key, value);
    replaceFile(m_path, *data, serialize(lines));
}

void ProfileFile::eraseSection(const QString &section)
{
    const std::optional<QByteArray> data = readFile(m_path);
    if (!data)
        throw Error(writeFailure(m_path));
    std::vector<Line> lines = parse(*data);
    if (eraseSections(lines, section))
        replaceFile(m_path, *data, serialize(lines));
}

void ProfileFile::replaceSection(const QString &section, const std::vector<ProfileEntry> &entries)
{
    const std::optional<QByteArray> data = readFile(m_path);
    if (!data)
        throw Error(writeFailure(m_path));
    // Every entry is checked before anything changes, so a bad one leaves the file as it was.
    for (const ProfileEntry &entry : entries) {
        if (!writable(section, entry.key, entry.value))
            throw Error(writeFailure(m_path));
    }
    std::vector<Line> lines = parse(*data);
    eraseSections(lines, section);
    if (!appendSection(lines, section, entries)) {
        // Names that do not read back as written, or a key given twice: key by key, as writeString
        // would write them.
        for (const ProfileEntry &entry : entries)
            setKey(lines, section, entry.key, entry.value);
    }
    replaceFile(m_path, *data, serialize(lines));
}

} // namespace ql
