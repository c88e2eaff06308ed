#pragma once

#include <QByteArray>
#include <QString>
#include <exception>
#include <utility>

namespace ql {

// The one error type of the program. Storage and commands throw it with the exact text the user
// is shown; the application-wide error box catches it at every entry point Qt calls.
class Error : public std::exception
{
public:
    explicit Error(QString message)
        : m_message(std::move(message))
        , m_utf8(m_message.toUtf8())
    {
    }

    const QString &message() const noexcept { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

} // namespace ql
