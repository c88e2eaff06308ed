// Filter expressions: the language of a table's Filter property. The text is parsed and typed once,
// when the filter is applied, into a tree of conditions that is then evaluated for every row.
//
// Grammar, loosest binding first (keywords in any mix of case, AND and OR left-associative):
//
//   expression  := conjunction { OR conjunction }
//   conjunction := negation { AND negation }
//   negation    := NOT comparison | comparison
//   comparison  := sum [ ( "=" | "<>" | "<" | ">" | "<=" | ">=" ) sum
//                      | LIKE sum
//                      | IS [ NOT ] NULL
//                      | IN "(" expression { "," expression } ")" ]
//   sum         := product { ( "+" | "-" ) product }
//   product     := primary { ( "*" | "/" ) primary }
//   primary     := name | NULL | TRUE | FALSE | text | number | "(" expression ")"
//
// Tokens:
//   name    A letter, "_" or any non-ASCII character, followed by letters, digits, "_", ".", "[", "]"
//           and non-ASCII characters; or any text enclosed in "[" and "]" ("[Due Date]"). A name is
//           resolved to a field, without regard to case, as soon as it is read.
//   text    '...', with '' standing for one quote. Any other quote ends the literal when no quote
//           follows anywhere later in the text, or when the word after it (blanks and ")" skipped) is
//           AND, OR, LIKE, IS, NULL, ASC, ASCENDING, DESC, DESCENDING, SELECT, FROM, WHERE, HAVING,
//           UNION, PLAN, GROUP BY, ORDER BY, FOR UPDATE, a word followed by [NOT] NULL, a number, a
//           quoted text, a comment, a comma or the end of the text. Before any other word the quote is
//           a character of the literal, so a search for "it's" needs no doubling. A literal keeps its
//           first 256 characters; compared as a text it is cut to 255.
//   number  "-" or a digit, then digits, "+", "-", "E", "e" and the decimal separator of the formats.
//           After a name, a literal, TRUE, FALSE, NULL or ")" a "-" is the minus operator instead.
//   Characters below "!" separate tokens, /* ... */ is a comment, and a zero character ends the
//   text. A text of nothing but blanks and comments lets every row pass.
//
// Typing. A literal compared with a field takes the field's type when the filter is parsed: a text
// field compares with the literal's text, an integer field reads a whole number (within the field's
// range, so a word field refuses 70000 with "Constant out of range"), a date field reads the short
// date format, a date-time field the short date and long time formats, a boolean field TRUE or FALSE.
// A memo field may only be used with LIKE (not even with IS NULL). Elements of an IN list take the
// type of its left side.
//
// Worked examples, for a task list in en_US formats:
//
//   Priority = 'High' and Status <> 'Complete'
//       Both texts compare by locale collation with case; trailing blanks count, so "Complete "
//       and "complete" pass the second test.
//   Status = 'Comp*'
//       A text literal of two or more characters ending in "*" compares a prefix: "Complete" and
//       "Compiling" pass, "complete" does not. Only with "=" and "<>".
//   Bookmarked =True
//       No blank is needed after "="; a bare "Bookmarked" means the same.
//   CompletedDate = '3/9/2024'
//       The literal is read once as 9 March 2024 and compared as a day count.
//   Task LIKE '%it's%'
//       The inner quote is followed by "s%'", which ends no literal, so the pattern is %it's%.
//       "%" matches any run of characters, "_" exactly one; everything else matches itself with case.
//   Progress - 5 > 40 OR Progress > -5
//       After a name "-" subtracts; after an operator "-5" is a number.
//   Points IN (5, 70000)
//       Refused with "Constant out of range": the list takes the word field's type.
//   Status = NULL
//       The same as "Status IS NULL"; any operator but "=" and "<>" with NULL is refused.
//   Task + '!' = 'Done!'
//       Not what it seems: the quote after "!" is followed by "=", which ends no literal, so the
//       literal runs on to "!' = 'Done!" and the filter is refused as a type mismatch. Write
//       "Task + '!' LIKE 'Done!'", or put a comment after the first literal.
//
// Nulls. A comparison, LIKE or IN with a null operand is false, whichever the operator: both
// "Status = 'x'" and "Status <> 'x'" skip a task without a status, while NOT of either passes it.
// Only IS [NOT] NULL (and "= NULL", "<> NULL") look at nulls. So the logic stays two-valued and a
// view of words never shows an imported row whose field is empty.
//
// Arithmetic. Integers add, subtract and multiply as 64-bit integers (turning into floating point on
// overflow); "/" divides in floating point, and a division by zero gives null. Texts concatenate
// with "+". A date plus or minus a number moves it by that many days (a fraction of a day gives a
// date-time); the difference of two dates is a number of days. Any other mix is a type mismatch.
// No functions are defined, so a name is always a field.

#include "storage/FilterExpr.h"

#include "common/Error.h"
#include "platform/SystemFormats.h"

#include <QStringView>
#include <cmath>
#include <optional>

namespace ql {

FilterExpr::~FilterExpr() = default;

namespace {

using Row = std::vector<Value>;

constexpr qsizetype LiteralChars = 256;
constexpr qsizetype TextValueChars = 255;
// Parentheses and IN lists nest the parser's recursion; the limit keeps a hostile text from
// exhausting the stack.
constexpr int MaxNesting = 200;
constexpr qint64 MsecsPerDay = Value::MsecsPerDay;
// Arithmetic that leaves this many days around 1899 gives null: no calendar can show the result.
constexpr qint64 MaxDays = 1000000000;

// --- Messages ------------------------------------------------------------------------------------

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

// --- Characters ----------------------------------------------------------------------------------

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

// --- Reading literals ----------------------------------------------------------------------------

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

// --- Values --------------------------------------------------------------------------------------

enum class CmpOp : quint8 { Eq, Ne, Lt, Gt, Le, Ge };
enum class ArithOp : quint8 { Add, Sub, Mul, Div };

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

// The text LIKE matches for a value that is no text: what the grid shows for it.
QString textOf(const Value &v, const SystemFormats &formats)
{
    switch (v.kind()) {
    case Value::Kind::Null:
        return QString();
    case Value::Kind::Text:
        return v.text();
    case Value::Kind::Integer:
        return QString::number(v.toInteger());
    case Value::Kind::Float:
        return QString::number(v.toFloat(), 'g', 15).replace(u'.', formats.decimalSeparator());
    case Value::Kind::Boolean:
        return v.toBoolean() ? QStringLiteral("True") : QStringLiteral("False");
    case Value::Kind::Date:
        return v.days() >= -MaxDays && v.days() <= MaxDays ? formats.formatDate(v.toDate()) : QString();
    case Value::Kind::DateTime:
        return formats.formatDateTime(v.toDate(), v.toTime());
    case Value::Kind::Time:
        return formats.formatTime(v.toTime());
    }
    return QString();
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

// --- LIKE ----------------------------------------------------------------------------------------

// A LIKE pattern, split at its "%" signs into pieces of literal characters and "_". The first piece
// must match at the start of the text and the last one at its end; the pieces between are found
// left to right, each at its leftmost place, because a piece found further left never spoils a
// later one. So a match takes at most (text length x pattern length) steps and never backtracks over
// a "%" ("%a%a%a%a%b" stays linear), and runs of "%" act as one.
class LikePattern
{
public:
    explicit LikePattern(const QString &pattern)
    {
        Piece piece;
        for (QChar c : pattern) {
            if (c == u'%') {
                m_pieces.push_back(std::move(piece));
                piece = Piece();
                continue;
            }
            piece.text.append(c);
            piece.wild = piece.wild || c == u'_';
        }
        m_pieces.push_back(std::move(piece));
    }

    bool matches(QStringView text) const
    {
        if (m_pieces.size() == 1)
            return matchForward(m_pieces.front(), text, 0) == text.size();
        const qsizetype from = matchForward(m_pieces.front(), text, 0);
        if (from < 0)
            return false;
        const qsizetype to = matchBackward(m_pieces.back(), text, text.size());
        if (to < from)
            return false;
        const QStringView room = text.first(to);
        qsizetype pos = from;
        for (size_t i = 1; i + 1 < m_pieces.size() && pos >= 0; ++i)
            pos = find(m_pieces[i], room, pos);
        return pos >= 0;
    }

private:
    struct Piece
    {
        QString text;
        bool wild = false; // holds "_"
    };

    // Where a match of `piece` at `at` ends, or -1.
    static qsizetype matchForward(const Piece &piece, QStringView s, qsizetype at)
    {
        for (QChar c : piece.text) {
            if (at >= s.size())
                return -1;
            if (c == u'_')
                at = nextChar(s, at);
            else if (s[at] == c)
                ++at;
            else
                return -1;
        }
        return at;
    }

    // Where a match of `piece` that ends at `end` starts, or -1.
    static qsizetype matchBackward(const Piece &piece, QStringView s, qsizetype end)
    {
        for (qsizetype i = piece.text.size() - 1; i >= 0; --i) {
            if (end <= 0)
                return -1;
            const QChar c = piece.text[i];
            if (c == u'_')
                end = previousChar(s, end);
            else if (s[end - 1] == c)
                --end;
            else
                return -1;
        }
        return end;
    }

    // Where the leftmost match of `piece` at or after `from` ends, or -1.
    static qsizetype find(const Piece &piece, QStringView s, qsizetype from)
    {
        if (piece.text.isEmpty())
            return from;
        if (!piece.wild) {
            const qsizetype at = s.indexOf(QStringView(piece.text), from);
            return at < 0 ? -1 : at + piece.text.size();
        }
        for (qsizetype at = from; at < s.size(); at = nextChar(s, at)) {
            const qsizetype end = matchForward(piece, s, at);
            if (end >= 0)
                return end;
        }
        return -1;
    }

    std::vector<Piece> m_pieces;
};

// --- The tree ------------------------------------------------------------------------------------

// A condition: the truth value of a row.
class Cond
{
public:
    virtual ~Cond() = default;
    virtual bool test(const Row &row) const = 0;
};

// A value computed from a row.
class Expr
{
public:
    virtual ~Expr() = default;
    virtual Value eval(const Row &row) const = 0;
};

using CondPtr = std::unique_ptr<Cond>;
using ExprPtr = std::unique_ptr<Expr>;

// The row's value of a field, or nullptr when it is null (or the row is short of the field).
const Value *cellOf(const Row &row, int index)
{
    if (index < 0 || size_t(index) >= row.size() || row[size_t(index)].isNull())
        return nullptr;
    return &row[size_t(index)];
}

class ConstCond final : public Cond
{
public:
    explicit ConstCond(bool value)
        : m_value(value)
    {
    }
    bool test(const Row &) const override { return m_value; }

private:
    bool m_value;
};

class NotCond final : public Cond
{
public:
    explicit NotCond(CondPtr inner)
        : m_inner(std::move(inner))
    {
    }
    bool test(const Row &row) const override { return !m_inner->test(row); }

private:
    CondPtr m_inner;
};

class AndCond final : public Cond
{
public:
    explicit AndCond(std::vector<CondPtr> parts)
        : m_parts(std::move(parts))
    {
    }
    bool test(const Row &row) const override
    {
        for (const CondPtr &part : m_parts) {
            if (!part->test(row))
                return false;
        }
        return true;
    }

private:
    std::vector<CondPtr> m_parts;
};

class OrCond final : public Cond
{
public:
    explicit OrCond(std::vector<CondPtr> parts)
        : m_parts(std::move(parts))
    {
    }
    bool test(const Row &row) const override
    {
        for (const CondPtr &part : m_parts) {
            if (part->test(row))
                return true;
        }
        return false;
    }

private:
    std::vector<CondPtr> m_parts;
};

// A boolean field used as a condition: "Bookmarked".
class FieldTruth final : public Cond
{
public:
    explicit FieldTruth(int index)
        : m_index(index)
    {
    }
    bool test(const Row &row) const override
    {
        const Value *v = cellOf(row, m_index);
        return v && v->kind() == Value::Kind::Boolean && v->toBoolean();
    }

private:
    int m_index;
};

// IS NULL (wantNull) or IS NOT NULL of a field.
class FieldIsNull final : public Cond
{
public:
    FieldIsNull(int index, bool wantNull)
        : m_index(index)
        , m_wantNull(wantNull)
    {
    }
    bool test(const Row &row) const override { return (cellOf(row, m_index) == nullptr) == m_wantNull; }

private:
    int m_index;
    bool m_wantNull;
};

class ExprIsNull final : public Cond
{
public:
    ExprIsNull(ExprPtr expr, bool wantNull)
        : m_expr(std::move(expr))
        , m_wantNull(wantNull)
    {
    }
    bool test(const Row &row) const override { return m_expr->eval(row).isNull() == m_wantNull; }

private:
    ExprPtr m_expr;
    bool m_wantNull;
};

// A text field against a text literal, the form of every view: "Status = 'Complete'". With a prefix
// length, only that many leading characters of the field take part ("Status = 'Comp*'").
class FieldTextCompare final : public Cond
{
public:
    FieldTextCompare(
        int index, CmpOp op, QString literal, qsizetype prefixChars, const SystemFormats &formats)
        : m_index(index)
        , m_op(op)
        , m_literal(std::move(literal))
        , m_literalValue(Value::text(m_literal))
        , m_prefixChars(prefixChars)
        , m_formats(formats)
    {
    }
    bool test(const Row &row) const override
    {
        const Value *v = cellOf(row, m_index);
        if (!v)
            return false;
        if (v->kind() != Value::Kind::Text) {
            const auto c = compareValues(*v, m_literalValue, m_formats);
            return c && holds(m_op, *c);
        }
        const QString &text = v->text();
        if (m_prefixChars >= 0) {
            const qsizetype units = unitsOfChars(text, m_prefixChars);
            if (units < text.size()) {
                // A view on the field's characters: no copy per row.
                const QString head = QString::fromRawData(text.constData(), units);
                return compare(head);
            }
        }
        return compare(text);
    }

private:
    bool compare(const QString &text) const
    {
        if (m_op == CmpOp::Eq || m_op == CmpOp::Ne)
            return textsEqual(text, m_literal, m_formats) == (m_op == CmpOp::Eq);
        return holds(m_op, compareTexts(text, m_literal, m_formats));
    }

    int m_index;
    CmpOp m_op;
    QString m_literal;
    Value m_literalValue;
    qsizetype m_prefixChars; // -1: the whole field
    const SystemFormats &m_formats;
};

// An integer, date, date-time, time or boolean field against a literal of its type.
class FieldScalarCompare final : public Cond
{
public:
    FieldScalarCompare(int index, CmpOp op, Value literal, const SystemFormats &formats)
        : m_index(index)
        , m_op(op)
        , m_literal(std::move(literal))
        , m_kind(m_literal.kind())
        , m_raw(m_literal.integralKey())
        , m_formats(formats)
    {
    }
    bool test(const Row &row) const override
    {
        const Value *v = cellOf(row, m_index);
        if (!v)
            return false;
        if (v->kind() == m_kind)
            return holds(m_op, threeWay(v->integralKey(), m_raw));
        const auto c = compareValues(*v, m_literal, m_formats);
        return c && holds(m_op, *c);
    }

    static bool handles(Value::Kind kind)
    {
        return kind == Value::Kind::Integer || kind == Value::Kind::Date || kind == Value::Kind::DateTime
            || kind == Value::Kind::Time || kind == Value::Kind::Boolean;
    }

private:
    int m_index;
    CmpOp m_op;
    Value m_literal;
    Value::Kind m_kind;
    qint64 m_raw;
    const SystemFormats &m_formats;
};

class ExprCompare final : public Cond
{
public:
    ExprCompare(ExprPtr left, CmpOp op, ExprPtr right, const SystemFormats &formats)
        : m_left(std::move(left))
        , m_right(std::move(right))
        , m_op(op)
        , m_formats(formats)
    {
    }
    bool test(const Row &row) const override
    {
        const auto c = compareValues(m_left->eval(row), m_right->eval(row), m_formats);
        return c && holds(m_op, *c);
    }

private:
    ExprPtr m_left;
    ExprPtr m_right;
    CmpOp m_op;
    const SystemFormats &m_formats;
};

// A field against a constant pattern, the form of the task search: "Task LIKE '%milk%'".
class FieldLike final : public Cond
{
public:
    FieldLike(int index, LikePattern pattern, const SystemFormats &formats)
        : m_index(index)
        , m_pattern(std::move(pattern))
        , m_formats(formats)
    {
    }
    bool test(const Row &row) const override
    {
        const Value *v = cellOf(row, m_index);
        if (!v)
            return false;
        if (v->kind() == Value::Kind::Text)
            return m_pattern.matches(v->text());
        return m_pattern.matches(textOf(*v, m_formats));
    }

private:
    int m_index;
    LikePattern m_pattern;
    const SystemFormats &m_formats;
};

class ExprLike final : public Cond
{
public:
    ExprLike(ExprPtr left, LikePattern pattern, const SystemFormats &formats)
        : m_left(std::move(left))
        , m_pattern(std::move(pattern))
        , m_formats(formats)
    {
    }
    bool test(const Row &row) const override
    {
        const Value v = m_left->eval(row);
        return !v.isNull() && m_pattern.matches(textOf(v, m_formats));
    }

private:
    ExprPtr m_left;
    LikePattern m_pattern;
    const SystemFormats &m_formats;
};

// LIKE with a pattern that comes from the row: compiled per row.
class DynamicLike final : public Cond
{
public:
    DynamicLike(ExprPtr left, ExprPtr pattern, const SystemFormats &formats)
        : m_left(std::move(left))
        , m_pattern(std::move(pattern))
        , m_formats(formats)
    {
    }
    bool test(const Row &row) const override
    {
        const Value v = m_left->eval(row);
        const Value p = m_pattern->eval(row);
        if (v.isNull() || p.isNull())
            return false;
        return LikePattern(leftChars(textOf(p, m_formats), LiteralChars)).matches(textOf(v, m_formats));
    }

private:
    ExprPtr m_left;
    ExprPtr m_pattern;
    const SystemFormats &m_formats;
};

class InCond final : public Cond
{
public:
    InCond(ExprPtr left, std::vector<ExprPtr> items, const SystemFormats &formats)
        : m_left(std::move(left))
        , m_items(std::move(items))
        , m_formats(formats)
    {
    }
    bool test(const Row &row) const override
    {
        const Value v = m_left->eval(row);
        if (v.isNull())
            return false;
        for (const ExprPtr &item : m_items) {
            const auto c = compareValues(v, item->eval(row), m_formats);
            if (c && *c == 0)
                return true;
        }
        return false;
    }

private:
    ExprPtr m_left;
    std::vector<ExprPtr> m_items;
    const SystemFormats &m_formats;
};

class FieldRef final : public Expr
{
public:
    explicit FieldRef(int index)
        : m_index(index)
    {
    }
    Value eval(const Row &row) const override
    {
        const Value *v = cellOf(row, m_index);
        return v ? *v : Value();
    }

private:
    int m_index;
};

class Constant final : public Expr
{
public:
    explicit Constant(Value value)
        : m_value(std::move(value))
    {
    }
    Value eval(const Row &) const override { return m_value; }

private:
    Value m_value;
};

// A condition used as a value: "(Progress > 50) = True".
class CondValue final : public Expr
{
public:
    explicit CondValue(CondPtr cond)
        : m_cond(std::move(cond))
    {
    }
    Value eval(const Row &row) const override { return Value::boolean(m_cond->test(row)); }

private:
    CondPtr m_cond;
};

// A run of "+" and "-" (or "*" and "/") kept flat, so a long sum does not nest the tree.
class ArithChain final : public Expr
{
public:
    explicit ArithChain(ExprPtr first)
        : m_first(std::move(first))
    {
    }
    void append(ArithOp op, ExprPtr operand) { m_steps.push_back({ op, std::move(operand) }); }
    Value eval(const Row &row) const override
    {
        Value acc = m_first->eval(row);
        for (const Step &step : m_steps) {
            if (acc.isNull())
                break;
            acc = arithmetic(step.op, acc, step.operand->eval(row));
        }
        return acc;
    }

private:
    struct Step
    {
        ArithOp op;
        ExprPtr operand;
    };
    ExprPtr m_first;
    std::vector<Step> m_steps;
};

// --- Tokens --------------------------------------------------------------------------------------

enum class Tok : quint8 {
    End,
    Name,
    Text,
    Number,
    And,
    Or,
    Not,
    Like,
    In,
    Is,
    Null,
    True,
    False,
    Eq,
    Ne,
    Lt,
    Gt,
    Le,
    Ge,
    Plus,
    Minus,
    Star,
    Slash,
    LParen,
    RParen,
    Comma,
};

struct Token
{
    Tok kind = Tok::End;
    QString text; // a name, the characters of a text literal, a number as written
    qsizetype start = 0;
    qsizetype end = 0;
};

class Lexer
{
public:
    Lexer(QString source, QChar decimal)
        : m_src(std::move(source))
        , m_decimal(decimal)
        , m_lastQuote(m_src.lastIndexOf(u'\''))
    {
    }

    bool atEnd()
    {
        skipBlanksAndComments();
        return m_pos >= m_src.size();
    }

    Token next()
    {
        skipBlanksAndComments();
        Token token;
        token.start = m_pos;
        if (m_pos < m_src.size())
            read(token);
        token.end = m_pos;
        switch (token.kind) {
        case Tok::Name:
        case Tok::Text:
        case Tok::Number:
        case Tok::True:
        case Tok::False:
        case Tok::Null:
        case Tok::RParen:
            m_minusIsOperator = true;
            break;
        default:
            m_minusIsOperator = false;
            break;
        }
        return token;
    }

    // The token as the user wrote it, for "... expected but %s found".
    QString describe(const Token &token) const
    {
        if (token.kind == Tok::End)
            return QStringLiteral("end of text");
        return m_src.mid(token.start, token.end - token.start);
    }

private:
    void skipBlanksAndComments()
    {
        const qsizetype n = m_src.size();
        for (;;) {
            while (m_pos < n && isBlank(m_src[m_pos]))
                ++m_pos;
            if (m_pos + 1 < n && m_src[m_pos] == u'/' && m_src[m_pos + 1] == u'*') {
                const qsizetype close = m_src.indexOf(QStringLiteral("*/"), m_pos + 2);
                if (close < 0)
                    fail(QStringLiteral("Invalid filter expression character: '/'"));
                m_pos = close + 2;
                continue;
            }
            return;
        }
    }

    void read(Token &token)
    {
        const QChar c = m_src[m_pos];
        if (isNameStart(c))
            readName(token);
        else if (c == u'[')
            readBracketedName(token);
        else if (c == u'\'')
            readText(token);
        else if (isDigit(c) || (c == u'-' && !m_minusIsOperator))
            readNumber(token);
        else
            readOperator(token);
    }

    void readName(Token &token)
    {
        const qsizetype start = m_pos;
        while (m_pos < m_src.size() && isNamePart(m_src[m_pos]))
            ++m_pos;
        const QStringView name = QStringView(m_src).sliced(start, m_pos - start);
        static const struct
        {
            const char *word;
            Tok kind;
        } keywords[] = { { "AND", Tok::And }, { "OR", Tok::Or }, { "NOT", Tok::Not }, { "LIKE", Tok::Like },
            { "IN", Tok::In }, { "IS", Tok::Is }, { "NULL", Tok::Null }, { "TRUE", Tok::True },
            { "FALSE", Tok::False } };
        for (const auto &keyword : keywords) {
            if (isWord(name, keyword.word)) {
                token.kind = keyword.kind;
                return;
            }
        }
        token.kind = Tok::Name;
        token.text = name.toString();
    }

    void readBracketedName(Token &token)
    {
        const qsizetype close = m_src.indexOf(u']', m_pos + 1);
        if (close < 0)
            fail(QStringLiteral("Unterminated field name"));
        token.kind = Tok::Name;
        token.text = m_src.mid(m_pos + 1, close - m_pos - 1);
        m_pos = close + 1;
    }

    void readText(Token &token)
    {
        const qsizetype n = m_src.size();
        QString text;
        qsizetype i = m_pos + 1;
        for (;;) {
            if (i >= n)
                fail(QStringLiteral("Unterminated string constant"));
            const QChar c = m_src[i];
            if (c != u'\'') {
                text.append(c);
                ++i;
            } else if (i + 1 < n && m_src[i + 1] == u'\'') {
                text.append(c);
                i += 2;
            } else if (quoteEndsLiteral(i)) {
                ++i;
                break;
            } else {
                text.append(c);
                ++i;
            }
        }
        token.kind = Tok::Text;
        token.text = leftChars(text, LiteralChars);
        m_pos = i;
    }

    // Whether the lone quote at `q` closes a literal or is a character of it.
    bool quoteEndsLiteral(qsizetype q)
    {
        if (q >= m_lastQuote)
            return true;
        const qsizetype n = m_src.size();
        qsizetype s = q + 1;
        while (s < n && (isBlank(m_src[s]) || m_src[s] == u')'))
            ++s;
        if (s >= n)
            return true;
        const QChar c = m_src[s];
        // A comma ends it too, so an IN list needs no blanks: ('Paused','Complete').
        if (c == u'\'' || c == u',' || (c == u'/' && s + 1 < n && m_src[s + 1] == u'*'))
            return true;
        buildWordTables();
        const QStringView word = wordAt(s);
        if (word.isEmpty())
            return false;
        static const char *const endWords[] = { "AND", "OR", "LIKE", "IS", "NULL", "ASC", "ASCENDING", "DESC",
            "DESCENDING", "SELECT", "FROM", "WHERE", "HAVING", "UNION", "PLAN" };
        for (const char *w : endWords) {
            if (isWord(word, w))
                return true;
        }
        if (isNumberWord(word))
            return true;
        const qsizetype secondStart = m_nextNonBlank[size_t(s + word.size())];
        const QStringView second = wordAt(secondStart);
        if (isWord(second, "NULL"))
            return true;
        if (isWord(second, "NOT")
            && isWord(wordAt(m_nextNonBlank[size_t(secondStart + second.size())]), "NULL"))
            return true;
        if ((isWord(word, "GROUP") || isWord(word, "ORDER")) && isWord(second, "BY"))
            return true;
        return isWord(word, "FOR") && isWord(second, "UPDATE");
    }

    bool isNumberWord(QStringView word) const
    {
        bool digit = false;
        for (QChar c : word) {
            if (!isNumberPart(c, m_decimal))
                return false;
            digit = digit || isDigit(c);
        }
        return digit;
    }

    // A word runs to the next blank, "(" or ",". The tables answer "where does the word at i end"
    // and "where is the next non-blank" in one step, so that many quotes in one long word cannot
    // make reading a literal quadratic.
    void buildWordTables()
    {
        if (!m_wordEnd.empty())
            return;
        const qsizetype n = m_src.size();
        m_wordEnd.assign(size_t(n + 1), n);
        m_nextNonBlank.assign(size_t(n + 1), n);
        for (qsizetype i = n - 1; i >= 0; --i) {
            const QChar c = m_src[i];
            m_wordEnd[size_t(i)] = isBlank(c) || c == u'(' || c == u',' ? i : m_wordEnd[size_t(i + 1)];
            m_nextNonBlank[size_t(i)] = isBlank(c) ? m_nextNonBlank[size_t(i + 1)] : i;
        }
    }

    QStringView wordAt(qsizetype s) const { return QStringView(m_src).sliced(s, m_wordEnd[size_t(s)] - s); }

    void readNumber(Token &token)
    {
        const qsizetype start = m_pos;
        ++m_pos; // the "-" or first digit
        while (m_pos < m_src.size() && isNumberPart(m_src[m_pos], m_decimal))
            ++m_pos;
        token.kind = Tok::Number;
        token.text = m_src.mid(start, m_pos - start);
    }

    void readOperator(Token &token)
    {
        const QChar c = m_src[m_pos];
        const QChar after = m_pos + 1 < m_src.size() ? m_src[m_pos + 1] : QChar();
        qsizetype length = 1;
        switch (c.unicode()) {
        case u'=':
            token.kind = Tok::Eq;
            break;
        case u'<':
            if (after == u'>') {
                token.kind = Tok::Ne;
                length = 2;
            } else if (after == u'=') {
                token.kind = Tok::Le;
                length = 2;
            } else {
                token.kind = Tok::Lt;
            }
            break;
        case u'>':
            if (after == u'=') {
                token.kind = Tok::Ge;
                length = 2;
            } else {
                token.kind = Tok::Gt;
            }
            break;
        case u'+':
            token.kind = Tok::Plus;
            break;
        case u'-':
            token.kind = Tok::Minus;
            break;
        case u'*':
            token.kind = Tok::Star;
            break;
        case u'/':
            token.kind = Tok::Slash;
            break;
        case u'(':
            token.kind = Tok::LParen;
            break;
        case u')':
            token.kind = Tok::RParen;
            break;
        case u',':
            token.kind = Tok::Comma;
            break;
        default:
            fail(QStringLiteral("Invalid filter expression character: '%1'").arg(c));
        }
        m_pos += length;
    }

    QString m_src;
    QChar m_decimal;
    qsizetype m_lastQuote;
    qsizetype m_pos = 0;
    bool m_minusIsOperator = false;
    std::vector<qsizetype> m_wordEnd;
    std::vector<qsizetype> m_nextNonBlank;
};

// --- Parsing and typing --------------------------------------------------------------------------

// The static type of an operand. Memo stands for every field that holds opaque text (memo and the
// foreign blob-like types): it may only meet LIKE.
enum class Type : quint8 { Boolean, Integer, Float, Date, DateTime, Time, Text, Memo };

Type typeOfKind(Value::Kind kind)
{
    switch (kind) {
    case Value::Kind::Integer:
        return Type::Integer;
    case Value::Kind::Float:
        return Type::Float;
    case Value::Kind::Boolean:
        return Type::Boolean;
    case Value::Kind::Date:
        return Type::Date;
    case Value::Kind::DateTime:
        return Type::DateTime;
    case Value::Kind::Time:
        return Type::Time;
    default:
        return Type::Text;
    }
}

Type typeOfField(FieldType type)
{
    switch (type) {
    case FieldType::Memo:
    case FieldType::Blob:
    case FieldType::Nested:
    case FieldType::IntArray:
    case FieldType::UIntArray:
    case FieldType::Variant:
        return Type::Memo;
    default:
        return typeOfKind(Field::kindOf(type));
    }
}

bool isNumeric(Type t)
{
    return t == Type::Integer || t == Type::Float;
}

bool isDate(Type t)
{
    return t == Type::Date || t == Type::DateTime;
}

bool comparable(Type a, Type b)
{
    if (a == Type::Memo || b == Type::Memo)
        return false;
    return (isNumeric(a) && isNumeric(b)) || (isDate(a) && isDate(b)) || a == b;
}

// What a piece of the expression is while the parser types it. Literals stay untyped until they
// meet the operand that gives them a type.
struct Operand
{
    enum class Form : quint8 { Null, TextLiteral, NumberLiteral, BooleanLiteral, Value, Condition };

    Form form = Form::Null;
    QString text; // literals: the characters, the number as written, "True" or "False"
    Type type = Type::Boolean; // Value
    const Field *field = nullptr; // Value that is a field as such
    ExprPtr expr; // Value
    CondPtr cond; // Condition

    bool isLiteral() const
    {
        return form == Form::TextLiteral || form == Form::NumberLiteral || form == Form::BooleanLiteral;
    }
    bool isMemo() const { return form == Form::Value && type == Type::Memo; }

    static Operand literal(Form form, QString text)
    {
        Operand o;
        o.form = form;
        o.text = std::move(text);
        return o;
    }
    static Operand value(ExprPtr expr, Type type, const Field *field = nullptr)
    {
        Operand o;
        o.form = Form::Value;
        o.expr = std::move(expr);
        o.type = type;
        o.field = field;
        return o;
    }
    static Operand condition(CondPtr cond)
    {
        Operand o;
        o.form = Form::Condition;
        o.cond = std::move(cond);
        return o;
    }
};

class Parser
{
public:
    // The fields the expression reads, in the order first named.
    const std::vector<int> &usedFields() const { return m_used; }

    Parser(const QString &text, const std::vector<Field> &fields, const SystemFormats &formats)
        : m_lexer(text, formats.decimalSeparator())
        , m_fields(fields)
        , m_formats(formats)
    {
    }

    CondPtr parseAll()
    {
        if (m_lexer.atEnd())
            return std::make_unique<ConstCond>(true);
        advance();
        Operand whole = parseExpression();
        if (m_tok.kind != Tok::End)
            expected("Operator");
        return toCond(std::move(whole));
    }

private:
    void advance() { m_tok = m_lexer.next(); }

    [[noreturn]] void expected(const char *what) const
    {
        fail(QStringLiteral("%1 expected but %2 found").arg(QLatin1String(what), m_lexer.describe(m_tok)));
    }

    // expression := conjunction { OR conjunction }
    Operand parseExpression()
    {
        if (++m_depth > MaxNesting)
            fail(QStringLiteral("Expression nested too deeply"));
        Operand first = parseConjunction();
        if (m_tok.kind == Tok::Or) {
            std::vector<CondPtr> parts;
            parts.push_back(toCond(std::move(first)));
            while (m_tok.kind == Tok::Or) {
                advance();
                parts.push_back(toCond(parseConjunction()));
            }
            first = Operand::condition(std::make_unique<OrCond>(std::move(parts)));
        }
        --m_depth;
        return first;
    }

    // conjunction := negation { AND negation }
    Operand parseConjunction()
    {
        Operand first = parseNegation();
        if (m_tok.kind != Tok::And)
            return first;
        std::vector<CondPtr> parts;
        parts.push_back(toCond(std::move(first)));
        while (m_tok.kind == Tok::And) {
            advance();
            parts.push_back(toCond(parseNegation()));
        }
        return Operand::condition(std::make_unique<AndCond>(std::move(parts)));
    }

    // negation := NOT comparison | comparison
    Operand parseNegation()
    {
        if (m_tok.kind != Tok::Not)
            return parseComparison();
        advance();
        return Operand::condition(std::make_unique<NotCond>(toCond(parseComparison())));
    }

    Operand parseComparison()
    {
        Operand left = parseSum();
        CmpOp op = CmpOp::Eq;
        switch (m_tok.kind) {
        case Tok::Eq:
            op = CmpOp::Eq;
            break;
        case Tok::Ne:
            op = CmpOp::Ne;
            break;
        case Tok::Lt:
            op = CmpOp::Lt;
            break;
        case Tok::Gt:
            op = CmpOp::Gt;
            break;
        case Tok::Le:
            op = CmpOp::Le;
            break;
        case Tok::Ge:
            op = CmpOp::Ge;
            break;
        case Tok::Like: {
            advance();
            Operand pattern = parseSum();
            return Operand::condition(compileLike(std::move(left), std::move(pattern)));
        }
        case Tok::Is: {
            advance();
            const bool negated = m_tok.kind == Tok::Not;
            if (negated)
                advance();
            if (m_tok.kind != Tok::Null)
                fail(QStringLiteral("Invalid use of keyword"));
            advance();
            return Operand::condition(
                compileCompare(negated ? CmpOp::Ne : CmpOp::Eq, std::move(left), Operand(), false));
        }
        case Tok::In:
            return Operand::condition(parseIn(std::move(left)));
        default:
            return left;
        }
        advance();
        Operand right = parseSum();
        return Operand::condition(compileCompare(op, std::move(left), std::move(right), true));
    }

    CondPtr parseIn(Operand left)
    {
        advance();
        if (m_tok.kind != Tok::LParen)
            expected("'('");
        advance();
        if (m_tok.kind == Tok::RParen)
            fail(QStringLiteral("IN predicate list may not be empty"));
        std::vector<Operand> items;
        for (;;) {
            items.push_back(parseExpression());
            if (m_tok.kind == Tok::Comma) {
                advance();
            } else if (m_tok.kind == Tok::RParen) {
                advance();
                break;
            } else {
                expected("')' or ','");
            }
        }
        return compileIn(std::move(left), std::move(items));
    }

    // sum := product { ("+" | "-") product }; product := primary { ("*" | "/") primary }
    Operand parseArithmetic(bool sum)
    {
        Operand acc = sum ? parseArithmetic(false) : parsePrimary();
        ArithChain *chain = nullptr;
        for (;;) {
            ArithOp op;
            if (sum && m_tok.kind == Tok::Plus)
                op = ArithOp::Add;
            else if (sum && m_tok.kind == Tok::Minus)
                op = ArithOp::Sub;
            else if (!sum && m_tok.kind == Tok::Star)
                op = ArithOp::Mul;
            else if (!sum && m_tok.kind == Tok::Slash)
                op = ArithOp::Div;
            else
                return acc;
            advance();
            Operand right = sum ? parseArithmetic(false) : parsePrimary();
            const Type type = typeArithmetic(op, acc, right);
            if (!chain) {
                auto node = std::make_unique<ArithChain>(std::move(acc.expr));
                chain = node.get();
                acc = Operand::value(std::move(node), type);
            }
            chain->append(op, std::move(right.expr));
            acc.type = type;
        }
    }

    Operand parseSum() { return parseArithmetic(true); }

    Operand parsePrimary()
    {
        Operand result;
        switch (m_tok.kind) {
        case Tok::Name: {
            const Field &field = resolve(m_tok.text);
            result = Operand::value(
                std::make_unique<FieldRef>(field.index()), typeOfField(field.type()), &field);
            break;
        }
        case Tok::Null:
            break;
        case Tok::True:
            result = Operand::literal(Operand::Form::BooleanLiteral, QStringLiteral("True"));
            break;
        case Tok::False:
            result = Operand::literal(Operand::Form::BooleanLiteral, QStringLiteral("False"));
            break;
        case Tok::Text:
            result = Operand::literal(Operand::Form::TextLiteral, m_tok.text);
            break;
        case Tok::Number:
            result = Operand::literal(Operand::Form::NumberLiteral, m_tok.text);
            break;
        case Tok::LParen:
            advance();
            result = parseExpression();
            if (m_tok.kind != Tok::RParen)
                expected("')'");
            break;
        default:
            expected("Expression");
        }
        advance();
        return result;
    }

    const Field &resolve(const QString &name) const
    {
        for (const Field &field : m_fields) {
            if (field.name().compare(name, Qt::CaseInsensitive) == 0) {
                if (std::find(m_used.begin(), m_used.end(), field.index()) == m_used.end())
                    m_used.push_back(field.index());
                return field;
            }
        }
        fail(QStringLiteral("Field '%1' not found").arg(name));
    }

    // --- Typing ---

    // The value of a literal in `type`. With a field, integers are checked against its range.
    Value literalAs(const Operand &lit, Type type, const Field *field) const
    {
        const QString &text = lit.text;
        const bool isBoolean = lit.form == Operand::Form::BooleanLiteral;
        switch (type) {
        case Type::Text:
            return Value::text(
                lit.form == Operand::Form::TextLiteral ? leftChars(text, TextValueChars) : text);
        case Type::Boolean:
            if (isBoolean
                || (lit.form == Operand::Form::TextLiteral
                    && (isWord(text, "TRUE") || isWord(text, "FALSE"))))
                return Value::boolean(isWord(text, "TRUE"));
            fail(QStringLiteral("'%1' is not a valid boolean value").arg(text));
        case Type::Integer:
            if (isBoolean)
                failTypeMismatch();
            if (field) {
                const auto v = readInteger(text);
                if (!v)
                    fail(QStringLiteral("'%1' is not a valid integer value").arg(text));
                if (*v < field->minimum() || *v > field->maximum())
                    fail(QStringLiteral("Constant out of range"));
                return Value::integer(*v);
            }
            return readNumber(text);
        case Type::Float:
            if (isBoolean)
                failTypeMismatch();
            if (field) {
                const auto v = readFloat(text, m_formats.decimalSeparator());
                if (!v)
                    fail(QStringLiteral("'%1' is not a valid floating point value").arg(text));
                return Value::floating(*v);
            }
            return readNumber(text);
        case Type::Date: {
            if (isBoolean)
                failTypeMismatch();
            const auto date = m_formats.parseDate(text);
            if (!date)
                fail(QStringLiteral("'%1' is not a valid date").arg(text));
            return Value::fromDate(*date);
        }
        case Type::DateTime: {
            if (isBoolean)
                failTypeMismatch();
            const auto moment = m_formats.parseDateTime(text);
            if (!moment)
                fail(QStringLiteral("'%1' is not a valid date and time").arg(text));
            return Value::fromDateTime(moment->first, moment->second);
        }
        case Type::Time: {
            if (isBoolean)
                failTypeMismatch();
            const auto time = readTime(text, m_formats);
            if (!time)
                fail(QStringLiteral("'%1' is not a valid time").arg(text));
            return Value::time(time->msecsSinceStartOfDay());
        }
        case Type::Memo:
            break;
        }
        failTypeMismatch();
    }

    // A number without a field to fit: an integer when it is whole, else floating point.
    Value readNumber(const QString &text) const
    {
        if (const auto v = readInteger(text))
            return Value::integer(*v);
        if (const auto v = readFloat(text, m_formats.decimalSeparator()))
            return Value::floating(*v);
        const bool looksFloating
            = text.contains(m_formats.decimalSeparator()) || text.contains(u'e', Qt::CaseInsensitive);
        fail(QLatin1String(
            looksFloating ? "'%1' is not a valid floating point value" : "'%1' is not a valid integer value")
                 .arg(text));
    }

    // Turns the operand into a typed value in place: a literal becomes a constant of `type`, a
    // condition becomes a boolean. Every caller gives a literal its type first, from the operand it
    // meets; a literal left alone counts as a text.
    void settle(Operand &o, Type type = Type::Text) const
    {
        if (o.form == Operand::Form::Null)
            failNullOperator();
        if (o.form == Operand::Form::Condition) {
            o = Operand::value(std::make_unique<CondValue>(std::move(o.cond)), Type::Boolean);
        } else if (o.isLiteral()) {
            Value v = literalAs(o, type, nullptr);
            const Type t = typeOfKind(v.kind());
            o = Operand::value(std::make_unique<Constant>(std::move(v)), t);
        }
    }

    // The type two literals share when they meet each other.
    static Type sharedLiteralType(const Operand &a, const Operand &b)
    {
        using F = Operand::Form;
        if (a.form == b.form)
            return a.form == F::TextLiteral  ? Type::Text
                : a.form == F::NumberLiteral ? Type::Integer
                                             : Type::Boolean;
        if (a.form == F::BooleanLiteral || b.form == F::BooleanLiteral) {
            if (a.form == F::NumberLiteral || b.form == F::NumberLiteral)
                failTypeMismatch();
            return Type::Boolean;
        }
        return Type::Integer; // a text meets a number: read the text as a number
    }

    CondPtr toCond(Operand o) const
    {
        switch (o.form) {
        case Operand::Form::Null:
            failNullOperator();
        case Operand::Form::Condition:
            return std::move(o.cond);
        case Operand::Form::BooleanLiteral:
            return std::make_unique<ConstCond>(isWord(o.text, "TRUE"));
        case Operand::Form::Value:
            // Sums and products are never boolean, so a boolean field is the only value that can
            // stand as a condition.
            if (o.type != Type::Boolean || !o.field)
                failTypeMismatch();
            return std::make_unique<FieldTruth>(o.field->index());
        default:
            failTypeMismatch();
        }
    }

    // A comparison of two operands; IS [NOT] NULL comes here as "= NULL" and "<> NULL".
    CondPtr compileCompare(CmpOp op, Operand left, Operand right, bool prefixRule) const
    {
        using F = Operand::Form;
        if (left.form == F::Null || right.form == F::Null) {
            if (op != CmpOp::Eq && op != CmpOp::Ne)
                failNullOperator();
            const bool wantNull = op == CmpOp::Eq;
            Operand &other = left.form == F::Null ? right : left;
            if (other.form == F::Null)
                return std::make_unique<ConstCond>(wantNull);
            if (other.form != F::Value)
                return std::make_unique<ConstCond>(!wantNull); // a literal or a condition is never null
            if (other.isMemo())
                failTypeMismatch();
            if (other.field)
                return std::make_unique<FieldIsNull>(other.field->index(), wantNull);
            return std::make_unique<ExprIsNull>(std::move(other.expr), wantNull);
        }
        if (left.isMemo() || right.isMemo())
            failTypeMismatch();
        if (left.isLiteral() && right.isLiteral()) {
            const Type type = sharedLiteralType(left, right);
            settle(left, type);
            settle(right, type);
        }
        if (left.isLiteral()) {
            std::swap(left, right);
            op = mirrored(op);
        }
        settle(left);
        if (right.isLiteral()) {
            Value v = literalAs(right, left.type, left.field);
            if (left.field && left.type == Type::Text) {
                QString literal = v.text();
                qsizetype prefix = -1;
                if (prefixRule && (op == CmpOp::Eq || op == CmpOp::Ne) && right.form == F::TextLiteral
                    && charCount(literal) >= 2 && literal.endsWith(u'*')) {
                    literal.chop(1);
                    prefix = charCount(literal);
                }
                return std::make_unique<FieldTextCompare>(
                    left.field->index(), op, std::move(literal), prefix, m_formats);
            }
            if (left.field && FieldScalarCompare::handles(v.kind()))
                return std::make_unique<FieldScalarCompare>(left.field->index(), op, std::move(v), m_formats);
            return std::make_unique<ExprCompare>(
                std::move(left.expr), op, std::make_unique<Constant>(std::move(v)), m_formats);
        }
        settle(right);
        if (!comparable(left.type, right.type))
            failTypeMismatch();
        return std::make_unique<ExprCompare>(std::move(left.expr), op, std::move(right.expr), m_formats);
    }

    CondPtr compileLike(Operand left, Operand pattern) const
    {
        if (left.form == Operand::Form::Null || pattern.form == Operand::Form::Null)
            failNullOperator();
        if (pattern.isLiteral()) {
            // The pattern keeps all 256 characters of its literal; only compared texts are cut to 255.
            LikePattern compiled(pattern.text);
            if (left.isLiteral())
                return std::make_unique<ConstCond>(
                    compiled.matches(literalAs(left, Type::Text, nullptr).text()));
            if (left.field)
                return std::make_unique<FieldLike>(left.field->index(), std::move(compiled), m_formats);
            settle(left);
            return std::make_unique<ExprLike>(std::move(left.expr), std::move(compiled), m_formats);
        }
        settle(left, Type::Text);
        settle(pattern);
        return std::make_unique<DynamicLike>(std::move(left.expr), std::move(pattern.expr), m_formats);
    }

    CondPtr compileIn(Operand left, std::vector<Operand> items) const
    {
        using F = Operand::Form;
        if (left.form == F::Null)
            failNullOperator();
        for (const Operand &item : items) {
            if (item.form == F::Null)
                failNullOperator();
            if (item.isMemo())
                failTypeMismatch();
        }
        if (left.isMemo())
            failTypeMismatch();
        if (left.isLiteral()) {
            // A literal on the left meets each element as in "=".
            std::vector<CondPtr> alternatives;
            for (Operand &item : items)
                alternatives.push_back(compileCompare(
                    CmpOp::Eq, Operand::literal(left.form, left.text), std::move(item), false));
            return std::make_unique<OrCond>(std::move(alternatives));
        }
        settle(left);
        std::vector<ExprPtr> exprs;
        for (Operand &item : items) {
            if (item.isLiteral()) {
                exprs.push_back(std::make_unique<Constant>(literalAs(item, left.type, left.field)));
                continue;
            }
            settle(item);
            if (!comparable(left.type, item.type))
                failTypeMismatch();
            exprs.push_back(std::move(item.expr));
        }
        return std::make_unique<InCond>(std::move(left.expr), std::move(exprs), m_formats);
    }

    // Types one step of a sum or product and settles both operands into values. Returns the type of
    // the result.
    Type typeArithmetic(ArithOp op, Operand &left, Operand &right) const
    {
        using F = Operand::Form;
        if (left.form == F::Null || right.form == F::Null)
            failNullOperator();
        if (left.isMemo() || right.isMemo())
            failTypeMismatch();
        if (left.isLiteral() && right.isLiteral()) {
            const Type type = sharedLiteralType(left, right);
            if (type == Type::Boolean)
                failTypeMismatch();
            settle(left, type);
            settle(right, type);
        } else if (left.isLiteral()) {
            settleAgainst(left, right, op);
        } else if (right.isLiteral()) {
            settleAgainst(right, left, op);
        }
        settle(left);
        settle(right);
        return resultType(op, left.type, right.type);
    }

    // A literal in arithmetic with a typed operand: it joins a text as a text, a number as a number;
    // with a date it counts days, except that a text after "-" is a date ("CompletedDate - '3/1/2024'").
    void settleAgainst(Operand &lit, Operand &other, ArithOp op) const
    {
        settle(other);
        switch (other.type) {
        case Type::Text:
            settle(lit, Type::Text);
            break;
        case Type::Integer:
        case Type::Float:
            settle(lit, Type::Integer);
            break;
        case Type::Date:
        case Type::DateTime:
            settle(lit,
                op == ArithOp::Sub && lit.form == Operand::Form::TextLiteral ? other.type : Type::Integer);
            break;
        default:
            failTypeMismatch();
        }
    }

    static Type resultType(ArithOp op, Type a, Type b)
    {
        const bool additive = op == ArithOp::Add || op == ArithOp::Sub;
        if (a == Type::Text && b == Type::Text && op == ArithOp::Add)
            return Type::Text;
        if (isNumeric(a) && isNumeric(b))
            return op == ArithOp::Div || a == Type::Float || b == Type::Float ? Type::Float : Type::Integer;
        if (isDate(a) && isNumeric(b) && additive)
            return a == Type::Date && b == Type::Integer ? Type::Date : Type::DateTime;
        if (isNumeric(a) && isDate(b) && op == ArithOp::Add)
            return b == Type::Date && a == Type::Integer ? Type::Date : Type::DateTime;
        if (isDate(a) && isDate(b) && op == ArithOp::Sub)
            return a == Type::Date && b == Type::Date ? Type::Integer : Type::Float;
        failTypeMismatch();
    }

    Lexer m_lexer;
    const std::vector<Field> &m_fields;
    const SystemFormats &m_formats;
    Token m_tok;
    int m_depth = 0;
    mutable std::vector<int> m_used;
};

// The parsed filter: its own copy of the formats (the current formats may be replaced while the
// filter lives) and the condition tree, whose nodes refer to that copy.
class CompiledFilter final : public FilterExpr
{
public:
    CompiledFilter(std::unique_ptr<const SystemFormats> formats, CondPtr root, std::vector<int> fields)
        : m_formats(std::move(formats))
        , m_root(std::move(root))
        , m_fields(std::move(fields))
    {
    }

    bool matches(const std::vector<Value> &row) const override { return m_root->test(row); }
    const std::vector<int> &fieldsRead() const override { return m_fields; }

private:
    std::unique_ptr<const SystemFormats> m_formats;
    CondPtr m_root;
    std::vector<int> m_fields;
};

} // namespace

std::unique_ptr<FilterExpr> FilterExpr::parse(
    const QString &text, const std::vector<Field> &fields, const SystemFormats &formats)
{
    // A zero character ends a text, as it ends any text of the program.
    const qsizetype zero = text.indexOf(QChar(0));
    auto ownFormats = std::make_unique<const SystemFormats>(formats);
    Parser parser(zero < 0 ? text : text.left(zero), fields, *ownFormats);
    CondPtr root = parser.parseAll();
    return std::make_unique<CompiledFilter>(std::move(ownFormats), std::move(root), parser.usedFields());
}

} // namespace ql
