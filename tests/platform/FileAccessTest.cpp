#include "platform/FileAccess.h"
#include "platform/Error.h"
#include "platform/FileWriter.h"
#include "platform/ProfileFile.h"

#include "SpecialFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

namespace {

using testing_fs::nodeAt;

// A file that is not a regular file, made by `make` at the path it is given.
struct SpecialCase
{
    const char *name;
    std::function<bool(const QString &)> make;
    QString kind; // as the messages name it
};

const SpecialCase specialCases[] = {
    { "named pipe", testing_fs::makeNamedPipe, QStringLiteral("a named pipe") },
    { "device", testing_fs::makeDeviceStandIn, QStringLiteral("a character device") },
    { "folder", [](const QString &path) { return QDir().mkdir(path); }, QStringLiteral("a folder") },
};

// Reading one of these once waited forever (a pipe without a writer) or never ended (a device
// such as /dev/zero, also through a link); now each is refused before a byte is read.
TEST(FileAccess, SpecialFiles_AreRefusedBeforeReading)
{
    for (const SpecialCase &c : specialCases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString special = dir.filePath(QStringLiteral("special.ql1"));
        if (!c.make(special)) {
            std::cout << "cannot make a " << c.name << " here; case skipped\n";
            continue;
        }
        const QString link = dir.filePath(QStringLiteral("link.ql1"));
        ASSERT_TRUE(QFile::link(special, link));
        const struct
        {
            QString path;
            QString reason;
        } reads[] = {
            { special, QStringLiteral("It is %1, not a regular file").arg(c.kind) },
            { link, QStringLiteral("It leads to \"%1\", %2, not a regular file").arg(special, c.kind) },
        };
        for (const auto &read : reads) {
            try {
                ql::readRegularFile(read.path);
                ADD_FAILURE() << "no error";
            } catch (const ql::Error &e) {
                EXPECT_EQ(
                    e.message(), QStringLiteral("Cannot open file \"%1\". %2").arg(read.path, read.reason));
            }
            // The settings file reads as empty and is not written over.
            const testing_fs::Node before = nodeAt(special);
            ql::ProfileFile settings(read.path);
            EXPECT_EQ(
                settings.readString(QStringLiteral("Category"), QStringLiteral("Line1"), QStringLiteral("-")),
                QStringLiteral("-"));
            EXPECT_THROW(settings.writeString(
                             QStringLiteral("Category"), QStringLiteral("Line1"), QStringLiteral("x")),
                ql::Error);
            EXPECT_EQ(nodeAt(special), before);
        }
    }
}

// The writer refuses to put a file in place of one that is not a regular file, also at the end of
// a link: renaming over it once turned a device or a pipe into an ordinary file. Nothing is left
// behind in either folder.
TEST(FileAccess, SpecialTargets_AreRefusedAndLeftAsTheyAre)
{
    for (const SpecialCase &c : specialCases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        QTemporaryDir other;
        ASSERT_TRUE(dir.isValid() && other.isValid());
        const QString special = other.filePath(QStringLiteral("special"));
        if (!c.make(special)) {
            std::cout << "cannot make a " << c.name << " here; case skipped\n";
            continue;
        }
        const QString link = dir.filePath(QStringLiteral("link.ql1"));
        ASSERT_TRUE(QFile::link(special, link));
        const testing_fs::Node before = nodeAt(special);
        const struct
        {
            QString path;
            QString reason;
        } writes[] = {
            { special, QStringLiteral("It is %1, not a regular file").arg(c.kind) },
            { link, QStringLiteral("It leads to \"%1\", %2, not a regular file").arg(special, c.kind) },
        };
        for (const auto &write : writes) {
            try {
                ql::writeFileAtomically(write.path, QByteArrayLiteral("data"));
                ADD_FAILURE() << "no error";
            } catch (const ql::Error &e) {
                EXPECT_EQ(e.message(),
                    QStringLiteral("Cannot write file \"%1\". %2; nothing was written.")
                        .arg(write.path, write.reason));
            }
        }
        EXPECT_EQ(nodeAt(special), before);
        EXPECT_TRUE(QFileInfo(link).isSymLink());
        EXPECT_EQ(
            QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
            QStringList { QStringLiteral("link.ql1") });
        EXPECT_EQ(QDir(other.path())
                      .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
            QStringList { QStringLiteral("special") });
    }
}

// A link that leads nowhere yet is written through: the file is created where it points, and the
// link stays a link.
TEST(FileAccess, DanglingLink_CreatesItsTarget)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("lists")));
    const QString link = dir.filePath(QStringLiteral("link.ql1"));
    // A relative link is taken from the link's folder, not the current one.
    ASSERT_EQ(::symlink("lists/plan.ql1", QFile::encodeName(link).constData()), 0);
    ql::writeFileAtomically(link, QByteArrayLiteral("data"));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(
        ql::readRegularFile(dir.filePath(QStringLiteral("lists/plan.ql1"))).bytes, QByteArrayLiteral("data"));
}

} // namespace
