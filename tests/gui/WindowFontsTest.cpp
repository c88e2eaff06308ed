// Where the windows' Tahoma is found: in the data folders that font packages install into.
#include "platform/gui/WindowFonts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(WindowFonts, FoundInTheFirstDataFolderThatHoldsThem)
{
    QTemporaryDir dir;
    for (const char *file :
        { "local/wine/fonts/tahoma.ttf", "usr/wine/fonts/tahoma.ttf", "usr/wine/fonts/tahomabd.ttf" }) {
        const QString path = dir.filePath(QString::fromLatin1(file));
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
        QFile font(path);
        ASSERT_TRUE(font.open(QIODevice::WriteOnly));
    }
    const QByteArray oldDirs = qgetenv("XDG_DATA_DIRS");
    const QByteArray oldHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("home")).toLocal8Bit());
    qputenv("XDG_DATA_DIRS",
        (dir.filePath(QStringLiteral("local")) + u':' + dir.filePath(QStringLiteral("usr"))).toLocal8Bit());
    const QStringList found = ql::windowFontFiles();
    qputenv("XDG_DATA_DIRS", oldDirs);
    qputenv("XDG_DATA_HOME", oldHome);

    EXPECT_EQ(found,
        QStringList({ dir.filePath(QStringLiteral("local/wine/fonts/tahoma.ttf")),
            dir.filePath(QStringLiteral("usr/wine/fonts/tahomabd.ttf")) }));
}
