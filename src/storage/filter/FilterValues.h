#pragma once

// The pieces of the filter language below the parser: its messages, the characters of its tokens,
// the reading of literals, and the comparison and arithmetic of values. Internal to the filter.

#include "platform/SystemFormats.h"
#include "storage/Value.h"

#include <QString>
#include <QStringView>
#include <QTime>
#include <optional>
#include <vector>

namespace ql::filter {

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

[[noreturn]] void fail(const QString &message);

[[noreturn]] void failTypeMismatch();

[[noreturn]] void failNullOperator();

// --- Characters ----------------------------------------------------------------------------------

bool isBlank(QChar c);

bool isAsciiLetter(QChar c);

bool isDigit(QChar c);

bool isNameStart(QChar c);

bool isNamePart(QChar c);

bool isNumberPart(QChar c, QChar decimal);

// Keywords are ASCII words; comparing ASCII only keeps look-alike letters of other scripts out.
bool isWord(QStringView text, const char *word);

// Characters are code points: a surrogate pair is one character and is never split.
qsizetype nextChar(QStringView s, qsizetype i);

qsizetype previousChar(QStringView s, qsizetype i);

// The number of code units that the first `chars` characters of `s` take.
qsizetype unitsOfChars(QStringView s, qsizetype chars);

qsizetype charCount(QStringView s);

QString leftChars(const QString &text, qsizetype chars);

// --- Reading literals ----------------------------------------------------------------------------

std::optional<qint64> readInteger(const QString &text);

std::optional<double> readFloat(const QString &text, QChar decimal);

std::optional<QTime> readTime(const QString &text, const SystemFormats &formats);

// --- Values --------------------------------------------------------------------------------------

enum class CmpOp : quint8 { Eq, Ne, Lt, Gt, Le, Ge };

enum class ArithOp : quint8 { Add, Sub, Mul, Div };

bool holds(CmpOp op, int c);

// The operator that gives the same result with the operands swapped.
CmpOp mirrored(CmpOp op);

int threeWay(qint64 a, qint64 b);

qint64 floorDiv(qint64 a, qint64 b);

bool isNumberKind(Value::Kind k);

bool isDateKind(Value::Kind k);

double toDouble(const Value &v);

// A day against a moment, without multiplying the day count into milliseconds (which could overflow).
int compareDayWithMoment(qint64 days, qint64 msecs);

int compareTexts(const QString &a, const QString &b, const SystemFormats &formats);

bool isPrintableAscii(const QString &s);

// Whether two texts are equal by collation. Texts of printable ASCII characters are equal by
// collation only when they are the same: each of those characters has weights of its own and none
// is ignorable. That answers the views' "Status <> 'Complete'" without the collator for almost
// every row.
bool textsEqual(const QString &a, const QString &b, const SystemFormats &formats);

// Compares two values of comparable kinds; empty when either is null or the kinds do not compare.
std::optional<int> compareValues(const Value &a, const Value &b, const SystemFormats &formats);

Value numberArithmetic(ArithOp op, const Value &a, const Value &b);

Value momentFromDouble(double msecs);

// A date or date-time moved by `days` (sign -1 moves back).
Value shiftDate(const Value &date, const Value &days, int sign);

Value dateDifference(const Value &a, const Value &b);

// Arithmetic on row values; null wherever the kinds have no meaning together.
Value arithmetic(ArithOp op, const Value &a, const Value &b);

} // namespace ql::filter
