#include "platform/FileWriter.h"

#include "platform/Error.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ql {

namespace {

// The system's text for an error number, with the two that mean "no room" said plainly.
QString reasonFor(int error)
{
    switch (error) {
    case ENOSPC:
        return QStringLiteral("The disk is full (no space left on device)");
    case EDQUOT:
        return QStringLiteral("The disk quota is used up");
    default: {
        char text[256] = {};
        // The GNU strerror_r may return a static text instead of filling the buffer.
        return QString::fromLocal8Bit(strerror_r(error, text, sizeof text));
    }
    }
}

// The file of the target's name that a write would replace: a symbolic link is written through,
// as an editor would, so the link itself stays.
QString resolvedTarget(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isSymLink())
        return path;
    return info.exists() ? info.canonicalFilePath() : info.symLinkTarget();
}

// The temporary file's name: the target's name, the marker and six random letters or digits. A name
// that would be too long for the folder is shortened at the front of the target's name (never inside
// a UTF-8 sequence), so the marker and the end of the name stay readable.
QByteArray temporaryName(const QByteArray &targetName)
{
    static constexpr char Letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray suffix = TemporaryFileMarker;
    for (int i = 0; i < 6; ++i)
        suffix += Letters[QRandomGenerator::global()->bounded(int(sizeof Letters - 1))];
    QByteArray name = targetName;
    const qsizetype room = NAME_MAX - suffix.size();
    if (name.size() > room) {
        qsizetype cut = name.size() - room;
        while (cut < name.size() && (static_cast<unsigned char>(name.at(cut)) & 0xC0) == 0x80)
            ++cut;
        name = name.mid(cut);
    }
    return name + suffix;
}

// One write: the temporary file while it is open, and what to say when a step fails.
class AtomicWrite
{
public:
    AtomicWrite(const QString &path, const QString &target)
        : m_path(path)
        , m_target(QFile::encodeName(target))
        , m_targetExisted(QFileInfo::exists(target))
    {
    }

    AtomicWrite(const AtomicWrite &) = delete;
    AtomicWrite &operator=(const AtomicWrite &) = delete;

    // A write that did not finish removes its temporary file: it was created here (O_EXCL), so it
    // is ours to delete.
    ~AtomicWrite()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_temporary.isEmpty())
            ::unlink(m_temporary.constData());
    }

    void create()
    {
        const FileFault fault = FileFaults::active();
        if (fault == FileFault::CannotCreate)
            fail(QStringLiteral("Cannot create file \"%1\"."), injected(EACCES));

        const qsizetype slash = m_target.lastIndexOf('/');
        const QByteArray folder = m_target.left(slash + 1);
        const QByteArray name = m_target.mid(slash + 1);
        struct stat old
        {
        };
        const bool hasOld = ::stat(m_target.constData(), &old) == 0 && S_ISREG(old.st_mode);
        for (int attempt = 0; m_fd < 0; ++attempt) {
            const QByteArray candidate = folder + temporaryName(name);
            // New files get the usual permissions (0666 less the umask), like any file a program
            // creates; a replaced file's permissions are copied below.
            m_fd = ::open(candidate.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (m_fd >= 0)
                m_temporary = candidate;
            else if (errno != EEXIST || attempt == 100)
                fail(QStringLiteral("Cannot create file \"%1\"."), errno);
        }
        if (hasOld) {
            // The replacement keeps the old file's permissions and, where allowed, its owner; a
            // failure to copy them does not stop the write.
            (void)::fchmod(m_fd, old.st_mode & 07777);
            if (::geteuid() == 0)
                (void)::fchown(m_fd, old.st_uid, old.st_gid);
        }
    }

    void write(const QByteArray &data)
    {
        const char *p = data.constData();
        qsizetype remaining = data.size();
        if (FileFaults::active() == FileFault::FailsHalfway) {
            writeAll(p, remaining / 2);
            fail(QStringLiteral("Error writing file \"%1\"."), injected(ENOSPC));
        }
        writeAll(p, remaining);
    }

    // The bytes must be on the disk before the rename makes them the file: a file system that takes
    // the data into its cache can still run out of room or fail while flushing it.
    void flush()
    {
        if (FileFaults::active() == FileFault::FailsAtFlush)
            fail(QStringLiteral("Error writing file \"%1\"."), injected(ENOSPC));
        // EINVAL: the file system cannot sync at all; there is nothing more to wait for.
        if (::fdatasync(m_fd) != 0 && errno != EINVAL)
            fail(QStringLiteral("Error writing file \"%1\"."), errno);
        const int fd = m_fd;
        m_fd = -1;
        // A network file system may report a failed write only here. EINTR: the file is closed
        // and its data, flushed above, is on the disk.
        if (::close(fd) != 0 && errno != EINTR)
            fail(QStringLiteral("Error writing file \"%1\"."), errno);
    }

    void replaceTarget()
    {
        if (FileFaults::active() == FileFault::CannotRename)
            fail(QStringLiteral("Cannot rename the temporary file to \"%1\"."), injected(EACCES));
        if (::rename(m_temporary.constData(), m_target.constData()) != 0)
            fail(QStringLiteral("Cannot rename the temporary file to \"%1\"."), errno);
        m_temporary.clear();
        // Make the rename itself last. The new file is complete and in place by now, so a folder
        // that cannot be synced is not reported as a failed write.
        const QByteArray folder = m_target.left(m_target.lastIndexOf('/') + 1);
        const int dir
            = ::open(folder.isEmpty() ? "." : folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            (void)::fsync(dir);
            ::close(dir);
        }
    }

private:
    static int injected(int usual) { return FileFaults::error() != 0 ? FileFaults::error() : usual; }

    void writeAll(const char *&p, qsizetype count)
    {
        while (count > 0) {
            const ssize_t written = ::write(m_fd, p, size_t(std::min<qsizetype>(count, 1 << 20)));
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                fail(QStringLiteral("Error writing file \"%1\"."), errno);
            }
            // write() returns 0 only for a request of 0 bytes; guard against looping forever.
            if (written == 0)
                fail(QStringLiteral("Error writing file \"%1\"."), EIO);
            p += written;
            count -= written;
        }
    }

    [[noreturn]] void fail(const QString &what, int error) const
    {
        const QString kept = m_targetExisted ? QStringLiteral("the previous file was kept unchanged")
                                             : QStringLiteral("no file was created");
        throw Error(what.arg(m_path) + u' ' + reasonFor(error) + QStringLiteral("; ") + kept + u'.');
    }

    QString m_path;
    QByteArray m_target;
    bool m_targetExisted;
    QByteArray m_temporary;
    int m_fd = -1;
};

} // namespace

void writeFileAtomically(const QString &path, const QByteArray &data)
{
    // A list that was never saved has no file name; the write would only fail at the end.
    if (path.trimmed().isEmpty())
        throw Error(QStringLiteral("Cannot create file \"%1\". No file name was given").arg(path));
    AtomicWrite write(path, resolvedTarget(path));
    write.create();
    write.write(data);
    write.flush();
    write.replaceTarget();
}

} // namespace ql
