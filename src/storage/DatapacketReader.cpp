#include "platform/Error.h"
#include "platform/TextEncoding.h"
#include "storage/Datapacket.h"

#include <QDate>
#include <QHash>
#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstring>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <sys/mman.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <unistd.h>
#include <unordered_set>

namespace ql {

namespace {

// The values a document may ask the table to hold: at least this many, and beyond that this many
// per byte of the document. A task list needs well under one value per byte.
constexpr qint64 MinCellsAllowed = 4'000'000;
constexpr qint64 CellsPerByte = 4;

[[noreturn]] void mismatch()
{
    throw Error(QStringLiteral("Mismatch in datapacket."));
}

enum class Encoding { Utf8, Utf8OrAnsi, Ansi };

// The name of a UTF-16 or UTF-32 encoding that the document shows in its first bytes: a byte-order
// mark, or the zero bytes around its first character, which is "<" or a blank in any XML document.
// Null for anything else. pugixml would take such a document for damaged UTF-8 and report a place
// in it that tells the user nothing.
const char *wideEncoding(const QByteArray &bytes)
{
    const auto startsWith = [&](const char *mark, qsizetype size) {
        return bytes.size() >= size && std::memcmp(bytes.constData(), mark, size_t(size)) == 0;
    };
    if (startsWith("\0\0\xFE\xFF", 4))
        return "UTF-32 (big-endian)";
    if (startsWith("\xFF\xFE\0\0", 4))
        return "UTF-32 (little-endian)";
    if (startsWith("\xFE\xFF", 2))
        return "UTF-16 (big-endian)";
    if (startsWith("\xFF\xFE", 2))
        return "UTF-16 (little-endian)";

    const auto zero = [&](qsizetype i) { return i < bytes.size() && bytes[i] == 0; };
    const auto opening = [&](qsizetype i) {
        const char c = i < bytes.size() ? bytes[i] : '\0';
        return c == '<' || c == ' ' || c == '\t' || c == '\r' || c == '\n';
    };
    if (zero(0) && zero(1) && zero(2) && opening(3))
        return "UTF-32 (big-endian)";
    if (opening(0) && zero(1) && zero(2) && zero(3))
        return "UTF-32 (little-endian)";
    if (zero(0) && opening(1))
        return "UTF-16 (big-endian)";
    if (opening(0) && zero(1))
        return "UTF-16 (little-endian)";
    return nullptr;
}

// Reads the reference that starts at the "&" at `p`: one of the five named entities, or "&#" with
// decimal digits or "&#x" with hexadecimal digits, up to ";". Returns the character and moves `p`
// past the ";", or returns -1 when the text there is no reference (the "&" is then taken literally).
long readReference(const char *&p, const char *end)
{
    const char *semi
        = static_cast<const char *>(std::memchr(p, ';', size_t(std::min<ptrdiff_t>(end - p, 12))));
    if (!semi)
        return -1;
    const QByteArrayView name(p + 1, semi - p - 1);
    long code = -1;
    if (name == "lt")
        code = '<';
    else if (name == "gt")
        code = '>';
    else if (name == "amp")
        code = '&';
    else if (name == "apos")
        code = '\'';
    else if (name == "quot")
        code = '"';
    else if (name.size() >= 2 && name[0] == '#') {
        const bool hex = name[1] == 'x' || name[1] == 'X';
        const char *digits = name.data() + (hex ? 2 : 1);
        const char *digitsEnd = name.data() + name.size();
        unsigned long value = 0;
        const auto res = std::from_chars(digits, digitsEnd, value, hex ? 16 : 10);
        if (digits != digitsEnd && res.ec == std::errc() && res.ptr == digitsEnd && value <= 0x10FFFF
            && (value < 0xD800 || value > 0xDFFF))
            code = long(value);
    }
    if (code >= 0)
        p = semi + 1;
    return code;
}

void put(char16_t *&out, char32_t c)
{
    if (c > 0xFFFF) {
        *out++ = QChar::highSurrogate(c);
        *out++ = QChar::lowSurrogate(c);
    } else {
        *out++ = char16_t(c);
    }
}

// Decodes a raw attribute value and resolves its references in one pass, into one allocation (the
// text never has more UTF-16 units than the value has bytes). With `ansi` the bytes are
// Windows-1252; otherwise UTF-8, where an invalid sequence either fails the decoding (when
// `failOnInvalid`, so the caller can fall back) or becomes U+FFFD.
// The decoding goes into `result`, reusing its memory when it is large enough and not shared.
bool decodeValue(const char *p, const char *end, bool ansi, bool failOnInvalid, QString &result)
{
    QString text;
    if (result.isDetached() && result.capacity() >= end - p) {
        text = std::move(result);
        text.resize(end - p);
    } else {
        text = QString(end - p, Qt::Uninitialized);
    }
    char16_t *const start = reinterpret_cast<char16_t *>(text.data());
    char16_t *out = start;
    while (p < end) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c == '&') {
            const long code = readReference(p, end);
            if (code >= 0) {
                put(out, char32_t(code));
                continue;
            }
            *out++ = u'&';
            ++p;
        } else if (c < 0x80) {
            *out++ = c;
            ++p;
        } else if (ansi) {
            *out++ = windows1252Char(c);
            ++p;
        } else {
            int length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
            char32_t code = length == 4 ? c & 0x07 : length == 3 ? c & 0x0F : c & 0x1F;
            bool valid = length > 0 && c < 0xF5 && end - p >= length;
            for (int i = 1; valid && i < length; ++i) {
                const unsigned char next = static_cast<unsigned char>(p[i]);
                valid = (next & 0xC0) == 0x80;
                code = (code << 6) | (next & 0x3F);
            }
            // No overlong forms, no surrogates, nothing beyond the last code point.
            valid = valid && !(length == 3 && code < 0x800)
                && !(length == 4 && (code < 0x10000 || code > 0x10FFFF))
                && !(code >= 0xD800 && code <= 0xDFFF);
            if (!valid) {
                if (failOnInvalid)
                    return false;
                *out++ = 0xFFFD;
                ++p;
                continue;
            }
            put(out, code);
            p += length;
        }
    }
    text.truncate(out - start);
    result = std::move(text);
    return true;
}

// Undoes the escaping of a raw attribute value. Documents without a declared encoding are UTF-8,
// but files from the Windows program carry Windows-1252 bytes: a value that is no valid UTF-8 is
// read as Windows-1252.
void unescape(const char *begin, const char *end, Encoding encoding, QString &text)
{
    if (encoding != Encoding::Ansi && decodeValue(begin, end, false, encoding == Encoding::Utf8OrAnsi, text))
        return;
    decodeValue(begin, end, true, false, text);
}

QString unescape(const char *begin, const char *end, Encoding encoding)
{
    QString text;
    unescape(begin, end, encoding, text);
    return text;
}

Encoding declaredEncoding(const pugi::xml_document &doc)
{
    for (pugi::xml_node node = doc.first_child(); node; node = node.next_sibling()) {
        if (node.type() != pugi::node_declaration)
            continue;
        const QByteArray name = QByteArray(node.attribute("encoding").value()).toLower();
        if (name == "utf-8" || name == "utf8")
            return Encoding::Utf8;
        if (name == "windows-1252" || name == "iso-8859-1" || name == "latin1" || name == "cp1252")
            return Encoding::Ansi;
        return Encoding::Utf8OrAnsi;
    }
    return Encoding::Utf8OrAnsi;
}

FieldType typeFromWord(const QByteArray &word, const QByteArray &subtype)
{
    if (word == "string")
        return FieldType::Text;
    if (word == "i4")
        return subtype == "Autoinc" ? FieldType::Counter : FieldType::Integer;
    if (word == "ui2")
        return FieldType::Word;
    if (word == "boolean")
        return FieldType::Boolean;
    if (word == "date")
        return FieldType::Date;
    if (word == "dateTime")
        return FieldType::DateTime;
    if (word == "bin.hex")
        return subtype == "Text" || subtype == "WideText" ? FieldType::Memo : FieldType::Blob;
    static const QHash<QByteArray, FieldType> others {
        { "i1", FieldType::ShortInt },
        { "i2", FieldType::SmallInt },
        { "i8", FieldType::LargeInt },
        { "ui1", FieldType::Byte },
        { "ui4", FieldType::LongWord },
        { "r8", FieldType::Float },
        { "fixed", FieldType::Fixed },
        { "fixedFMT", FieldType::FixedFmt },
        { "time", FieldType::Time },
        { "SQLdateTime", FieldType::SqlDateTime },
        { "string.uni", FieldType::WideText },
        { "nested", FieldType::Nested },
        { "IntArray", FieldType::IntArray },
        { "UIntArray", FieldType::UIntArray },
    };
    const auto it = others.find(word);
    if (it == others.end())
        throw Error(QStringLiteral("Unknown field type '%1' in datapacket.").arg(QString::fromLatin1(word)));
    return *it;
}

bool digitsAt(const char *p, const char *end, int count)
{
    if (end - p < count)
        return false;
    for (int i = 0; i < count; ++i)
        if (p[i] < '0' || p[i] > '9')
            return false;
    return true;
}

int digitsValue(const char *p, int count)
{
    int n = 0;
    for (int i = 0; i < count; ++i)
        n = n * 10 + (p[i] - '0');
    return n;
}

// A date is four digits of year, two of month, two of day. A day that does not exist (month or day
// 00, 30 February) reads as empty.
std::optional<QDate> readDate(const char *p, const char *end)
{
    if (!digitsAt(p, end, 8))
        return std::nullopt;
    const QDate d(digitsValue(p, 4), digitsValue(p + 4, 2), digitsValue(p + 6, 2));
    if (!d.isValid())
        return std::nullopt;
    return d;
}

[[noreturn]] void badTime(const char *begin, const char *end, const Field &field)
{
    throw Error(QStringLiteral("'%1' is not a valid date and time value for field '%2'")
                    .arg(QString::fromUtf8(begin, end - begin).left(40), field.name()));
}

// hh ":" mm ":" then the remaining digits as seconds * 1000 + milliseconds, filled with zeros on the
// right to five digits ("05" is 5 seconds). Out-of-range parts fail the read.
qint64 readTime(const char *p, const char *end, const char *whole, const Field &field)
{
    if (!digitsAt(p, end, 2) || end - p < 3 || p[2] != ':' || !digitsAt(p + 3, end, 2))
        badTime(whole, end, field);
    const int hours = digitsValue(p, 2);
    const int minutes = digitsValue(p + 3, 2);
    int rest = 0;
    const char *q = p + 5;
    if (q < end) {
        if (*q != ':')
            badTime(whole, end, field);
        ++q;
        int digits = 0;
        for (; q < end && *q >= '0' && *q <= '9'; ++q) {
            if (++digits > 5)
                badTime(whole, end, field);
            rest = rest * 10 + (*q - '0');
        }
        if (q != end)
            badTime(whole, end, field);
        for (; digits < 5 && digits > 0; ++digits)
            rest *= 10;
    }
    if (hours > 23 || minutes > 59 || rest > 59999)
        badTime(whole, end, field);
    return (hours * 3600LL + minutes * 60LL) * 1000 + rest;
}

// With `arena`, a text goes into the arena, decoded first into `scratch`.
Value readValue(const Field &field, const char *begin, const char *end, Encoding encoding,
    TextArena *arena = nullptr, QString *scratch = nullptr)
{
    switch (field.valueKind()) {
    case Value::Kind::Text: {
        QString own;
        QString &text = arena ? *scratch : own;
        unescape(begin, end, encoding, text);
        const int zero = text.indexOf(QChar(0));
        if (zero >= 0)
            text.truncate(zero);
        if ((field.type() == FieldType::Text || field.type() == FieldType::WideText)
            && text.size() > field.width()) {
            int cut = field.width();
            if (cut > 0 && text.at(cut - 1).isHighSurrogate())
                --cut;
            text.truncate(cut);
        }
        if (arena)
            return arena->text(text);
        return Value::text(std::move(own));
    }
    case Value::Kind::Integer: {
        // The number starts at the first digit, unless a letter comes first; an optional sign may
        // stand right before the digits.
        const char *p = begin;
        while (p < end && (*p == ' ' || *p == '\t'))
            ++p;
        bool negative = false;
        if (p < end && (*p == '-' || *p == '+')) {
            negative = *p == '-';
            ++p;
        }
        if (p == end || *p < '0' || *p > '9')
            return Value();
        qint64 n = 0;
        for (; p < end && *p >= '0' && *p <= '9'; ++p) {
            if (n > (std::numeric_limits<qint64>::max() - 9) / 10)
                return Value(); // beyond any field's range
            n = n * 10 + (*p - '0');
        }
        if (negative)
            n = -n;
        if (n < field.minimum() || n > field.maximum())
            return Value();
        return Value::integer(n);
    }
    case Value::Kind::Float: {
        double d = 0;
        const char *p = begin;
        if (p < end && *p == '+')
            ++p;
        auto res = std::from_chars(p, end, d);
        if (res.ec != std::errc() || !std::isfinite(d))
            return Value();
        return Value::floating(d);
    }
    case Value::Kind::Boolean:
        if (begin == end)
            return Value();
        if (*begin == 'T' || *begin == 't')
            return Value::boolean(true);
        if (*begin == 'F' || *begin == 'f')
            return Value::boolean(false);
        return Value();
    case Value::Kind::Date: {
        const auto d = readDate(begin, end);
        return d ? Value::fromDate(*d) : Value();
    }
    case Value::Kind::DateTime: {
        const auto d = readDate(begin, end);
        if (!d)
            return Value();
        qint64 ms = 0;
        if (end - begin > 8 && begin[8] == 'T')
            ms = readTime(begin + 9, end, begin, field);
        return Value::dateTime(Value::daysFromDate(*d) * Value::MsecsPerDay + ms);
    }
    case Value::Kind::Time: {
        if (begin == end)
            return Value();
        return Value::time(readTime(begin, end, begin, field));
    }
    case Value::Kind::Null:
        break;
    }
    return Value();
}

// Reads a whole decimal number of a structural attribute (RowState, CHANGE_LOG, AUTOINCVALUE).
std::optional<qint64> readCount(const char *begin, const char *end)
{
    qint64 n = 0;
    auto res = std::from_chars(begin, end, n);
    if (res.ec != std::errc() || res.ptr != end)
        return std::nullopt;
    return n;
}

// What a modified version left out (taken from the version it replaces) and set back to empty.
struct ModifiedVersion
{
    std::vector<int> missing;
    bool hasEmptied = false;
    QByteArray emptied;
};

// Finds the field that a row attribute names. Attributes usually come in field order, so the field
// after the one matched last is tried first; otherwise a hash finds the fields of the name. Distinct
// field names can share an attribute name ("a b" and "a_b" are both written "a_b"): of those, the
// first after the one matched last is taken, else the last of all.
//
// Attribute names compare as C strings: a field name that holds a zero character (written "&#0;")
// matches an attribute by what comes before the zero, while "the last of all" and the names in the
// null mark need the whole name. Odd as that is, it stays, so that no document reads differently
// from one release to the next.
class FieldsByAttribute
{
public:
    explicit FieldsByAttribute(const std::vector<Field> &fields)
    {
        m_names.reserve(fields.size());
        m_keys.reserve(fields.size());
        m_runs.reserve(qsizetype(fields.size()));
        for (const Field &field : fields) {
            m_names.push_back(field.attrName().toUtf8());
            m_keys.push_back(key(m_names.back()));
            Run &run = m_runs[m_keys.back()];
            ++run.end; // a count for now
            if (m_keys.back().size() == m_names.back().size())
                run.lastWhole = int(m_names.size()) - 1;
        }
        int start = 0;
        for (Run &run : m_runs) {
            run.begin = start;
            start += run.end;
            run.end = run.begin;
        }
        m_positions.resize(fields.size());
        for (int i = 0; i < int(m_names.size()); ++i)
            m_positions[size_t(m_runs[m_keys[size_t(i)]].end++)] = i;
    }

    // The field of the attribute `name` (which holds no zero byte) when `next` follows the field
    // matched last; -1 for none.
    int find(std::string_view name, int next, qint64 &probes) const
    {
        if (next < int(m_keys.size())) {
            ++probes;
            const QByteArray &candidate = m_keys[size_t(next)];
            if (size_t(candidate.size()) == name.size()
                && std::memcmp(candidate.constData(), name.data(), name.size()) == 0)
                return next;
        }
        const Run *run = lookUp(name, probes);
        if (!run)
            return -1;
        const auto begin = m_positions.begin() + run->begin;
        const auto end = m_positions.begin() + run->end;
        const auto later = std::lower_bound(begin, end, next, [&](int position, int n) {
            ++probes;
            return position < n;
        });
        return later != end ? *later : run->lastWhole;
    }

    // The last field whose whole attribute name is `name`; -1 for none.
    int last(std::string_view name, qint64 &probes) const
    {
        const Run *run = lookUp(name, probes);
        return run ? run->lastWhole : -1;
    }

    bool has(const char *wholeName) const
    {
        return std::any_of(
            m_names.begin(), m_names.end(), [&](const QByteArray &n) { return n == wholeName; });
    }

private:
    // The fields of one name, ascending, are m_positions[begin, end).
    struct Run
    {
        int begin = 0;
        int end = 0;
        int lastWhole = -1;
    };

    // A name up to its first zero character.
    static QByteArray key(const QByteArray &name)
    {
        const size_t length = std::strlen(name.constData());
        return length == size_t(name.size()) ? name : name.left(qsizetype(length));
    }

    const Run *lookUp(std::string_view name, qint64 &probes) const
    {
        ++probes;
        const auto it = m_runs.constFind(QByteArray::fromRawData(name.data(), qsizetype(name.size())));
        return it == m_runs.constEnd() ? nullptr : &*it;
    }

    std::vector<QByteArray> m_names; // by field position
    std::vector<QByteArray> m_keys; // by field position, up to the first zero character
    QHash<QByteArray, Run> m_runs; // by name up to its first zero character
    std::vector<int> m_positions;
};

// The last texts read for one field, by their raw bytes, so that a text that comes again shares the
// string read before instead of taking memory of its own. Lists repeat a few words in most of their
// fields (status, priority, category, people); a field whose texts rarely repeat stops looking
// after a while, so that reading it costs nothing more.
class RecentTexts
{
public:
    static constexpr int LongestKey = 40;

    // The value read earlier from these bytes, or null.
    const Value *find(const char *begin, const char *end)
    {
        if (m_off || end - begin > LongestKey)
            return nullptr;
        if (m_slots.empty())
            m_slots.resize(Slots);
        Slot &slot = m_slots[slotOf(begin, end)];
        ++m_lookups;
        if (slot.size == end - begin && std::memcmp(slot.key, begin, size_t(slot.size)) == 0) {
            ++m_hits;
            return &slot.value;
        }
        if (m_lookups == 4096 && m_hits < m_lookups / 4) {
            m_off = true;
            std::vector<Slot>().swap(m_slots);
        }
        return nullptr;
    }

    void remember(const char *begin, const char *end, const Value &value)
    {
        if (m_off || end - begin > LongestKey)
            return;
        Slot &slot = m_slots[slotOf(begin, end)];
        slot.size = int(end - begin);
        std::memcpy(slot.key, begin, size_t(slot.size));
        slot.value = value;
    }

    void switchOff() { m_off = true; }

private:
    static constexpr size_t Slots = 256;
    struct Slot
    {
        int size = -1;
        char key[LongestKey];
        Value value;
    };

    static size_t slotOf(const char *begin, const char *end)
    {
        return qHashBits(begin, size_t(end - begin)) % Slots;
    }

    std::vector<Slot> m_slots;
    qint64 m_lookups = 0;
    qint64 m_hits = 0;
    bool m_off = false;
};

// Builds the row versions of a document, one row and one attribute at a time, whichever way the
// rows are parsed, and completes them from the change log at the end.
class RowBuilder
{
public:
    RowBuilder(TableData &data, Encoding encoding, ReadCounts &counts)
        : m_data(data)
        , m_encoding(encoding)
        , m_counts(counts)
        , m_byAttribute(data.fields)
        , m_markUsable(!m_byAttribute.has(NullMarkAttribute))
        , m_fieldCount(int(data.fields.size()))
        , m_texts(data.fields.size())
    {
        // A document of thousands of text fields is no task list: only the first few fields keep
        // recent texts, so that the memory for them stays small.
        int kept = 0;
        for (size_t i = 0; i < m_texts.size(); ++i)
            if (!data.fields[i].isText() || ++kept > 64)
                m_texts[i].switchOff();
    }

    // Starts a row version; `state` is the value of its RowState attribute, null when it has none.
    void beginRow(const char *state, const char *stateEnd)
    {
        m_version = RowVersion();
        m_version.values.resize(size_t(m_fieldCount));
        if (state) {
            const auto n = readCount(state, stateEnd);
            if (!n || *n < 0 || *n > 15)
                mismatch();
            m_version.state = quint8(*n);
        }
        m_modified = m_version.state & RowVersion::Modified;
        if (m_modified)
            m_present.assign(size_t(m_fieldCount), false);
        m_next = 0;
        m_hasEmptied = false;
    }

    // One attribute of the row other than its RowState.
    void attribute(std::string_view name, const char *begin, const char *end)
    {
        const int index = m_byAttribute.find(name, m_next, m_counts.nameProbes);
        if (index < 0) {
            if (m_markUsable && name == NullMarkAttribute) {
                // Of several null marks, the last counts.
                m_hasEmptied = true;
                m_emptied = QByteArray(begin, end - begin);
            }
            return; // attributes that name no field are ignored
        }
        m_next = index + 1;
        const Field &field = m_data.fields[size_t(index)];
        Value &slot = m_version.values[size_t(index)];
        if (field.isText()) {
            // A text read before is shared rather than read again.
            RecentTexts &texts = m_texts[size_t(index)];
            if (const Value *known = texts.find(begin, end)) {
                slot = *known;
            } else {
                slot = readValue(field, begin, end, m_encoding, &m_arena, &m_scratch);
                texts.remember(begin, end, slot);
            }
        } else {
            slot = readValue(field, begin, end, m_encoding);
        }
        if (m_modified)
            m_present[size_t(index)] = true;
    }

    void endRow()
    {
        if (m_modified) {
            // Remember which fields the version carries; the rest come from the one it replaces.
            m_version.replaces = -2;
            ModifiedVersion info;
            info.hasEmptied = m_hasEmptied;
            info.emptied = std::move(m_emptied);
            for (int i = 0; i < m_fieldCount; ++i)
                if (!m_present[size_t(i)])
                    info.missing.push_back(i);
            m_modifiedVersions.push_back(std::move(info));
        }
        m_data.versions.push_back(std::move(m_version));
    }

    // Applies the change log, the value of PARAMS' CHANGE_LOG (null when there is none), and
    // completes the modified versions from the versions they replace.
    void finish(const char *log, const char *logEnd);

private:
    TableData &m_data;
    Encoding m_encoding;
    ReadCounts &m_counts;
    FieldsByAttribute m_byAttribute;
    bool m_markUsable;
    int m_fieldCount;
    std::vector<RecentTexts> m_texts;
    // The texts of the rows, many to a block, and the place where each is decoded first.
    TextArena m_arena;
    QString m_scratch;
    std::vector<ModifiedVersion> m_modifiedVersions;
    RowVersion m_version;
    bool m_modified = false;
    std::vector<bool> m_present;
    int m_next = 0;
    bool m_hasEmptied = false;
    QByteArray m_emptied;
};

void RowBuilder::finish(const char *log, const char *logEnd)
{
    // The change log: three numbers per change, taken as they come.
    if (log) {
        const char *p = log;
        const qint64 count = qint64(m_data.versions.size());
        qint64 triple[3];
        int have = 0;
        while (p < logEnd) {
            while (p < logEnd && *p == ' ')
                ++p;
            const char *start = p;
            while (p < logEnd && *p != ' ')
                ++p;
            if (p == start)
                break;
            const auto n = readCount(start, p);
            if (!n)
                mismatch();
            triple[have++] = *n;
            if (have < 3)
                continue;
            have = 0;
            const ChangeLogEntry e { int(std::clamp<qint64>(triple[0], -1, count + 1)),
                int(std::clamp<qint64>(triple[1], -1, count + 1)),
                int(std::clamp<qint64>(triple[2], -1, 99)) };
            if (e.produced < 1 || e.produced > count || e.replaced < 0 || e.replaced >= e.produced
                || (e.kind != 2 && e.kind != 4 && e.kind != 8))
                mismatch();
            m_data.log.push_back(e);
            if (e.kind == RowVersion::Modified && e.replaced > 0) {
                RowVersion &v = m_data.versions[size_t(e.produced - 1)];
                if (v.replaces == -2)
                    v.replaces = e.replaced - 1;
            }
        }
        if (have != 0)
            mismatch();
    }

    // Complete the modified versions from the versions they replace, in document order (a version
    // can only replace an earlier one). Without a log entry, the nearest earlier superseded version
    // that nothing replaces yet stands in: those versions wait on a stack, the nearest on top.
    if (m_modifiedVersions.empty())
        return;
    std::vector<bool> taken(m_data.versions.size());
    for (const RowVersion &v : m_data.versions)
        if (v.replaces >= 0)
            taken[size_t(v.replaces)] = true;
    std::vector<int> untaken;
    size_t modifiedIndex = 0;
    for (size_t i = 0; i < m_data.versions.size(); ++i) {
        RowVersion &v = m_data.versions[i];
        if (v.state & RowVersion::Modified) {
            const ModifiedVersion &info = m_modifiedVersions[modifiedIndex++];
            if (v.replaces == -2) {
                v.replaces = -1;
                if (!untaken.empty()) {
                    ++m_counts.versionSteps;
                    v.replaces = untaken.back();
                    untaken.pop_back();
                }
            }
            if (v.replaces >= 0) {
                const RowVersion &earlier = m_data.versions[size_t(v.replaces)];
                for (int field : info.missing)
                    v.values[size_t(field)] = earlier.values[size_t(field)];
                if (info.hasEmptied) {
                    // The mark's names, up to a zero byte in it, as C strings read it.
                    const QByteArray names
                        = info.emptied.left(qsizetype(std::strlen(info.emptied.constData())));
                    for (const QByteArray &name : names.split(' ')) {
                        const int index = m_byAttribute.last(
                            std::string_view(name.constData(), size_t(name.size())), m_counts.nameProbes);
                        if (index >= 0)
                            v.values[size_t(index)] = Value();
                    }
                }
            }
        }
        if ((v.state & RowVersion::Superseded) && !taken[i])
            untaken.push_back(int(i));
    }
}

// The key under which field names meet that QString::compare(..., Qt::CaseInsensitive) finds equal.
// That comparison folds each UTF-16 unit on its own by the simple case folding, except that a low
// surrogate after a high one stands for the folded character of the pair; so does the key.
std::u32string caseKey(const QString &name)
{
    std::u32string key;
    key.reserve(size_t(name.size()));
    char32_t last = 0;
    for (const QChar unit : name) {
        char32_t code = unit.unicode();
        if (unit.isLowSurrogate() && QChar::isHighSurrogate(last))
            code = QChar::surrogateToUcs4(char16_t(last), unit.unicode());
        last = unit.unicode();
        key.push_back(QChar::toCaseFolded(code));
    }
    return key;
}

std::vector<Field> readFields(pugi::xml_node fieldsNode, Encoding encoding, qint64 &probes)
{
    std::vector<Field> fields;
    std::unordered_set<std::u32string> names;
    for (pugi::xml_node node = fieldsNode.first_child(); node; node = node.next_sibling()) {
        if (node.type() != pugi::node_element || std::strcmp(node.name(), "FIELD") != 0)
            mismatch();
        auto text = [&](const char *name) {
            const char *v = node.attribute(name).value();
            return unescape(v, v + std::strlen(v), encoding);
        };
        FieldDef def;
        def.name = node.attribute("fieldname") ? text("fieldname") : text("attrname");
        if (def.name.isEmpty())
            throw Error(QStringLiteral("Field name can't be null, datapacket may be corrupted"));
        const pugi::xml_attribute typeAttr = node.attribute("fieldtype");
        if (!typeAttr)
            mismatch();
        def.type = typeFromWord(QByteArray(typeAttr.value()), QByteArray(node.attribute("SUBTYPE").value()));
        if (def.type == FieldType::Text || def.type == FieldType::WideText) {
            const char *w = node.attribute("WIDTH").value();
            const auto width = readCount(w, w + std::strlen(w));
            if (!width || *width < 1 || *width > 32767)
                throw Error(QStringLiteral("Field '%1' has no valid width in datapacket.").arg(def.name));
            def.width = int(*width);
        }
        def.readOnly = node.attribute("readonly").as_bool();
        def.required = node.attribute("required").as_bool();
        def.hidden = node.attribute("hidden").as_bool();
        def.linkField = node.attribute("linkfield").as_bool();
        ++probes;
        if (!names.insert(caseKey(def.name)).second)
            throw Error(QStringLiteral("Duplicate field name '%1' in datapacket.").arg(def.name));
        fields.emplace_back(def, int(fields.size()));
    }
    return fields;
}

// A document's declared encoding, fields and table properties, read from its METADATA.
struct Header
{
    Encoding encoding = Encoding::Utf8OrAnsi;
    TableData data;
    pugi::xml_node params;
    pugi::xml_node rowdata; // the element after METADATA, when there is one
};

// Reads what comes before the rows from a parsed document (or from a document of its start alone).
Header readHeader(const pugi::xml_document &doc, ReadCounts &counts)
{
    Header header;
    header.encoding = declaredEncoding(doc);

    pugi::xml_node top = doc.document_element();
    if (std::strcmp(top.name(), "DATAPACKET") == 0)
        top = top.first_child();
    while (top && top.type() != pugi::node_element)
        top = top.next_sibling();
    if (!top)
        throw Error(QStringLiteral("Datapacket contains no meta data."));
    pugi::xml_node metadata;
    if (std::strcmp(top.name(), "METADATA") == 0) {
        metadata = top;
        for (header.rowdata = top.next_sibling();
             header.rowdata && header.rowdata.type() != pugi::node_element;)
            header.rowdata = header.rowdata.next_sibling();
        if (header.rowdata && std::strcmp(header.rowdata.name(), "ROWDATA") != 0)
            mismatch();
    } else if (std::strcmp(top.name(), "ROWDATA") == 0) {
        throw Error(QStringLiteral("Datapacket contains no meta data."));
    } else {
        mismatch();
    }

    TableData &data = header.data;
    const pugi::xml_node fieldsNode = metadata.child("FIELDS");
    if (!fieldsNode)
        throw Error(QStringLiteral("Datapacket contains no meta data."));
    data.fields = readFields(fieldsNode, header.encoding, counts.nameProbes);
    if (data.fields.empty())
        throw Error(QStringLiteral("Datapacket contains no meta data."));
    for (const Field &f : data.fields)
        if (f.type() == FieldType::Counter)
            data.hasCounter = true;

    header.params = metadata.child("PARAMS");
    if (const pugi::xml_attribute counter = header.params.attribute("AUTOINCVALUE")) {
        const char *v = counter.value();
        // A counter that is no number is taken from the stored numbers instead.
        if (const auto n = readCount(v, v + std::strlen(v));
            n && *n >= 1 && *n <= std::numeric_limits<qint32>::max())
            data.counter = *n;
    }
    return header;
}

// Every row holds a value for every field, filled or not. A document of many fields and many empty
// rows would need memory far beyond its own size (a megabyte of it, tens of gigabytes), so what a
// document may ask for grows with its size; a list of tasks asks for a small part of it.
bool tooManyCells(qint64 fields, qint64 rows, qint64 documentSize)
{
    const qint64 cellsAllowed = std::max<qint64>(MinCellsAllowed, CellsPerByte * documentSize);
    return rows > 0 && fields > cellsAllowed / rows;
}

[[noreturn]] void tooManyCellsError(qint64 fields, qint64 rows)
{
    throw Error(QStringLiteral("The file declares %1 fields for %2 rows, more than a file of its size can "
                               "hold; it is damaged or not a list file.")
                    .arg(fields)
                    .arg(rows));
}

void checkReadable(const char *bytes, qint64 size)
{
    if (size >= 4 && static_cast<unsigned char>(bytes[0]) == 0x96
        && static_cast<unsigned char>(bytes[1]) == 0x19 && static_cast<unsigned char>(bytes[2]) == 0xE0
        && static_cast<unsigned char>(bytes[3]) == 0xBD)
        throw Error(QStringLiteral("This file is a binary datapacket, which cannot be read; only XML "
                                   "datapackets can be opened."));
    if (const char *encoding
        = wideEncoding(QByteArray::fromRawData(bytes, qsizetype(std::min<qint64>(size, 4)))))
        throw Error(
            QStringLiteral("The file is encoded in %1, which Quillon does not read: list files are UTF-8 "
                           "(or Windows-1252) XML.")
                .arg(QLatin1String(encoding)));
}

// No whitespace conversion, end-of-line normalisation or entity decoding by the parser: values are
// unescaped by our own rules, so a literal tab or line break inside an attribute survives.
constexpr unsigned ParseOptions = pugi::parse_minimal | pugi::parse_declaration;

[[noreturn]] void notValid(const pugi::xml_parse_result &parsed)
{
    throw Error(QStringLiteral("The file is not a valid datapacket: %1 at byte %2.")
                    .arg(QString::fromLatin1(parsed.description()))
                    .arg(parsed.offset));
}

// Reads any document pugixml accepts, through its whole tree. It is the measure of what a document
// means: the fast reader below gives the same table for the documents it takes, and leaves all
// others, and every error, to this one.
TableData readThroughTree(const char *bytes, qint64 size, ReadCounts &counts)
{
    checkReadable(bytes, size);
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed
        = doc.load_buffer(bytes, size_t(size), ParseOptions, pugi::encoding_utf8);
    if (!parsed)
        notValid(parsed);
    Header header = readHeader(doc, counts);
    TableData &data = header.data;
    const qint64 fieldCount = qint64(data.fields.size());
    if (header.rowdata) {
        qint64 rows = 0;
        for (pugi::xml_node row = header.rowdata.first_child(); row; row = row.next_sibling())
            ++rows;
        if (tooManyCells(fieldCount, rows, size))
            tooManyCellsError(fieldCount, rows);
    }

    RowBuilder builder(data, header.encoding, counts);
    if (header.rowdata) {
        for (pugi::xml_node row = header.rowdata.first_child(); row; row = row.next_sibling()) {
            if (row.type() != pugi::node_element || std::strncmp(row.name(), "ROW", 3) != 0)
                mismatch();
            const pugi::xml_attribute stateAttr = row.attribute("RowState");
            const char *state = stateAttr ? stateAttr.value() : nullptr;
            builder.beginRow(state, state ? state + std::strlen(state) : nullptr);
            for (pugi::xml_attribute attr = row.first_attribute(); attr; attr = attr.next_attribute()) {
                if (attr == stateAttr)
                    continue;
                const char *v = attr.value();
                builder.attribute(attr.name(), v, v + std::strlen(v));
            }
            builder.endRow();
        }
    }
    const pugi::xml_attribute logAttr = header.params.attribute("CHANGE_LOG");
    const char *log = logAttr ? logAttr.value() : nullptr;
    builder.finish(log, log ? log + std::strlen(log) : nullptr);
    return std::move(data);
}

// While a large list is read, its table grows by hundreds of megabytes in small allocations, and
// the kernel hands out the memory one 4 KB page per fault: a third of the time of reading a million
// tasks went there. While it lives, the heap grows in steps of 64 MB and asks for huge pages (2 MB),
// which cut the faults a hundredfold. Only the heap of the main thread grows this way; elsewhere
// this does nothing.
class HeapInLargeSteps
{
public:
    HeapInLargeSteps()
    {
#if defined(__GLIBC__) && defined(MADV_HUGEPAGE)
        m_start = static_cast<char *>(sbrk(0));
        mallopt(M_TOP_PAD, 64 << 20);
#endif
    }
    ~HeapInLargeSteps()
    {
#if defined(__GLIBC__) && defined(MADV_HUGEPAGE)
        mallopt(M_TOP_PAD, 128 * 1024); // glibc's own step
#endif
    }
    HeapInLargeSteps(const HeapInLargeSteps &) = delete;
    HeapInLargeSteps &operator=(const HeapInLargeSteps &) = delete;

    // Asks for huge pages for the heap grown since the start; called now and then, as it grows.
    void adviseHugePages()
    {
#if defined(__GLIBC__) && defined(MADV_HUGEPAGE)
        const quintptr page = quintptr(sysconf(_SC_PAGESIZE));
        char *from = reinterpret_cast<char *>((quintptr(m_start) + page - 1) & ~(page - 1));
        char *to = static_cast<char *>(sbrk(0));
        if (m_start && to > from)
            (void)madvise(from, size_t(to - from), MADV_HUGEPAGE);
#endif
    }

private:
    char *m_start = nullptr;
};

// The fast reader: the rows of the usual document, the program's own layout, parsed in place
// without building a tree. pugixml reads the document's start (declaration, DATAPACKET, METADATA),
// which is small; the rows are read here, one ROW element after the other, straight into the
// table. Anything this reader does not expect, and any error, gives up (returns nothing) and
// leaves the document to readThroughTree, which then says what it means, so that both readers
// always agree.
class FastReader
{
public:
    FastReader(const char *bytes, qint64 size, ReadCounts &counts, const ReadControl *control)
        : m_begin(bytes)
        , m_end(bytes + size)
        , m_counts(counts)
        , m_control(control)
    {
    }

    // Lets the reader give the memory of the bytes it has read back to the system as it goes, so
    // that a large file and the table it fills do not take memory at once. The bytes are then
    // gone: once this reader has given up, the document must be read again.
    void discardAsItGoes(qint64 step) { m_discardStep = step; }
    // For a large file: the heap grows in large steps of huge pages while the rows are read.
    void growHeapInLargeSteps() { m_heap.emplace(); }
    bool discarded() const { return m_discardedTo > m_begin; }

    std::optional<TableData> read()
    {
        try {
            return readRows();
        } catch (const ReadCancelled &) {
            throw;
        } catch (const Error &) {
            return std::nullopt;
        } catch (const GiveUp &) {
            return std::nullopt;
        }
    }

private:
    struct GiveUp
    {
    };
    struct Attribute
    {
        std::string_view name;
        const char *value;
        const char *valueEnd;
    };

    static bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
    static bool isNameStart(unsigned char c)
    {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x80;
    }
    static bool isNameChar(unsigned char c)
    {
        return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
    }

    void skipBlanks()
    {
        while (m_p < m_end && isBlank(*m_p))
            ++m_p;
    }

    bool takes(std::string_view text)
    {
        if (size_t(m_end - m_p) < text.size() || std::memcmp(m_p, text.data(), text.size()) != 0)
            return false;
        m_p += text.size();
        return true;
    }

    void expect(std::string_view text)
    {
        if (!takes(text))
            throw GiveUp();
    }

    TableData readRows()
    {
        checkReadable(m_begin, m_end - m_begin);
        // The document's start: everything before the first "<ROWDATA", read by pugixml as a document
        // of its own with DATAPACKET closed after it. Should "<ROWDATA" stand inside a comment or
        // an attribute, that start leaves it open and fails to parse, and the tree reader decides.
        const std::string_view whole(m_begin, size_t(m_end - m_begin));
        const size_t rowdataAt = whole.find("<ROWDATA");
        if (rowdataAt == std::string_view::npos
            || whole.substr(0, rowdataAt).find('\0') != std::string_view::npos)
            throw GiveUp();
        std::string start(m_begin, rowdataAt);
        start += "</DATAPACKET>";
        pugi::xml_document doc;
        if (!doc.load_buffer_inplace(start.data(), start.size(), ParseOptions, pugi::encoding_utf8))
            throw GiveUp();
        // One DATAPACKET holding METADATA and nothing else that the tree reader would look at.
        int elements = 0;
        for (pugi::xml_node node = doc.first_child(); node; node = node.next_sibling())
            elements += node.type() == pugi::node_element;
        if (elements != 1 || std::strcmp(doc.document_element().name(), "DATAPACKET") != 0)
            throw GiveUp();
        Header header = readHeader(doc, m_counts);
        if (header.rowdata)
            throw GiveUp();
        TableData &data = header.data;
        const pugi::xml_attribute logAttr = header.params.attribute("CHANGE_LOG");
        // The log's text stays in `start`, read in place.
        const char *log = logAttr ? logAttr.value() : nullptr;

        m_p = m_begin + rowdataAt;
        RowBuilder builder(data, header.encoding, m_counts);
        const qint64 fieldCount = qint64(data.fields.size());
        qint64 rows = 0;
        if (takes("<ROWDATA>")) {
            std::vector<Attribute> attributes;
            for (;;) {
                skipBlanks();
                if (takes("</ROWDATA>"))
                    break;
                readRow(builder, attributes);
                ++rows;
                if (tooManyCells(fieldCount, rows, m_end - m_begin))
                    throw GiveUp();
                if ((rows & 1023) == 0) {
                    report();
                    discardRead();
                    if (m_heap)
                        m_heap->adviseHugePages();
                }
            }
        } else {
            expect("<ROWDATA/>");
        }
        skipBlanks();
        expect("</DATAPACKET>");
        skipBlanks();
        if (m_p != m_end)
            throw GiveUp();
        builder.finish(log, log ? log + std::strlen(log) : nullptr);
        report();
        return std::move(data);
    }

    // One <ROW .../> (or <ROW ...></ROW>), its attributes all read before any is used, as the state
    // comes first whatever its place.
    void readRow(RowBuilder &builder, std::vector<Attribute> &attributes)
    {
        expect("<ROW");
        attributes.clear();
        for (;;) {
            if (m_p == m_end)
                throw GiveUp();
            if (*m_p == '/') {
                expect("/>");
                break;
            }
            if (*m_p == '>') {
                expect("></ROW>");
                break;
            }
            if (!isBlank(*m_p))
                throw GiveUp();
            skipBlanks();
            if (m_p == m_end || *m_p == '/' || *m_p == '>')
                continue;
            if (!isNameStart(static_cast<unsigned char>(*m_p)))
                throw GiveUp();
            const char *name = m_p;
            while (m_p < m_end && isNameChar(static_cast<unsigned char>(*m_p)))
                ++m_p;
            const std::string_view attrName(name, size_t(m_p - name));
            if (m_end - m_p < 2 || m_p[0] != '=' || (m_p[1] != '"' && m_p[1] != '\''))
                throw GiveUp();
            const char quote = m_p[1];
            m_p += 2;
            const char *value = m_p;
            while (m_p < m_end && *m_p != quote) {
                if (*m_p == '<' || *m_p == '\0')
                    throw GiveUp();
                ++m_p;
            }
            if (m_p == m_end)
                throw GiveUp();
            attributes.push_back({ attrName, value, m_p });
            ++m_p;
        }
        const Attribute *state = nullptr;
        for (const Attribute &a : attributes)
            if (a.name == "RowState") {
                state = &a;
                break;
            }
        builder.beginRow(state ? state->value : nullptr, state ? state->valueEnd : nullptr);
        for (const Attribute &a : attributes)
            if (&a != state)
                builder.attribute(a.name, a.value, a.valueEnd);
        builder.endRow();
    }

    void discardRead()
    {
        if (m_discardStep <= 0 || m_p - m_discardedTo < m_discardStep)
            return;
        const quintptr page = quintptr(sysconf(_SC_PAGESIZE));
        const quintptr from = (quintptr(m_discardedTo) + page - 1) & ~(page - 1);
        const quintptr to = quintptr(m_p) & ~(page - 1);
        if (to > from)
            madvise(reinterpret_cast<void *>(from), size_t(to - from), MADV_DONTNEED);
        m_discardedTo = m_p;
    }

    void report()
    {
        if (!m_control)
            return;
        if (m_control->cancel && m_control->cancel->load(std::memory_order_relaxed))
            throw ReadCancelled();
        if (m_control->progress)
            m_control->progress(m_p - m_begin, m_end - m_begin);
    }

    const char *m_begin;
    const char *m_end;
    const char *m_p = nullptr;
    ReadCounts &m_counts;
    const ReadControl *m_control;
    qint64 m_discardStep = 0;
    std::optional<HeapInLargeSteps> m_heap;
    const char *m_discardedTo = m_begin;
};

} // namespace

ReadCancelled::ReadCancelled()
    : Error(QStringLiteral("Reading the list was cancelled."))
{
}

bool startsAsDatapacket(const QByteArray &head)
{
    static const QByteArray binary("\x96\x19\xE0\xBD", 4);
    if (head.startsWith(binary))
        return true;
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    qsizetype at = head.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    for (;;) {
        while (at < head.size() && isBlank(head.at(at)))
            ++at;
        const QByteArray rest = QByteArray::fromRawData(head.constData() + at, head.size() - at);
        // The declaration, a processing instruction or a comment: skipped to its end.
        const char *end = rest.startsWith("<?") ? "?>" : rest.startsWith("<!--") ? "-->" : nullptr;
        if (!end)
            break;
        const qsizetype close = rest.indexOf(end);
        if (close < 0)
            return false;
        at += close + qsizetype(std::strlen(end));
    }
    for (const char *element : { "<DATAPACKET", "<METADATA" }) {
        const qsizetype length = qsizetype(std::strlen(element));
        if (head.mid(at, length) == element
            && (at + length == head.size() || isBlank(head.at(at + length)) || head.at(at + length) == '/'
                || head.at(at + length) == '>'))
            return true;
    }
    return false;
}

TableData readDatapacket(const QByteArray &bytes, ReadCounts *counts, const ReadControl *control)
{
    return readDatapacket(bytes.constData(), bytes.size(), counts, control);
}

TableData readDatapacket(const char *bytes, qint64 size, ReadCounts *counts, const ReadControl *control)
{
    ReadCounts work;
    std::optional<TableData> data = FastReader(bytes, size, work, control).read();
    if (!data) {
        work = ReadCounts();
        data = readThroughTree(bytes, size, work);
    }
    if (counts) {
        counts->nameProbes += work.nameProbes;
        counts->versionSteps += work.versionSteps;
    }
    return std::move(*data);
}

TableData readDatapacketThroughTree(const QByteArray &bytes, ReadCounts *counts)
{
    ReadCounts work;
    TableData data = readThroughTree(bytes.constData(), bytes.size(), work);
    if (counts) {
        counts->nameProbes += work.nameProbes;
        counts->versionSteps += work.versionSteps;
    }
    return data;
}

TableData readDatapacketFile(
    const QString &path, FileIdentity &identity, const ReadControl *control, qint64 discardStep)
{
    FileContents contents = readRegularFile(path);
    ReadCounts work;
    {
        FastReader reader(contents.bytes.data(), contents.bytes.size(), work, control);
        // Below this size, the file's memory does not matter beside the table's.
        if (discardStep > 0 && contents.bytes.size() >= 4 * discardStep) {
            reader.discardAsItGoes(discardStep);
            reader.growHeapInLargeSteps();
        }
        if (std::optional<TableData> data = reader.read()) {
            identity = contents.identity;
            return std::move(*data);
        }
        if (reader.discarded())
            contents = readRegularFile(path);
    }
    identity = contents.identity;
    work = ReadCounts();
    return readThroughTree(contents.bytes.constData(), contents.bytes.size(), work);
}

} // namespace ql
