#include "storage/ValueText.h"

#include "platform/SystemFormats.h"

namespace ql {

namespace {

// Days this far from 1899 have no calendar date; filter arithmetic can produce them.
constexpr qint64 MaxShownDays = 1000000000;

} // namespace

QString DisplayText(const Value &value, Value::Kind fieldKind, const SystemFormats &formats)
{
    switch (value.kind()) {
    case Value::Kind::Null:
        return QString();
    case Value::Kind::Text:
        return value.text();
    case Value::Kind::Integer:
        return QString::number(value.toInteger());
    case Value::Kind::Float:
        return QString::number(value.toFloat(), 'g', 15).replace(u'.', formats.decimalSeparator());
    case Value::Kind::Boolean:
        return value.toBoolean() ? QStringLiteral("True") : QStringLiteral("False");
    case Value::Kind::Date:
        return value.days() >= -MaxShownDays && value.days() <= MaxShownDays
            ? formats.formatDate(value.toDate())
            : QString();
    case Value::Kind::DateTime:
        if (fieldKind == Value::Kind::Date)
            return formats.formatDate(value.toDate());
        return formats.formatDateTime(value.toDate(), value.toTime());
    case Value::Kind::Time:
        return formats.formatTime(value.toTime());
    }
    return QString();
}

} // namespace ql
