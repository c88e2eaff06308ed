#include "platform/gui/ProgramIcon.h"

// A static library's resources are registered only when asked for, outside any namespace.
static void initProgramIconResources()
{
    Q_INIT_RESOURCE(ProgramIcon);
}

namespace ql {

QIcon programIcon()
{
    initProgramIconResources();
    QIcon icon;
    for (int size : { 16, 22, 24, 32, 48, 64, 128, 256 })
        icon.addFile(QStringLiteral(":/icons/%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace ql
