#include "storage/FilterExpr.h"

#include "platform/Error.h"
#include "platform/SystemFormats.h"
#include "storage/filter/FilterLexer.h"
#include "storage/filter/FilterNodes.h"
#include "storage/filter/FilterValues.h"

#include <cmath>
#include <optional>

namespace ql {

FilterExpr::~FilterExpr() = default;

namespace {

using namespace filter;

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
                return std::make_unique<FieldLike>(*left.field, std::move(compiled), m_formats);
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

    bool narrows(const FilterExpr &previous) const override
    {
        // A search that looks for a longer text containing the earlier one: "%milk%" after "%mil%".
        const auto *earlier = dynamic_cast<const CompiledFilter *>(&previous);
        const auto *now = dynamic_cast<const FieldLike *>(m_root.get());
        const auto *before = earlier ? dynamic_cast<const FieldLike *>(earlier->m_root.get()) : nullptr;
        if (!now || !before || now->fieldIndex() != before->fieldIndex())
            return false;
        const std::optional<QString> text = now->pattern().containedText();
        const std::optional<QString> earlierText = before->pattern().containedText();
        return text && earlierText && text->contains(*earlierText);
    }

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
