#include "storage/filter/FilterValues.h"

#include "platform/Error.h"

#include <cmath>

namespace ql::filter {

[[noreturn]] void fail(const QString &message)
{
    throw Error(message);
}

[[noreturn]] void failTypeMismatch()
{
    fail(QStringLiteral("Type mismatch in expression"));
}

[[noreturn]] void failNullOperator()
{
    fail(QStringLiteral("NULL only allowed with '=' and '<>'"));
}

bool isBlank(QChar c)
{
    return c.unicode() < u'!';
}

bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool isNameStart(QChar c)
{
    return isAsciiLetter(c) || c == u'_' || c.unicode() >= 0x80;
}

bool isNamePart(QChar c)
{
    return isNameStart(c) || isDigit(c) || c == u'.' || c == u'[' || c == u']';
}

bool isNumberPart(QChar c, QChar decimal)
{
    return isDigit(c) || c == u'+' || c == u'-' || c == u'E' || c == u'e' || c == decimal;
}

// Keywords are ASCII words; comparing ASCII only keeps look-alike letters of other scripts out.
bool isWord(QStringView text, const char *word)
{
    qsizetype i = 0;
    for (; word[i]; ++i) {
        if (i >= text.size())
            return false;
        const char16_t c = text[i].unicode();
        const char16_t upper = c >= u'a' && c <= u'z' ? char16_t(c - 32) : c;
        if (upper != char16_t(word[i]))
            return false;
    }
    return i == text.size();
}

// Characters are code points: a surrogate pair is one character and is never split.
qsizetype nextChar(QStringView s, qsizetype i)
{
    return s[i].isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate() ? i + 2 : i + 1;
}

qsizetype previousChar(QStringView s, qsizetype i)
{
    return s[i - 1].isLowSurrogate() && i >= 2 && s[i - 2].isHighSurrogate() ? i - 2 : i - 1;
}

// The number of code units that the first `chars` characters of `s` take.
qsizetype unitsOfChars(QStringView s, qsizetype chars)
{
    qsizetype i = 0;
    for (; chars > 0 && i < s.size(); --chars)
        i = nextChar(s, i);
    return i;
}

qsizetype charCount(QStringView s)
{
    qsizetype n = 0;
    for (qsizetype i = 0; i < s.size(); i = nextChar(s, i))
        ++n;
    return n;
}

QString leftChars(const QString &text, qsizetype chars)
{
    const qsizetype units = unitsOfChars(text, chars);
    return units == text.size() ? text : text.left(units);
}

std::optional<qint64> readInteger(const QString &text)
{
    bool ok = false;
    const qint64 v = text.trimmed().toLongLong(&ok, 10);
    return ok ? std::optional<qint64>(v) : std::nullopt;
}

std::optional<double> readFloat(const QString &text, QChar decimal)
{
    QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    for (QChar c : t) {
        if (!isDigit(c) && c != u'+' && c != u'-' && c != u'e' && c != u'E' && c != decimal)
            return std::nullopt;
    }
    t.replace(decimal, u'.');
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<QTime> readTime(const QString &text, const SystemFormats &formats)
{
    QString t = text.trimmed();
    t.replace(QChar(0x202F), u' ');
    QString shortFormat = formats.locale().timeFormat(QLocale::ShortFormat);
    shortFormat.replace(QChar(0x202F), u' ');
    for (const QString &format : { formats.longTimeFormat(), shortFormat }) {
        const QTime time = formats.locale().toTime(t, format);
        if (time.isValid())
            return time;
    }
    return std::nullopt;
}

bool holds(CmpOp op, int c)
{
    switch (op) {
    case CmpOp::Eq:
        return c == 0;
    case CmpOp::Ne:
        return c != 0;
    case CmpOp::Lt:
        return c < 0;
    case CmpOp::Gt:
        return c > 0;
    case CmpOp::Le:
        return c <= 0;
    case CmpOp::Ge:
        return c >= 0;
    }
    return false;
}

// The operator that gives the same result with the operands swapped.
CmpOp mirrored(CmpOp op)
{
    switch (op) {
    case CmpOp::Lt:
        return CmpOp::Gt;
    case CmpOp::Gt:
        return CmpOp::Lt;
    case CmpOp::Le:
        return CmpOp::Ge;
    case CmpOp::Ge:
        return CmpOp::Le;
    default:
        return op;
    }
}

int threeWay(qint64 a, qint64 b)
{
    return (a > b) - (a < b);
}

qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

bool isNumberKind(Value::Kind k)
{
    return k == Value::Kind::Integer || k == Value::Kind::Float;
}

bool isDateKind(Value::Kind k)
{
    return k == Value::Kind::Date || k == Value::Kind::DateTime;
}

double toDouble(const Value &v)
{
    return v.kind() == Value::Kind::Integer ? double(v.toInteger()) : v.toFloat();
}

// A day against a moment, without multiplying the day count into milliseconds (which could overflow).
int compareDayWithMoment(qint64 days, qint64 msecs)
{
    const qint64 momentDay = floorDiv(msecs, MsecsPerDay);
    if (days != momentDay)
        return threeWay(days, momentDay);
    return msecs == momentDay * MsecsPerDay ? 0 : -1;
}

int compareTexts(const QString &a, const QString &b, const SystemFormats &formats)
{
    // Identical texts are equal under any collation; this spares the collator the common hit.
    if (a == b)
        return 0;
    return formats.compareText(a, b, /*caseSensitive*/ true);
}

bool isPrintableAscii(const QString &s)
{
    for (const QChar c : s)
        if (c.unicode() < 0x20 || c.unicode() > 0x7E)
            return false;
    return true;
}

// Whether two texts are equal by collation. Texts of printable ASCII characters are equal by
// collation only when they are the same: each of those characters has weights of its own and none
// is ignorable. That answers the views' "Status <> 'Complete'" without the collator for almost
// every row.
bool textsEqual(const QString &a, const QString &b, const SystemFormats &formats)
{
    if (a == b)
        return true;
    if (isPrintableAscii(a) && isPrintableAscii(b))
        return false;
    return formats.compareText(a, b, /*caseSensitive*/ true) == 0;
}

// Compares two values of comparable kinds; empty when either is null or the kinds do not compare.
std::optional<int> compareValues(const Value &a, const Value &b, const SystemFormats &formats)
{
    using K = Value::Kind;
    const K ka = a.kind();
    const K kb = b.kind();
    if (ka == K::Null || kb == K::Null)
        return std::nullopt;
    if (ka == K::Text && kb == K::Text)
        return compareTexts(a.text(), b.text(), formats);
    if (ka == K::Integer && kb == K::Integer)
        return threeWay(a.toInteger(), b.toInteger());
    if (isNumberKind(ka) && isNumberKind(kb)) {
        const double x = toDouble(a);
        const double y = toDouble(b);
        if (std::isnan(x) || std::isnan(y))
            return std::nullopt;
        return (x > y) - (x < y);
    }
    if (ka == K::Date && kb == K::Date)
        return threeWay(a.days(), b.days());
    if (ka == K::DateTime && kb == K::DateTime)
        return threeWay(a.msecs(), b.msecs());
    if (ka == K::Date && kb == K::DateTime)
        return compareDayWithMoment(a.days(), b.msecs());
    if (ka == K::DateTime && kb == K::Date)
        return -compareDayWithMoment(b.days(), a.msecs());
    if (ka == K::Time && kb == K::Time)
        return threeWay(a.msecsOfDay(), b.msecsOfDay());
    if (ka == K::Boolean && kb == K::Boolean)
        return int(a.toBoolean()) - int(b.toBoolean());
    return std::nullopt;
}

Value numberArithmetic(ArithOp op, const Value &a, const Value &b)
{
    if (a.kind() == Value::Kind::Integer && b.kind() == Value::Kind::Integer && op != ArithOp::Div) {
        qint64 r = 0;
        bool overflow = false;
        switch (op) {
        case ArithOp::Add:
            overflow = __builtin_add_overflow(a.toInteger(), b.toInteger(), &r);
            break;
        case ArithOp::Sub:
            overflow = __builtin_sub_overflow(a.toInteger(), b.toInteger(), &r);
            break;
        case ArithOp::Mul:
            overflow = __builtin_mul_overflow(a.toInteger(), b.toInteger(), &r);
            break;
        case ArithOp::Div:
            break;
        }
        if (!overflow)
            return Value::integer(r);
    }
    const double x = toDouble(a);
    const double y = toDouble(b);
    switch (op) {
    case ArithOp::Add:
        return Value::floating(x + y);
    case ArithOp::Sub:
        return Value::floating(x - y);
    case ArithOp::Mul:
        return Value::floating(x * y);
    case ArithOp::Div:
        return y == 0 ? Value() : Value::floating(x / y);
    }
    return Value();
}

Value momentFromDouble(double msecs)
{
    if (!std::isfinite(msecs) || std::fabs(msecs) > double(MaxDays) * MsecsPerDay)
        return Value();
    return Value::dateTime(std::llround(msecs));
}

// A date or date-time moved by `days` (sign -1 moves back).
Value shiftDate(const Value &date, const Value &days, int sign)
{
    if (days.kind() == Value::Kind::Integer) {
        qint64 step = 0;
        if (__builtin_mul_overflow(days.toInteger(), qint64(sign), &step))
            return Value();
        if (date.kind() == Value::Kind::Date) {
            qint64 r = 0;
            if (__builtin_add_overflow(date.days(), step, &r) || r < -MaxDays || r > MaxDays)
                return Value();
            return Value::date(r);
        }
        qint64 shift = 0;
        qint64 r = 0;
        if (__builtin_mul_overflow(step, MsecsPerDay, &shift)
            || __builtin_add_overflow(date.msecs(), shift, &r) || r < -MaxDays * MsecsPerDay
            || r > MaxDays * MsecsPerDay)
            return Value();
        return Value::dateTime(r);
    }
    const double base
        = date.kind() == Value::Kind::Date ? double(date.days()) * MsecsPerDay : double(date.msecs());
    return momentFromDouble(base + sign * days.toFloat() * MsecsPerDay);
}

Value dateDifference(const Value &a, const Value &b)
{
    if (a.kind() == Value::Kind::Date && b.kind() == Value::Kind::Date) {
        qint64 r = 0;
        if (__builtin_sub_overflow(a.days(), b.days(), &r))
            return Value();
        return Value::integer(r);
    }
    auto msecsOf = [](const Value &v) {
        return v.kind() == Value::Kind::Date ? double(v.days()) * MsecsPerDay : double(v.msecs());
    };
    return Value::floating((msecsOf(a) - msecsOf(b)) / MsecsPerDay);
}

// Arithmetic on row values; null wherever the kinds have no meaning together.
Value arithmetic(ArithOp op, const Value &a, const Value &b)
{
    using K = Value::Kind;
    const K ka = a.kind();
    const K kb = b.kind();
    if (ka == K::Null || kb == K::Null)
        return Value();
    if (ka == K::Text && kb == K::Text)
        return op == ArithOp::Add ? Value::text(a.text() + b.text()) : Value();
    if (isNumberKind(ka) && isNumberKind(kb))
        return numberArithmetic(op, a, b);
    if (isDateKind(ka) && isNumberKind(kb) && (op == ArithOp::Add || op == ArithOp::Sub))
        return shiftDate(a, b, op == ArithOp::Add ? 1 : -1);
    if (isNumberKind(ka) && isDateKind(kb) && op == ArithOp::Add)
        return shiftDate(b, a, 1);
    if (isDateKind(ka) && isDateKind(kb) && op == ArithOp::Sub)
        return dateDifference(a, b);
    return Value();
}

} // namespace ql::filter
