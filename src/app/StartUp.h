#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class QTimer;
class QWidget;

namespace ql {

// What the command line of `quillon` asks for:
//
//   quillon [OPTION...] [FILE...]
//
// Each FILE (a path, relative to the current folder or absolute, or a file: address) opens in a tab
// of its own. -h/--help and -v/--version answer and end; an unknown option is an error. Qt's own
// options (-platform NAME, -style NAME, -reverse, ...) are accepted and left to the application
// object. Options are single or double dash words ("-help" is "--help"); "--" ends them.
struct StartRequest
{
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    // Absolute, cleaned paths, in the order given.
    QStringList files;
    // Error: what was wrong.
    QString error;
};

StartRequest parseStartArguments(const QStringList &arguments, const QString &currentFolder);

// The text of --help.
QString startUsage();
// The text of --version: the program's name and version, and the folder that holds its own files.
QString startVersion(const QString &programFolder);
// The two lines of an error: what was wrong, and where to look.
QString startError(const QString &error);

// Exit statuses of a start that opens no window.
constexpr int ExitAnswered = 0;
constexpr int ExitBadCommandLine = 2;

// Files handed over by a later start, opened when the program can take them: at once, or as soon as
// no modal dialog or popup menu is open, since a command waiting on one (Exit's save questions, say)
// walks the tabs and must not find new ones appear under it. The window is brought to the front
// either way.
class HandedOverFiles final : public QObject
{
    Q_OBJECT

public:
    HandedOverFiles(
        QWidget &window, std::function<void(const QStringList &)> open, QObject *parent = nullptr);

    void add(const QStringList &files);
    // Files received and not opened yet.
    const QStringList &pending() const { return m_pending; }

private:
    void openWhenFree();

    QWidget &m_window;
    std::function<void(const QStringList &)> m_open;
    QStringList m_pending;
    QTimer *m_retry;
};

// Shows the window, restored if it was minimised, above the others and active.
void bringToFront(QWidget &window);

} // namespace ql
