#include "common/uGeneral.h"
#include "platform/Error.h"
#include "platform/SystemFormats.h"

#include <gtest/gtest.h>
#include <unistd.h>

// Readable failure output for QString comparisons (found by argument-dependent lookup).
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

TEST(uGeneral, FileNameWithoutExt_TakesNamePartWithoutLastExtension)
{
    struct Case
    {
        const char *path;
        const char *expected;
    };
    const Case cases[] = {
        { "/lists/Work.ql1", "Work" },
        { "Work.ql1", "Work" },
        { "/lists/archive.tar.gz", "archive.tar" }, // only the last extension goes
        { "/lists/v1.2/Plain", "Plain" }, // a dot in a folder is no extension
        { "/lists/.hidden", "" },
        { "/lists/Name.", "Name" },
        { "/lists/", "" },
        { "", "" },
        { "C:\\Lists\\Work.ql1", "C:\\Lists\\Work" }, // "\" and ":" separate folders only on Windows
        { "/lists/Ünïcødé tasks.ql1", "Ünïcødé tasks" },
    };
    for (const Case &c : cases)
        EXPECT_EQ(ql::FileNameWithoutExt(QString::fromUtf8(c.path)), QString::fromUtf8(c.expected)) << c.path;
}

TEST(uGeneral, SortMemoLines_ExchangeSortsCaseInsensitivelyByLocale)
{
    struct Case
    {
        QStringList lines;
        QStringList expected;
    };
    const Case cases[] = {
        { {}, {} },
        { { "only" }, { "only" } },
        { { "pear", "Apple", "banana" }, { "Apple", "banana", "pear" } },
        // Collation, not code points: "Zeta" is not first, "Éclair" sits with the e's.
        { { "Zeta", "Éclair", "alpha", "eagle" }, { "alpha", "eagle", "Éclair", "Zeta" } },
        // Equal lines are never swapped with each other...
        { { "b", "A", "a" }, { "A", "a", "b" } },
        { { "b", "a", "A" }, { "a", "A", "b" } },
        // ...but a swap with a third line can move one past the other, as the exchange sort does.
        { { "B", "b", "a" }, { "a", "b", "B" } },
        { { "", "x", "" }, { "", "", "x" } },
    };
    for (const Case &c : cases) {
        QStringList lines = c.lines;
        ql::SortMemoLines(lines);
        EXPECT_EQ(lines, c.expected) << c.lines.join(u'|').toStdString();
    }
}

// Long lists with many lines that collate equal (the same letters in other case, the same line
// twice) must come out exactly as the plain exchange sort leaves them.
TEST(uGeneral, SortMemoLines_LongListsEndAsThePlainExchangeSortLeavesThem)
{
    const QStringList pieces
        = { "", "a", "A", "\u00E1", "b", "B", "ae", "\u00C6", "\u00E4", "z", "Z", " ", "-", "1", "10", "2" };
    const ql::SystemFormats &formats = ql::SystemFormats::current();
    quint32 seed = 12345;
    const auto next = [&seed](quint32 bound) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % bound;
    };
    for (const int size : { 2, 3, 17, 300 }) {
        QStringList lines;
        for (int i = 0; i < size; ++i)
            lines << pieces.at(int(next(quint32(pieces.size()))))
                    + pieces.at(int(next(quint32(pieces.size()))));
        QStringList expected = lines;
        for (qsizetype i = 0; i < expected.size(); ++i) {
            for (qsizetype j = i + 1; j < expected.size(); ++j) {
                if (formats.compareText(expected.at(i), expected.at(j), false) > 0)
                    expected.swapItemsAt(i, j);
            }
        }
        ql::SortMemoLines(lines);
        EXPECT_EQ(lines, expected) << size << " lines";
    }
}

TEST(uGeneral, MemoLines_FinalLineBreakAddsNoEmptyLine)
{
    struct Case
    {
        QString text;
        QStringList expected;
    };
    const Case cases[] = {
        { "", {} },
        { "Work", { "Work" } },
        { "Work\nHome", { "Work", "Home" } },
        { "Work\nHome\n", { "Work", "Home" } },
        // Only the last line break is dropped: empty lines inside and before it are lines.
        { "Work\n\n", { "Work", "" } },
        { "Work\n\nHome", { "Work", "", "Home" } },
        { "\n", { "" } },
        { "\nWork", { "", "Work" } },
        // Windows and old Mac line breaks, as pasted text may hold them.
        { "Work\r\nHome\r\n", { "Work", "Home" } },
        { "Work\rHome\r", { "Work", "Home" } },
        { "Work\r\rHome", { "Work", "", "Home" } },
        { "\r\n", { "" } },
        // Blanks belong to the line.
        { " Work \n ", { " Work ", " " } },
    };
    for (const Case &c : cases) {
        QString shown = c.text;
        shown.replace(u'\r', QLatin1String("\\r")).replace(u'\n', QLatin1String("\\n"));
        EXPECT_EQ(ql::MemoLines(c.text), c.expected) << shown.toStdString();
    }
}

TEST(uGeneral, CurrentUserName_NamesTheUserOrExplainsWhyNot)
{
    EXPECT_FALSE(ql::CurrentUserName().isEmpty());
    EXPECT_EQ(ql::CurrentUserName(), ql::UserNameOf(geteuid()));
    EXPECT_EQ(ql::UserNameOf(0), QStringLiteral("root"));

    // An ID nobody has: no system error, but the message must still say what went wrong.
    const unsigned int unknown = 3999999999u;
    try {
        ql::UserNameOf(unknown);
        FAIL() << "no error";
    } catch (const ql::Error &e) {
        EXPECT_EQ(e.message(), QStringLiteral("The user ID 3999999999 has no entry in the user database"));
    }
}

} // namespace
