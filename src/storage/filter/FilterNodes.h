#pragma once

// The tree a filter is parsed into: conditions (the truth of a row) and expressions (a value of a
// row), each evaluated per row. Internal to the filter.

#include "storage/ValueText.h"
#include "storage/filter/FilterValues.h"
#include "storage/filter/LikePattern.h"

#include <memory>
#include <vector>

namespace ql::filter {

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
inline const Value *cellOf(const Row &row, int index)
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
    FieldLike(const Field &field, LikePattern pattern, const SystemFormats &formats)
        : m_index(field.index())
        , m_fieldKind(field.valueKind())
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
        return m_pattern.matches(DisplayText(*v, m_fieldKind, m_formats));
    }

    int fieldIndex() const { return m_index; }
    const LikePattern &pattern() const { return m_pattern; }

private:
    int m_index;
    Value::Kind m_fieldKind;
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
        return !v.isNull() && m_pattern.matches(DisplayText(v, m_formats));
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
        return LikePattern(leftChars(DisplayText(p, m_formats), LiteralChars))
            .matches(DisplayText(v, m_formats));
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

} // namespace ql::filter
