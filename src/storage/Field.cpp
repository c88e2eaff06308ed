#include "storage/Field.h"

#include <limits>

namespace ql {

namespace {
QString makeAttrName(const QString &name)
{
    QString out = name;
    for (QChar &c : out) {
        switch (c.unicode()) {
        case ' ':
        case '!':
        case '#':
        case '$':
        case '%':
        case '(':
        case ')':
        case '*':
        case '?':
            c = u'_';
            break;
        default:
            break;
        }
    }
    return out;
}
} // namespace

Field::Field(FieldDef def, int index)
    : m_def(std::move(def))
    , m_index(index)
    , m_attrName(makeAttrName(m_def.name))
{
}

Value::Kind Field::kindOf(FieldType type)
{
    switch (type) {
    case FieldType::Integer:
    case FieldType::Word:
    case FieldType::Counter:
    case FieldType::ShortInt:
    case FieldType::SmallInt:
    case FieldType::LargeInt:
    case FieldType::Byte:
    case FieldType::LongWord:
        return Value::Kind::Integer;
    case FieldType::Float:
    case FieldType::Fixed:
    case FieldType::FixedFmt:
        return Value::Kind::Float;
    case FieldType::Boolean:
        return Value::Kind::Boolean;
    case FieldType::Date:
        return Value::Kind::Date;
    case FieldType::DateTime:
    case FieldType::SqlDateTime:
        return Value::Kind::DateTime;
    case FieldType::Time:
        return Value::Kind::Time;
    case FieldType::Text:
    case FieldType::Memo:
    case FieldType::WideText:
    case FieldType::Blob:
    case FieldType::Nested:
    case FieldType::IntArray:
    case FieldType::UIntArray:
    case FieldType::Variant:
        return Value::Kind::Text;
    }
    return Value::Kind::Text;
}

qint64 Field::minimum() const
{
    switch (m_def.type) {
    case FieldType::ShortInt:
        return -128;
    case FieldType::SmallInt:
        return -32768;
    case FieldType::Word:
    case FieldType::Byte:
    case FieldType::LongWord:
        return 0;
    case FieldType::LargeInt:
        return std::numeric_limits<qint64>::min();
    default:
        return std::numeric_limits<qint32>::min();
    }
}

qint64 Field::maximum() const
{
    switch (m_def.type) {
    case FieldType::ShortInt:
        return 127;
    case FieldType::SmallInt:
        return 32767;
    case FieldType::Word:
        return 65535;
    case FieldType::Byte:
        return 255;
    case FieldType::LongWord:
        return 4294967295LL;
    case FieldType::LargeInt:
        return std::numeric_limits<qint64>::max();
    default:
        return std::numeric_limits<qint32>::max();
    }
}

QString Field::typeWord(FieldType type)
{
    switch (type) {
    case FieldType::Text:
        return QStringLiteral("string");
    case FieldType::Integer:
    case FieldType::Counter:
        return QStringLiteral("i4");
    case FieldType::Word:
        return QStringLiteral("ui2");
    case FieldType::Boolean:
        return QStringLiteral("boolean");
    case FieldType::Date:
        return QStringLiteral("date");
    case FieldType::DateTime:
        return QStringLiteral("dateTime");
    case FieldType::Memo:
    case FieldType::Blob:
        return QStringLiteral("bin.hex");
    case FieldType::ShortInt:
        return QStringLiteral("i1");
    case FieldType::SmallInt:
        return QStringLiteral("i2");
    case FieldType::LargeInt:
        return QStringLiteral("i8");
    case FieldType::Byte:
        return QStringLiteral("ui1");
    case FieldType::LongWord:
        return QStringLiteral("ui4");
    case FieldType::Float:
        return QStringLiteral("r8");
    case FieldType::Fixed:
        return QStringLiteral("fixed");
    case FieldType::FixedFmt:
        return QStringLiteral("fixedFMT");
    case FieldType::Time:
        return QStringLiteral("time");
    case FieldType::SqlDateTime:
        return QStringLiteral("SQLdateTime");
    case FieldType::WideText:
        return QStringLiteral("string.uni");
    case FieldType::Nested:
        return QStringLiteral("nested");
    case FieldType::IntArray:
        return QStringLiteral("IntArray");
    case FieldType::UIntArray:
        return QStringLiteral("UIntArray");
    case FieldType::Variant:
        return QString();
    }
    return QString();
}

QString Field::subtypeWord(FieldType type)
{
    if (type == FieldType::Memo)
        return QStringLiteral("Text");
    if (type == FieldType::Counter)
        return QStringLiteral("Autoinc");
    return QString();
}

} // namespace ql
