// libFuzzer target for filter expressions. The input bytes are read as UTF-8 and as Latin-1 and
// parsed against task-like fields in two locales (en_US, and de_DE whose decimal separator is the
// list comma); every filter that parses is evaluated on a few rows, extreme values included. A
// refusal must be a ql::Error; anything else (another exception, a crash, a sanitizer report, a
// hang) is a finding.
//
// The same input also checks LIKE against the plain definition: its first half, without quotes, as
// a pattern, and its second half as the task text.
#include "platform/Error.h"
#include "platform/SystemFormats.h"
#include "storage/Field.h"
#include "storage/FilterExpr.h"

#include <QByteArray>
#include <QDate>
#include <QLocale>
#include <QTime>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

using namespace ql;

namespace {

struct Setup
{
    std::vector<Field> fields;
    SystemFormats english { QLocale(QLocale::English, QLocale::UnitedStates) };
    SystemFormats german { QLocale(QLocale::German, QLocale::Germany) };
    std::vector<std::vector<Value>> rows;
    int taskIndex = 1;
};

const Setup &setup()
{
    static const Setup s = [] {
        Setup s;
        const std::vector<FieldDef> defs = {
            { QStringLiteral("ID"), FieldType::Counter },
            { QStringLiteral("Task"), FieldType::Text, 255 },
            { QStringLiteral("Status"), FieldType::Text, 20 },
            { QStringLiteral("Progress"), FieldType::Integer },
            { QStringLiteral("CreatedDate"), FieldType::Date },
            { QStringLiteral("CompletedDate"), FieldType::Date },
            { QStringLiteral("Bookmarked"), FieldType::Boolean },
            { QStringLiteral("Details"), FieldType::Memo },
            { QStringLiteral("Points"), FieldType::Word },
            { QStringLiteral("LastUsed"), FieldType::DateTime },
            { QStringLiteral("Ratio"), FieldType::Float },
            { QStringLiteral("At"), FieldType::Time },
            { QStringLiteral("Big"), FieldType::LargeInt },
            { QStringLiteral("Due Date"), FieldType::Date },
            { QStringLiteral("Raw"), FieldType::Blob },
            { QStringLiteral("Wide"), FieldType::WideText, 40 },
        };
        for (const FieldDef &def : defs)
            s.fields.emplace_back(def, int(s.fields.size()));

        const qint64 big = std::numeric_limits<qint64>::max();
        const qint64 small = std::numeric_limits<qint64>::min();
        s.rows.push_back({ Value::integer(7), Value::text(QStringLiteral("Buy milk, it's 50% done")),
            Value::text(QStringLiteral("Complete")), Value::integer(50), Value::fromDate(QDate(2024, 3, 7)),
            Value::fromDate(QDate(2024, 3, 9)), Value::boolean(true),
            Value::text(QStringLiteral("line one\nline two")), Value::integer(65535),
            Value::fromDateTime(QDate(2024, 3, 9), QTime(10, 15)), Value::floating(0.5), Value::time(3600000),
            Value::integer(small), Value::fromDate(QDate(2024, 3, 31)), Value::text(QStringLiteral("AAEC")),
            Value::text(QString::fromUtf8("Stra\xc3\x9f"
                                          "e \xf0\x9f\x98\x80")) });
        s.rows.emplace_back(defs.size()); // every field null
        // Values no table writes, to keep the evaluator honest about extremes and wrong kinds.
        s.rows.push_back({ Value::integer(small), Value::text(QString()), Value::integer(1),
            Value::integer(big), Value::date(big), Value::date(small), Value::text(QStringLiteral("True")),
            Value::integer(3), Value::integer(-1), Value::dateTime(big),
            Value::floating(std::numeric_limits<double>::quiet_NaN()), Value::time(big), Value::integer(big),
            Value::dateTime(small), Value::boolean(false),
            Value::floating(std::numeric_limits<double>::infinity()) });
        s.rows.push_back({ Value::integer(1), Value::text(QStringLiteral("short row")) });
        return s;
    }();
    return s;
}

// LIKE by its definition, over characters (code points).
bool referenceLike(const QList<uint> &p, const QList<uint> &t)
{
    std::vector<char> previous(size_t(t.size() + 1), 0);
    std::vector<char> current(size_t(t.size() + 1), 0);
    previous[0] = 1;
    for (qsizetype i = 1; i <= p.size(); ++i) {
        const uint c = p[i - 1];
        current[0] = c == '%' && previous[0];
        for (qsizetype j = 1; j <= t.size(); ++j) {
            if (c == '%')
                current[size_t(j)] = previous[size_t(j)] || current[size_t(j - 1)];
            else
                current[size_t(j)] = (c == '_' || c == t[j - 1]) && previous[size_t(j - 1)];
        }
        std::swap(previous, current);
    }
    return previous[size_t(t.size())];
}

void checkLike(const QString &input)
{
    const qsizetype half = input.size() / 2;
    QString pattern = input.left(half);
    pattern.remove(u'\'');
    pattern.remove(QChar(0));
    pattern.truncate(200); // well within the 256 characters a literal keeps
    if (!pattern.isEmpty() && pattern.back().isHighSurrogate())
        pattern.chop(1);
    QString task = input.mid(half);
    if (!task.isEmpty() && task.front().isLowSurrogate())
        task.remove(0, 1); // the other half of a pair that the split cut

    const Setup &s = setup();
    std::vector<Value> row(s.fields.size());
    row[size_t(s.taskIndex)] = Value::text(task);
    const bool got = FilterExpr::parse("Task LIKE '" + pattern + "'", s.fields, s.english)->matches(row);
    if (got != referenceLike(pattern.toUcs4(), task.toUcs4())) {
        std::fprintf(stderr, "LIKE disagrees: pattern [%s] text [%s] gave %d\n", pattern.toUtf8().constData(),
            task.toUtf8().constData(), int(got));
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 4096)
        return 0;
    const Setup &s = setup();
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const QString &text : { QString::fromUtf8(bytes), QString::fromLatin1(bytes) }) {
        for (const SystemFormats *formats : { &s.english, &s.german }) {
            std::unique_ptr<FilterExpr> filter;
            try {
                filter = FilterExpr::parse(text, s.fields, *formats);
            } catch (const Error &) {
                continue;
            }
            for (const std::vector<Value> &row : s.rows)
                filter->matches(row);
        }
    }
    checkLike(QString::fromUtf8(bytes));
    return 0;
}
