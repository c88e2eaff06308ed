#pragma once

#include "storage/Value.h"

#include <QString>

namespace ql {

class SystemFormats;

// The text of a value as the program shows it everywhere: the grid's cells, copied text, the
// report and the text that LIKE matches a value against. One function, so that a search matches
// exactly what the user sees.
//
//   null                 empty text
//   text                 as stored
//   integer              decimal digits, "-" before a negative one
//   floating point       up to 15 significant digits, with the locale's decimal separator
//   boolean              "True" or "False"
//   date                 the short date format (empty for a day no calendar can show)
//   date and time        the short date format, a blank and the long time format; in a date field
//                        (`fieldKind` Date) only the date
//   time                 the long time format
QString DisplayText(const Value &value, Value::Kind fieldKind, const SystemFormats &formats);

// A value's own kind stands for the field's, for values computed from an expression.
inline QString DisplayText(const Value &value, const SystemFormats &formats)
{
    return DisplayText(value, value.kind(), formats);
}

} // namespace ql
