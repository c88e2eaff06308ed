#include "platform/FileWriter.h"
#include "platform/Error.h"
#include "platform/FileLock.h"

#include "FullFileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cerrno>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using ql::FileFault;
using ql::FileFaults;

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList folderEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

struct FaultGuard
{
    explicit FaultGuard(FileFault fault) { FileFaults::inject(fault); }
    ~FaultGuard() { FileFaults::clear(); }
};

TEST(FileWriter, Write_ReplacesTheFileAndLeavesNothingElse)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("list.ql1"));

    ql::writeFileAtomically(path, QByteArrayLiteral("first version, the longer one"));
    ql::writeFileAtomically(path, QByteArrayLiteral("second"));
    EXPECT_EQ(readAll(path), QByteArrayLiteral("second"));
    ql::writeFileAtomically(path, QByteArray());
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_EQ(readAll(path), QByteArray());
    EXPECT_EQ(folderEntries(dir.path()), QStringList { QStringLiteral("list.ql1") });
}

// Whether the folder's file system has unnamed temporary files; the writer falls back to named
// ones where it does not.
bool hasUnnamedFiles(const QString &folder)
{
    const int fd = open(QFile::encodeName(folder).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

TEST(FileWriter, InjectedFault_ThrowsAndKeepsTheOldFile)
{
    const QByteArray old("<old contents>\r\n\0with a zero byte", 33);
    // Small data is the case that once failed silently: it is written in one call at the very end.
    // Every fault is injected with unnamed temporary files and with named ones.
    for (const bool named : { false, true })
        for (const QByteArray &replacement : { QByteArray(100000, 'x'), QByteArray("<small/>") }) {
            for (const FileFault fault : { FileFault::CannotCreate, FileFault::FailsHalfway,
                     FileFault::FailsAtFlush, FileFault::CannotRename }) {
                SCOPED_TRACE(static_cast<int>(fault));
                SCOPED_TRACE(named ? "named temporary file" : "unnamed temporary file");
                QTemporaryDir dir;
                ASSERT_TRUE(dir.isValid());
                const QString path = dir.filePath(QStringLiteral("list.ql1"));
                ql::writeFileAtomically(path, old);

                {
                    FaultGuard guard(fault);
                    FileFaults::refuseUnnamedFiles(named);
                    try {
                        ql::writeFileAtomically(path, replacement);
                        ADD_FAILURE() << "no error";
                    } catch (const ql::Error &e) {
                        EXPECT_TRUE(e.message().contains(path)) << e.what();
                        EXPECT_TRUE(
                            e.message().endsWith(QStringLiteral("; the previous file was kept unchanged.")))
                            << e.what();
                    }
                    // A target that did not exist is not created either.
                    const QString fresh = dir.filePath(QStringLiteral("fresh.ql1"));
                    try {
                        ql::writeFileAtomically(fresh, replacement);
                        ADD_FAILURE() << "no error";
                    } catch (const ql::Error &e) {
                        EXPECT_TRUE(e.message().endsWith(QStringLiteral("; no file was created.")))
                            << e.what();
                    }
                    EXPECT_FALSE(QFile::exists(fresh));
                }
                EXPECT_EQ(readAll(path), old);
                EXPECT_EQ(folderEntries(dir.path()), QStringList { QStringLiteral("list.ql1") });

                // The fault is gone once cleared.
                ql::writeFileAtomically(path, replacement);
                EXPECT_EQ(readAll(path), replacement);
            }
        }
}

// The message says what went wrong in words a user knows: a full disk is called that.
TEST(FileWriter, FailureMessage_NamesTheReason)
{
    struct Case
    {
        FileFault fault;
        int error;
        QString expected;
    };
    const QString target = QStringLiteral("list.ql1");
    const Case cases[] = {
        { FileFault::FailsHalfway, 0,
            "Error writing file \"%1\". The disk is full (no space left on device); the previous file was "
            "kept unchanged." },
        { FileFault::FailsAtFlush, 0,
            "Error writing file \"%1\". The disk is full (no space left on device); the previous file was "
            "kept unchanged." },
        { FileFault::FailsAtFlush, EIO,
            "Error writing file \"%1\". Input/output error; the previous file was kept unchanged." },
        { FileFault::FailsHalfway, EDQUOT,
            "Error writing file \"%1\". The disk quota is used up; the previous file was kept unchanged." },
        { FileFault::CannotCreate, 0,
            "Cannot create file \"%1\". Permission denied; the previous file was kept unchanged." },
        { FileFault::CannotRename, EBUSY,
            "Cannot rename the temporary file to \"%1\". Device or resource busy; the previous file was kept "
            "unchanged." },
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(target);
    ql::writeFileAtomically(path, QByteArrayLiteral("old"));
    for (const Case &c : cases) {
        FileFaults::inject(c.fault, c.error);
        try {
            ql::writeFileAtomically(path, QByteArrayLiteral("new"));
            ADD_FAILURE() << "no error";
        } catch (const ql::Error &e) {
            EXPECT_EQ(e.message(), c.expected.arg(path));
        }
        FileFaults::clear();
    }
    EXPECT_EQ(readAll(path), QByteArrayLiteral("old"));
}

// What a user may find beside a list after a write was cut off must say what it is: the list's own
// name, then the marker. inotify shows the names the write created, without stopping it half-way.
TEST(FileWriter, TemporaryFile_IsNamedAfterTheTarget)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, QFile::encodeName(dir.path()).constData(), IN_CREATE), 0);

    const QString shortName = QStringLiteral("Plan ä.ql1");
    // Too long to take the marker as it is: the front of the name gives way.
    const QString longName = QString(240, u'n') + QStringLiteral(".ql1");
    for (const QString &name : { shortName, longName }) {
        ql::writeFileAtomically(dir.filePath(name), QByteArrayLiteral("data"));
        EXPECT_EQ(readAll(dir.filePath(name)), QByteArrayLiteral("data"));
    }

    QStringList created;
    alignas(inotify_event) char buffer[8192];
    for (ssize_t length; (length = read(watch, buffer, sizeof buffer)) > 0;) {
        for (char *p = buffer; p < buffer + length;) {
            const auto *event = reinterpret_cast<const inotify_event *>(p);
            created << QFile::decodeName(event->name);
            p += sizeof(inotify_event) + event->len;
        }
    }
    close(watch);
    ASSERT_EQ(created.size(), 2);
    const QRegularExpression marked(QStringLiteral("^(.*)\\.quillon-unfinished-[A-Za-z0-9]{6}$"));
    const QRegularExpressionMatch first = marked.match(created.at(0));
    ASSERT_TRUE(first.hasMatch()) << qPrintable(created.at(0));
    EXPECT_EQ(first.captured(1), shortName);
    const QRegularExpressionMatch second = marked.match(created.at(1));
    ASSERT_TRUE(second.hasMatch()) << qPrintable(created.at(1));
    EXPECT_TRUE(longName.endsWith(second.captured(1)));
    EXPECT_EQ(QFile::encodeName(created.at(1)).size(), NAME_MAX);
    EXPECT_EQ(folderEntries(dir.path()).size(), 2);
}

// A write killed half-way leaves the list as it was. With unnamed temporary files it leaves nothing
// else either; a file system without them keeps the named file of today, which the kill strands.
TEST(FileWriter, KilledWrite_LeavesTheListAndNothingElse)
{
    for (const bool named : { false, true }) {
        SCOPED_TRACE(named ? "named temporary file" : "unnamed temporary file");
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        if (!named && !hasUnnamedFiles(dir.path())) {
            std::cout << "no unnamed temporary files on this file system; case skipped\n";
            continue;
        }
        const QString path = dir.filePath(QStringLiteral("list.ql1"));
        ql::writeFileAtomically(path, QByteArrayLiteral("old"));

        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            FileFaults::inject(FileFault::KilledHalfway);
            FileFaults::refuseUnnamedFiles(named);
            try {
                ql::writeFileAtomically(path, QByteArray(1 << 20, 'n'));
            } catch (...) {
            }
            _exit(0); // not reached: the write kills the process
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

        EXPECT_EQ(readAll(path), QByteArrayLiteral("old"));
        const QStringList entries = folderEntries(dir.path());
        if (named) {
            ASSERT_EQ(entries.size(), 2);
            EXPECT_TRUE(entries.at(1).startsWith(QStringLiteral("list.ql1.quillon-unfinished-")))
                << qPrintable(entries.at(1));
            // The next write of the list under its lock removes what the kill left, and only that.
            const QStringList others { QStringLiteral("list.ql1.quillon-unfinished-abc"),
                QStringLiteral("other.ql1.quillon-unfinished-Ab3xYz") };
            for (const QString &other : others)
                ql::writeFileAtomically(dir.filePath(other), QByteArrayLiteral("kept"));
            ql::updateLockedFile(path, [](ql::FileLock &) { return std::optional<QByteArray>("new"); });
            EXPECT_EQ(readAll(path), QByteArrayLiteral("new"));
            EXPECT_EQ(folderEntries(dir.path()), QStringList { QStringLiteral("list.ql1") } + others);
        } else {
            EXPECT_EQ(entries, QStringList { QStringLiteral("list.ql1") });
        }
    }
}

// A file without any write permission is read-only for every user, root included; the write says
// so and leaves the file as it was, also when it is reached through a link.
TEST(FileWriter, ReadOnlyFile_IsRefused)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("list.ql1"));
    const QString link = dir.filePath(QStringLiteral("link.ql1"));
    ql::writeFileAtomically(path, QByteArrayLiteral("old"));
    ASSERT_TRUE(QFile::link(path, link));
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0444), 0);
    for (const QString &target : { path, link }) {
        try {
            ql::writeFileAtomically(target, QByteArrayLiteral("new"));
            ADD_FAILURE() << "no error";
        } catch (const ql::Error &e) {
            EXPECT_EQ(e.message(), QStringLiteral("The file \"%1\" is read-only.").arg(target));
        }
    }
    EXPECT_EQ(readAll(path), QByteArrayLiteral("old"));
    EXPECT_EQ(
        folderEntries(dir.path()), (QStringList { QStringLiteral("link.ql1"), QStringLiteral("list.ql1") }));
}

// As an ordinary user, in a folder the user may write: a file the user may not write is refused,
// whatever its permission bits say to others; one the user may write is replaced and stays theirs.
// The user is "nobody", in a child process that gave up root.
TEST(FileWriter, FileTheUserMayNotWrite_IsRefusedForAnOrdinaryUser)
{
    const passwd *nobody = getpwnam("nobody");
    if (getuid() != 0 || !nobody)
        GTEST_SKIP() << "needs root and a user \"nobody\" to become";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray folder = QFile::encodeName(dir.path());
    ASSERT_EQ(chown(folder.constData(), nobody->pw_uid, nobody->pw_gid), 0);

    const struct
    {
        const char *name;
        uid_t owner;
        mode_t mode;
        bool refused;
    } cases[] = {
        { "own file without write permission", nobody->pw_uid, 0444, true },
        { "another user's file", 0, 0644, true },
        { "own writable file", nobody->pw_uid, 0640, false },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QStringLiteral("list.ql1"));
        QFile::remove(path);
        ql::writeFileAtomically(path, QByteArrayLiteral("old"));
        const QByteArray name = QFile::encodeName(path);
        ASSERT_EQ(chown(name.constData(), c.owner, nobody->pw_gid), 0);
        ASSERT_EQ(chmod(name.constData(), c.mode), 0);

        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // 0: written; 1: refused as read-only; 2: any other outcome.
            if (setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0)
                _exit(2);
            try {
                ql::writeFileAtomically(path, QByteArrayLiteral("new"));
                _exit(0);
            } catch (const ql::Error &e) {
                _exit(e.message() == QStringLiteral("The file \"%1\" is read-only.").arg(path) ? 1 : 2);
            }
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), c.refused ? 1 : 0);
        EXPECT_EQ(readAll(path), c.refused ? QByteArrayLiteral("old") : QByteArrayLiteral("new"));
        struct stat info
        {
        };
        ASSERT_EQ(stat(name.constData(), &info), 0);
        EXPECT_EQ(info.st_uid, c.owner);
        EXPECT_EQ(info.st_mode & 07777, c.mode);
        EXPECT_EQ(folderEntries(dir.path()), QStringList { QStringLiteral("list.ql1") });
    }
}

// The replacement keeps what the user set on the old file, and a link stays a link.
TEST(FileWriter, Replacement_KeepsPermissionsAndWritesThroughLinks)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("list.ql1"));
    ql::writeFileAtomically(path, QByteArrayLiteral("old"));
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0640), 0);
    ql::writeFileAtomically(path, QByteArrayLiteral("new"));
    struct stat info
    {
    };
    ASSERT_EQ(stat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);

    const QString link = dir.filePath(QStringLiteral("link.ql1"));
    ASSERT_TRUE(QFile::link(path, link));
    ql::writeFileAtomically(link, QByteArrayLiteral("through the link"));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(readAll(path), QByteArrayLiteral("through the link"));
}

// The real thing: a file system with no room left. Small data fits in one write and once went
// unchecked; large data fails half-way. Neither may touch the old file, and each must say so.
TEST(FileWriter, FullDisk_EveryWriteFailsAndTheOldFileStays)
{
    testing_fs::FullFileSystem disk;
    if (!disk.problem().isEmpty())
        GTEST_SKIP() << qPrintable(disk.problem());
    const QString path = disk.filePath(QStringLiteral("list.ql1"));
    const QByteArray old(3000, 'o');
    ql::writeFileAtomically(path, old);
    ASSERT_TRUE(disk.fillLeaving(1));

    // One free page: a page's worth still fits, anything more does not.
    for (const qsizetype size : { 4097, 9000, 100000 }) {
        SCOPED_TRACE(size);
        try {
            ql::writeFileAtomically(path, QByteArray(size, 'n'));
            ADD_FAILURE() << "no error";
        } catch (const ql::Error &e) {
            EXPECT_EQ(e.message(),
                QStringLiteral("Error writing file \"%1\". The disk is full (no space left on device); "
                               "the previous file was kept unchanged.")
                    .arg(path));
        }
        EXPECT_EQ(readAll(path), old);
        EXPECT_EQ(folderEntries(disk.path()),
            (QStringList { QStringLiteral(".filler"), QStringLiteral("list.ql1") }));
    }
    ql::writeFileAtomically(path, QByteArray(4096, 'n'));
    EXPECT_EQ(readAll(path), QByteArray(4096, 'n'));
}

// Contents made while they are written: the file and its hash are those of the whole bytes, however
// they are cut into pieces; contents that fail on the way, or a disk that fills up after the first
// pieces, leave the old file and nothing else.
TEST(FileWriter, InPieces_WritesTheSameFileAndHashOrNothing)
{
    QByteArray whole(300000, '\0');
    for (qsizetype i = 0; i < whole.size(); ++i)
        whole[i] = char('a' + (i * 7919) % 26);
    const auto inPieces = [&whole](std::vector<qsizetype> sizes) {
        return [&whole, sizes](const ql::PutBytes &put) {
            qsizetype at = 0;
            for (const qsizetype size : sizes) {
                put(whole.constData() + at, size);
                at += size;
            }
            put(whole.constData() + at, whole.size() - at);
        };
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("list.ql1"));
    // Pieces that fall on, beside and across the hash's blocks of 64 KiB, and empty ones.
    for (const std::vector<qsizetype> &sizes : std::vector<std::vector<qsizetype>> {
             {}, { 1, 65535, 65536, 0, 65537 }, { 131072, 7 }, { 299999 } }) {
        const ql::FileIdentity written = ql::writeFileAtomically(path, inPieces(sizes));
        const ql::FileContents read = ql::readRegularFile(path);
        EXPECT_EQ(read.bytes, whole);
        EXPECT_EQ(written, read.identity) << sizes.size();
        EXPECT_EQ(written.hash, ql::contentHash(whole));
    }
    EXPECT_NE(ql::contentHash(whole), ql::contentHash(whole.left(whole.size() - 1)));
    EXPECT_NE(ql::contentHash(whole.left(65536)), ql::contentHash(whole.left(65536) + QByteArray(1, '\0')));

    struct Refused : std::exception
    {
    };
    for (const bool named : { false, true }) {
        FileFaults::refuseUnnamedFiles(named);
        EXPECT_THROW(ql::writeFileAtomically(path,
                         [&](const ql::PutBytes &put) {
                             put(whole.constData(), 1000);
                             throw Refused();
                         }),
            Refused);
        FileFaults::clear();
        EXPECT_EQ(readAll(path), whole);
        EXPECT_EQ(folderEntries(dir.path()), QStringList { QStringLiteral("list.ql1") });
    }

    testing_fs::FullFileSystem disk;
    if (!disk.problem().isEmpty())
        GTEST_SKIP() << qPrintable(disk.problem());
    const QString full = disk.filePath(QStringLiteral("list.ql1"));
    ql::writeFileAtomically(full, QByteArrayLiteral("old"));
    ASSERT_TRUE(disk.fillLeaving(4));
    try {
        ql::writeFileAtomically(full, inPieces({ 4096, 4096, 4096 }));
        ADD_FAILURE() << "no error";
    } catch (const ql::Error &e) {
        EXPECT_EQ(e.message(),
            QStringLiteral("Error writing file \"%1\". The disk is full (no space left on device); "
                           "the previous file was kept unchanged.")
                .arg(full));
    }
    EXPECT_EQ(readAll(full), QByteArrayLiteral("old"));
    EXPECT_EQ(
        folderEntries(disk.path()), (QStringList { QStringLiteral(".filler"), QStringLiteral("list.ql1") }));
}

TEST(FileWriter, MissingFolder_ThrowsTheFileSystemsMessage)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("no such folder/list.ql1"));
    try {
        ql::writeFileAtomically(path, QByteArrayLiteral("data"));
        FAIL() << "no error";
    } catch (const ql::Error &e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(path)))
            << e.what();
        // The reason follows the path; an empty reason would tell the user nothing.
        EXPECT_GT(e.message().size(), QStringLiteral("Cannot create file \"%1\". ").arg(path).size())
            << e.what();
    }
    EXPECT_TRUE(folderEntries(dir.path()).isEmpty());
}

// A list that was never saved has no file name: the write says so and leaves nothing behind in the
// current folder.
TEST(FileWriter, EmptyName_SaysSoAndWritesNothing)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    for (const QString &name : { QString(), QStringLiteral("  ") }) {
        try {
            ql::writeFileAtomically(name, QByteArrayLiteral("data"));
            ADD_FAILURE() << "no error";
        } catch (const ql::Error &e) {
            EXPECT_EQ(
                e.message(), QStringLiteral("Cannot create file \"%1\". No file name was given").arg(name));
        }
    }
    EXPECT_TRUE(folderEntries(dir.path()).isEmpty());
    QDir::setCurrent(previous);
}

} // namespace
