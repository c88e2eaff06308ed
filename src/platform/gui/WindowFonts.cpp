#include "platform/gui/WindowFonts.h"

#include <QFontDatabase>
#include <QStandardPaths>

namespace ql {

QStringList windowFontFiles()
{
    QStringList files;
    for (const char *name : { "tahoma.ttf", "tahomabd.ttf" }) {
        const QString file = QStandardPaths::locate(
            QStandardPaths::GenericDataLocation, QStringLiteral("wine/fonts/") + QLatin1String(name));
        if (!file.isEmpty())
            files << file;
    }
    return files;
}

void installWindowFonts()
{
    if (QFontDatabase::families().contains(QStringLiteral("Tahoma")))
        return;
    // A font that cannot be added leaves Qt's fallback in place, which is all a user would see.
    for (const QString &file : windowFontFiles())
        QFontDatabase::addApplicationFont(file);
}

} // namespace ql
