#include "platform/SystemFormats.h"

#include <memory>
#include <vector>

namespace ql {

namespace {

// Splits a Qt date/time format into runs of one pattern letter and literal pieces, so the year can
// be widened and the zone dropped without touching quoted text.
struct FormatPiece
{
    QString text;
    bool isField;
};

QList<FormatPiece> splitFormat(const QString &format)
{
    QList<FormatPiece> pieces;
    QString literal;
    auto flushLiteral = [&] {
        if (!literal.isEmpty())
            pieces.append({ literal, false });
        literal.clear();
    };
    for (int i = 0; i < format.size();) {
        const QChar c = format.at(i);
        if (c == u'\'') {
            // A quoted literal runs to the next quote; '' stands for one quote.
            int j = i + 1;
            while (j < format.size() && format.at(j) != u'\'')
                ++j;
            literal += format.mid(i, j - i + 1);
            i = j + 1;
        } else if (c.isLetter() && c.unicode() < 128) {
            int j = i;
            while (j < format.size() && format.at(j) == c)
                ++j;
            flushLiteral();
            pieces.append({ format.mid(i, j - i), true });
            i = j;
        } else {
            literal += c;
            ++i;
        }
    }
    flushLiteral();
    return pieces;
}

QString widenYear(const QString &format)
{
    QString result;
    for (const FormatPiece &piece : splitFormat(format))
        result += piece.isField && piece.text.at(0) == u'y' ? QStringLiteral("yyyy") : piece.text;
    return result;
}

// Blanks and brackets that only frame the zone ("H:mm:ss (t)" in Persian) go with it.
bool framesZone(QChar c)
{
    return c.isSpace() || c == u'(' || c == u')' || c == u'[' || c == u']';
}

QString dropZone(const QString &format)
{
    QList<FormatPiece> pieces = splitFormat(format);
    for (int i = 0; i < pieces.size(); ++i) {
        if (!pieces.at(i).isField || pieces.at(i).text.at(0) != u't')
            continue;
        if (i > 0 && !pieces.at(i - 1).isField) {
            QString &before = pieces[i - 1].text;
            while (!before.isEmpty() && framesZone(before.back()))
                before.chop(1);
        }
        if (i + 1 < pieces.size() && !pieces.at(i + 1).isField) {
            QString &after = pieces[i + 1].text;
            while (!after.isEmpty() && framesZone(after.front()))
                after.remove(0, 1);
        }
        pieces.removeAt(i--);
    }
    QString result;
    for (const FormatPiece &piece : pieces)
        result += piece.text;
    return result.trimmed();
}

QChar firstSeparator(const QString &format)
{
    const QList<FormatPiece> pieces = splitFormat(format);
    for (int i = 1; i + 1 < pieces.size(); ++i) {
        if (!pieces.at(i).isField && pieces.at(i - 1).isField) {
            // Right-to-left locales put a direction mark before the separator ("d\u200F/M\u200F/yyyy");
            // it is invisible and nobody types it, so the separator is the first visible character.
            for (const QChar c : pieces.at(i).text) {
                if (c == u'\'')
                    break;
                if (!c.isSpace() && c.category() != QChar::Other_Format)
                    return c;
            }
        }
    }
    return u'/';
}

// Newer Qt writes a narrow no-break space before AM/PM; users type a blank.
QString normaliseBlanks(QString text)
{
    text.replace(QChar(0x202F), u' ');
    text.replace(QChar(0x00A0), u' ');
    return text;
}

std::unique_ptr<SystemFormats> &currentFormats()
{
    static std::unique_ptr<SystemFormats> formats;
    return formats;
}

} // namespace

QLocale SystemFormats::effectiveLocale(const QLocale &requested)
{
    if (requested.language() == QLocale::C)
        return QLocale(QLocale::English, QLocale::UnitedStates);
    return requested;
}

SystemFormats::SystemFormats(const QLocale &locale)
    : m_locale(effectiveLocale(locale))
    , m_shortDate(widenYear(m_locale.dateFormat(QLocale::ShortFormat)))
    , m_longTime(normaliseBlanks(dropZone(m_locale.timeFormat(QLocale::LongFormat))))
    , m_dateSeparator(firstSeparator(m_shortDate))
    , m_decimalSeparator(m_locale.decimalPoint().isEmpty() ? QChar(u'.') : m_locale.decimalPoint().at(0))
    , m_caseSensitive(m_locale)
    , m_caseInsensitive(m_locale)
{
    m_caseSensitive.setCaseSensitivity(Qt::CaseSensitive);
    m_caseInsensitive.setCaseSensitivity(Qt::CaseInsensitive);
}

const SystemFormats &SystemFormats::current()
{
    auto &formats = currentFormats();
    if (!formats)
        formats = std::make_unique<SystemFormats>(QLocale::system());
    return *formats;
}

void SystemFormats::pin(const QLocale &locale)
{
    // Code that took current() before the pin may still hold it; the replaced formats stay alive
    // (a few per run at most) so such a reference never dangles.
    static std::vector<std::unique_ptr<SystemFormats>> replaced;
    auto &formats = currentFormats();
    if (formats)
        replaced.push_back(std::move(formats));
    formats = std::make_unique<SystemFormats>(locale);
}

QString SystemFormats::formatDate(const QDate &date) const
{
    return m_locale.toString(date, m_shortDate);
}

QString SystemFormats::formatTime(const QTime &time) const
{
    return normaliseBlanks(m_locale.toString(time, m_longTime));
}

QString SystemFormats::formatDateTime(const QDate &date, const QTime &time) const
{
    if (time == QTime(0, 0))
        return formatDate(date);
    return formatDate(date) + u' ' + formatTime(time);
}

std::optional<QDate> SystemFormats::parseDate(const QString &text) const
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    QDate date = m_locale.toDate(trimmed, m_shortDate);
    if (!date.isValid()) {
        // Typed dates may lead with zeros where the format has none ("03/09/2024"), or the reverse.
        QString loose = m_shortDate;
        loose.replace(QStringLiteral("dd"), QStringLiteral("d"))
            .replace(QStringLiteral("MM"), QStringLiteral("M"));
        date = m_locale.toDate(trimmed, loose);
    }
    if (!date.isValid())
        return std::nullopt;
    return date;
}

std::optional<std::pair<QDate, QTime>> SystemFormats::parseDateTime(const QString &text) const
{
    const QString trimmed = normaliseBlanks(text.trimmed());
    if (auto date = parseDate(trimmed))
        return std::make_pair(*date, QTime(0, 0));
    // Split at the first blank that follows the date part and try the time formats on the rest.
    for (int i = 0; i < trimmed.size(); ++i) {
        if (trimmed.at(i) != u' ')
            continue;
        const auto date = parseDate(trimmed.left(i));
        if (!date)
            continue;
        const QString rest = trimmed.mid(i + 1).trimmed();
        QString shortTime = normaliseBlanks(dropZone(m_locale.timeFormat(QLocale::ShortFormat)));
        for (const QString &format : { m_longTime, shortTime }) {
            QTime time = m_locale.toTime(rest, format);
            if (!time.isValid()) {
                QString loose = format;
                loose.replace(QStringLiteral("hh"), QStringLiteral("h"))
                    .replace(QStringLiteral("HH"), QStringLiteral("H"));
                time = m_locale.toTime(rest, loose);
            }
            if (time.isValid())
                return std::make_pair(*date, time);
        }
        return std::nullopt;
    }
    return std::nullopt;
}

int SystemFormats::compareText(const QString &a, const QString &b, bool caseSensitive) const
{
    return (caseSensitive ? m_caseSensitive : m_caseInsensitive).compare(a, b);
}

QCollatorSortKey SystemFormats::sortKey(const QString &text, bool caseSensitive) const
{
    return (caseSensitive ? m_caseSensitive : m_caseInsensitive).sortKey(text);
}

QCollator SystemFormats::newCollator(bool caseSensitive) const
{
    QCollator collator(m_locale);
    collator.setCaseSensitivity(caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive);
    return collator;
}

} // namespace ql
