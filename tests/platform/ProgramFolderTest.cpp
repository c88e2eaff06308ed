// Where the program keeps "Recent.XML" and Quillon.ini: beside a portable executable, in the user's
// configuration folder for an installed one.
#include "platform/ProgramFolder.h"
#include "platform/ProgramInfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using ql::ProgramFolder;

class ProgramFolderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_oldConfigHome = qgetenv("XDG_CONFIG_HOME");
        m_hadConfigHome = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", m_dir.filePath(QStringLiteral("config")).toLocal8Bit());
    }

    void TearDown() override
    {
        if (m_hadConfigHome)
            qputenv("XDG_CONFIG_HOME", m_oldConfigHome);
        else
            qunsetenv("XDG_CONFIG_HOME");
        ProgramFolder::reset();
    }

    QString folder(const QString &relative) const
    {
        const QString path = m_dir.filePath(relative);
        EXPECT_TRUE(QDir().mkpath(path));
        return path;
    }

    void touch(const QString &relative) const
    {
        const QString path = m_dir.filePath(relative);
        EXPECT_TRUE(QDir().mkpath(QFileInfo(path).path()));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    }

    QString configFolder() const { return m_dir.filePath(QStringLiteral("config/Quillon")); }

    QTemporaryDir m_dir;
    QByteArray m_oldConfigHome;
    bool m_hadConfigHome = false;
};

TEST_F(ProgramFolderTest, ConfigurationFolder_FollowsXdgConfigHome)
{
    EXPECT_EQ(ProgramFolder::configurationFolder(), configFolder());
}

TEST_F(ProgramFolderTest, Choose_PortableBesideExecutable_InstalledInConfigurationFolder)
{
    const QString entry = QStringLiteral("share/applications/%1.desktop").arg(ql::desktopId());
    touch(QStringLiteral("installed/") + entry);
    touch(QStringLiteral("other/share/applications/org.example.Other.desktop"));
    struct Case
    {
        const char *what;
        QString executableFolder;
        QString expected;
    };
    const QString portable = folder(QStringLiteral("portable"));
    const QString build = folder(QStringLiteral("build/src"));
    const QString userBin = folder(QStringLiteral("home/bin"));
    const QString installedBin = folder(QStringLiteral("installed/bin"));
    const QString otherBin = folder(QStringLiteral("other/bin"));
    const Case cases[] = {
        { "a folder of its own", portable, portable },
        { "a build tree", build, build },
        { "a bin folder with no desktop entry of ours", userBin, userBin },
        { "a bin folder beside another program's entry", otherBin, otherBin },
        // Root may write into PREFIX/bin: an installed program still keeps out of it.
        { "an installation", installedBin, configFolder() },
        { "a folder that is gone", m_dir.filePath(QStringLiteral("gone")), configFolder() },
        { "no folder", QString(), configFolder() },
    };
    for (const Case &c : cases)
        EXPECT_EQ(ProgramFolder::choose(c.executableFolder), c.expected) << c.what;
    // Choosing creates nothing.
    EXPECT_FALSE(QFileInfo::exists(configFolder()));
}

TEST_F(ProgramFolderTest, Settle_CreatesTheConfigurationFolderOnlyWhenItIsChosen)
{
    const QString portable = folder(QStringLiteral("portable"));
    EXPECT_EQ(ProgramFolder::settle(portable), portable);
    EXPECT_FALSE(QFileInfo::exists(configFolder()));

    touch(QStringLiteral("usr/share/applications/%1.desktop").arg(ql::desktopId()));
    EXPECT_EQ(ProgramFolder::settle(folder(QStringLiteral("usr/bin"))), configFolder());
    EXPECT_TRUE(QFileInfo(configFolder()).isDir());
}

} // namespace
