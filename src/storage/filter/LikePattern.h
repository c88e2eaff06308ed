#pragma once

#include "storage/filter/FilterValues.h"

#include <QString>
#include <optional>
#include <vector>

namespace ql::filter {

// A LIKE pattern, split at its "%" signs into pieces of literal characters and "_". The first piece
// must match at the start of the text and the last one at its end; the pieces between are found
// left to right, each at its leftmost place, because a piece found further left never spoils a
// later one. So a match takes at most (text length x pattern length) steps and never backtracks over
// a "%" ("%a%a%a%a%b" stays linear), and runs of "%" act as one.
class LikePattern
{
public:
    explicit LikePattern(const QString &pattern)
    {
        Piece piece;
        for (QChar c : pattern) {
            if (c == u'%') {
                m_pieces.push_back(std::move(piece));
                piece = Piece();
                continue;
            }
            piece.text.append(c);
            piece.wild = piece.wild || c == u'_';
        }
        m_pieces.push_back(std::move(piece));
    }

    bool matches(QStringView text) const
    {
        if (m_pieces.size() == 1)
            return matchForward(m_pieces.front(), text, 0) == text.size();
        const qsizetype from = matchForward(m_pieces.front(), text, 0);
        if (from < 0)
            return false;
        const qsizetype to = matchBackward(m_pieces.back(), text, text.size());
        if (to < from)
            return false;
        const QStringView room = text.first(to);
        qsizetype pos = from;
        for (size_t i = 1; i + 1 < m_pieces.size() && pos >= 0; ++i)
            pos = find(m_pieces[i], room, pos);
        return pos >= 0;
    }

    // The text a pattern of the form "%text%" looks for anywhere (no "_" in it, no other "%"), or
    // nothing for any other pattern.
    std::optional<QString> containedText() const
    {
        if (m_pieces.size() != 3 || !m_pieces[0].text.isEmpty() || !m_pieces[2].text.isEmpty()
            || m_pieces[1].wild)
            return std::nullopt;
        return m_pieces[1].text;
    }

private:
    struct Piece
    {
        QString text;
        bool wild = false; // holds "_"
    };

    // Where a match of `piece` at `at` ends, or -1.
    static qsizetype matchForward(const Piece &piece, QStringView s, qsizetype at)
    {
        for (QChar c : piece.text) {
            if (at >= s.size())
                return -1;
            if (c == u'_')
                at = nextChar(s, at);
            else if (s[at] == c)
                ++at;
            else
                return -1;
        }
        return at;
    }

    // Where a match of `piece` that ends at `end` starts, or -1.
    static qsizetype matchBackward(const Piece &piece, QStringView s, qsizetype end)
    {
        for (qsizetype i = piece.text.size() - 1; i >= 0; --i) {
            if (end <= 0)
                return -1;
            const QChar c = piece.text[i];
            if (c == u'_')
                end = previousChar(s, end);
            else if (s[end - 1] == c)
                --end;
            else
                return -1;
        }
        return end;
    }

    // Where the leftmost match of `piece` at or after `from` ends, or -1.
    static qsizetype find(const Piece &piece, QStringView s, qsizetype from)
    {
        if (piece.text.isEmpty())
            return from;
        if (!piece.wild) {
            const qsizetype at = s.indexOf(QStringView(piece.text), from);
            return at < 0 ? -1 : at + piece.text.size();
        }
        for (qsizetype at = from; at < s.size(); at = nextChar(s, at)) {
            const qsizetype end = matchForward(piece, s, at);
            if (end >= 0)
                return end;
        }
        return -1;
    }

    std::vector<Piece> m_pieces;
};

} // namespace ql::filter
