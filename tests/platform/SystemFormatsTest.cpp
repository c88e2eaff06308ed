#include "platform/SystemFormats.h"

#include <QDate>
#include <QLocale>
#include <QTime>
#include <gtest/gtest.h>

namespace {

using ql::SystemFormats;

struct LocaleCase
{
    const char *name;
    QChar dateSeparator;
    QChar decimalSeparator;
};

void PrintTo(const LocaleCase &c, std::ostream *os)
{
    *os << c.name;
}

class SystemFormatsLocales : public ::testing::TestWithParam<LocaleCase>
{
};

// Separators are the ones a user of that locale types; ar_SA puts an invisible direction mark
// before its "/", which must not become the separator. fa_IR writes its zone in brackets
// ("H:mm:ss (t)"), which must go with the zone.
const LocaleCase localeCases[] = {
    { "en_US", u'/', u'.' },
    { "de_DE", u'.', u',' },
    { "hu_HU", u'.', u',' },
    { "ja_JP", u'/', u'.' },
    { "C", u'/', u'.' },
    { "ko_KR", u'.', u'.' },
    { "ar_SA", u'/', QChar(0x066B) },
    { "fa_IR", u'/', QChar(0x066B) },
};

TEST_P(SystemFormatsLocales, ShortDate_HasFourDigitYearAndRoundTrips)
{
    const SystemFormats formats { QLocale(QString::fromLatin1(GetParam().name)) };
    const QString format = formats.shortDateFormat();
    EXPECT_EQ(format.count(u'y'), 4) << format.toStdString();
    EXPECT_TRUE(format.contains(QStringLiteral("yyyy"))) << format.toStdString();
    EXPECT_EQ(formats.dateSeparator(), GetParam().dateSeparator);

    // 1926 and 2026 differ only in the century: both survive only with the widened year.
    for (const QDate date : { QDate(1926, 3, 9), QDate(2026, 12, 10), QDate(2000, 1, 31) }) {
        const QString text = formats.formatDate(date);
        EXPECT_TRUE(text.contains(formats.dateSeparator())) << text.toStdString();
        EXPECT_EQ(formats.parseDate(text), date) << text.toStdString();
    }
}

TEST_P(SystemFormatsLocales, LongTime_HasNoZoneNorNarrowBlankAndDateTimeRoundTrips)
{
    const SystemFormats formats { QLocale(QString::fromLatin1(GetParam().name)) };
    EXPECT_FALSE(formats.longTimeFormat().contains(u't')) << formats.longTimeFormat().toStdString();
    EXPECT_FALSE(formats.longTimeFormat().contains(u'(')) << formats.longTimeFormat().toStdString();

    const QDate date(2024, 3, 9);
    for (const QTime time : { QTime(14, 5, 7), QTime(0, 0, 1), QTime(12, 0, 0), QTime(9, 30, 0) }) {
        const QString text = formats.formatDateTime(date, time);
        EXPECT_FALSE(text.contains(QChar(0x202F))) << text.toStdString();
        EXPECT_FALSE(text.contains(QChar(0x00A0))) << text.toStdString();
        EXPECT_EQ(text, text.trimmed());
        const auto back = formats.parseDateTime(text);
        ASSERT_TRUE(back.has_value()) << text.toStdString();
        EXPECT_EQ(back->first, date);
        EXPECT_EQ(back->second, time) << text.toStdString();
    }
    // Midnight is written as the date alone and reads back as midnight.
    EXPECT_EQ(formats.formatDateTime(date, QTime(0, 0)), formats.formatDate(date));
    const auto midnight = formats.parseDateTime(formats.formatDate(date));
    ASSERT_TRUE(midnight.has_value());
    EXPECT_EQ(midnight->second, QTime(0, 0));
}

TEST_P(SystemFormatsLocales, DecimalSeparator_IsTheLocales)
{
    const SystemFormats formats { QLocale(QString::fromLatin1(GetParam().name)) };
    EXPECT_EQ(formats.decimalSeparator(), GetParam().decimalSeparator);
}

INSTANTIATE_TEST_SUITE_P(Locales, SystemFormatsLocales, ::testing::ValuesIn(localeCases),
    [](const auto &info) { return std::string(info.param.name); });

// Restores the en_US pin of the test programs after a test that pins another locale.
struct PinGuard
{
    ~PinGuard() { SystemFormats::pin(QLocale(QLocale::English, QLocale::UnitedStates)); }
};

TEST(SystemFormats, CAndPosixLocale_UseUsFormatsAndCollation)
{
    const SystemFormats us { QLocale(QLocale::English, QLocale::UnitedStates) };
    for (const QLocale &requested : { QLocale::c(), QLocale(QStringLiteral("POSIX")) }) {
        const SystemFormats formats { requested };
        EXPECT_EQ(formats.locale().name(), QStringLiteral("en_US"));
        EXPECT_EQ(formats.shortDateFormat(), us.shortDateFormat());
        EXPECT_EQ(formats.longTimeFormat(), us.longTimeFormat());
    }

    PinGuard guard;
    SystemFormats::pin(QLocale::c());
    EXPECT_EQ(SystemFormats::current().locale().name(), QStringLiteral("en_US"));
    // Code points would put "Zeta" first.
    EXPECT_LT(SystemFormats::current().compareText(QStringLiteral("alpha"), QStringLiteral("Zeta"), true), 0);
}

TEST(SystemFormats, CompareText_FollowsCollationAndCaseRule)
{
    PinGuard guard;
    SystemFormats::pin(QLocale::c());
    const SystemFormats &formats = SystemFormats::current();
    struct Case
    {
        const char *a;
        const char *b;
        bool caseSensitive;
        int expectedSign;
    };
    const Case cases[] = {
        { "alpha", "Zeta", true, -1 },
        { "alpha", "Zeta", false, -1 },
        { "cancelled", "Cancelled", false, 0 },
        { "cancelled", "Cancelled", true, -1 },
        { "Eclair", "Éclair", false, -1 },
        { "Ähnlich", "Zeta", true, -1 },
        { "Complete", "Complete ", true, -1 },
        { "same", "same", true, 0 },
    };
    for (const Case &c : cases) {
        const int result
            = formats.compareText(QString::fromUtf8(c.a), QString::fromUtf8(c.b), c.caseSensitive);
        const int sign = (result > 0) - (result < 0);
        EXPECT_EQ(sign, c.expectedSign) << c.a << " vs " << c.b << " case-sensitive " << c.caseSensitive;
        // The sort keys order the same way as the comparison.
        const int keySign = formats.sortKey(QString::fromUtf8(c.a), c.caseSensitive)
                                .compare(formats.sortKey(QString::fromUtf8(c.b), c.caseSensitive));
        EXPECT_EQ((keySign > 0) - (keySign < 0), c.expectedSign) << c.a << " vs " << c.b;
    }
}

TEST(SystemFormats, ParseDate_RefusesTwoDigitYearsAndNonDates)
{
    const SystemFormats us { QLocale(QLocale::English, QLocale::UnitedStates) };
    EXPECT_EQ(us.parseDate(QStringLiteral("03/09/2024")), QDate(2024, 3, 9)); // leading zeros typed
    EXPECT_EQ(us.parseDate(QStringLiteral(" 3/9/2024 ")), QDate(2024, 3, 9));
    for (const char *text : { "12/10/26", "", "2/30/2024", "13/1/2024", "tomorrow" })
        EXPECT_FALSE(us.parseDate(QString::fromLatin1(text)).has_value()) << text;

    const SystemFormats de { QLocale(QLocale::German, QLocale::Germany) };
    EXPECT_EQ(de.parseDate(QStringLiteral("9.3.2024")), QDate(2024, 3, 9)); // zeros left out
}

} // namespace
