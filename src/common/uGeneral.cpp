#include "common/uGeneral.h"

#include "platform/Error.h"
#include "platform/SystemFormats.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <numeric>
#include <pwd.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace ql {

QString FileNameWithoutExt(const QString &path)
{
    // Only the name part counts: a dot in a folder name is no extension.
    const QString name = path.mid(path.lastIndexOf(u'/') + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? name : name.left(dot);
}

void SortMemoLines(QStringList &lines)
{
    // An exchange sort, not std::sort: each line is compared with every later one and swapped only
    // when it sorts strictly after it, so lines that compare equal (such as "a" and "A") keep the
    // order the user gave them.
    //
    // Collating is what costs, and the exchange sort compares every pair. So the lines are first
    // ranked by collation with O(n log n) comparisons, equal lines sharing a rank, and the exchange
    // sort compares ranks: every comparison has the outcome the collator gives, so the result is the
    // same. A merge sort ranks them: unlike std::sort, it stays inside the range even if a collator
    // were not consistent.
    const SystemFormats &formats = SystemFormats::current();
    const auto collate
        = [&](qsizetype a, qsizetype b) { return formats.compareText(lines.at(a), lines.at(b), false); };
    const size_t count = size_t(lines.size());
    std::vector<qsizetype> byCollation(count);
    std::iota(byCollation.begin(), byCollation.end(), 0);
    std::stable_sort(
        byCollation.begin(), byCollation.end(), [&](qsizetype a, qsizetype b) { return collate(a, b) < 0; });

    // (rank, line) for each line, in the order of the list.
    std::vector<std::pair<size_t, qsizetype>> ranked(count);
    size_t rank = 0;
    for (size_t k = 0; k < count; ++k) {
        if (k > 0 && collate(byCollation[k - 1], byCollation[k]) != 0)
            ++rank;
        ranked[size_t(byCollation[k])] = { rank, byCollation[k] };
    }
    for (size_t i = 0; i < count; ++i) {
        for (size_t j = i + 1; j < count; ++j) {
            if (ranked[i].first > ranked[j].first)
                std::swap(ranked[i], ranked[j]);
        }
    }

    QStringList sorted;
    sorted.reserve(lines.size());
    for (const auto &entry : ranked)
        sorted << lines.at(entry.second);
    lines = std::move(sorted);
}

QStringList MemoLines(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype size = text.size();
    while (start < size) {
        qsizetype end = start;
        while (end < size && text.at(end) != u'\n' && text.at(end) != u'\r')
            ++end;
        lines << text.mid(start, end - start);
        if (end < size && text.at(end) == u'\r' && end + 1 < size && text.at(end + 1) == u'\n')
            ++end;
        // Past the line break: when it was the text's last character, the loop ends here and no
        // empty line follows it.
        start = end + 1;
    }
    return lines;
}

QString UserNameOf(unsigned int userId)
{
    // The user's name is read into a buffer of 1024 characters. getpwuid_r also stores the home
    // folder, shell and comment there, so the buffer grows when an entry does not fit.
    std::vector<char> buffer(1024);
    passwd entry {};
    passwd *found = nullptr;
    int rc;
    while (
        (rc = getpwuid_r(static_cast<uid_t>(userId), &entry, buffer.data(), buffer.size(), &found)) == ERANGE
        && buffer.size() < (1u << 20))
        buffer.resize(buffer.size() * 2);
    if (rc != 0) {
        char text[256] = {};
        // The GNU strerror_r may return a static text instead of filling the buffer.
        const char *message = strerror_r(rc, text, sizeof text);
        throw Error(QString::fromLocal8Bit(message));
    }
    // No error but no entry: the user database does not know this user. The system has no error
    // text for that (errno stays 0), so say it plainly.
    if (!found)
        throw Error(QStringLiteral("The user ID %1 has no entry in the user database").arg(userId));
    return QString::fromLocal8Bit(found->pw_name);
}

QString CurrentUserName()
{
    return UserNameOf(geteuid());
}

} // namespace ql
