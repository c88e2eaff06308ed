#include "storage/Value.h"

#include <QString>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

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

// Texts read into one arena share its blocks: each keeps its own characters (with the zero a
// QString ends in), compares by them alone, and outlives the arena in values and QStrings, on any
// thread; a QString taken from one and changed leaves the others as they were.
TEST(Value, ArenaTexts_ShareBlocksYetStayApart)
{
    std::vector<Value> values;
    std::vector<QString> expected;
    QString taken;
    {
        ql::TextArena arena;
        // Enough texts to fill several blocks, a long one with a block of its own, and empty ones.
        for (int i = 0; i < 3000; ++i) {
            QString text = i % 500 == 0 ? QString(300000, QChar(u'a' + i % 26))
                : i % 97 == 0           ? QString()
                                        : QStringLiteral("Täsk %1 📌").arg(i);
            values.push_back(arena.text(text));
            expected.push_back(text);
        }
        taken = values[7].text();
    }
    // Two texts of one length in one block are not equal for sharing the block.
    EXPECT_EQ(values[11].textView().size(), values[12].textView().size());
    EXPECT_FALSE(values[11] == values[12]);
    EXPECT_TRUE(values[11] == Value::text(expected[11]));

    taken.append(QStringLiteral(" changed"));
    taken[0] = u'X';
    EXPECT_EQ(taken, QStringLiteral("Xäsk 7 📌 changed"));

    std::vector<QString> seen(values.size());
    std::thread reader([&] {
        const std::vector<Value> copies = values;
        for (size_t i = 0; i < copies.size(); ++i)
            seen[i] = copies[i].text();
    });
    reader.join();
    values.clear(); // the values go; the strings taken from them on the other thread stay
    for (size_t i = 0; i < seen.size(); ++i) {
        ASSERT_EQ(seen[i], expected[i]) << i;
        ASSERT_EQ(seen[i].utf16()[seen[i].size()], 0) << i;
    }
    // A string that is the last to hold its block may grow in it without harm.
    QString last = seen[8];
    seen.clear();
    last.append(QString(5000, u'z'));
    EXPECT_EQ(last, expected[8] + QString(5000, u'z'));
}
