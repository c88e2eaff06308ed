#include "storage/Value.h"

#include <QString>
#include <gtest/gtest.h>

using ql::Value;

// A text value keeps its own characters whatever string it came from, and compares by them.
TEST(Value, Texts_KeepTheirCharactersWhateverStringTheyCameFrom)
{
    char16_t raw[] = u"borrowed";
    QString shifted = QStringLiteral("xxabcdef");
    shifted.detach();
    shifted.remove(0, 2); // may leave the characters further on in their block
    QString reserved = QStringLiteral("cap");
    reserved.reserve(100);
    const struct
    {
        QString from;
        QString expected;
    } cases[] = {
        { QString::fromRawData(reinterpret_cast<const QChar *>(raw), 8), QStringLiteral("borrowed") },
        { shifted, QStringLiteral("abcdef") },
        { reserved, QStringLiteral("cap") },
        { QString(), QString() },
        { QStringLiteral(""), QString() },
        { QString(70000, u'é'), QString(70000, u'é') },
    };
    for (const auto &c : cases) {
        const Value value = Value::text(c.from);
        raw[0] = u'X';
        const Value copy = value;
        EXPECT_EQ(value.kind(), Value::Kind::Text);
        EXPECT_EQ(value.text(), c.expected);
        EXPECT_EQ(copy.text(), c.expected);
        EXPECT_TRUE(copy == Value::text(c.expected));
        EXPECT_FALSE(value.isNull());
        raw[0] = u'b';
    }

    // Same characters, same value; another kind or other characters differ.
    EXPECT_EQ(Value::text(QStringLiteral("a")), Value::text(QString(1, u'a')));
    EXPECT_NE(Value::text(QStringLiteral("a")), Value::text(QStringLiteral("A")));
    EXPECT_NE(Value::text(QString()), Value());
    EXPECT_NE(Value::integer(1), Value::boolean(true));
    EXPECT_EQ(Value::boolean(true), Value::boolean(true));

    // A text outlives the string it came from, and a moved-from value is null.
    Value kept;
    {
        QString temporary = QStringLiteral("short-lived");
        temporary.detach();
        kept = Value::text(temporary);
    }
    Value moved = std::move(kept);
    EXPECT_EQ(moved.text(), QStringLiteral("short-lived"));
    EXPECT_TRUE(kept.isNull()); // NOLINT(bugprone-use-after-move)
}
