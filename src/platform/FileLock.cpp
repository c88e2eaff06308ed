#include "platform/FileLock.h"

#include "platform/Error.h"
#include "platform/FileWriter.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ql {

FileLock::FileLock(const QString &path)
    : m_path(path)
{
    for (;;) {
        const QString target = writeTarget(path);
        requireReplaceable(path, target);
        const QByteArray name = QFile::encodeName(target);
        // Opened for writing, as a write lock needs; the file itself is never written through it.
        const int fd = ::open(name.constData(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR)
                continue;
            // Nothing to lock: the write creates the file, or says why it cannot.
            if (errno == ENOENT)
                return;
            throw Error(QStringLiteral("Cannot open file \"%1\". %2").arg(path, fileErrorText(errno)));
        }
        struct stat locked
        {
        };
        if (::fstat(fd, &locked) != 0 || !S_ISREG(locked.st_mode)) {
            ::close(fd);
            // Something else took the file's place since it was looked at: look again.
            continue;
        }
        struct flock whole
        {
        };
        whole.l_type = F_WRLCK;
        whole.l_whence = SEEK_SET;
        int result = 0;
        do
            result = ::fcntl(fd, F_OFD_SETLKW, &whole);
        while (result != 0 && errno == EINTR);
        // A file system without locks (some network and FUSE ones) still gets whole-file writes;
        // it only cannot keep two writers apart.
        const bool unlockable = result != 0 && (errno == ENOLCK || errno == EINVAL || errno == EOPNOTSUPP);
        if (result != 0 && !unlockable) {
            const int error = errno;
            ::close(fd);
            throw Error(QStringLiteral("Cannot lock file \"%1\". %2").arg(path, fileErrorText(error)));
        }
        struct stat named
        {
        };
        if (::stat(name.constData(), &named) == 0 && named.st_dev == locked.st_dev
            && named.st_ino == locked.st_ino) {
            m_fd = fd;
            return;
        }
        // The file was replaced (or removed) while the lock was awaited: the lock is on a file that
        // no longer has this name.
        ::close(fd);
    }
}

FileLock::~FileLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

FileContents FileLock::read() const
{
    if (m_fd < 0)
        throw Error(QStringLiteral("Cannot open file \"%1\". %2").arg(m_path, fileErrorText(ENOENT)));
    return readOpenFile(m_fd, m_path);
}

bool FileLock::isUnchanged(const FileIdentity &known) const
{
    if (m_fd < 0)
        return false;
    struct stat info
    {
    };
    if (::fstat(m_fd, &info) != 0)
        return false;
    FileIdentity now;
    now.device = info.st_dev;
    now.inode = info.st_ino;
    now.size = info.st_size;
    now.modifiedNs = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    if (now.sameMetadata(known))
        return true;
    if (now.size != known.size)
        return false;
    // Put in place anew (another inode or time) with as many bytes: only the bytes tell whether
    // anything would be lost by writing over it.
    return read().identity.hash == known.hash;
}

FileIdentity FileLock::write(const QByteArray &data)
{
    return write([&data](const PutBytes &put) { put(data.constData(), data.size()); });
}

FileIdentity FileLock::write(const ContentWriter &contents)
{
    if (m_fd >= 0)
        removeStrandedTemporaryFiles(m_path);
    return writeFileAtomically(m_path, contents, m_fd >= 0 ? WriteMode::Replace : WriteMode::CreateOnly);
}

std::optional<FileIdentity> updateLockedFileInPieces(
    const QString &path, const std::function<std::optional<ContentWriter>(FileLock &)> &change)
{
    for (;;) {
        FileLock lock(path);
        const std::optional<ContentWriter> contents = change(lock);
        if (!contents)
            return std::nullopt;
        try {
            return lock.write(*contents);
        } catch (const TargetExists &) {
            // Another writer created the file after this one found none; the next turn locks it.
        }
    }
}

std::optional<FileIdentity> updateLockedFile(
    const QString &path, const std::function<std::optional<QByteArray>(FileLock &)> &change)
{
    return updateLockedFileInPieces(path, [&change](FileLock &lock) -> std::optional<ContentWriter> {
        std::optional<QByteArray> data = change(lock);
        if (!data)
            return std::nullopt;
        return ContentWriter(
            [bytes = std::move(*data)](const PutBytes &put) { put(bytes.constData(), bytes.size()); });
    });
}

} // namespace ql
