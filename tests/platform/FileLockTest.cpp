#include "platform/FileLock.h"
#include "platform/Error.h"
#include "platform/FileWriter.h"

#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

namespace {

// Whether a lock request waits on the file with this inode: the kernel lists waiters in /proc/locks
// as "N: -> OFDLCK ADVISORY WRITE -1 MAJOR:MINOR:INODE 0 EOF".
bool someoneWaitsOn(ino_t inode)
{
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly))
        return false;
    const QByteArray suffix = ':' + QByteArray::number(quint64(inode)) + ' ';
    for (const QByteArray &line : locks.readAll().split('\n'))
        if (line.contains("-> OFDLCK") && line.contains(suffix))
            return true;
    return false;
}

ino_t inodeOf(const QString &path)
{
    struct stat info
    {
    };
    return stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
}

// A second writer waits for the first, which meanwhile puts a new file in place of the one both
// asked to lock; the second then works on the new file, so the first writer's change is kept.
TEST(FileLock, SecondWriter_WaitsAndThenChangesTheFirstWritersVersion)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("list.ql1"));
    ql::writeFileAtomically(path, QByteArrayLiteral("a"));
    const ino_t first = inodeOf(path);

    auto lock = std::make_unique<ql::FileLock>(path);
    std::atomic<bool> done = false;
    std::thread second([&] {
        ql::updateLockedFile(
            path, [](ql::FileLock &held) { return std::optional<QByteArray>(held.read().bytes + 'b'); });
        done = true;
    });
    // Waiting on a condition, not a time: the second writer is seen queued on the lock, or it
    // finished without waiting, which is the fault.
    while (!someoneWaitsOn(first) && !done)
        std::this_thread::yield();
    EXPECT_FALSE(done) << "the second writer did not wait for the lock";
    lock->write(QByteArrayLiteral("a2"));
    lock.reset();
    second.join();

    EXPECT_EQ(ql::readRegularFile(path).bytes, QByteArrayLiteral("a2b"));
}

// A writer that found no file holds no lock; when another writer creates the file meanwhile, the
// first does not write over it blindly but runs its change again on what the other wrote.
TEST(FileLock, FileCreatedMeanwhile_IsChangedNotReplaced)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("list.ql1"));
    QList<bool> existed;
    const std::optional<ql::FileIdentity> written = ql::updateLockedFile(path, [&](ql::FileLock &lock) {
        existed << lock.fileExists();
        if (!lock.fileExists()) {
            ql::writeFileAtomically(path, QByteArrayLiteral("theirs"));
            return std::optional<QByteArray>(QByteArrayLiteral("mine"));
        }
        return std::optional<QByteArray>(lock.read().bytes + "+mine");
    });
    EXPECT_EQ(existed, (QList<bool> { false, true }));
    EXPECT_EQ(ql::readRegularFile(path).bytes, QByteArrayLiteral("theirs+mine"));
    ASSERT_TRUE(written);
    EXPECT_EQ(written->inode, quint64(inodeOf(path)));
}

// What a lock holder checks before writing over a file it read earlier: another program's change is
// a change; a rewrite with the very same bytes is not; neither is the file left alone.
TEST(FileLock, IsUnchanged_TellsAChangeFromARewriteWithTheSameBytes)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("list.ql1"));
    const ql::FileIdentity known = ql::writeFileAtomically(path, QByteArrayLiteral("version 1"));
    EXPECT_EQ(known, ql::readRegularFile(path).identity);
    const struct
    {
        const char *name;
        QByteArray now; // empty: the file is removed
        bool unchanged;
    } cases[] = {
        { "left alone", {}, true },
        { "rewritten with the same bytes", "version 1", true },
        { "changed, same size", "version 2", false },
        { "changed, other size", "version 10", false },
        { "removed", {}, false },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ql::writeFileAtomically(path, QByteArrayLiteral("version 1"));
        const ql::FileIdentity read = ql::readRegularFile(path).identity;
        if (!c.now.isEmpty())
            ql::writeFileAtomically(path, c.now);
        else if (!c.unchanged)
            QFile::remove(path);
        const ql::FileLock lock(path);
        EXPECT_EQ(lock.isUnchanged(read), c.unchanged);
    }
}

} // namespace
