#pragma once

#include "storage/Field.h"
#include "storage/Value.h"

#include <QString>
#include <memory>
#include <vector>

namespace ql {

class SystemFormats;

// A filter expression, parsed and typed once against a table's fields, then evaluated per row.
// (Grammar and worked examples: see FilterExpr.cpp's header comment.)
class FilterExpr
{
public:
    virtual ~FilterExpr();

    // Parses `text` and types its literals against `fields` in `formats`. Throws ql::Error with the
    // user-facing message when the text cannot be parsed or typed. The filter keeps its own copy of
    // `formats`; a text of nothing but blanks and comments gives a filter that passes every row.
    static std::unique_ptr<FilterExpr> parse(const QString &text, const std::vector<Field> &fields,
                                             const SystemFormats &formats);

    // Whether the row (values indexed by Field::index()) passes.
    virtual bool matches(const std::vector<Value> &row) const = 0;

    // The indexes of the fields the expression reads, so a caller walking many rows can fetch
    // them ahead.
    virtual const std::vector<int> &fieldsRead() const = 0;

protected:
    FilterExpr() = default;
};

} // namespace ql
