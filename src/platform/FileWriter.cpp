#include "platform/FileWriter.h"

#include "platform/Error.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ql {

namespace {

constexpr int RandomLetters = 6;

// The start of a temporary file's name: the target's name and the marker. A name that would leave no
// room for the random letters in the folder is shortened at the front of the target's name (never
// inside a UTF-8 sequence), so the marker and the end of the name stay readable.
QByteArray temporaryPrefix(const QByteArray &targetName)
{
    const QByteArray marker = TemporaryFileMarker;
    QByteArray name = targetName;
    const qsizetype room = NAME_MAX - marker.size() - RandomLetters;
    if (name.size() > room) {
        qsizetype cut = name.size() - room;
        while (cut < name.size() && (static_cast<unsigned char>(name.at(cut)) & 0xC0) == 0x80)
            ++cut;
        name = name.mid(cut);
    }
    return name + marker;
}

// The temporary file's name: its prefix and six random letters or digits.
QByteArray temporaryName(const QByteArray &targetName)
{
    static constexpr char Letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray name = temporaryPrefix(targetName);
    for (int i = 0; i < RandomLetters; ++i)
        name += Letters[QRandomGenerator::global()->bounded(int(sizeof Letters - 1))];
    return name;
}

// Errors of open(O_TMPFILE) that mean the file system (or the kernel) has no unnamed files.
bool noUnnamedFiles(int error)
{
    return error == EOPNOTSUPP || error == EISDIR || error == EINVAL || error == ENOTSUP;
}

// One write: the temporary file while it is open, and what to say when a step fails.
class AtomicWrite
{
public:
    AtomicWrite(const QString &path, const QString &target, WriteMode mode)
        : m_path(path)
        , m_target(QFile::encodeName(target))
        , m_folder(m_target.left(m_target.lastIndexOf('/') + 1))
        , m_mode(mode)
        , m_targetExisted(mode == WriteMode::Replace && QFileInfo::exists(target))
    {
    }

    AtomicWrite(const AtomicWrite &) = delete;
    AtomicWrite &operator=(const AtomicWrite &) = delete;

    // A write that did not finish removes its temporary file: it was created here (O_EXCL or
    // linked from our unnamed file), so it is ours to delete. An unnamed file goes with its
    // descriptor.
    ~AtomicWrite()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_temporary.isEmpty())
            ::unlink(m_temporary.constData());
    }

    void create()
    {
        if (FileFaults::active() == FileFault::CannotCreate)
            fail(QStringLiteral("Cannot create file \"%1\"."), injected(EACCES));

        struct stat old
        {
        };
        const bool hasOld = ::stat(m_target.constData(), &old) == 0 && S_ISREG(old.st_mode);
        // New files get the usual permissions (0666 less the umask), like any file a program
        // creates; a replaced file's permissions are copied below.
        if (!FileFaults::unnamedFilesRefused()) {
            m_fd = ::open(
                m_folder.isEmpty() ? "." : m_folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
            if (m_fd < 0 && !noUnnamedFiles(errno))
                fail(QStringLiteral("Cannot create file \"%1\"."), errno);
            m_unnamed = m_fd >= 0;
        }
        const QByteArray name = m_target.mid(m_folder.size());
        for (int attempt = 0; m_fd < 0; ++attempt) {
            const QByteArray candidate = m_folder + temporaryName(name);
            m_fd = ::open(candidate.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (m_fd >= 0)
                m_temporary = candidate;
            else if (errno != EEXIST || attempt == 100)
                fail(QStringLiteral("Cannot create file \"%1\"."), errno);
        }
        if (hasOld && m_mode == WriteMode::Replace) {
            // The replacement keeps the old file's permissions and, where allowed, its owner; a
            // failure to copy them does not stop the write.
            (void)::fchmod(m_fd, old.st_mode & 07777);
            if (::geteuid() == 0 && ::fchown(m_fd, old.st_uid, old.st_gid) != 0) {
                // Kept by whoever saves it: the list's contents matter more than its owner.
            }
        }
    }

    // Writes the next piece of the file. Every few megabytes the disk is asked to start writing what
    // came so far, so that the flush at the end has little left to wait for.
    void write(const char *p, qsizetype size)
    {
        if (FileFaults::active() == FileFault::FailsHalfway) {
            writeAll(p, size / 2);
            fail(QStringLiteral("Error writing file \"%1\"."), injected(ENOSPC));
        }
        if (FileFaults::active() == FileFault::KilledHalfway) {
            writeAll(p, size / 2);
            ::raise(SIGKILL);
        }
        writeAll(p, size);
        m_written += size;
        if (m_written - m_writtenBack >= WriteBackStep) {
            // Only a start: errors are reported by the flush.
            (void)::sync_file_range(m_fd, m_writtenBack, m_written - m_writtenBack, SYNC_FILE_RANGE_WRITE);
            m_writtenBack = m_written;
        }
    }

    // The bytes must be on the disk before the file takes its place: a file system that takes the
    // data into its cache can still run out of room or fail while flushing it. Gives the written
    // file's identity without its hash.
    FileIdentity flush()
    {
        if (FileFaults::active() == FileFault::FailsAtFlush)
            fail(QStringLiteral("Error writing file \"%1\"."), injected(ENOSPC));
        // EINVAL: the file system cannot sync at all; there is nothing more to wait for.
        if (::fdatasync(m_fd) != 0 && errno != EINVAL)
            fail(QStringLiteral("Error writing file \"%1\"."), errno);
        struct stat info
        {
        };
        if (::fstat(m_fd, &info) != 0)
            fail(QStringLiteral("Error writing file \"%1\"."), errno);
        FileIdentity identity;
        identity.device = info.st_dev;
        identity.inode = info.st_ino;
        identity.size = info.st_size;
        identity.modifiedNs = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
        // An unnamed file keeps its descriptor until it has a name.
        if (!m_unnamed)
            closeFile();
        return identity;
    }

    void putInPlace()
    {
        if (FileFaults::active() == FileFault::CannotRename)
            fail(QStringLiteral("Cannot rename the temporary file to \"%1\"."), injected(EACCES));
        if (m_mode == WriteMode::CreateOnly)
            createTarget();
        else
            replaceTarget();
        // Make the new name last. The new file is complete and in place by now, so a folder that
        // cannot be synced is not reported as a failed write.
        const int dir
            = ::open(m_folder.isEmpty() ? "." : m_folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            (void)::fsync(dir);
            ::close(dir);
        }
    }

private:
    static int injected(int usual) { return FileFaults::error() != 0 ? FileFaults::error() : usual; }

    void replaceTarget()
    {
        // Whatever took the target's place while the file was written is looked at again: a
        // special file is never renamed over.
        struct stat now
        {
        };
        if (::lstat(m_target.constData(), &now) == 0 && !S_ISREG(now.st_mode) && !S_ISLNK(now.st_mode))
            requireReplaceable(m_path, QFile::decodeName(m_target));
        // An unnamed file gets its temporary name only now, right before the rename, so that a kill
        // can strand it under that name only between two system calls.
        for (int attempt = 0; m_unnamed && m_temporary.isEmpty(); ++attempt) {
            const QByteArray candidate = m_folder + temporaryName(m_target.mid(m_folder.size()));
            if (linkUnnamed(candidate) == 0)
                m_temporary = candidate;
            else if (errno != EEXIST || attempt == 100)
                fail(QStringLiteral("Cannot rename the temporary file to \"%1\"."), errno);
        }
        if (::rename(m_temporary.constData(), m_target.constData()) != 0)
            fail(QStringLiteral("Cannot rename the temporary file to \"%1\"."), errno);
        m_temporary.clear();
        if (m_unnamed)
            closeUnnamed();
    }

    // A link, unlike a rename, fails when the target exists.
    void createTarget()
    {
        const int result
            = m_unnamed ? linkUnnamed(m_target) : ::link(m_temporary.constData(), m_target.constData());
        if (result != 0) {
            if (errno == EEXIST)
                throw TargetExists();
            fail(QStringLiteral("Cannot rename the temporary file to \"%1\"."), errno);
        }
        if (m_unnamed) {
            closeUnnamed();
        } else {
            ::unlink(m_temporary.constData());
            m_temporary.clear();
        }
    }

    // Gives the unnamed file the name `name`: through /proc, which any user may do, or, where /proc
    // is missing, by the descriptor itself, which needs a privilege.
    int linkUnnamed(const QByteArray &name) const
    {
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_fd);
        if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW) == 0)
            return 0;
        if (errno != ENOENT || ::access("/proc/self/fd", F_OK) == 0)
            return -1;
        return ::linkat(m_fd, "", AT_FDCWD, name.constData(), AT_EMPTY_PATH);
    }

    // The data is on the disk and the file in place; unnamed files exist only on local file
    // systems, which report nothing more when a file is closed.
    void closeUnnamed()
    {
        ::close(m_fd);
        m_fd = -1;
    }

    void closeFile()
    {
        const int fd = m_fd;
        m_fd = -1;
        // A network file system may report a failed write only here. EINTR: the file is closed
        // and its data, flushed before, is on the disk.
        if (::close(fd) != 0 && errno != EINTR)
            fail(QStringLiteral("Error writing file \"%1\"."), errno);
    }

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
        throw Error(what.arg(m_path) + u' ' + fileErrorText(error) + QStringLiteral("; ") + kept + u'.');
    }

    QString m_path;
    QByteArray m_target;
    QByteArray m_folder; // with its final "/", or empty for the current folder
    WriteMode m_mode;
    bool m_targetExisted;
    bool m_unnamed = false;
    QByteArray m_temporary; // the temporary file's name, once it has one
    int m_fd = -1;
    static constexpr qint64 WriteBackStep = 8 << 20;
    qint64 m_written = 0;
    qint64 m_writtenBack = 0; // the bytes the disk was asked to start writing
};

} // namespace

void removeStrandedTemporaryFiles(const QString &path)
{
    const QByteArray target = QFile::encodeName(writeTarget(path));
    const QByteArray folder = target.left(target.lastIndexOf('/') + 1);
    const QByteArray prefix = temporaryPrefix(target.mid(folder.size()));
    DIR *entries = ::opendir(folder.isEmpty() ? "." : folder.constData());
    if (!entries)
        return;
    while (const dirent *entry = ::readdir(entries)) {
        const QByteArray name(entry->d_name);
        if (name.size() != prefix.size() + RandomLetters || !name.startsWith(prefix))
            continue;
        if (!std::all_of(name.cend() - RandomLetters, name.cend(),
                [](char c) { return std::isalnum(static_cast<unsigned char>(c)); }))
            continue;
        struct stat info
        {
        };
        const QByteArray file = folder + name;
        if (::lstat(file.constData(), &info) == 0 && S_ISREG(info.st_mode))
            ::unlink(file.constData());
    }
    ::closedir(entries);
}

FileIdentity writeFileAtomically(const QString &path, const QByteArray &data, WriteMode mode)
{
    return writeFileAtomically(
        path, [&data](const PutBytes &put) { put(data.constData(), data.size()); }, mode);
}

FileIdentity writeFileAtomically(const QString &path, const ContentWriter &contents, WriteMode mode)
{
    // A list that was never saved has no file name; the write would only fail at the end.
    if (path.trimmed().isEmpty())
        throw Error(QStringLiteral("Cannot create file \"%1\". No file name was given").arg(path));
    const QString target = writeTarget(path);
    requireReplaceable(path, target);
    AtomicWrite write(path, target, mode);
    write.create();
    ContentHasher hasher;
    contents([&](const char *data, qsizetype size) {
        write.write(data, size);
        hasher.add(data, size);
    });
    FileIdentity identity = write.flush();
    identity.hash = hasher.result();
    write.putInPlace();
    return identity;
}

} // namespace ql
