#include "platform/FileWriter.h"
#include "common/Error.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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

TEST(FileWriter, InjectedFault_ThrowsAndKeepsTheOldFile)
{
    const QByteArray old("<old contents>\r\n\0with a zero byte", 33);
    const QByteArray replacement(100000, 'x'); // large enough that half of it reaches the disk
    for (const FileFault fault :
        { FileFault::CannotCreate, FileFault::FailsHalfway, FileFault::CannotRename }) {
        SCOPED_TRACE(static_cast<int>(fault));
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("list.ql1"));
        ql::writeFileAtomically(path, old);

        {
            FaultGuard guard(fault);
            try {
                ql::writeFileAtomically(path, replacement);
                ADD_FAILURE() << "no error";
            } catch (const ql::Error &e) {
                EXPECT_TRUE(e.message().contains(path)) << e.what();
            }
            // A target that did not exist is not created either.
            const QString fresh = dir.filePath(QStringLiteral("fresh.ql1"));
            EXPECT_THROW(ql::writeFileAtomically(fresh, replacement), ql::Error);
            EXPECT_FALSE(QFile::exists(fresh));
        }
        EXPECT_EQ(readAll(path), old);
        EXPECT_EQ(folderEntries(dir.path()), QStringList { QStringLiteral("list.ql1") });

        // The fault is gone once cleared.
        ql::writeFileAtomically(path, replacement);
        EXPECT_EQ(readAll(path), replacement);
    }
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
