#include "platform/Error.h"
#include "storage/Datapacket.h"

#include <QDate>
#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>

namespace ql {

// The attribute that names the fields a modified version set back to empty. A modified version
// writes only the fields that differ from the version it replaces, and a missing attribute means
// "unchanged", so an emptied field needs a mark of its own. Its value lists the fields' attribute
// names, separated by blanks (attribute names never hold a blank). Readers of the format that do
// not know it ignore it, as they ignore every attribute that names no field; they then show the
// earlier value, which is what they did before the mark existed.
const char NullMarkAttribute[] = "QuillonNulls";

namespace {

// The output buffer: a byte array written through a pointer, grown by doubling. Appending a byte
// costs a compare and a store, which matters for documents of tens of megabytes.
class Sink
{
public:
    // `buffer` lends its memory: a block's bytes are written into the buffer the previous block was
    // written into. With `drain`, the bytes are handed on whenever the buffer is full, and the
    // buffer is used again.
    explicit Sink(qsizetype reserve, QByteArray buffer = {}, const PutBytes *drain = nullptr)
        : m_buf(std::move(buffer))
        , m_drain(drain)
    {
        m_buf.resize(std::max<qsizetype>(reserve, 256));
        m_p = m_buf.data();
        m_end = m_p + m_buf.size();
#ifdef MADV_HUGEPAGE
        // The document of a large list is hundreds of megabytes: written into huge pages, it takes
        // one page fault per 2 MB instead of one per 4 KB.
        if (reserve >= (16 << 20)) {
            const quintptr page = quintptr(sysconf(_SC_PAGESIZE));
            const quintptr from = (quintptr(m_p) + page - 1) & ~(page - 1);
            const quintptr to = quintptr(m_end) & ~(page - 1);
            if (to > from)
                (void)madvise(reinterpret_cast<void *>(from), size_t(to - from), MADV_HUGEPAGE);
        }
#endif
    }

    void append(char c)
    {
        if (m_p == m_end)
            grow(1);
        *m_p++ = c;
    }
    void append(const char *s, qsizetype n)
    {
        if (m_end - m_p < n)
            grow(n);
        std::memcpy(m_p, s, size_t(n));
        m_p += n;
    }
    void append(const char *s)
    {
        append(s, qsizetype(std::strlen(s)));
    }
    // Room for at least `n` bytes at the end, to be written through the pointer and then taken with
    // commit.
    char *room(qsizetype n)
    {
        if (m_end - m_p < n)
            grow(n);
        return m_p;
    }
    void commit(char *end)
    {
        m_p = end;
    }
    void append(const QByteArray &b)
    {
        append(b.constData(), b.size());
    }

    QByteArray take()
    {
        m_buf.resize(m_p - m_buf.constData());
        return std::move(m_buf);
    }

    // Hands on what the buffer holds, when the bytes are handed on as they come.
    void handOn()
    {
        if (m_drain)
            drain();
    }

private:
    void drain()
    {
        const qsizetype used = m_p - m_buf.constData();
        if (used > 0)
            (*m_drain)(m_buf.constData(), used);
        m_p = m_buf.data();
    }

    void grow(qsizetype n)
    {
        if (m_drain) {
            drain();
            if (m_end - m_p >= n)
                return;
        }
        const qsizetype used = m_p - m_buf.constData();
        m_buf.resize(std::max(m_buf.size() * 2, used + n));
        m_p = m_buf.data() + used;
        m_end = m_buf.data() + m_buf.size();
    }

    QByteArray m_buf;
    const PutBytes *m_drain;
    char *m_p;
    char *m_end;
};

void appendEscaped(Sink &out, QStringView value);

void appendNumber(Sink &out, qint64 n)
{
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, n);
    out.append(buf, int(res.ptr - buf));
}

void appendDigits(Sink &out, int n, int width)
{
    char buf[12];
    for (int i = width - 1; i >= 0; --i) {
        buf[i] = char('0' + n % 10);
        n /= 10;
    }
    out.append(buf, width);
}

void appendDate(Sink &out, const QDate &d)
{
    int y = 0, m = 0, day = 0;
    d.getDate(&y, &m, &day);
    appendDigits(out, y, 4);
    appendDigits(out, m, 2);
    appendDigits(out, day, 2);
}

// The eight digits of a day, for the days of a list: a list of years has a few thousand distinct
// days among millions of dates, so their digits are worked out once each.
class DayDigits
{
public:
    // Room for the days of a document of `rows` row versions.
    explicit DayDigits(size_t rows)
        : m_entries(std::clamp<size_t>(rows, 64, 8192))
    {
    }

    void append(Sink &out, qint64 days)
    {
        Entry &entry = m_entries[size_t(days) % m_entries.size()];
        if (entry.days != days || !entry.valid) {
            const QDate d = Value::dateFromDays(days);
            int y = 0, m = 0, day = 0;
            d.getDate(&y, &m, &day);
            if (y < 0 || y > 9999) {
                appendDate(out, d);
                return;
            }
            const int parts[]
                = { y / 1000, y / 100 % 10, y / 10 % 10, y % 10, m / 10, m % 10, day / 10, day % 10 };
            for (int i = 0; i < 8; ++i)
                entry.digits[i] = char('0' + parts[i]);
            entry.days = days;
            entry.valid = true;
        }
        out.append(entry.digits, 8);
    }

private:
    struct Entry
    {
        qint64 days = 0;
        bool valid = false;
        char digits[8];
    };
    std::vector<Entry> m_entries;
};

// hh:mm: and five digits of seconds * 1000 + milliseconds.
void appendTime(Sink &out, qint64 msOfDay)
{
    appendDigits(out, int(msOfDay / 3600000), 2);
    out.append(':');
    appendDigits(out, int(msOfDay / 60000 % 60), 2);
    out.append(':');
    appendDigits(out, int(msOfDay % 60000), 5);
}

void appendValue(Sink &out, const Field &field, const Value &v, DayDigits &dayDigits)
{
    switch (v.kind()) {
    case Value::Kind::Null:
        break;
    case Value::Kind::Text:
        appendEscaped(out, v.textView());
        break;
    case Value::Kind::Integer:
        appendNumber(out, v.toInteger());
        break;
    case Value::Kind::Float: {
        char buf[32];
        auto res = std::to_chars(buf, buf + sizeof buf, v.toFloat());
        out.append(buf, int(res.ptr - buf));
        break;
    }
    case Value::Kind::Boolean:
        out.append(v.toBoolean() ? "TRUE" : "FALSE");
        break;
    case Value::Kind::Date:
        dayDigits.append(out, v.days());
        break;
    case Value::Kind::DateTime: {
        appendDate(out, v.toDate());
        const qint64 ms = v.toTime().msecsSinceStartOfDay();
        if (ms != 0 && field.valueKind() != Value::Kind::Date) {
            out.append('T');
            appendTime(out, ms);
        }
        break;
    }
    case Value::Kind::Time:
        appendTime(out, v.msecsOfDay());
        break;
    }
}

void appendAttribute(Sink &out, const char *name, const QByteArray &value)
{
    out.append(' ');
    out.append(name);
    out.append("=\"");
    out.append(value);
    out.append('"');
}

QByteArray escaped(const QString &text)
{
    Sink out(text.size() + 16);
    appendEscaped(out, text);
    return out.take();
}

// Writes `text` after `out`, as it stands in an attribute value: escaped, in UTF-8. Returns the end.
// `out` has room for six bytes per UTF-16 unit, the most any unit takes ("&quot;", or three bytes of
// UTF-8).
char *escapeInto(char *out, QStringView value)
{
    // Text is held as UTF-16; the system encoding of this platform is UTF-8, so both document forms
    // carry UTF-8 bytes and differ only in their declaration.
    const auto put = [&](const char *text, int n) {
        std::memcpy(out, text, size_t(n));
        out += n;
    };
    const char16_t *p = value.utf16();
    const char16_t *end = p + value.size();
    for (; p != end; ++p) {
        const char16_t c = *p;
        if (c >= 0x80) {
            char32_t code = c;
            if (QChar::isHighSurrogate(c) && p + 1 != end && QChar::isLowSurrogate(p[1])) {
                code = QChar::surrogateToUcs4(c, p[1]);
                ++p;
            } else if (QChar::isSurrogate(c)) {
                code = 0xFFFD; // a lone half of a pair cannot be encoded
            }
            if (code < 0x800) {
                *out++ = char(0xC0 | (code >> 6));
                *out++ = char(0x80 | (code & 0x3F));
            } else if (code < 0x10000) {
                *out++ = char(0xE0 | (code >> 12));
                *out++ = char(0x80 | ((code >> 6) & 0x3F));
                *out++ = char(0x80 | (code & 0x3F));
            } else {
                *out++ = char(0xF0 | (code >> 18));
                *out++ = char(0x80 | ((code >> 12) & 0x3F));
                *out++ = char(0x80 | ((code >> 6) & 0x3F));
                *out++ = char(0x80 | (code & 0x3F));
            }
            continue;
        }
        switch (c) {
        case '<':
            put("&lt;", 4);
            break;
        case '>':
            put("&gt;", 4);
            break;
        case '&':
            put("&amp;", 5);
            break;
        case '\'':
            put("&apos;", 6);
            break;
        case '"':
            put("&quot;", 6);
            break;
        case '\r':
            put("&#013;", 6);
            break;
        case '\n':
            put("&#010;", 6);
            break;
        case '\t':
            put("&#009;", 6);
            break;
        case '\\':
            put("&#092;", 6);
            break;
        default:
            if (c >= 0x20) {
                *out++ = char(c);
            } else {
                // Other control characters are not allowed raw in XML; write them as references.
                const char reference[] = { '&', '#', '0', char('0' + c / 10), char('0' + c % 10), ';' };
                put(reference, 6);
            }
        }
    }
    return out;
}

void appendEscaped(Sink &out, QStringView value)
{
    out.commit(escapeInto(out.room(6 * value.size()), value));
}

// One document being written: its head, its rows in ranges of versions, and its end. The rows of
// different ranges may be written on different threads at once.
class DocumentWriter
{
public:
    DocumentWriter(const TableData &data, DataFormat format, bool changeLogging)
        : m_data(data)
        , m_format(format)
        , m_changeLogging(changeLogging)
    {
        for (const Field &field : data.fields)
            if (Field::typeWord(field.type()).isEmpty())
                throw Error(QStringLiteral("Fieldtype not supported for XML."));
    }

    // The bytes the rows of `versions` versions take, about.
    qsizetype estimate(size_t versions) const
    {
        return qsizetype(versions * (m_data.fields.size() * 16 + 16));
    }
    // The bytes the whole document takes, about.
    qsizetype estimate() const
    {
        return qsizetype(512 + m_data.fields.size() * 80) + estimate(m_data.versions.size());
    }

    // The declaration, the fields and the change log, up to the first row.
    void writeHead(Sink &out)
    {
        out.append(m_format == DataFormat::XmlUtf8
                ? "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
                : "<?xml version=\"1.0\" standalone=\"yes\"?>");
        out.append("  <DATAPACKET Version=\"2.0\"><METADATA><FIELDS>");

        for (const Field &field : m_data.fields) {
            m_attrNames.push_back(escaped(field.attrName()));
            if (field.attrName() == QLatin1String(NullMarkAttribute))
                m_markUsable = false;
            out.append("<FIELD");
            if (field.needsFieldNameAttribute())
                appendAttribute(out, "fieldname", escaped(field.name()));
            appendAttribute(out, "attrname", m_attrNames.back());
            appendAttribute(out, "fieldtype", Field::typeWord(field.type()).toLatin1());
            const FieldDef &def = field.def();
            if (def.readOnly)
                appendAttribute(out, "readonly", "true");
            if (def.required)
                appendAttribute(out, "required", "true");
            if (def.hidden)
                appendAttribute(out, "hidden", "true");
            if (def.linkField)
                appendAttribute(out, "linkfield", "true");
            const QString subtype = Field::subtypeWord(field.type());
            if (!subtype.isEmpty())
                appendAttribute(out, "SUBTYPE", subtype.toLatin1());
            if (field.type() == FieldType::Text || field.type() == FieldType::WideText) {
                Sink width(24);
                appendNumber(width, field.width());
                appendAttribute(out, "WIDTH", width.take());
            }
            out.append("/>");
        }
        out.append("</FIELDS><PARAMS");
        if (m_changeLogging && !m_data.log.empty()) {
            Sink log(qsizetype(m_data.log.size() * 12));
            for (const ChangeLogEntry &e : m_data.log) {
                if (&e != &m_data.log.front())
                    log.append(' ');
                appendNumber(log, e.produced);
                log.append(' ');
                appendNumber(log, e.replaced);
                log.append(' ');
                appendNumber(log, e.kind);
            }
            appendAttribute(out, "CHANGE_LOG", log.take());
        }
        if (m_data.hasCounter) {
            Sink counter(24);
            appendNumber(counter, m_data.counter);
            appendAttribute(out, "AUTOINCVALUE", counter.take());
        }
        out.append("/></METADATA><ROWDATA>");
    }

    void writeRows(Sink &out, size_t from, size_t to, DayDigits &dayDigits) const
    {
        for (size_t v = from; v < to; ++v) {
            const RowVersion &version = m_data.versions[v];
            if (!m_changeLogging && (version.state & (RowVersion::Superseded | RowVersion::Deleted)))
                continue;
            out.append("<ROW");
            const bool modified
                = m_changeLogging && (version.state & RowVersion::Modified) && version.replaces >= 0;
            if (m_changeLogging && version.state != 0) {
                out.append(" RowState=\"");
                appendNumber(out, version.state);
                out.append('"');
            }
            const std::vector<Value> *earlier
                = modified ? &m_data.versions[size_t(version.replaces)].values : nullptr;
            QByteArray emptied;
            for (const Field &field : m_data.fields) {
                const size_t i = size_t(field.index());
                const Value &value = version.values[i];
                if (earlier && value == (*earlier)[i])
                    continue;
                if (value.isNull()) {
                    if (earlier) {
                        if (!emptied.isEmpty())
                            emptied.append(' ');
                        emptied.append(m_attrNames[i]);
                    }
                    continue;
                }
                out.append(' ');
                out.append(m_attrNames[i]);
                out.append("=\"");
                appendValue(out, field, value, dayDigits);
                out.append('"');
            }
            if (!emptied.isEmpty() && m_markUsable)
                appendAttribute(out, NullMarkAttribute, emptied);
            out.append("/>");
        }
    }

    static void writeEnd(Sink &out) { out.append("</ROWDATA></DATAPACKET>"); }

private:
    const TableData &m_data;
    DataFormat m_format;
    bool m_changeLogging;
    std::vector<QByteArray> m_attrNames;
    bool m_markUsable = true;
};

// Lists of fewer versions are written on the calling thread alone.
constexpr size_t RowsInParallelFrom = 50000;
// The versions one thread writes at a time, and so the size of the pieces handed on: a few
// megabytes.
constexpr size_t BlockVersions = 8192;

// Writes the rows on several threads, a block of versions each at a time, and hands the blocks on
// to `put` in their order, from the calling thread. At most two blocks per thread wait to be handed
// on, so the memory taken stays a few megabytes whatever the size of the list.
void writeRowsInParallel(const DocumentWriter &writer, size_t versions, int threads, const PutBytes &put)
{
    const size_t blocks = (versions + BlockVersions - 1) / BlockVersions;
    const size_t slotCount = size_t(threads) * 2;
    struct Slot
    {
        QByteArray bytes;
        size_t block = SIZE_MAX; // the block whose bytes it holds, once they are written
    };
    std::vector<Slot> slot(slotCount);
    std::vector<QByteArray> spare; // buffers of blocks handed on, to be written into again
    std::mutex mutex;
    std::condition_variable changed;
    size_t nextBlock = 0;
    size_t handedOn = 0;
    bool stop = false;
    std::exception_ptr failure;

    const auto work = [&] {
        DayDigits dayDigits(versions);
        for (;;) {
            size_t block = 0;
            QByteArray buffer;
            {
                std::unique_lock<std::mutex> lock(mutex);
                // A block is written only when its slot is free: the block `slotCount` before it has
                // been handed on.
                changed.wait(
                    lock, [&] { return stop || nextBlock >= blocks || nextBlock < handedOn + slotCount; });
                if (stop || nextBlock >= blocks)
                    return;
                block = nextBlock++;
                if (!spare.empty()) {
                    buffer = std::move(spare.back());
                    spare.pop_back();
                }
            }
            try {
                const size_t from = block * BlockVersions;
                const size_t to = std::min(versions, from + BlockVersions);
                Sink out(writer.estimate(to - from), std::move(buffer));
                writer.writeRows(out, from, to, dayDigits);
                buffer = out.take();
            } catch (...) {
                const std::lock_guard<std::mutex> lock(mutex);
                if (!failure)
                    failure = std::current_exception();
                stop = true;
                changed.notify_all();
                return;
            }
            const std::lock_guard<std::mutex> lock(mutex);
            slot[block % slotCount].bytes = std::move(buffer);
            slot[block % slotCount].block = block;
            changed.notify_all();
        }
    };

    std::vector<std::thread> workers;
    const auto finish = [&] {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            stop = true;
            changed.notify_all();
        }
        for (std::thread &worker : workers)
            worker.join();
    };
    try {
        for (int i = 0; i < threads; ++i)
            workers.emplace_back(work);
        for (size_t block = 0; block < blocks; ++block) {
            QByteArray bytes;
            {
                std::unique_lock<std::mutex> lock(mutex);
                changed.wait(lock, [&] { return stop || slot[block % slotCount].block == block; });
                if (stop)
                    break;
                bytes = std::move(slot[block % slotCount].bytes);
                slot[block % slotCount].block = SIZE_MAX;
            }
            put(bytes.constData(), bytes.size());
            const std::lock_guard<std::mutex> lock(mutex);
            spare.push_back(std::move(bytes));
            handedOn = block + 1;
            changed.notify_all();
        }
    } catch (...) {
        finish();
        throw;
    }
    finish();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace

namespace {

// Writes the whole document into `out`; a large table's rows are written on several threads, their
// blocks handed to `blocks` in order after what `out` holds so far was handed on.
void writeDocument(DocumentWriter &writer, size_t versions, Sink &out, const PutBytes &blocks, int threads)
{
    writer.writeHead(out);
    if (threads <= 0)
        threads = int(std::min(4u, std::thread::hardware_concurrency()));
    if (versions >= RowsInParallelFrom && threads > 1) {
        out.handOn();
        writeRowsInParallel(writer, versions, threads, blocks);
    } else {
        DayDigits dayDigits(versions);
        writer.writeRows(out, 0, versions, dayDigits);
    }
    DocumentWriter::writeEnd(out);
    out.handOn();
}

} // namespace

void writeDatapacket(
    const TableData &data, DataFormat format, bool changeLogging, const PutBytes &put, int threads)
{
    DocumentWriter writer(data, format, changeLogging);
    // Pieces of about this size are handed on.
    constexpr qsizetype PieceSize = 4 << 20;
    Sink out(std::min(PieceSize, writer.estimate()), {}, &put);
    writeDocument(writer, data.versions.size(), out, put, threads);
}

QByteArray writeDatapacket(const TableData &data, DataFormat format, bool changeLogging)
{
    DocumentWriter writer(data, format, changeLogging);
    Sink whole(writer.estimate());
    writeDocument(
        writer, data.versions.size(), whole,
        [&whole](const char *bytes, qsizetype size) { whole.append(bytes, size); }, 0);
    return whole.take();
}

} // namespace ql
