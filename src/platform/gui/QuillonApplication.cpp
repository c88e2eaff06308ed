#include "platform/gui/QuillonApplication.h"

#include "platform/gui/ErrorBox.h"

#include <QDebug>
#include <QEvent>

namespace ql {

QuillonApplication::QuillonApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
}

bool QuillonApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ++s_escapedErrors;
        const QString message = currentExceptionMessage();
        qCritical().noquote() << "An error escaped the guard of its command: event" << event->type() << "to"
                              << receiver << ":" << message;
        // Queued: this may be the middle of a paint or a focus change, no place for a modal box.
        reportError(message, ErrorTiming::Queued);
        return false;
    }
}

} // namespace ql
