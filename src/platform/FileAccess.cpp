#include "platform/FileAccess.h"

#include "platform/Error.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ql {

namespace {

// A fixed seed keeps the hash of the same bytes the same for the whole run.
constexpr size_t HashSeed = 0x51ed270b;

// Links followed before giving up, as the kernel does (ELOOP).
constexpr int MaxLinks = 40;

QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a named pipe");
    if (S_ISCHR(mode))
        return QStringLiteral("a character device");
    if (S_ISBLK(mode))
        return QStringLiteral("a block device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    if (S_ISLNK(mode))
        return QStringLiteral("a symbolic link that leads too far");
    return QStringLiteral("a special file");
}

bool isLink(const QByteArray &path)
{
    struct stat info
    {
    };
    return ::lstat(path.constData(), &info) == 0 && S_ISLNK(info.st_mode);
}

// Why a file that is not a regular file is refused, naming where a link led.
QString notRegularReason(const QString &path, const QString &target, mode_t mode)
{
    if (target != path)
        return QStringLiteral("It leads to \"%1\", %2, not a regular file")
            .arg(QDir::cleanPath(target), kindOf(mode));
    return QStringLiteral("It is %1, not a regular file").arg(kindOf(mode));
}

[[noreturn]] void failOpen(const QString &path, const QString &reason)
{
    throw Error(QStringLiteral("Cannot open file \"%1\". %2").arg(path, reason));
}

FileIdentity identityOf(const struct stat &info)
{
    FileIdentity identity;
    identity.device = info.st_dev;
    identity.inode = info.st_ino;
    identity.size = info.st_size;
    identity.modifiedNs = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return identity;
}

// Opens the file at `path` for reading, refusing anything but a regular file. The caller closes it.
int openRegular(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    // Looked at before opening too: opening a device runs its driver, which may do anything.
    struct stat info
    {
    };
    if (::stat(name.constData(), &info) == 0 && !S_ISREG(info.st_mode))
        failOpen(path, notRegularReason(path, isLink(name) ? writeTarget(path) : path, info.st_mode));
    int fd = -1;
    do
        fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        failOpen(path, fileErrorText(errno));
    return fd;
}

// Reads up to `limit` bytes (all of them when negative) from the regular file open on `fd`.
QByteArray readFrom(int fd, const QString &path, qsizetype limit, FileIdentity *identity)
{
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0)
        failOpen(path, fileErrorText(errno));
    if (!S_ISREG(info.st_mode)) {
        const QByteArray name = QFile::encodeName(path);
        failOpen(path, notRegularReason(path, isLink(name) ? writeTarget(path) : path, info.st_mode));
    }
    if (identity)
        *identity = identityOf(info);

    // The size is a first guess only: the file may change while it is read, and some regular
    // files (those of /proc) tell no size at all.
    QByteArray bytes;
    const qint64 guess = limit < 0 ? qint64(info.st_size) : std::min<qint64>(info.st_size, limit);
    bytes.resize(qsizetype(std::max<qint64>(guess, 0)) + 1);
#ifdef MADV_HUGEPAGE
    // A large file (a list of a million tasks is hundreds of megabytes) goes into huge pages: one
    // fault per 2 MB instead of per 4 KB page.
    if (guess >= (16 << 20)) {
        const quintptr page = quintptr(sysconf(_SC_PAGESIZE));
        const quintptr from = (quintptr(bytes.data()) + page - 1) & ~(page - 1);
        const quintptr to = quintptr(bytes.data() + bytes.size()) & ~(page - 1);
        if (to > from)
            (void)madvise(reinterpret_cast<void *>(from), size_t(to - from), MADV_HUGEPAGE);
    }
#endif
    qsizetype filled = 0;
    for (;;) {
        if (limit >= 0 && filled >= limit)
            break;
        if (filled == bytes.size())
            bytes.resize(filled + std::max<qsizetype>(filled / 2, 64 * 1024));
        qsizetype room = bytes.size() - filled;
        if (limit >= 0)
            room = std::min(room, limit - filled);
        const ssize_t got = ::pread(fd, bytes.data() + filled, size_t(room), off_t(filled));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw Error(QStringLiteral("Cannot read file \"%1\". %2").arg(path, fileErrorText(errno)));
        }
        if (got == 0)
            break;
        filled += got;
    }
    bytes.truncate(filled);
    if (identity) {
        identity->hash = contentHash(bytes);
        // What was read is what the identity describes, also when the file grew meanwhile.
        identity->size = filled;
    }
    return bytes;
}

class Descriptor
{
public:
    explicit Descriptor(int fd)
        : m_fd(fd)
    {
    }
    ~Descriptor() { ::close(m_fd); }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

quint64 contentHash(const QByteArray &bytes)
{
    ContentHasher hasher;
    hasher.add(bytes.constData(), bytes.size());
    return hasher.result();
}

void ContentHasher::add(const char *data, qsizetype size)
{
    if (!m_partial.isEmpty()) {
        const qsizetype taken = std::min(size, BlockSize - m_partial.size());
        m_partial.append(data, taken);
        data += taken;
        size -= taken;
        if (m_partial.size() < BlockSize)
            return;
        addBlock(m_partial.constData(), BlockSize);
        m_partial.clear();
    }
    for (; size >= BlockSize; data += BlockSize, size -= BlockSize)
        addBlock(data, BlockSize);
    if (size > 0)
        m_partial.append(data, size);
}

quint64 ContentHasher::result() const
{
    ContentHasher last = *this;
    // The last block, partly filled or empty, ends the hash; each block's length goes in with it.
    last.addBlock(m_partial.constData(), m_partial.size());
    return last.m_hash;
}

void ContentHasher::addBlock(const char *block, qsizetype size)
{
    m_hash = qHashMulti(HashSeed, m_hash, qHashBits(block, size_t(size), HashSeed), size);
}

FileContents readRegularFile(const QString &path)
{
    const Descriptor file(openRegular(path));
    return readOpenFile(file.fd(), path);
}

FileContents readOpenFile(int fd, const QString &path)
{
    FileContents contents;
    contents.bytes = readFrom(fd, path, -1, &contents.identity);
    return contents;
}

QByteArray readFileHead(const QString &path, qsizetype limit)
{
    const Descriptor file(openRegular(path));
    return readFrom(file.fd(), path, std::max<qsizetype>(limit, 0), nullptr);
}

QString writeTarget(const QString &path)
{
    QByteArray current = QFile::encodeName(path);
    for (int depth = 0; depth < MaxLinks && isLink(current); ++depth) {
        char buffer[PATH_MAX];
        const ssize_t length = ::readlink(current.constData(), buffer, sizeof buffer);
        if (length <= 0 || size_t(length) >= sizeof buffer)
            break;
        QByteArray next(buffer, length);
        if (!next.startsWith('/'))
            next.prepend(current.left(current.lastIndexOf('/') + 1));
        current = next;
    }
    return QFile::decodeName(current);
}

void requireReplaceable(const QString &path, const QString &target)
{
    const QByteArray name = QFile::encodeName(target);
    struct stat info
    {
    };
    // Nothing there (or a folder that cannot be searched): creating the file will say what is wrong.
    if (::lstat(name.constData(), &info) != 0)
        return;
    if (!S_ISREG(info.st_mode))
        throw Error(QStringLiteral("Cannot write file \"%1\". %2; nothing was written.")
                        .arg(path, notRegularReason(path, target, info.st_mode)));
    // Renaming over a file needs only the right to write its folder: the file's own permissions are
    // looked at here, so that a file the user may not change is not replaced either.
    const bool noWriteBit = (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
    const bool denied = ::faccessat(AT_FDCWD, name.constData(), W_OK, AT_EACCESS) != 0
        && (errno == EACCES || errno == EPERM || errno == EROFS);
    if (noWriteBit || denied)
        throw Error(QStringLiteral("The file \"%1\" is read-only.").arg(path));
}

QString fileErrorText(int error)
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

} // namespace ql
