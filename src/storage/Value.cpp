#include "storage/Value.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace ql {

namespace {
const qint64 BaseJulianDay = QDate(1899, 12, 30).toJulianDay();

qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}
} // namespace

Value Value::text(QString v)
{
    Value value;
    value.m_kind = Kind::Text;
    if (v.isEmpty())
        return value;
    if (quint64(v.size()) > std::numeric_limits<quint32>::max())
        throw std::length_error("text too long for a field value");
    QString::DataPointer &data = v.data_ptr();
    // The characters are shared when they start their block, where they can be found again from
    // the block alone; a string that does not own its characters, or whose characters start further
    // on, is copied once.
    const auto startOf = [](QArrayData *d) {
        return QTypedArrayData<char16_t>::dataStart(d, alignof(QTypedArrayData<char16_t>::AlignmentDummy));
    };
    if (!data.d_ptr() || data.data() != startOf(data.d_ptr())) {
        v = QString(v.constData(), v.size());
        Q_ASSERT(v.data_ptr().d_ptr() && v.data_ptr().data() == startOf(v.data_ptr().d_ptr()));
    }
    value.m_text = v.data_ptr().d_ptr();
    value.m_text->ref();
    value.m_size = quint32(v.size());
    return value;
}

QString Value::text() const
{
    if (m_kind != Kind::Text || !m_text)
        return QStringLiteral("");
    m_text->ref();
    return QString(QString::DataPointer(static_cast<QTypedArrayData<char16_t> *>(m_text),
        const_cast<char16_t *>(characters()), qsizetype(m_size)));
}

bool Value::operator==(const Value &other) const
{
    if (m_kind != other.m_kind)
        return false;
    switch (m_kind) {
    case Kind::Null:
        return true;
    case Kind::Float:
        return m_float == other.m_float;
    case Kind::Text: {
        if (m_size != other.m_size)
            return false;
        const char16_t *mine = characters();
        const char16_t *theirs = other.characters();
        return mine == theirs || std::memcmp(mine, theirs, size_t(m_size) * sizeof(char16_t)) == 0;
    }
    default:
        return m_int == other.m_int;
    }
}

namespace {

// The first block of an arena holds this many characters, each next one twice the one before, up
// to the largest; a text of more than a quarter of the largest gets a block of its own. The largest
// stays below the size the C library maps from the system one by one (128 KB), so that the blocks of
// a table that goes are reused by the next one instead of being mapped afresh: with 2 MB blocks,
// reading 100,000 tasks in a process that had read them before took a third longer.
constexpr qsizetype FirstBlock = 2048;
constexpr qsizetype LargestBlock = qsizetype(1) << 15;

QArrayData *allocateBlock(qsizetype characters)
{
    auto [block, data] = QTypedArrayData<char16_t>::allocate(characters);
    Q_UNUSED(data);
    if (!block)
        qBadAlloc();
    return block;
}

void release(QArrayData *block)
{
    if (block && !block->deref())
        QTypedArrayData<char16_t>::deallocate(block);
}

} // namespace

TextArena::~TextArena()
{
    release(m_block);
}

Value TextArena::text(QStringView text)
{
    Value value;
    value.m_kind = Value::Kind::Text;
    if (text.isEmpty())
        return value;
    if (quint64(text.size()) > std::numeric_limits<quint32>::max())
        throw std::length_error("text too long for a field value");
    const qsizetype needed = text.size() + 1;
    QArrayData *block;
    qsizetype offset = 0;
    if (needed > LargestBlock / 4) {
        block = allocateBlock(needed);
    } else {
        if (!m_block || m_capacity - m_used < needed) {
            const qsizetype capacity = m_block ? std::min(m_capacity * 2, LargestBlock) : FirstBlock;
            release(m_block);
            m_block = allocateBlock(capacity);
            m_capacity = capacity;
            m_used = 0;
        }
        block = m_block;
        offset = m_used;
        m_used += needed;
        block->ref();
    }
    char16_t *start = Value::blockStart(block) + offset;
    std::memcpy(start, text.data(), size_t(text.size()) * sizeof(char16_t));
    start[text.size()] = 0;
    value.m_text = block;
    value.setOffset(offset);
    value.m_size = quint32(text.size());
    return value;
}

qint64 Value::daysFromDate(const QDate &d)
{
    return d.toJulianDay() - BaseJulianDay;
}

QDate Value::dateFromDays(qint64 days)
{
    return QDate::fromJulianDay(days + BaseJulianDay);
}

Value Value::fromDateTime(const QDate &d, const QTime &t)
{
    if (!d.isValid())
        return {};
    const qint64 ms = t.isValid() ? t.msecsSinceStartOfDay() : 0;
    return dateTime(daysFromDate(d) * MsecsPerDay + ms);
}

QDate Value::toDate() const
{
    if (kind() == Kind::Date)
        return dateFromDays(days());
    return dateFromDays(floorDiv(msecs(), MsecsPerDay));
}

QTime Value::toTime() const
{
    const qint64 ms
        = kind() == Kind::Time ? msecsOfDay() : msecs() - floorDiv(msecs(), MsecsPerDay) * MsecsPerDay;
    return QTime::fromMSecsSinceStartOfDay(int(ms));
}

} // namespace ql
