#include "platform/gui/ErrorBox.h"

#include "platform/Error.h"
#include "platform/gui/Ui.h"

#include <QCoreApplication>
#include <exception>

namespace ql {

QString errorBoxText(const QString &message)
{
    // Comparing the last UTF-16 unit is enough: every unit of a character beyond ASCII, surrogates
    // included, sorts after ".".
    if (!message.isEmpty() && message.back() > QChar(u'.'))
        return message + u'.';
    return message;
}

void showErrorBox(const QString &message)
{
    Ui::current().error(errorBoxText(message));
}

QString currentExceptionMessage()
{
    try {
        throw;
    } catch (const Error &e) {
        return e.message();
    } catch (const std::exception &e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("An unknown error occurred");
    }
}

void reportError(const QString &message, ErrorTiming timing)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (timing == ErrorTiming::Now || !app) {
        showErrorBox(message);
        return;
    }
    QMetaObject::invokeMethod(
        app, [message] { showErrorBox(message); }, Qt::QueuedConnection);
}

bool runGuarded(const std::function<void()> &command, ErrorTiming timing)
{
    try {
        command();
        return true;
    } catch (...) {
        reportError(currentExceptionMessage(), timing);
        return false;
    }
}

} // namespace ql
