#include "app/SingleInstance.h"

#include "platform/ProgramInfo.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QtEndian>
#include <unistd.h>

namespace ql {

namespace {

const QByteArray Tag = QByteArrayLiteral("QLHO");
constexpr quint32 ProtocolVersion = 1;
// The tag, the version and the length of the paths.
constexpr int HeaderBytes = 12;
const char Answer = '\1';
// A hand-over is a few paths; anything far larger is not one of ours.
constexpr quint32 MaxPathBytes = 4 * 1024 * 1024;
constexpr int ConnectTimeoutMs = 2000;
constexpr int LockTimeoutMs = 30000;

} // namespace

SingleInstance::SingleInstance(const QString &serverName, int answerTimeoutMs, QObject *parent)
    : QObject(parent)
    , m_name(serverName)
    , m_answerTimeoutMs(answerTimeoutMs)
{
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readHandOver(socket); });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            readHandOver(socket);
        }
    });
}

SingleInstance::~SingleInstance()
{
    m_server.close();
}

QString SingleInstance::defaultServerName()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return QDir(folder).filePath(QStringLiteral("%1.%2.socket").arg(desktopId()).arg(::getuid()));
}

SingleInstance::Role SingleInstance::start(const QStringList &files)
{
    QLockFile lock(m_name + QStringLiteral(".lock"));
    // A lock whose holder has gone is taken over by QLockFile itself. One that stays held this long
    // belongs to a start that hangs: going on without it risks no more than running alone.
    const bool locked = lock.tryLock(LockTimeoutMs);

    switch (handOver(files)) {
    case HandOver::Done:
        return Role::HandedOver;
    case HandOver::NoAnswer:
        m_warning = QStringLiteral("The running Quillon does not answer on %1; this one runs on its own.")
                        .arg(m_name);
        return Role::Alone;
    case HandOver::NoServer:
        break;
    }
    // Nothing listens: the socket, if there is one, was left by a Quillon that ended without
    // removing it.
    if (locked)
        QLocalServer::removeServer(m_name);
    if (!m_server.listen(m_name)) {
        m_warning = QStringLiteral("Cannot listen on %1 (%2); this Quillon runs on its own.")
                        .arg(m_name, m_server.errorString());
        return Role::Alone;
    }
    return Role::First;
}

SingleInstance::HandOver SingleInstance::handOver(const QStringList &files)
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(ConnectTimeoutMs))
        return HandOver::NoServer;

    // Paths never hold a zero character: it separates them.
    const QByteArray paths = files.join(QChar(0)).toUtf8();
    QByteArray message = Tag;
    message += QByteArray(8, '\0');
    qToBigEndian(ProtocolVersion, message.data() + 4);
    qToBigEndian(quint32(paths.size()), message.data() + 8);
    message += paths;
    socket.write(message);
    socket.flush();
    QElapsedTimer clock;
    clock.start();
    while (socket.bytesToWrite() > 0 && clock.elapsed() < m_answerTimeoutMs)
        socket.waitForBytesWritten(m_answerTimeoutMs - int(clock.elapsed()));
    while (socket.bytesAvailable() < 1 && socket.state() == QLocalSocket::ConnectedState
        && clock.elapsed() < m_answerTimeoutMs)
        socket.waitForReadyRead(m_answerTimeoutMs - int(clock.elapsed()));
    char answer = 0;
    if (socket.bytesAvailable() >= 1 && socket.getChar(&answer) && answer == Answer) {
        socket.disconnectFromServer();
        return HandOver::Done;
    }
    return HandOver::NoAnswer;
}

void SingleInstance::readHandOver(QLocalSocket *socket)
{
    // Anything but a whole hand-over of ours ends the connection at the first wrong byte, without
    // waiting for more.
    if (socket->bytesAvailable() < HeaderBytes) {
        if (!Tag.startsWith(socket->peek(Tag.size())))
            socket->abort();
        return;
    }
    const QByteArray header = socket->peek(HeaderBytes);
    const quint32 version = qFromBigEndian<quint32>(header.constData() + 4);
    const quint32 length = qFromBigEndian<quint32>(header.constData() + 8);
    if (!header.startsWith(Tag) || version != ProtocolVersion || length > MaxPathBytes) {
        socket->abort();
        return;
    }
    if (socket->bytesAvailable() < HeaderBytes + qint64(length))
        return;
    socket->skip(HeaderBytes);
    const QByteArray paths = socket->read(length);
    const QStringList files = paths.isEmpty() ? QStringList() : QString::fromUtf8(paths).split(QChar(0));
    socket->putChar(Answer);
    socket->flush();
    socket->disconnectFromServer();
    emit filesReceived(files);
}

} // namespace ql
