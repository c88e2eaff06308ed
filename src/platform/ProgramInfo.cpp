#include "platform/ProgramInfo.h"

// The values come from CMake as definitions of this file alone, so that a new version rebuilds
// one file.
#ifndef QUILLON_FULL_VERSION
#error "QUILLON_FULL_VERSION is set by the build"
#endif

namespace ql {

QString programVersion()
{
    return QStringLiteral(QUILLON_FULL_VERSION);
}

QString aboutVersionText()
{
    QString text = QStringLiteral("Version %1.%2")
                       .arg(QUILLON_VERSION_MAJOR)
                       .arg(QUILLON_VERSION_MINOR, 2, 10, QLatin1Char('0'));
    const QString stage = QStringLiteral(QUILLON_VERSION_STAGE);
    if (!stage.isEmpty())
        text += QLatin1Char(' ') + stage;
    return text;
}

QString desktopId()
{
    return QStringLiteral(QUILLON_APP_ID);
}

} // namespace ql
