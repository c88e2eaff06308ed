#pragma once

// The tokens of the filter language and the lexer that reads them. Internal to the filter.

#include "storage/filter/FilterValues.h"

#include <QString>

namespace ql::filter {

enum class Tok : quint8 {
    End,
    Name,
    Text,
    Number,
    And,
    Or,
    Not,
    Like,
    In,
    Is,
    Null,
    True,
    False,
    Eq,
    Ne,
    Lt,
    Gt,
    Le,
    Ge,
    Plus,
    Minus,
    Star,
    Slash,
    LParen,
    RParen,
    Comma,
};

struct Token
{
    Tok kind = Tok::End;
    QString text; // a name, the characters of a text literal, a number as written
    qsizetype start = 0;
    qsizetype end = 0;
};

class Lexer
{
public:
    Lexer(QString source, QChar decimal)
        : m_src(std::move(source))
        , m_decimal(decimal)
        , m_lastQuote(m_src.lastIndexOf(u'\''))
    {
    }

    bool atEnd()
    {
        skipBlanksAndComments();
        return m_pos >= m_src.size();
    }

    Token next()
    {
        skipBlanksAndComments();
        Token token;
        token.start = m_pos;
        if (m_pos < m_src.size())
            read(token);
        token.end = m_pos;
        switch (token.kind) {
        case Tok::Name:
        case Tok::Text:
        case Tok::Number:
        case Tok::True:
        case Tok::False:
        case Tok::Null:
        case Tok::RParen:
            m_minusIsOperator = true;
            break;
        default:
            m_minusIsOperator = false;
            break;
        }
        return token;
    }

    // The token as the user wrote it, for "... expected but %s found".
    QString describe(const Token &token) const
    {
        if (token.kind == Tok::End)
            return QStringLiteral("end of text");
        return m_src.mid(token.start, token.end - token.start);
    }

private:
    void skipBlanksAndComments()
    {
        const qsizetype n = m_src.size();
        for (;;) {
            while (m_pos < n && isBlank(m_src[m_pos]))
                ++m_pos;
            if (m_pos + 1 < n && m_src[m_pos] == u'/' && m_src[m_pos + 1] == u'*') {
                const qsizetype close = m_src.indexOf(QStringLiteral("*/"), m_pos + 2);
                if (close < 0)
                    fail(QStringLiteral("Invalid filter expression character: '/'"));
                m_pos = close + 2;
                continue;
            }
            return;
        }
    }

    void read(Token &token)
    {
        const QChar c = m_src[m_pos];
        if (isNameStart(c))
            readName(token);
        else if (c == u'[')
            readBracketedName(token);
        else if (c == u'\'')
            readText(token);
        else if (isDigit(c) || (c == u'-' && !m_minusIsOperator))
            readNumber(token);
        else
            readOperator(token);
    }

    void readName(Token &token)
    {
        const qsizetype start = m_pos;
        while (m_pos < m_src.size() && isNamePart(m_src[m_pos]))
            ++m_pos;
        const QStringView name = QStringView(m_src).sliced(start, m_pos - start);
        static const struct
        {
            const char *word;
            Tok kind;
        } keywords[] = { { "AND", Tok::And }, { "OR", Tok::Or }, { "NOT", Tok::Not }, { "LIKE", Tok::Like },
            { "IN", Tok::In }, { "IS", Tok::Is }, { "NULL", Tok::Null }, { "TRUE", Tok::True },
            { "FALSE", Tok::False } };
        for (const auto &keyword : keywords) {
            if (isWord(name, keyword.word)) {
                token.kind = keyword.kind;
                return;
            }
        }
        token.kind = Tok::Name;
        token.text = name.toString();
    }

    void readBracketedName(Token &token)
    {
        const qsizetype close = m_src.indexOf(u']', m_pos + 1);
        if (close < 0)
            fail(QStringLiteral("Unterminated field name"));
        token.kind = Tok::Name;
        token.text = m_src.mid(m_pos + 1, close - m_pos - 1);
        m_pos = close + 1;
    }

    void readText(Token &token)
    {
        const qsizetype n = m_src.size();
        QString text;
        qsizetype i = m_pos + 1;
        for (;;) {
            if (i >= n)
                fail(QStringLiteral("Unterminated string constant"));
            const QChar c = m_src[i];
            if (c != u'\'') {
                text.append(c);
                ++i;
            } else if (i + 1 < n && m_src[i + 1] == u'\'') {
                text.append(c);
                i += 2;
            } else if (quoteEndsLiteral(i)) {
                ++i;
                break;
            } else {
                text.append(c);
                ++i;
            }
        }
        token.kind = Tok::Text;
        token.text = leftChars(text, LiteralChars);
        m_pos = i;
    }

    // Whether the lone quote at `q` closes a literal or is a character of it.
    bool quoteEndsLiteral(qsizetype q)
    {
        if (q >= m_lastQuote)
            return true;
        const qsizetype n = m_src.size();
        qsizetype s = q + 1;
        while (s < n && (isBlank(m_src[s]) || m_src[s] == u')'))
            ++s;
        if (s >= n)
            return true;
        const QChar c = m_src[s];
        // A comma ends it too, so an IN list needs no blanks: ('Paused','Complete').
        if (c == u'\'' || c == u',' || (c == u'/' && s + 1 < n && m_src[s + 1] == u'*'))
            return true;
        buildWordTables();
        const QStringView word = wordAt(s);
        if (word.isEmpty())
            return false;
        static const char *const endWords[] = { "AND", "OR", "LIKE", "IS", "NULL", "ASC", "ASCENDING", "DESC",
            "DESCENDING", "SELECT", "FROM", "WHERE", "HAVING", "UNION", "PLAN" };
        for (const char *w : endWords) {
            if (isWord(word, w))
                return true;
        }
        if (isNumberWord(word))
            return true;
        const qsizetype secondStart = m_nextNonBlank[size_t(s + word.size())];
        const QStringView second = wordAt(secondStart);
        if (isWord(second, "NULL"))
            return true;
        if (isWord(second, "NOT")
            && isWord(wordAt(m_nextNonBlank[size_t(secondStart + second.size())]), "NULL"))
            return true;
        if ((isWord(word, "GROUP") || isWord(word, "ORDER")) && isWord(second, "BY"))
            return true;
        return isWord(word, "FOR") && isWord(second, "UPDATE");
    }

    bool isNumberWord(QStringView word) const
    {
        bool digit = false;
        for (QChar c : word) {
            if (!isNumberPart(c, m_decimal))
                return false;
            digit = digit || isDigit(c);
        }
        return digit;
    }

    // A word runs to the next blank, "(" or ",". The tables answer "where does the word at i end"
    // and "where is the next non-blank" in one step, so that many quotes in one long word cannot
    // make reading a literal quadratic.
    void buildWordTables()
    {
        if (!m_wordEnd.empty())
            return;
        const qsizetype n = m_src.size();
        m_wordEnd.assign(size_t(n + 1), n);
        m_nextNonBlank.assign(size_t(n + 1), n);
        for (qsizetype i = n - 1; i >= 0; --i) {
            const QChar c = m_src[i];
            m_wordEnd[size_t(i)] = isBlank(c) || c == u'(' || c == u',' ? i : m_wordEnd[size_t(i + 1)];
            m_nextNonBlank[size_t(i)] = isBlank(c) ? m_nextNonBlank[size_t(i + 1)] : i;
        }
    }

    QStringView wordAt(qsizetype s) const { return QStringView(m_src).sliced(s, m_wordEnd[size_t(s)] - s); }

    void readNumber(Token &token)
    {
        const qsizetype start = m_pos;
        ++m_pos; // the "-" or first digit
        while (m_pos < m_src.size() && isNumberPart(m_src[m_pos], m_decimal))
            ++m_pos;
        token.kind = Tok::Number;
        token.text = m_src.mid(start, m_pos - start);
    }

    void readOperator(Token &token)
    {
        const QChar c = m_src[m_pos];
        const QChar after = m_pos + 1 < m_src.size() ? m_src[m_pos + 1] : QChar();
        qsizetype length = 1;
        switch (c.unicode()) {
        case u'=':
            token.kind = Tok::Eq;
            break;
        case u'<':
            if (after == u'>') {
                token.kind = Tok::Ne;
                length = 2;
            } else if (after == u'=') {
                token.kind = Tok::Le;
                length = 2;
            } else {
                token.kind = Tok::Lt;
            }
            break;
        case u'>':
            if (after == u'=') {
                token.kind = Tok::Ge;
                length = 2;
            } else {
                token.kind = Tok::Gt;
            }
            break;
        case u'+':
            token.kind = Tok::Plus;
            break;
        case u'-':
            token.kind = Tok::Minus;
            break;
        case u'*':
            token.kind = Tok::Star;
            break;
        case u'/':
            token.kind = Tok::Slash;
            break;
        case u'(':
            token.kind = Tok::LParen;
            break;
        case u')':
            token.kind = Tok::RParen;
            break;
        case u',':
            token.kind = Tok::Comma;
            break;
        default:
            fail(QStringLiteral("Invalid filter expression character: '%1'").arg(c));
        }
        m_pos += length;
    }

    QString m_src;
    QChar m_decimal;
    qsizetype m_lastQuote;
    qsizetype m_pos = 0;
    bool m_minusIsOperator = false;
    std::vector<qsizetype> m_wordEnd;
    std::vector<qsizetype> m_nextNonBlank;
};

} // namespace ql::filter
