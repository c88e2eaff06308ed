#include "platform/gui/Shell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QRegularExpression>
#include <utility>

namespace ql {

namespace {

Shell *s_installed = nullptr;

} // namespace

Shell &Shell::current()
{
    if (s_installed)
        return *s_installed;
    static DesktopShell desktop;
    return desktop;
}

Shell *Shell::install(Shell *shell)
{
    return std::exchange(s_installed, shell);
}

QUrl DesktopShell::targetUrl(const QString &target)
{
    if (target.trimmed().isEmpty())
        return {};
    // One letter before ":" is a Windows drive, not a scheme.
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    if (scheme.match(target).hasMatch())
        return QUrl(target, QUrl::TolerantMode);
    // Addresses typed without a scheme, as the Windows shell guessed them.
    if (target.startsWith(QLatin1String("www."), Qt::CaseInsensitive))
        return QUrl(QStringLiteral("http://") + target, QUrl::TolerantMode);
    if (target.startsWith(QLatin1String("ftp."), Qt::CaseInsensitive))
        return QUrl(QStringLiteral("ftp://") + target, QUrl::TolerantMode);
    return QUrl::fromLocalFile(QFileInfo(target).absoluteFilePath());
}

bool DesktopShell::open(const QString &target)
{
    const QUrl url = targetUrl(target);
    return url.isValid() && QDesktopServices::openUrl(url);
}

bool DesktopShell::explore(const QString &folder)
{
    if (folder.trimmed().isEmpty())
        return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(folder).absoluteFilePath()));
}

} // namespace ql
