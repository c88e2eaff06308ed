#include "platform/ProfileFile.h"

#include "common/Error.h"
#include "platform/FileWriter.h"
#include "platform/TextEncoding.h"

#include <QFile>
#include <QFileInfo>
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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QFileInfo::exists(path) ? std::nullopt : std::optional<QByteArray>(QByteArray());
    return file.readAll();
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

} // namespace

ProfileFile::ProfileFile(QString path)
    : m_path(std::move(path))
{
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

void ProfileFile::writeString(const QString &section, const QString &key, const QString &value)
{
    const QString failure = QStringLiteral("Unable to write to %1").arg(m_path);
    const std::optional<QByteArray> data = readFile(m_path);
    if (!data || !writable(section, key, value))
        throw Error(failure);

    std::vector<Line> lines = parse(*data);
    // New lines follow the file's own line breaks.
    QByteArray lineBreak = QByteArrayLiteral("\n");
    if (!lines.empty() && !lines.front().lineBreak.isEmpty())
        lineBreak = lines.front().lineBreak;
    const auto makeLine = [&](const QString &text) {
        Line line;
        line.bytes = text.toUtf8();
        line.lineBreak = lineBreak;
        return line;
    };
    const auto insertAt = [&](size_t index, Line line) {
        if (index > 0 && lines[index - 1].lineBreak.isEmpty())
            lines[index - 1].lineBreak = lineBreak;
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(index), std::move(line));
    };

    if (const auto body = findSection(lines, section)) {
        size_t insertAfter = body->first; // right after the section line when it has no keys
        bool replaced = false;
        for (size_t i = body->first; i < body->second && !replaced; ++i) {
            if (lines[i].kind != Line::Kind::Key)
                continue;
            if (sameName(lines[i].name, key)) {
                lines[i].bytes = (lines[i].name + u'=' + value).toUtf8();
                replaced = true;
            }
            insertAfter = i + 1;
        }
        if (!replaced)
            insertAt(insertAfter, makeLine(key + u'=' + value));
    } else {
        insertAt(lines.size(), makeLine(u'[' + section + u']'));
        insertAt(lines.size(), makeLine(key + u'=' + value));
    }

    const QByteArray updated = serialize(lines);
    if (updated == *data && QFileInfo::exists(m_path))
        return;
    try {
        writeFileAtomically(m_path, updated);
    } catch (const Error &) {
        throw Error(failure);
    }
}

void ProfileFile::eraseSection(const QString &section)
{
    const QString failure = QStringLiteral("Unable to write to %1").arg(m_path);
    const std::optional<QByteArray> data = readFile(m_path);
    if (!data)
        throw Error(failure);

    std::vector<Line> lines = parse(*data);
    bool erased = false;
    while (const auto body = findSection(lines, section)) {
        const auto begin = lines.begin() + static_cast<std::ptrdiff_t>(body->first - 1);
        lines.erase(begin, lines.begin() + static_cast<std::ptrdiff_t>(body->second));
        erased = true;
    }
    if (!erased)
        return;
    try {
        writeFileAtomically(m_path, serialize(lines));
    } catch (const Error &) {
        throw Error(failure);
    }
}

} // namespace ql
