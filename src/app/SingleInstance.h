#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QStringList>

class QLocalSocket;

namespace ql {

// One Quillon per user session. The first start listens on a local socket in the user's runtime
// folder; a later start hands its files (absolute paths) over that socket to the running Quillon,
// which opens them, and ends. Without this, two Quillons would each write "Recent.XML" and
// Quillon.ini from their own copy and lose each other's entries.
//
// Two starts at once agree through a lock file beside the socket: the one holding it either finds a
// Quillon to hand over to or becomes that Quillon. A socket left behind by a Quillon that crashed
// takes no connection; it is removed and taken over.
//
// The hand-over: the later start writes the tag "QLHO", the protocol's version and the length of the
// paths (32 bits each, big-endian), then the paths in UTF-8, separated by zero bytes (none at all
// asks the running Quillon to show itself); the running one answers one byte once it has read the
// whole message.
class SingleInstance final : public QObject
{
    Q_OBJECT

public:
    enum class Role {
        // This process receives the files of later starts.
        First,
        // The files went to the Quillon that is running: this process ends.
        HandedOver,
        // Neither: a Quillon that does not answer holds the socket, or the socket cannot be made.
        // This process runs on its own; warning() says why.
        Alone,
    };

    // How long a later start waits for the running Quillon to take its files: long enough for one
    // that is still opening a large list at its own start.
    static constexpr int AnswerTimeoutMs = 20000;

    // `serverName`: the socket's path (see defaultServerName).
    explicit SingleInstance(
        const QString &serverName, int answerTimeoutMs = AnswerTimeoutMs, QObject *parent = nullptr);
    ~SingleInstance() override;

    Role start(const QStringList &files);
    const QString &warning() const { return m_warning; }

    // "<runtime folder>/<desktop id>.<user id>.socket": XDG_RUNTIME_DIR, or Qt's per-user fallback
    // when it is not set.
    static QString defaultServerName();

signals:
    // A later start handed these paths over; empty when it gave none.
    void filesReceived(const QStringList &files);

private:
    enum class HandOver { Done, NoServer, NoAnswer };
    HandOver handOver(const QStringList &files);
    void readHandOver(QLocalSocket *socket);

    QString m_name;
    int m_answerTimeoutMs;
    QLocalServer m_server;
    QString m_warning;
};

} // namespace ql
