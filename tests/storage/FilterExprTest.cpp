#include "storage/FilterExpr.h"
#include "platform/Error.h"
#include "platform/SystemFormats.h"
#include "storage/Field.h"
#include "storage/ValueText.h"

#include <QDate>
#include <QLocale>
#include <gtest/gtest.h>
#include <random>

using namespace ql;

// Readable failure output for QString comparisons (found by argument-dependent lookup).
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

// The task fields the views filter on, plus one field of each further kind the language types.
const std::vector<Field> &fields()
{
    static const std::vector<Field> all = [] {
        const std::vector<FieldDef> defs = {
            { QStringLiteral("ID"), FieldType::Counter },
            { QStringLiteral("Task"), FieldType::Text, 255 },
            { QStringLiteral("Status"), FieldType::Text, 20 },
            { QStringLiteral("Priority"), FieldType::Text, 20 },
            { QStringLiteral("Progress"), FieldType::Integer },
            { QStringLiteral("Difficulty"), FieldType::Text, 20 },
            { QStringLiteral("CreatedDate"), FieldType::Date },
            { QStringLiteral("CompletedDate"), FieldType::Date },
            { QStringLiteral("Bookmarked"), FieldType::Boolean },
            { QStringLiteral("Details"), FieldType::Memo },
            { QStringLiteral("Points"), FieldType::Word },
            { QStringLiteral("File"), FieldType::Text, 255 },
            { QStringLiteral("LastUsed"), FieldType::DateTime },
            { QStringLiteral("Ratio"), FieldType::Float },
        };
        std::vector<Field> out;
        for (const FieldDef &def : defs)
            out.emplace_back(def, int(out.size()));
        return out;
    }();
    return all;
}

struct Cell
{
    const char *field;
    Value value;
};
using Row = std::vector<Value>;

Row row(std::initializer_list<Cell> cells)
{
    Row r(fields().size());
    for (const Cell &cell : cells) {
        bool found = false;
        for (const Field &f : fields()) {
            if (f.name() == QLatin1String(cell.field)) {
                r[size_t(f.index())] = cell.value;
                found = true;
            }
        }
        EXPECT_TRUE(found) << cell.field;
    }
    return r;
}

Value text(const QString &s)
{
    return Value::text(s);
}

Value text(const char *s)
{
    return Value::text(QString::fromUtf8(s));
}

Value day(int y, int m, int d)
{
    return Value::fromDate(QDate(y, m, d));
}

bool passes(const QString &expression, const Row &r, const SystemFormats &formats = SystemFormats::current())
{
    return FilterExpr::parse(expression, fields(), formats)->matches(r);
}

QString errorOf(const QString &expression, const std::vector<Field> &on = fields())
{
    try {
        FilterExpr::parse(expression, on, SystemFormats::current());
    } catch (const Error &e) {
        return e.message();
    }
    return QStringLiteral("<no error>");
}

struct Case
{
    QString expression;
    Row row;
    bool expected;
};

void expectCases(const std::vector<Case> &cases, const SystemFormats &formats = SystemFormats::current())
{
    for (const Case &c : cases) {
        SCOPED_TRACE(c.expression.toStdString());
        try {
            EXPECT_EQ(passes(c.expression, c.row, formats), c.expected);
        } catch (const Error &e) {
            ADD_FAILURE() << "refused: " << e.what();
        }
    }
}

QString today()
{
    return SystemFormats::current().formatDate(QDate(2024, 3, 9));
}

} // namespace

TEST(FilterExpr, ProgramExpressions_SelectTheirTasks)
{
    ASSERT_EQ(today(), "3/9/2024");
    const QString completedToday = "Status = 'Complete' and CompletedDate = '" + today() + "' ";
    const QString createdToday = "CreatedDate = '" + today() + "' ";
    // The Reopen filter quotes its text, doubling the quotes inside: here for the text it's.
    const QString reopen = "File LIKE '%it''s%'";
    expectCases({
        { "Priority = 'High' and Status <> 'Complete' ",
            row({ { "Priority", text("High") }, { "Status", text("Paused") } }), true },
        { "Priority = 'High' and Status <> 'Complete' ",
            row({ { "Priority", text("High") }, { "Status", text("Complete") } }), false },
        { "Priority = 'High' and Status <> 'Complete' ",
            row({ { "Priority", text("Normal") }, { "Status", text("Paused") } }), false },
        { "Priority = 'Urgent' and Status <> 'Complete' ",
            row({ { "Priority", text("Urgent") }, { "Status", text("In progress") } }), true },
        { "Status = 'In progress' ", row({ { "Status", text("In progress") } }), true },
        { "Status = 'In progress' ", row({ { "Status", text("In Progress") } }), false },
        { "Status = 'Not Started' ", row({ { "Status", text("Not Started") } }), true },
        { "Status = 'Complete' ", row({ { "Status", text("Complete") } }), true },
        { "Status = 'Complete' ", row({ { "Status", text("complete") } }), false },
        { "Status = 'Complete' ", row({ { "Status", text("Complete ") } }), false },
        { "Difficulty = 'Hard' and Status <> 'Complete' ",
            row({ { "Difficulty", text("Hard") }, { "Status", text("Paused") } }), true },
        { "Difficulty = 'Easy' and Status <> 'Complete' ",
            row({ { "Difficulty", text("Easy") }, { "Status", text("Complete") } }), false },
        { completedToday, row({ { "Status", text("Complete") }, { "CompletedDate", day(2024, 3, 9) } }),
            true },
        { completedToday, row({ { "Status", text("Complete") }, { "CompletedDate", day(2024, 3, 8) } }),
            false },
        { completedToday, row({ { "Status", text("Paused") }, { "CompletedDate", day(2024, 3, 9) } }),
            false },
        { createdToday, row({ { "CreatedDate", day(2024, 3, 9) } }), true },
        { createdToday, row({ { "CreatedDate", day(2023, 3, 9) } }), false },
        { "Bookmarked =True ", row({ { "Bookmarked", Value::boolean(true) } }), true },
        { "Bookmarked =True ", row({ { "Bookmarked", Value::boolean(false) } }), false },
        { "bookmarked = TRUE", row({ { "Bookmarked", Value::boolean(true) } }), true },
        { "Task LIKE '%milk%'", row({ { "Task", text("Buy milk today") } }), true },
        { "Task LIKE '%milk%'", row({ { "Task", text("Buy Milk") } }), false },
        // The search inserts the text as typed: "50%" and "a_c" are patterns, "it's" keeps its quote.
        { "Task LIKE '%50%%'", row({ { "Task", text("Only 50 left") } }), true },
        { "Task LIKE '%a_c%'", row({ { "Task", text("xabcx") } }), true },
        { "Task LIKE '%it's%'", row({ { "Task", text("so it's done") } }), true },
        { "Task LIKE '%it's%'", row({ { "Task", text("its done") } }), false },
        { "Task LIKE '%%'", row({ { "Task", text("") } }), true },
        { reopen, row({ { "File", text("lists/it's plan.ql1") } }), true },
        { reopen, row({ { "File", text("lists/its plan.ql1") } }), false },
    });
}

TEST(FilterExpr, ViewOnAListWithoutItsField_FailsWithTheFieldError)
{
    const std::vector<Field> older = { Field(FieldDef { QStringLiteral("Task"), FieldType::Text, 255 }, 0) };
    EXPECT_EQ(errorOf("Bookmarked =True ", older), "Field 'Bookmarked' not found");
}

TEST(FilterExpr, TextComparison_IsByCollationWithCase)
{
    expectCases({
        // Locale collation, not code points: "a" sorts before "B" although 'B' < 'a' as a code.
        { "Status < 'B'", row({ { "Status", text("a") } }), true },
        { "Status > 'a'", row({ { "Status", text("B") } }), true },
        { "Status >= 'Paused'", row({ { "Status", text("Paused") } }), true },
        { "Status <= 'Complete'", row({ { "Status", text("Cancelled") } }), true },
        { "'Complete' = Status", row({ { "Status", text("Complete") } }), true },
        { "'Paused' > Status", row({ { "Status", text("Complete") } }), true },
        { "Status = Priority", row({ { "Status", text("High") }, { "Priority", text("High") } }), true },
        { "Status <> Priority", row({ { "Status", text("High") }, { "Priority", text("high") } }), true },
    });
}

TEST(FilterExpr, StarAtTheEndOfALiteral_ComparesAPrefix)
{
    expectCases({
        { "Status = 'Comp*'", row({ { "Status", text("Complete") } }), true },
        { "Status = 'Comp*'", row({ { "Status", text("Comp") } }), true },
        { "Status = 'Comp*'", row({ { "Status", text("Com") } }), false },
        { "Status = 'Comp*'", row({ { "Status", text("complete") } }), false },
        { "Status <> 'Comp*'", row({ { "Status", text("Complete") } }), false },
        { "Status <> 'Comp*'", row({ { "Status", text("Paused") } }), true },
        { "'Comp*' = Status", row({ { "Status", text("Complete") } }), true },
        // One character is no prefix: the "*" is the text.
        { "Status = '*'", row({ { "Status", text("*") } }), true },
        { "Status = '*'", row({ { "Status", text("Complete") } }), false },
        // Only "=" and "<>", and only literals.
        { "Status IN ('Comp*')", row({ { "Status", text("Complete") } }), false },
        { "Status > 'Z*'", row({ { "Status", text("Z") } }), false },
        // Characters, not code units: the emoji is one character of the prefix.
        { "Task = '\U0001F600b*'", row({ { "Task", text("\U0001F600bc") } }), true },
    });
}

// A search that only adds to the text it looks for narrows the one before; nothing else does.
TEST(FilterExpr, Narrows_OnlyASearchForALongerContainedText)
{
    const struct
    {
        const char *previous;
        const char *now;
        bool narrows;
    } cases[] = {
        { "Task LIKE '%mil%'", "Task LIKE '%milk%'", true },
        { "Task LIKE '%ilk%'", "Task LIKE '%milk%'", true },
        { "Task LIKE '%milk%'", "Task LIKE '%milk%'", true },
        { "Task LIKE '%%'", "Task LIKE '%a%'", true },
        { "Task LIKE '%milk%'", "Task LIKE '%mil%'", false },
        { "Task LIKE '%Mil%'", "Task LIKE '%milk%'", false }, // with case
        { "Task LIKE '%m_lk%'", "Task LIKE '%milk%'", false },
        { "Task LIKE 'mil%'", "Task LIKE '%milk%'", false },
        { "Task LIKE '%mil%'", "Task LIKE '%mi%lk%'", false },
        { "Status LIKE '%mil%'", "Task LIKE '%milk%'", false },
        { "Status = 'Complete' ", "Task LIKE '%milk%'", false },
        { "Task LIKE '%mil%'", "Task LIKE '%milk%' and Status = 'Complete' ", false },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.previous) + " -> " + c.now);
        const auto previous
            = FilterExpr::parse(QString::fromUtf8(c.previous), fields(), SystemFormats::current());
        const auto now = FilterExpr::parse(QString::fromUtf8(c.now), fields(), SystemFormats::current());
        EXPECT_EQ(now->narrows(*previous), c.narrows);
    }
}

TEST(FilterExpr, Like_MatchesWholeTextWithWildcards)
{
    struct LikeCase
    {
        const char *pattern;
        const char *task;
        bool expected;
    };
    const LikeCase cases[] = {
        { "a%", "abc", true },
        { "a%", "cab", false },
        { "%c", "abc", true },
        { "%c", "abcd", false },
        { "a_c", "abc", true },
        { "a_c", "abbc", false },
        { "a_c", "ac", false },
        { "abc", "abc", true },
        { "abc", "abcd", false },
        { "", "", true },
        { "", "x", false },
        { "%", "", true },
        { "%%%", "anything", true },
        { "a%a", "a", false },
        { "a%a", "aa", true },
        { "%a%b%a%", "ab", false },
        { "%a%b%a%", "abba", true },
        { "%ab%ab%", "aab", false },
        { "%ab%ab%", "abab", true },
        { "_", "\U0001F600", true },
        { "__", "\U0001F600", false },
        { "a_c", "a\U0001F600c", true },
        { "%\U0001F600%", "x\U0001F600y", true },
        { "_%_", "\U0001F600", false },
        { "%é%", "café", true },
        { "%E%", "café", false },
    };
    for (const LikeCase &c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " / " + c.task);
        EXPECT_EQ(passes(QString::fromUtf8("Task LIKE '%1'").arg(QString::fromUtf8(c.pattern)),
                      row({ { "Task", text(c.task) } })),
            c.expected);
    }
}

namespace {
// The plain definition of LIKE, by dynamic programming over characters, to compare against.
bool referenceLike(const QList<uint> &p, const QList<uint> &t)
{
    std::vector<std::vector<char>> m(size_t(p.size() + 1), std::vector<char>(size_t(t.size() + 1), 0));
    m[0][0] = 1;
    for (qsizetype i = 1; i <= p.size(); ++i) {
        for (qsizetype j = 0; j <= t.size(); ++j) {
            const uint c = p[i - 1];
            if (c == '%')
                m[size_t(i)][size_t(j)]
                    = m[size_t(i - 1)][size_t(j)] || (j > 0 && m[size_t(i)][size_t(j - 1)]);
            else if (j > 0 && (c == '_' || c == t[j - 1]))
                m[size_t(i)][size_t(j)] = m[size_t(i - 1)][size_t(j - 1)];
        }
    }
    return m[size_t(p.size())][size_t(t.size())];
}
} // namespace

TEST(FilterExpr, Like_AgreesWithThePlainDefinition)
{
    const QString alphabet = QString::fromUtf8("ab\U0001F600");
    const QString patternAlphabet = alphabet + QStringLiteral("%%__");
    std::mt19937 random(20240309);
    auto pick = [&](const QString &from, int length) {
        QList<uint> chars = from.toUcs4();
        QList<uint> out;
        for (int i = 0; i < length; ++i)
            out << chars[qsizetype(random() % uint(chars.size()))];
        return out;
    };
    for (int i = 0; i < 3000; ++i) {
        const QList<uint> p = pick(patternAlphabet, int(random() % 7));
        const QList<uint> t = pick(alphabet, int(random() % 9));
        const QString pattern
            = QString::fromUcs4(reinterpret_cast<const char32_t *>(p.constData()), p.size());
        const QString task = QString::fromUcs4(reinterpret_cast<const char32_t *>(t.constData()), t.size());
        ASSERT_EQ(passes("Task LIKE '" + pattern + "'", row({ { "Task", text(task) } })), referenceLike(p, t))
            << pattern.toStdString() << " / " << task.toStdString();
    }
}

TEST(FilterExpr, Like_ManyPercentSignsOnALongText_StaysFast)
{
    // A backtracking matcher takes exponential time here; the filter must answer at once.
    const Row longRow = row({ { "Details", text(QString(20000, u'a')) } });
    EXPECT_FALSE(passes("Details LIKE '%a%a%a%a%a%a%a%a%a%a%a%a%b'", longRow));
    EXPECT_FALSE(passes("Details LIKE '%a_a_a_a_a_a_a_a_a_a_b%'", longRow));
    EXPECT_TRUE(passes("Details LIKE '%a%a%a%a%a%a%a%a%a%a%a%a%'", longRow));
}

TEST(FilterExpr, Like_OnOtherKinds_MatchesTheirText)
{
    expectCases({
        { "Details LIKE '%milk%'", row({ { "Details", text("Line one\nmilk") } }), true },
        { "CompletedDate LIKE '3/%/2024'", row({ { "CompletedDate", day(2024, 3, 9) } }), true },
        { "Progress LIKE '5_'", row({ { "Progress", Value::integer(50) } }), true },
        { "Bookmarked LIKE 'T%'", row({ { "Bookmarked", Value::boolean(true) } }), true },
        { "Task LIKE Status + '%'", row({ { "Task", text("Paused today") }, { "Status", text("Paused") } }),
            true },
        { "'abc' LIKE 'a%'", row({}), true },
    });
}

// A search matches what the user sees: a value of each kind is found by LIKE with exactly the text
// the grid shows for it, in another locale as well.
TEST(FilterExpr, Like_MatchesTheGridsTextOfEveryKind)
{
    const struct
    {
        const char *field;
        Value value;
    } cells[] = {
        { "Progress", Value::integer(-42) },
        { "Ratio", Value::floating(2.5) },
        { "Bookmarked", Value::boolean(false) },
        { "CompletedDate", day(2024, 12, 31) },
        { "LastUsed",
            Value::dateTime(Value::daysFromDate(QDate(2024, 3, 9)) * Value::MsecsPerDay + 51907000) },
    };
    for (const char *locale : { "en_US", "de_DE" }) {
        const SystemFormats formats { QLocale(QString::fromLatin1(locale)) };
        for (const auto &c : cells) {
            const Field *field = nullptr;
            for (const Field &f : fields())
                if (f.name() == QLatin1String(c.field))
                    field = &f;
            ASSERT_NE(field, nullptr);
            const QString shown = DisplayText(c.value, field->valueKind(), formats);
            SCOPED_TRACE(std::string(locale) + " " + c.field + " " + shown.toStdString());
            ASSERT_FALSE(shown.isEmpty());
            const QString expression
                = QString::fromLatin1(c.field) + QStringLiteral(" LIKE '") + shown + u'\'';
            EXPECT_TRUE(passes(expression, row({ { c.field, c.value } }), formats));
        }
    }
}

TEST(FilterExpr, QuoteInsideALiteral_IsDecidedByTheWordAfterIt)
{
    // Each expression must select a task whose text is exactly `task`.
    const std::vector<std::pair<QString, QString>> reads = {
        { "Task = 'it's'", "it's" },
        { "Task = 'it''s'", "it's" },
        { "Task = ''''", "'" },
        { "Task = ''", "" },
        // A word that ends no literal: both inner quotes are characters.
        { "Task = 'x' y or Task = 'z'", "x' y or Task = 'z" },
        { "Task = 'a' x y 'b'", "a' x y 'b" },
        { "Task = 'a' or Task = 'b'", "b" },
        { "Task = 'a'OR Task = 'b'", "b" },
        { "(Task = 'a') or (Task = 'b')", "b" },
        { "Task IN ('a','b')", "b" },
        { "Task IN ('a', 'b')", "b" },
        { "Task = 'a' /* it's */", "a" },
        { "Task = 'a' and Status IS NULL or Task = 'b'", "b" },
    };
    for (const auto &[expression, task] : reads) {
        SCOPED_TRACE(expression.toStdString());
        EXPECT_TRUE(passes(expression, row({ { "Task", text(task) } })));
        EXPECT_FALSE(passes(expression, row({ { "Task", text(task + "?") } })));
    }
    // Before these words the literal ends, so what follows is read as tokens and fails to parse.
    const std::vector<std::pair<QString, QString>> ends = {
        { "Task = 'a' ORDER BY 'b'", "Operator expected but ORDER found" },
        { "Task = 'a' group  by 'b'", "Operator expected but group found" },
        { "Task = 'a' For Update 'b'", "Operator expected but For found" },
        { "Task = 'a' DESC 'b'", "Operator expected but DESC found" },
        { "Task = 'a' 5 'b'", "Operator expected but 5 found" },
        { "Task = 'a' x NULL 'b'", "Operator expected but x found" },
        { "Task = 'a' x NOT NULL 'b'", "Operator expected but x found" },
        { "Task = 'a' 'b'", "Operator expected but 'b' found" },
    };
    for (const auto &[expression, message] : ends)
        EXPECT_EQ(errorOf(expression), message) << expression.toStdString();
}

TEST(FilterExpr, LongLiterals_Keep256CharactersAndCompare255)
{
    const QString x300(300, u'x');
    EXPECT_TRUE(passes("Task = '" + x300 + "'", row({ { "Task", text(QString(255, u'x')) } })));
    EXPECT_FALSE(passes("Task = '" + x300 + "'", row({ { "Task", text(QString(256, u'x')) } })));
    // The "%" is the 257th character of the literal and is dropped.
    const QString pattern = "Details LIKE '" + QString(256, u'x') + "%'";
    EXPECT_TRUE(passes(pattern, row({ { "Details", text(QString(256, u'x')) } })));
    EXPECT_FALSE(passes(pattern, row({ { "Details", text(QString(256, u'x') + "y") } })));
}

TEST(FilterExpr, NumbersMinusAndArithmetic)
{
    const Row r = row({ { "Progress", Value::integer(50) }, { "Points", Value::integer(10) },
        { "CreatedDate", day(2024, 3, 7) }, { "CompletedDate", day(2024, 3, 9) },
        { "LastUsed", Value::fromDateTime(QDate(2024, 3, 9), QTime(18, 0)) },
        { "Ratio", Value::floating(0.5) }, { "Task", text("Buy milk") } });
    expectCases({
        { "Progress = 50", r, true },
        { "Progress > -5", r, true },
        { "Progress - 5 = 45", r, true },
        { "Progress -5 = 45", r, true },
        { "Progress - -5 = 55", r, true },
        { "Progress * 2 + 1 = 101", r, true },
        { "Progress + 2 * 3 = 56", r, true },
        { "(Progress + 2) * 3 = 156", r, true },
        { "Progress - 10 - 20 = 20", r, true },
        { "Progress / 4 = 12.5", r, true },
        { "Progress / 0 = 0", r, false },
        { "Progress / 0 IS NULL", r, true },
        { "Progress + Points = 60", r, true },
        { "Progress * 9223372036854775807 > 0", r, true },
        { "Ratio * 4 = 2", r, true },
        { "Ratio = 0.5", r, true },
        { "CompletedDate + 1 = '3/10/2024'", r, true },
        { "1 + CompletedDate = '3/10/2024'", r, true },
        { "CompletedDate - 2 = CreatedDate", r, true },
        { "CompletedDate - CreatedDate = 2", r, true },
        { "CompletedDate - '3/1/2024' = 8", r, true },
        { "LastUsed - CompletedDate = 0.75", r, true },
        { "LastUsed + 1 > '3/10/2024 5:00:00 PM'", r, true },
        // A quote before an operator would be part of the literal, so LIKE or a comment ends these.
        { "Task + '!' LIKE 'Buy milk!'", r, true },
        { "'a' /**/ + 'b' /**/ = 'ab'", r, true },
        { "1 + 2 = 3", r, true },
        { "2 = '2'", r, true },
    });
}

TEST(FilterExpr, NullFields_FailComparisonsAndPassOnlyNullTests)
{
    const Row empty = row({});
    expectCases({
        { "Status IS NULL", empty, true },
        { "Status is not null", empty, false },
        { "Status = NULL", empty, true },
        { "Status <> NULL", empty, false },
        { "NULL = Status", empty, true },
        { "Status = 'Complete'", empty, false },
        { "Status <> 'Complete'", empty, false },
        { "NOT Status = 'Complete'", empty, true },
        { "Status < 'Complete'", empty, false },
        { "Task LIKE '%%'", empty, false },
        { "Progress > 0", empty, false },
        { "Progress IN (0, 1)", empty, false },
        { "Bookmarked", empty, false },
        { "NOT Bookmarked", empty, true },
        { "Bookmarked = False", empty, false },
        { "Progress + 1 IS NULL", empty, true },
        { "CompletedDate = '3/9/2024'", empty, false },
        { "'x' IS NULL", empty, false },
        { "NULL IS NULL", empty, true },
    });
    // An empty text is a value, not null.
    expectCases({
        { "Status IS NULL", row({ { "Status", text("") } }), false },
        { "Status = ''", row({ { "Status", text("") } }), true },
    });
}

TEST(FilterExpr, InList_TakesTheTypeOfItsLeftSide)
{
    const Row r = row({ { "Status", text("Paused") }, { "Priority", text("High") },
        { "Progress", Value::integer(50) }, { "CompletedDate", day(2024, 3, 9) } });
    expectCases({
        { "Status IN ('Paused', 'Complete')", r, true },
        { "Status IN ('Complete', 'Cancelled')", r, false },
        { "Status IN ('paused')", r, false },
        { "Progress IN (10, 50)", r, true },
        { "Progress IN (10, 40 + 10)", r, true },
        { "CompletedDate IN ('3/8/2024', '3/9/2024')", r, true },
        { "'High' IN (Status, Priority)", r, true },
        { "NOT Status IN ('Paused')", r, false },
    });
}

TEST(FilterExpr, PrecedenceKeywordsAndNames)
{
    const Row r = row({ { "Status", text("Complete") }, { "Priority", text("High") },
        { "Bookmarked", Value::boolean(false) } });
    expectCases({
        // AND binds tighter than OR, NOT tighter than AND.
        { "Status = 'Complete' OR Priority = 'Low' AND Bookmarked", r, true },
        { "(Status = 'Complete' OR Priority = 'Low') AND Bookmarked", r, false },
        { "NOT Status = 'Paused' AND Priority = 'High'", r, true },
        { "NOT (Status = 'Complete' OR Bookmarked)", r, false },
        { "Bookmarked OR Bookmarked OR Status = 'Complete'", r, true },
        { "status = 'Complete' aNd PRIORITY = 'High'", r, true },
        { "[Status] = 'Complete'", r, true },
        { "Status/* why */=/**/'Complete'", r, true },
        { "Status\t=\n'Complete'\r\n", r, true },
        { "bookmarked = FALSE", r, true },
        { "Bookmarked = 'false'", r, true },
        { "Bookmarked <> True", r, true },
        { "NOT Bookmarked", r, true },
        { "(Status = 'Complete') = True", r, true },
        { "TRUE", r, true },
        { "Status = 'Complete'" + QString(QChar(0)) + " and garbage #", r, true },
        { "  /* nothing to filter */ ", r, true },
    });
}

TEST(FilterExpr, DatesAndNumbers_FollowTheFormatsGiven)
{
    const SystemFormats german(QLocale(QLocale::German, QLocale::Germany));
    const Row r = row({ { "CompletedDate", day(2024, 3, 9) }, { "Ratio", Value::floating(0.5) } });
    expectCases(
        {
            { "CompletedDate = '09.03.2024'", r, true }, { "Ratio = 0,5", r, true },
            { "Ratio IN (1 , 0,5)", r, true }, // "1," would be a number
        },
        german);
    try {
        FilterExpr::parse("CompletedDate = '3/9/2024'", fields(), german);
        ADD_FAILURE() << "an en_US date was read in German formats";
    } catch (const Error &e) {
        EXPECT_EQ(e.message(), "'3/9/2024' is not a valid date");
    }

    const Row used = row({ { "LastUsed", Value::fromDateTime(QDate(2024, 3, 9), QTime(10, 15)) } });
    expectCases({
        { "LastUsed = '3/9/2024 10:15:00 AM'", used, true },
        { "LastUsed > '3/9/2024'", used, true },
        { "LastUsed = '3/9/2024'", used, false },
        { "LastUsed < '3/10/2024'", used, true },
    });
}

TEST(FilterExpr, ParsedFilter_OutlivesTheFormatsItWasParsedWith)
{
    auto formats = std::make_unique<SystemFormats>(QLocale(QLocale::English, QLocale::UnitedStates));
    auto filter = FilterExpr::parse("Status < 'B' and CompletedDate LIKE '3/%'", fields(), *formats);
    formats.reset();
    EXPECT_TRUE(filter->matches(row({ { "Status", text("a") }, { "CompletedDate", day(2024, 3, 9) } })));
}

TEST(FilterExpr, RefusedExpressions_SayWhy)
{
    const std::vector<std::pair<QString, QString>> cases = {
        { "Status # 'a'", "Invalid filter expression character: '#'" },
        { "Status = \"a\"", "Invalid filter expression character: '\"'" },
        { "Status != 'a'", "Invalid filter expression character: '!'" },
        { "Status = 'a' /* open", "Invalid filter expression character: '/'" },
        { "Status = 'Complete", "Unterminated string constant" },
        { "Status = 'it''", "Unterminated string constant" },
        { "[Status = 'a'", "Unterminated field name" },
        { "Status IS 'a'", "Invalid use of keyword" },
        { "Status IS NOT 'a'", "Invalid use of keyword" },
        { "Status IS", "Invalid use of keyword" },
        { "Status = ", "Expression expected but end of text found" },
        { "", "<no error>" },
        { "= 'a'", "Expression expected but = found" },
        { "Status = AND", "Expression expected but AND found" },
        { "NOT NOT Bookmarked", "Expression expected but NOT found" },
        { "Progress > +5", "Expression expected but + found" },
        { "(Status = 'a'", "')' expected but end of text found" },
        { "(Status = 'a' Priority", "')' expected but Priority found" },
        { "Status IN 'a'", "'(' expected but 'a' found" },
        { "Status IN ('a' 'b')", "')' or ',' expected but 'b' found" },
        { "Status IN ('a'", "')' or ',' expected but end of text found" },
        { "Status IN ()", "IN predicate list may not be empty" },
        { "Details = 'x'", "Type mismatch in expression" },
        { "Details IN ('x')", "Type mismatch in expression" },
        { "Details IS NULL", "Type mismatch in expression" },
        { "Details + 'x' LIKE '%'", "Type mismatch in expression" },
        { "Task = Progress", "Type mismatch in expression" },
        { "Status", "Type mismatch in expression" },
        { "'Complete'", "Type mismatch in expression" },
        { "Bookmarked + 1 = 2", "Type mismatch in expression" },
        { "Progress = TRUE", "Type mismatch in expression" },
        { "Task - 'a' = 'b'", "Type mismatch in expression" },
        { "CompletedDate * 2 = 1", "Type mismatch in expression" },
        { "Status = 'a' AND Progress", "Type mismatch in expression" },
        { "Nope = 1", "Field 'Nope' not found" },
        { "[Due Date] = '3/9/2024'", "Field 'Due Date' not found" },
        { "Upper(Task) = 'A'", "Field 'Upper' not found" },
        { "CompletedDate = 'tomorrow'", "'tomorrow' is not a valid date" },
        { "CompletedDate = '3/9/2024 10:00 AM'", "'3/9/2024 10:00 AM' is not a valid date" },
        { "CompletedDate = ''", "'' is not a valid date" },
        { "LastUsed = 'soon'", "'soon' is not a valid date and time" },
        { "Progress = 'many'", "'many' is not a valid integer value" },
        { "Progress = 5.5", "'5.5' is not a valid integer value" },
        { "Progress = 10-5", "'10-5' is not a valid integer value" },
        { "Progress >= 1e1", "'1e1' is not a valid integer value" },
        { "Progress = -", "'-' is not a valid integer value" },
        { "Ratio = 'half'", "'half' is not a valid floating point value" },
        { "Bookmarked = 'maybe'", "'maybe' is not a valid boolean value" },
        { "Points = 65536", "Constant out of range" },
        { "Points = -1", "Constant out of range" },
        { "Points IN (5, 70000)", "Constant out of range" },
        { "Progress = 3000000000", "Constant out of range" },
        { "Status > NULL", "NULL only allowed with '=' and '<>'" },
        { "Task LIKE NULL", "NULL only allowed with '=' and '<>'" },
        { "Progress + NULL = 1", "NULL only allowed with '=' and '<>'" },
        { "Status IN ('a', NULL)", "NULL only allowed with '=' and '<>'" },
        { "NULL", "NULL only allowed with '=' and '<>'" },
        { "Progress = 1 Priority = 'b'", "Operator expected but Priority found" },
        { "Status = 'a')", "Operator expected but ) found" },
    };
    for (const auto &[expression, message] : cases)
        EXPECT_EQ(errorOf(expression), message) << expression.toStdString();
}

TEST(FilterExpr, HugeExpressions_ParseOrFailCleanly)
{
    EXPECT_EQ(errorOf(QString(100000, u'(') + "Bookmarked"), "Expression nested too deeply");

    QString nested = "Bookmarked";
    for (int i = 0; i < 150; ++i)
        nested = "(" + nested + ")";
    EXPECT_TRUE(passes(nested, row({ { "Bookmarked", Value::boolean(true) } })));

    QString alternatives = "Status = 'x0'";
    QString sum = "Progress";
    for (int i = 1; i < 20000; ++i) {
        alternatives += QStringLiteral(" OR Status = 'x%1'").arg(i);
        sum += " + 1";
    }
    EXPECT_TRUE(passes(alternatives, row({ { "Status", text("x19999") } })));
    EXPECT_TRUE(passes(sum + " = 20000", row({ { "Progress", Value::integer(1) } })));
}
