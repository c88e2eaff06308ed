#pragma once

// Generated from the form. Qt's meta-object compiler does not need it, and skipping it keeps a
// parallel build from reading the form's header while it is still being written.
#ifndef Q_MOC_RUN
#include "ui_uAbout.h"
#endif

#include <QDialog>
#include <QString>

class QEvent;

namespace ql {

// The About box: the program's icon (Image2), its name (Label1), version (Label2), a picture of the
// main window showing a task list (Image1: a 462 by 247 JPEG decoded by decodeJpeg, drawn at its
// natural size from the area's top-left corner and clipped to it), the folder that holds the
// program's own files (settingsFolderLabel) and the link to the program's web address (Label5). The caller
// shows it modally; nothing is handed in or read back. It has no buttons and is closed with its close box (or
// Esc).
//
// The link: a click, or Enter or Space while it has the focus, opens WebAddress through the shell;
// a failure of the shell is not reported. While the mouse pointer is over it, the pointer is the
// pointing hand for the whole application; leaving the link, or the box closing, restores it.
//
// Label1's face, Gill Sans Ultra Bold, is seldom installed outside Windows: the heaviest italic of
// the nearest installed sans-serif faces stands in for it.
class TfrmAbout final : public QDialog, public form::Ui::TfrmAbout
{
    Q_OBJECT

public:
    static inline const QString WebAddress = QStringLiteral("https://quillon.example.org/");

    explicit TfrmAbout(QWidget *parent = nullptr);
    ~TfrmAbout() override;

    // Opens WebAddress with the desktop's handler.
    void Label5Click();
    // Whether the pointing hand is shown for the link right now.
    bool showsLinkPointer() const { return m_linkPointer; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void showLinkPointer(bool on);

    bool m_linkPointer = false;
};

} // namespace ql
