#pragma once

#include <QChar>
#include <QCollator>
#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>
#include <optional>

namespace ql {

// The system's formats as the program uses them: the short date format with the year widened to
// four digits (a two-digit year would read "12/10/26" back as 1926), the long time format without a
// time zone, the date and decimal separators, and text collation. In the C or POSIX locale (no LANG)
// en_US stands in, because Qt's collator would otherwise compare code points.
//
// One instance is current for the whole program; tests and quillon-cli pin a locale through pin().
class SystemFormats
{
public:
    explicit SystemFormats(const QLocale &locale);

    static const SystemFormats &current();
    // Makes the formats of `locale` current (the C locale maps to en_US as at start-up).
    static void pin(const QLocale &locale);

    const QLocale &locale() const { return m_locale; }
    const QString &shortDateFormat() const { return m_shortDate; }
    const QString &longTimeFormat() const { return m_longTime; }
    QChar dateSeparator() const { return m_dateSeparator; }
    QChar decimalSeparator() const { return m_decimalSeparator; }

    QString formatDate(const QDate &date) const;
    QString formatTime(const QTime &time) const;
    // The text of a date-time: the date, and a blank and the time unless it is exactly midnight.
    QString formatDateTime(const QDate &date, const QTime &time) const;

    // Reads a date in the short date format; empty when the text is no such date.
    std::optional<QDate> parseDate(const QString &text) const;
    // Reads a date, optionally followed by a blank and a time in the long time format (or hours and
    // minutes with the same separators); empty when the text is no such date and time.
    std::optional<std::pair<QDate, QTime>> parseDateTime(const QString &text) const;

    // Locale collation, with or without regard to case. Returns <0, 0 or >0.
    int compareText(const QString &a, const QString &b, bool caseSensitive) const;
    QCollatorSortKey sortKey(const QString &text, bool caseSensitive) const;
    // A collator of its own that compares as sortKey does, for work on another thread: a collator
    // may not be used by two threads at once, and copies of one share its state.
    QCollator newCollator(bool caseSensitive) const;

    // The effective locale for a requested one: C and POSIX become en_US.
    static QLocale effectiveLocale(const QLocale &requested);

private:
    QLocale m_locale;
    QString m_shortDate;
    QString m_longTime;
    QChar m_dateSeparator;
    QChar m_decimalSeparator;
    QCollator m_caseSensitive;
    QCollator m_caseInsensitive;
};

} // namespace ql
