#pragma once

#include "storage/Value.h"

#include <QString>

namespace ql {

// Field types. The first eight are the ones the program creates; the rest are read from foreign
// documents and written back with their own type words.
enum class FieldType : quint8 {
    Text, // string, WIDTH N
    Integer, // i4
    Word, // ui2
    Boolean, // boolean
    Date, // date
    DateTime, // dateTime
    Memo, // bin.hex, SUBTYPE Text
    Counter, // i4, SUBTYPE Autoinc
    ShortInt, // i1
    SmallInt, // i2
    LargeInt, // i8
    Byte, // ui1
    LongWord, // ui4
    Float, // r8
    Fixed, // fixed
    FixedFmt, // fixedFMT
    Time, // time
    SqlDateTime, // SQLdateTime
    WideText, // string.uni, WIDTH N
    Blob, // bin.hex without SUBTYPE: Base64 text, kept as read
    Nested, // nested: kept as read
    IntArray, // IntArray: kept as read
    UIntArray, // UIntArray: kept as read
    Variant, // a type only binary datapackets know; cannot be written as XML
};

struct FieldDef
{
    QString name;
    FieldType type = FieldType::Text;
    int width = 0; // characters, for Text and WideText
    bool readOnly = false;
    bool required = false;
    bool hidden = false;
    bool linkField = false;
};

class Field
{
public:
    Field(FieldDef def, int index);

    const QString &name() const { return m_def.name; }
    FieldType type() const { return m_def.type; }
    int width() const { return m_def.width; }
    int index() const { return m_index; }
    const FieldDef &def() const { return m_def; }

    // The kind of Value the field holds.
    Value::Kind valueKind() const { return kindOf(m_def.type); }
    bool isText() const { return valueKind() == Value::Kind::Text; }
    bool isMemo() const { return m_def.type == FieldType::Memo; }
    bool isInteger() const { return valueKind() == Value::Kind::Integer; }

    // The inclusive range of an integer type.
    qint64 minimum() const;
    qint64 maximum() const;

    // The name with blank ! # $ % ( ) * ? replaced by "_", as written in documents.
    const QString &attrName() const { return m_attrName; }
    bool needsFieldNameAttribute() const { return m_attrName != m_def.name; }

    static Value::Kind kindOf(FieldType type);
    // The document's type word; empty for a type that XML cannot hold.
    static QString typeWord(FieldType type);
    // The SUBTYPE attribute, empty when none.
    static QString subtypeWord(FieldType type);

private:
    FieldDef m_def;
    int m_index;
    QString m_attrName;
};

} // namespace ql
