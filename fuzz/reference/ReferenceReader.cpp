// The list-file reader as it was before rows were read in place: it builds pugixml's tree of the
// whole document and reads the table from it. Kept unchanged (but for its name) as the measure that
// the differential fuzzer (reader_diff_fuzz) holds today's reader to; built only for fuzzing.
#include "ReferenceReader.h"
#include "platform/Error.h"
#include "platform/TextEncoding.h"
#include "storage/Datapacket.h"

#include <QDate>
#include <QHash>
#include <algorithm>
#include <charconv>
#include <cstring>
#include <pugixml.hpp>
#include <string>
#include <unordered_set>

namespace ql::reference {

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
bool decodeValue(const char *p, const char *end, bool ansi, bool failOnInvalid, QString &result)
{
    QString text(end - p, Qt::Uninitialized);
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
QString unescape(const char *begin, const char *end, Encoding encoding)
{
    QString text;
    if (encoding != Encoding::Ansi && decodeValue(begin, end, false, encoding == Encoding::Utf8OrAnsi, text))
        return text;
    decodeValue(begin, end, true, false, text);
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

Value readValue(const Field &field, const char *begin, const char *end, Encoding encoding)
{
    switch (field.valueKind()) {
    case Value::Kind::Text: {
        QString text = unescape(begin, end, encoding);
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
        return Value::text(std::move(text));
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
    const char *emptied = nullptr;
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
        m_runs.reserve(qsizetype(fields.size()));
        for (const Field &field : fields) {
            m_names.push_back(field.attrName().toUtf8());
            Run &run = m_runs[key(m_names.back())];
            ++run.end; // a count for now
            if (std::strlen(m_names.back().constData()) == size_t(m_names.back().size()))
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
            m_positions[size_t(m_runs[key(m_names[size_t(i)])].end++)] = i;
    }

    // The field of the attribute `name` when `next` follows the field matched last; -1 for none.
    int find(const char *name, int next, qint64 &probes) const
    {
        if (next < int(m_names.size())) {
            ++probes;
            if (std::strcmp(name, m_names[size_t(next)].constData()) == 0)
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
    int last(const char *name, qint64 &probes) const
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

    const Run *lookUp(const char *name, qint64 &probes) const
    {
        ++probes;
        const auto it = m_runs.constFind(QByteArray::fromRawData(name, qsizetype(std::strlen(name))));
        return it == m_runs.constEnd() ? nullptr : &*it;
    }

    std::vector<QByteArray> m_names; // by field position
    QHash<QByteArray, Run> m_runs; // by name up to its first zero character
    std::vector<int> m_positions;
};

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

} // namespace

TableData readDatapacket(const QByteArray &bytes)
{
    if (bytes.size() >= 4 && static_cast<unsigned char>(bytes[0]) == 0x96
        && static_cast<unsigned char>(bytes[1]) == 0x19 && static_cast<unsigned char>(bytes[2]) == 0xE0
        && static_cast<unsigned char>(bytes[3]) == 0xBD)
        throw Error(QStringLiteral("This file is a binary datapacket, which cannot be read; only XML "
                                   "datapackets can be opened."));
    if (const char *encoding = wideEncoding(bytes))
        throw Error(
            QStringLiteral("The file is encoded in %1, which Quillon does not read: list files are UTF-8 "
                           "(or Windows-1252) XML.")
                .arg(QLatin1String(encoding)));
    qint64 nameProbes = 0;
    qint64 versionSteps = 0;

    // No whitespace conversion, end-of-line normalisation or entity decoding by the parser: values
    // are unescaped by our own rules, so a literal tab or line break inside an attribute survives.
    pugi::xml_document doc;
    const unsigned options = pugi::parse_minimal | pugi::parse_declaration;
    const pugi::xml_parse_result parsed
        = doc.load_buffer(bytes.constData(), size_t(bytes.size()), options, pugi::encoding_utf8);
    if (!parsed)
        throw Error(QStringLiteral("The file is not a valid datapacket: %1 at byte %2.")
                        .arg(QString::fromLatin1(parsed.description()))
                        .arg(parsed.offset));
    const Encoding encoding = declaredEncoding(doc);

    pugi::xml_node top = doc.document_element();
    if (std::strcmp(top.name(), "DATAPACKET") == 0)
        top = top.first_child();
    while (top && top.type() != pugi::node_element)
        top = top.next_sibling();
    if (!top)
        throw Error(QStringLiteral("Datapacket contains no meta data."));
    pugi::xml_node rowdata;
    pugi::xml_node metadata;
    if (std::strcmp(top.name(), "METADATA") == 0) {
        metadata = top;
        for (rowdata = top.next_sibling(); rowdata && rowdata.type() != pugi::node_element;)
            rowdata = rowdata.next_sibling();
        if (rowdata && std::strcmp(rowdata.name(), "ROWDATA") != 0)
            mismatch();
    } else if (std::strcmp(top.name(), "ROWDATA") == 0) {
        throw Error(QStringLiteral("Datapacket contains no meta data."));
    } else {
        mismatch();
    }

    TableData data;
    const pugi::xml_node fieldsNode = metadata.child("FIELDS");
    if (!fieldsNode)
        throw Error(QStringLiteral("Datapacket contains no meta data."));
    data.fields = readFields(fieldsNode, encoding, nameProbes);
    if (data.fields.empty())
        throw Error(QStringLiteral("Datapacket contains no meta data."));
    for (const Field &f : data.fields)
        if (f.type() == FieldType::Counter)
            data.hasCounter = true;

    const pugi::xml_node params = metadata.child("PARAMS");
    if (const pugi::xml_attribute counter = params.attribute("AUTOINCVALUE")) {
        const char *v = counter.value();
        // A counter that is no number is taken from the stored numbers instead.
        if (const auto n = readCount(v, v + std::strlen(v));
            n && *n >= 1 && *n <= std::numeric_limits<qint32>::max())
            data.counter = *n;
    }

    const int fieldCount = int(data.fields.size());
    const FieldsByAttribute byAttribute(data.fields);
    const bool markUsable = !byAttribute.has(NullMarkAttribute);

    // Every row holds a value for every field, filled or not. A document of many fields and many
    // empty rows would need memory far beyond its own size (a megabyte of it, tens of gigabytes), so
    // what a document may ask for grows with its size; a list of tasks asks for a small part of it.
    if (rowdata) {
        qint64 rows = 0;
        for (pugi::xml_node row = rowdata.first_child(); row; row = row.next_sibling())
            ++rows;
        const qint64 cellsAllowed = std::max<qint64>(MinCellsAllowed, CellsPerByte * qint64(bytes.size()));
        if (rows > 0 && qint64(fieldCount) > cellsAllowed / rows)
            throw Error(QStringLiteral(
                "The file declares %1 fields for %2 rows, more than a file of its size can hold; "
                "it is damaged or not a list file.")
                            .arg(fieldCount)
                            .arg(rows));
    }

    std::vector<ModifiedVersion> modifiedVersions;
    if (rowdata) {
        for (pugi::xml_node row = rowdata.first_child(); row; row = row.next_sibling()) {
            if (row.type() != pugi::node_element || std::strncmp(row.name(), "ROW", 3) != 0)
                mismatch();
            RowVersion version;
            version.values.resize(size_t(fieldCount));
            const pugi::xml_attribute stateAttr = row.attribute("RowState");
            if (stateAttr) {
                const char *v = stateAttr.value();
                const auto state = readCount(v, v + std::strlen(v));
                if (!state || *state < 0 || *state > 15)
                    mismatch();
                version.state = quint8(*state);
            }
            const bool modified = version.state & RowVersion::Modified;
            std::vector<bool> present(modified ? size_t(fieldCount) : 0);
            int next = 0;
            const char *emptied = nullptr;
            for (pugi::xml_attribute attr = row.first_attribute(); attr; attr = attr.next_attribute()) {
                if (attr == stateAttr)
                    continue;
                const char *name = attr.name();
                const int index = byAttribute.find(name, next, nameProbes);
                if (index < 0) {
                    if (markUsable && std::strcmp(name, NullMarkAttribute) == 0)
                        emptied = attr.value();
                    continue; // attributes that name no field are ignored
                }
                next = index + 1;
                const char *v = attr.value();
                version.values[size_t(index)]
                    = readValue(data.fields[size_t(index)], v, v + std::strlen(v), encoding);
                if (modified)
                    present[size_t(index)] = true;
            }
            if (version.state & RowVersion::Modified) {
                // Remember which fields the version carries; the rest come from the one it replaces.
                version.replaces = -2;
                ModifiedVersion info;
                info.emptied = emptied;
                for (int i = 0; i < fieldCount; ++i)
                    if (!present[size_t(i)])
                        info.missing.push_back(i);
                modifiedVersions.push_back(std::move(info));
            }
            data.versions.push_back(std::move(version));
        }
    }

    // The change log: three numbers per change.
    if (const pugi::xml_attribute logAttr = params.attribute("CHANGE_LOG")) {
        const char *p = logAttr.value();
        const char *end = p + std::strlen(p);
        std::vector<qint64> numbers;
        while (p < end) {
            while (p < end && *p == ' ')
                ++p;
            const char *start = p;
            while (p < end && *p != ' ')
                ++p;
            if (p == start)
                break;
            const auto n = readCount(start, p);
            if (!n)
                mismatch();
            numbers.push_back(*n);
        }
        if (numbers.size() % 3 != 0)
            mismatch();
        const qint64 count = qint64(data.versions.size());
        for (size_t i = 0; i < numbers.size(); i += 3) {
            const ChangeLogEntry e { int(std::clamp<qint64>(numbers[i], -1, count + 1)),
                int(std::clamp<qint64>(numbers[i + 1], -1, count + 1)),
                int(std::clamp<qint64>(numbers[i + 2], -1, 99)) };
            if (e.produced < 1 || e.produced > count || e.replaced < 0 || e.replaced >= e.produced
                || (e.kind != 2 && e.kind != 4 && e.kind != 8))
                mismatch();
            data.log.push_back(e);
            if (e.kind == RowVersion::Modified && e.replaced > 0) {
                RowVersion &v = data.versions[size_t(e.produced - 1)];
                if (v.replaces == -2)
                    v.replaces = e.replaced - 1;
            }
        }
    }

    // Complete the modified versions from the versions they replace, in document order (a version
    // can only replace an earlier one). Without a log entry, the nearest earlier superseded version
    // that nothing replaces yet stands in: those versions wait on a stack, the nearest on top.
    std::vector<bool> taken(data.versions.size());
    for (const RowVersion &v : data.versions)
        if (v.replaces >= 0)
            taken[size_t(v.replaces)] = true;
    std::vector<int> untaken;
    size_t modifiedIndex = 0;
    for (size_t i = 0; i < data.versions.size(); ++i) {
        RowVersion &v = data.versions[i];
        if (v.state & RowVersion::Modified) {
            const ModifiedVersion &info = modifiedVersions[modifiedIndex++];
            if (v.replaces == -2) {
                v.replaces = -1;
                if (!untaken.empty()) {
                    ++versionSteps;
                    v.replaces = untaken.back();
                    untaken.pop_back();
                }
            }
            if (v.replaces >= 0) {
                const RowVersion &earlier = data.versions[size_t(v.replaces)];
                for (int field : info.missing)
                    v.values[size_t(field)] = earlier.values[size_t(field)];
                if (info.emptied) {
                    for (const QByteArray &name : QByteArray(info.emptied).split(' ')) {
                        const int index = byAttribute.last(name.constData(), nameProbes);
                        if (index >= 0)
                            v.values[size_t(index)] = Value();
                    }
                }
            }
        }
        if ((v.state & RowVersion::Superseded) && !taken[i])
            untaken.push_back(int(i));
    }
    (void)nameProbes;
    (void)versionSteps;
    return data;
}

} // namespace ql::reference
