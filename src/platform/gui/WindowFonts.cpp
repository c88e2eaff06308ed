#include "platform/gui/WindowFonts.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QStringList>

namespace ql {

void installWindowFonts()
{
    if (QFontDatabase::families().contains(QStringLiteral("Tahoma")))
        return;
    const QStringList files = { QStringLiteral("/usr/share/wine/fonts/tahoma.ttf"),
        QStringLiteral("/usr/share/wine/fonts/tahomabd.ttf") };
    for (const QString &file : files) {
        // A font that cannot be added leaves Qt's fallback in place, which is all a user would see.
        if (QFileInfo::exists(file))
            QFontDatabase::addApplicationFont(file);
    }
}

} // namespace ql
