#include "platform/ProgramFolder.h"

#include "platform/ApplicationTitle.h"
#include "platform/ProgramInfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace ql {

QString ProgramFolder::s_override;
QString ProgramFolder::s_chosen;

QString ProgramFolder::path()
{
    if (!s_override.isEmpty())
        return s_override;
    if (s_chosen.isEmpty())
        s_chosen = settle(executableFolder());
    return s_chosen;
}

QString ProgramFolder::settle(const QString &executableFolder)
{
    const QString folder = choose(executableFolder);
    // A folder that cannot be made shows later, as the error of the first write into it.
    if (folder == configurationFolder())
        QDir().mkpath(folder);
    return folder;
}

QString ProgramFolder::filePath(const QString &fileName)
{
    return QDir(path()).filePath(fileName);
}

QString ProgramFolder::executableFolder()
{
    return QCoreApplication::applicationDirPath();
}

QString ProgramFolder::configurationFolder()
{
    // The generic folder and the program's own name, not QStandardPaths::AppConfigLocation: that one
    // follows the application name, which a test program or a renamed executable would change.
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(applicationTitle());
}

bool ProgramFolder::isInstalled(const QString &executableFolder)
{
    QDir prefix(executableFolder);
    if (prefix.dirName() != QLatin1String("bin") || !prefix.cdUp())
        return false;
    return QFileInfo::exists(
        prefix.filePath(QStringLiteral("share/applications/%1.desktop").arg(desktopId())));
}

QString ProgramFolder::choose(const QString &executableFolder)
{
    const QFileInfo folder(executableFolder);
    if (!executableFolder.isEmpty() && folder.isDir() && folder.isWritable()
        && !isInstalled(executableFolder))
        return folder.absoluteFilePath();
    return configurationFolder();
}

QString ProgramFolder::initialListFolder()
{
    const QString folder = path();
    if (!s_override.isEmpty() || folder != configurationFolder())
        return folder;
    return QDir::homePath();
}

void ProgramFolder::set(const QString &folder)
{
    s_override = folder;
}

void ProgramFolder::reset()
{
    s_override.clear();
    s_chosen.clear();
}

} // namespace ql
