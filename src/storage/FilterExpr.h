#pragma once

#include "storage/Field.h"
#include "storage/Value.h"

#include <QString>
#include <memory>
#include <vector>

namespace ql {

class SystemFormats;

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
//
// The parser is FilterExpr.cpp; below it, in storage/filter/, are the lexer (FilterLexer.h), the
// LIKE matcher (LikePattern.h), the reading, comparison and arithmetic of values (FilterValues)
// and the evaluation tree (FilterNodes.h).
class FilterExpr
{
public:
    virtual ~FilterExpr();

    // Parses `text` and types its literals against `fields` in `formats`. Throws ql::Error with the
    // user-facing message when the text cannot be parsed or typed. The filter keeps its own copy of
    // `formats`; a text of nothing but blanks and comments gives a filter that passes every row.
    static std::unique_ptr<FilterExpr> parse(
        const QString &text, const std::vector<Field> &fields, const SystemFormats &formats);

    // Whether the row (values indexed by Field::index()) passes.
    virtual bool matches(const std::vector<Value> &row) const = 0;

    // The indexes of the fields the expression reads, so a caller walking many rows can fetch
    // them ahead.
    virtual const std::vector<int> &fieldsRead() const = 0;

    // Whether every row this expression passes is sure to pass `previous` too, so that a view
    // narrowed from `previous` need only be searched again, not the whole table. False when that
    // cannot be told.
    virtual bool narrows(const FilterExpr &previous) const = 0;

protected:
    FilterExpr() = default;
};

} // namespace ql
