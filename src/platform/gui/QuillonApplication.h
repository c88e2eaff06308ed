#pragma once

#include <QApplication>

namespace ql {

// The program's application object. Its notify() is the last catch behind runGuarded: an error that
// slipped past every guard is reported in the error box (after the current event) instead of
// crossing into Qt's event loop, and counted, so that tests can assert that it never happens.
class QuillonApplication final : public QApplication
{
public:
    QuillonApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;

    // Errors that reached notify() since the start or the last reset.
    static int escapedErrors() { return s_escapedErrors; }
    static void resetEscapedErrors() { s_escapedErrors = 0; }

private:
    static inline int s_escapedErrors = 0;
};

} // namespace ql
