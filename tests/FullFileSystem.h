#pragma once

// A real, nearly full file system for the tests that must see what the kernel does when a disk runs
// out of room: a 2 MB tmpfs mounted on a temporary folder and filled up to a given number of free
// pages. Mounting needs the right to mount (root in most containers is refused); a test that cannot
// mount skips with the reason.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace testing_fs {

class FullFileSystem
{
public:
    static constexpr int PageSize = 4096;

    FullFileSystem()
    {
        if (!m_mountPoint.isValid()) {
            m_problem = QStringLiteral("no temporary folder");
            return;
        }
        const QByteArray point = QFile::encodeName(m_mountPoint.path());
        if (::mount("quillon-test", point.constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=2m,mode=0755")
            != 0) {
            m_problem = QStringLiteral("mounting a tmpfs is not permitted here (%1)")
                            .arg(QString::fromLocal8Bit(std::strerror(errno)));
            return;
        }
        m_mounted = true;
    }

    ~FullFileSystem()
    {
        if (m_fillerFd >= 0)
            ::close(m_fillerFd);
        if (m_mounted)
            ::umount2(QFile::encodeName(m_mountPoint.path()).constData(), MNT_DETACH);
    }

    FullFileSystem(const FullFileSystem &) = delete;
    FullFileSystem &operator=(const FullFileSystem &) = delete;

    // Empty when the file system is mounted; otherwise why it is not.
    const QString &problem() const { return m_problem; }

    QString filePath(const QString &name) const { return m_mountPoint.filePath(name); }
    QString path() const { return m_mountPoint.path(); }

    // Fills every free page with a filler file, then frees `freePages` of them again. Returns false
    // when the file system did not behave as expected.
    bool fillLeaving(int freePages)
    {
        m_fillerFd = ::open(QFile::encodeName(filePath(QStringLiteral(".filler"))).constData(),
            O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (m_fillerFd < 0)
            return false;
        const QByteArray page(PageSize, 'f');
        off_t size = 0;
        for (;;) {
            const ssize_t written = ::write(m_fillerFd, page.constData(), PageSize);
            if (written == PageSize) {
                size += PageSize;
                continue;
            }
            if (written < 0 && errno == ENOSPC)
                break;
            return false;
        }
        return ::ftruncate(m_fillerFd, size - off_t(freePages) * PageSize) == 0;
    }

private:
    QTemporaryDir m_mountPoint;
    QString m_problem;
    bool m_mounted = false;
    int m_fillerFd = -1;
};

} // namespace testing_fs
