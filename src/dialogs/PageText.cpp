#include "dialogs/PageText.h"

#include "platform/TextEncoding.h"

#include <algorithm>

namespace ql {

namespace {

const QByteArrayView kDescriptionTag("<meta name=\"DESCRIPTION\"");
const QByteArrayView kContentAttribute("content=\"");
const QByteArrayView kTitleStart("<title>");
const QByteArrayView kTitleEnd("</title>");

// The windows searched for the content attribute and for the value's closing quote.
constexpr qsizetype kWindow = 512;

// Only the letters A to Z fold: a page's other bytes (UTF-8 sequences, Windows-1252 letters) must
// match as they are, so that no byte outside ASCII ever stands in for a marker's letter.
constexpr char foldAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// The index of the first occurrence of `marker` in `text`, or -1.
qsizetype findMarker(QByteArrayView text, QByteArrayView marker)
{
    const qsizetype last = text.size() - marker.size();
    const char first = foldAscii(marker.front());
    for (qsizetype at = 0; at <= last; ++at) {
        if (foldAscii(text[at]) != first)
            continue;
        qsizetype i = 1;
        while (i < marker.size() && foldAscii(text[at + i]) == foldAscii(marker[i]))
            ++i;
        if (i == marker.size())
            return at;
    }
    return -1;
}

// At most `length` bytes of `page` from `from` on.
QByteArrayView windowAt(QByteArrayView page, qsizetype from, qsizetype length)
{
    return page.sliced(from, std::min(length, page.size() - from));
}

bool isBlankOrControl(char c)
{
    return static_cast<unsigned char>(c) <= 32;
}

QString pageText(QByteArrayView bytes)
{
    QString text = decodeSystemText(bytes);
    if (const qsizetype zero = text.indexOf(QChar(u'\0')); zero >= 0)
        text.truncate(zero);
    return text;
}

} // namespace

QString ExtractPageText(QByteArrayView page)
{
    if (const qsizetype tag = findMarker(page, kDescriptionTag); tag >= 0) {
        const qsizetype attribute = findMarker(windowAt(page, tag, kWindow), kContentAttribute);
        if (attribute >= 0) {
            const qsizetype value = tag + attribute + kContentAttribute.size();
            const qsizetype quote = windowAt(page, value, kWindow).indexOf('"');
            if (quote >= 0)
                return pageText(page.sliced(value, quote));
        }
    }

    const qsizetype start = findMarker(page, kTitleStart);
    if (start < 0)
        return {};
    qsizetype begin = start + kTitleStart.size();
    qsizetype end = findMarker(page, kTitleEnd);
    if (end <= begin)
        return {};
    while (begin < end && isBlankOrControl(page[begin]))
        ++begin;
    while (end > begin && isBlankOrControl(page[end - 1]))
        --end;
    return pageText(page.sliced(begin, end - begin));
}

} // namespace ql
