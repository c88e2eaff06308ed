#pragma once

#include <QString>
#include <functional>

namespace ql {

// The application-wide error box. A command's error ends the command and is shown here: a modal
// box with an error icon, an OK button, the application title as caption and the error's message.

// The text shown for `message`: a "." is appended when the message's last character sorts after
// "." in character order. So "Open or create a list first!" (a "!" sorts before ".") and a message
// ending in "." stay as they are, "Unable to write to plan.ini" gets its full stop, and an empty
// message stays empty.
QString errorBoxText(const QString &message);

// Shows the error box for `message` through the current Ui.
void showErrorBox(const QString &message);

// The message of the exception being handled; call it only inside a catch block. ql::Error gives
// its message, another std::exception its what().
QString currentExceptionMessage();

enum class ErrorTiming {
    Now,
    // After the current event: for errors raised during a focus change, where a modal box would
    // start a focus change of its own.
    Queued,
};

// Every entry point that Qt calls (action, button, key, mouse, model and close handlers) runs its
// command through here, so that no exception crosses into Qt's event loop: the command's error is
// shown in the error box. What the command did before the error stays done. Returns whether the
// command ran to its end.
bool runGuarded(const std::function<void()> &command, ErrorTiming timing = ErrorTiming::Now);

// Shows the error box for `message` now or after the current event.
void reportError(const QString &message, ErrorTiming timing);

} // namespace ql
