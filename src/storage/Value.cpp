#include "storage/Value.h"

namespace ql {

namespace {
const qint64 BaseJulianDay = QDate(1899, 12, 30).toJulianDay();

qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}
} // namespace

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
