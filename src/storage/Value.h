#pragma once

#include <QDate>
#include <QString>
#include <QTime>
#include <QtGlobal>

namespace ql {

// One typed field value, or null. Null is distinct from an empty text.
//
// Dates are held as a day count from 30 December 1899; date-times as milliseconds from midnight of
// that day; times as milliseconds from midnight. Date and time values carry no zone.
//
// A table holds one value for every field of every row version, so a value takes 16 bytes: the
// number, or the shared character block of a text with the text's place in it and its length. A
// text shares its characters with the QString it came from and with every copy, as QStrings do
// among themselves; texts read from a file share large blocks of many texts each (TextArena).
class Value
{
public:
    enum class Kind : quint8 { Null, Integer, Float, Boolean, Date, DateTime, Time, Text };

    Value() = default;
    Value(const Value &other)
        : m_int(other.m_int)
        , m_size(other.m_size)
        , m_kind(other.m_kind)
        , m_offsetHigh(other.m_offsetHigh)
        , m_offsetLow(other.m_offsetLow)
    {
        if (m_kind == Kind::Text && m_text)
            m_text->ref();
    }
    Value(Value &&other) noexcept
        : m_int(other.m_int)
        , m_size(other.m_size)
        , m_kind(other.m_kind)
        , m_offsetHigh(other.m_offsetHigh)
        , m_offsetLow(other.m_offsetLow)
    {
        other.m_kind = Kind::Null;
    }
    Value &operator=(const Value &other)
    {
        Value copy(other);
        swap(copy);
        return *this;
    }
    Value &operator=(Value &&other) noexcept
    {
        Value moved(std::move(other));
        swap(moved);
        return *this;
    }
    ~Value()
    {
        if (m_kind == Kind::Text && m_text && !m_text->deref())
            QTypedArrayData<char16_t>::deallocate(m_text);
    }
    void swap(Value &other) noexcept
    {
        std::swap(m_int, other.m_int);
        std::swap(m_size, other.m_size);
        std::swap(m_kind, other.m_kind);
        std::swap(m_offsetHigh, other.m_offsetHigh);
        std::swap(m_offsetLow, other.m_offsetLow);
    }

    static Value integer(qint64 v) { return Value(Kind::Integer, v); }
    static Value floating(double v)
    {
        Value value;
        value.m_kind = Kind::Float;
        value.m_float = v;
        return value;
    }
    static Value boolean(bool v) { return Value(Kind::Boolean, v ? 1 : 0); }
    static Value date(qint64 days) { return Value(Kind::Date, days); }
    static Value dateTime(qint64 msecs) { return Value(Kind::DateTime, msecs); }
    static Value time(qint64 msecsOfDay) { return Value(Kind::Time, msecsOfDay); }
    static Value text(QString v);

    static Value fromDate(const QDate &d) { return d.isValid() ? date(daysFromDate(d)) : Value(); }
    static Value fromDateTime(const QDate &d, const QTime &t);

    Kind kind() const { return m_kind; }
    bool isNull() const { return m_kind == Kind::Null; }

    // Accessors expect the matching kind.
    qint64 toInteger() const { return m_int; }
    double toFloat() const { return m_float; }
    bool toBoolean() const { return m_int != 0; }
    qint64 days() const { return m_int; }
    qint64 msecs() const { return m_int; }
    qint64 msecsOfDay() const { return m_int; }
    // The text, sharing the value's characters (no copy is made).
    QString text() const;
    // The text's characters, valid while the value lives.
    QStringView textView() const { return QStringView(characters(), qsizetype(m_size)); }

    // For the kinds held as an integer (Integer, Boolean, Date, DateTime, Time): the integer that
    // orders as the value does. 0 for the other kinds.
    qint64 integralKey() const
    {
        switch (m_kind) {
        case Kind::Integer:
        case Kind::Boolean:
        case Kind::Date:
        case Kind::DateTime:
        case Kind::Time:
            return m_int;
        default:
            return 0;
        }
    }

    QDate toDate() const; // Date and DateTime kinds
    QTime toTime() const; // DateTime and Time kinds

    // Same kind and same value; texts compare exactly (with case).
    bool operator==(const Value &other) const;
    bool operator!=(const Value &other) const { return !(*this == other); }

    static qint64 daysFromDate(const QDate &d);
    static QDate dateFromDays(qint64 days);
    static constexpr qint64 MsecsPerDay = 86400000;

private:
    friend class TextArena;

    Value(Kind kind, qint64 v)
        : m_int(v)
        , m_kind(kind)
    {
    }

    // Where a text's characters start in its block, in characters: 24 bits.
    static constexpr qsizetype MaxOffset = (qsizetype(1) << 24) - 1;
    qsizetype offset() const { return (qsizetype(m_offsetHigh) << 16) | m_offsetLow; }
    void setOffset(qsizetype offset)
    {
        m_offsetHigh = quint8(offset >> 16);
        m_offsetLow = quint16(offset);
    }
    static char16_t *blockStart(QArrayData *block)
    {
        return QTypedArrayData<char16_t>::dataStart(
            block, alignof(QTypedArrayData<char16_t>::AlignmentDummy));
    }
    const char16_t *characters() const { return m_text ? blockStart(m_text) + offset() : u""; }

    union {
        qint64 m_int = 0;
        double m_float;
        // The block that holds a text's characters; null for an empty text.
        QArrayData *m_text;
    };
    quint32 m_size = 0; // a text's length
    Kind m_kind = Kind::Null;
    quint8 m_offsetHigh = 0;
    quint16 m_offsetLow = 0;
};

static_assert(sizeof(Value) == 16, "a table holds millions of values");

// Holds the texts read into one table, many to a block of memory, each with a zero after it as a
// QString has. A text read from a file took a block of its own before: a header, the allocator's
// own bytes and room for as many characters as the text had bytes in the file, about as much again
// as its characters for the task names of a large list. A block lives while any value or QString
// shares it; a QString that outlives its table keeps the whole block (at most 64 KB).
//
// One arena serves one thread at a time; the values it makes may go anywhere.
class TextArena
{
public:
    TextArena() = default;
    ~TextArena();
    TextArena(const TextArena &) = delete;
    TextArena &operator=(const TextArena &) = delete;

    // A text value with a copy of `text`.
    Value text(QStringView text);

private:
    QArrayData *m_block = nullptr;
    qsizetype m_used = 0;
    qsizetype m_capacity = 0;
};

} // namespace ql
