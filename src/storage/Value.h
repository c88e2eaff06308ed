#pragma once

#include <QDate>
#include <QString>
#include <QTime>
#include <QtGlobal>
#include <variant>

namespace ql {

// One typed field value, or null. Null is distinct from an empty text.
//
// Dates are held as a day count from 30 December 1899; date-times as milliseconds from midnight of
// that day; times as milliseconds from midnight. Date and time values carry no zone.
class Value
{
public:
    enum class Kind : quint8 { Null, Integer, Float, Boolean, Date, DateTime, Time, Text };

    Value() = default;

    static Value integer(qint64 v) { return Value(Storage(std::in_place_index<1>, v)); }
    static Value floating(double v) { return Value(Storage(std::in_place_index<2>, v)); }
    static Value boolean(bool v) { return Value(Storage(std::in_place_index<3>, v)); }
    static Value date(qint64 days) { return Value(Storage(std::in_place_index<4>, Day { days })); }
    static Value dateTime(qint64 msecs) { return Value(Storage(std::in_place_index<5>, Moment { msecs })); }
    static Value time(qint64 msecsOfDay)
    {
        return Value(Storage(std::in_place_index<6>, TimeOfDay { msecsOfDay }));
    }
    static Value text(QString v) { return Value(Storage(std::in_place_index<7>, std::move(v))); }

    static Value fromDate(const QDate &d) { return d.isValid() ? date(daysFromDate(d)) : Value(); }
    static Value fromDateTime(const QDate &d, const QTime &t);

    Kind kind() const { return static_cast<Kind>(m_v.index()); }
    bool isNull() const { return m_v.index() == 0; }

    // Accessors expect the matching kind.
    qint64 toInteger() const { return std::get<1>(m_v); }
    double toFloat() const { return std::get<2>(m_v); }
    bool toBoolean() const { return std::get<3>(m_v); }
    qint64 days() const { return std::get<4>(m_v).days; }
    qint64 msecs() const { return std::get<5>(m_v).msecs; }
    qint64 msecsOfDay() const { return std::get<6>(m_v).msecs; }
    const QString &text() const { return std::get<7>(m_v); }

    // For the kinds held as an integer (Integer, Boolean, Date, DateTime, Time): the integer that
    // orders as the value does. 0 for the other kinds.
    qint64 integralKey() const
    {
        switch (kind()) {
        case Kind::Integer:
            return toInteger();
        case Kind::Boolean:
            return toBoolean() ? 1 : 0;
        case Kind::Date:
            return days();
        case Kind::DateTime:
            return msecs();
        case Kind::Time:
            return msecsOfDay();
        default:
            return 0;
        }
    }

    QDate toDate() const; // Date and DateTime kinds
    QTime toTime() const; // DateTime and Time kinds

    // Same kind and same value; texts compare exactly (with case).
    bool operator==(const Value &other) const { return m_v == other.m_v; }
    bool operator!=(const Value &other) const { return !(*this == other); }

    static qint64 daysFromDate(const QDate &d);
    static QDate dateFromDays(qint64 days);
    static constexpr qint64 MsecsPerDay = 86400000;

private:
    struct Day
    {
        qint64 days;
        bool operator==(const Day &o) const { return days == o.days; }
    };
    struct Moment
    {
        qint64 msecs;
        bool operator==(const Moment &o) const { return msecs == o.msecs; }
    };
    struct TimeOfDay
    {
        qint64 msecs;
        bool operator==(const TimeOfDay &o) const { return msecs == o.msecs; }
    };
    using Storage = std::variant<std::monostate, qint64, double, bool, Day, Moment, TimeOfDay, QString>;

    explicit Value(Storage v)
        : m_v(std::move(v))
    {
    }

    Storage m_v;
};

} // namespace ql
