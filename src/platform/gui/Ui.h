#pragma once

#include <QString>
#include <QStringList>

namespace ql {

// What one file dialog shows. `filter` pairs a description with its patterns, every part separated
// by "|": "Quillon File v1|*.ql1|All Files (*.*)|*.*" (several patterns of one entry separated by
// ";"); the first entry is selected. `defaultExtension` ("ql1", also accepted as ".ql1" or "*.ql1")
// is added to a name typed without an extension. An empty folder or name leaves the dialog's own.
struct FileDialogRequest
{
    QString caption;
    QString filter;
    QString defaultExtension;
    QString initialFolder;
    QString initialName;
};

enum class Answer { Yes, No };

// Every prompt the user sees goes through here, so that tests can answer them. Message boxes
// (message, question, error) carry the application title as their caption.
class Ui
{
public:
    static constexpr int MaxInputLength = 255;

    virtual ~Ui() = default;

    // A plain message: the text and an OK button, no icon.
    virtual void message(const QString &text) = 0;
    // A question without icon: Yes and No; Yes is the default button and Esc answers No.
    virtual Answer question(const QString &text) = 0;
    // A confirmation: the text, a question icon, OK and Cancel; OK is the default button and Esc
    // answers Cancel. True for OK.
    virtual bool confirm(const QString &text) = 0;
    // A choice between the actions named by `buttons` (at least two), with a warning icon. The first
    // button is the default one (Enter); the last answers Esc and the window's close button, so it
    // should be the one that changes nothing. Gives the chosen button's text.
    virtual QString choose(const QString &text, const QStringList &buttons) = 0;
    // An error: the text as given, an error icon and an OK button. Commands do not call this
    // directly; their errors reach it through showErrorBox (ErrorBox.h).
    virtual void error(const QString &text) = 0;
    // A one-line entry of at most 255 characters holding `initialText`, with OK and Cancel. Gives the
    // entered text, or `initialText` unchanged on Cancel.
    virtual QString input(const QString &caption, const QString &prompt, const QString &initialText) = 0;
    // The chosen file's path, or empty when the user cancels. Neither dialog asks whether to
    // overwrite; the open dialog accepts the name of a file that does not exist.
    virtual QString openFile(const FileDialogRequest &request) = 0;
    virtual QString saveFile(const FileDialogRequest &request) = 0;

    // The prompts of the program: the real dialogs unless a test installed others.
    static Ui &current();
    // Makes `ui` current (nullptr: the real dialogs again) and gives back the one it replaces, or
    // nullptr when that was the real one. The caller keeps ownership.
    static Ui *install(Ui *ui);

protected:
    Ui() = default;
    Ui(const Ui &) = delete;
    Ui &operator=(const Ui &) = delete;
};

} // namespace ql
