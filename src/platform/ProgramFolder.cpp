#include "platform/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>

namespace ql {

QString ProgramFolder::s_override;

QString ProgramFolder::path()
{
    if (!s_override.isEmpty())
        return s_override;
    return QCoreApplication::applicationDirPath();
}

QString ProgramFolder::filePath(const QString &fileName)
{
    return QDir(path()).filePath(fileName);
}

void ProgramFolder::set(const QString &folder)
{
    s_override = folder;
}

void ProgramFolder::reset()
{
    s_override.clear();
}

} // namespace ql
