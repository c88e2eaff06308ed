#pragma once

#include "platform/gui/Ui.h"

#include <QFileDialog>
#include <QStringList>

class QInputDialog;
class QMessageBox;

namespace ql {

// The prompts as real Qt dialogs, each a top-level window over the active window.
class QtUi final : public Ui
{
public:
    void message(const QString &text) override;
    Answer question(const QString &text) override;
    bool confirm(const QString &text) override;
    QString choose(const QString &text, const QStringList &buttons) override;
    void error(const QString &text) override;
    QString input(const QString &caption, const QString &prompt, const QString &initialText) override;
    QString openFile(const FileDialogRequest &request) override;
    QString saveFile(const FileDialogRequest &request) override;

    // The dialogs as they are set up before they are shown (tests look at them without showing).
    enum class BoxKind { Message, Question, Confirmation, Error };
    static void setUpMessageBox(QMessageBox &box, BoxKind kind, const QString &text);
    // A box of choose(): the text, a warning icon and the buttons in their order.
    static void setUpChoiceBox(QMessageBox &box, const QString &text, const QStringList &buttons);
    static void setUpInputDialog(
        QInputDialog &dialog, const QString &caption, const QString &prompt, const QString &initialText);
    static void setUpFileDialog(
        QFileDialog &dialog, QFileDialog::AcceptMode mode, const FileDialogRequest &request);

    // "Quillon File v1|*.ql1|All Files (*.*)|*.*" as Qt's name filters. "*.*" means every file, as
    // on Windows, not only names with a dot.
    static QStringList nameFilters(const QString &filter);
    // `path` with "." and the extension added when its file name has no extension.
    static QString withDefaultExtension(const QString &path, const QString &defaultExtension);

private:
    static QString runFileDialog(QFileDialog::AcceptMode mode, const FileDialogRequest &request);
};

} // namespace ql
