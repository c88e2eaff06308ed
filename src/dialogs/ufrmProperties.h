#pragma once

// Generated from the form. Qt's meta-object compiler does not need it, and skipping it keeps a
// parallel build from reading the form's header while it is still being written.
#ifndef Q_MOC_RUN
#include "ui_ufrmProperties.h"
#endif

#include <QDialog>

class QKeyEvent;

namespace ql {

// The property entry dialog: one key and one value for the properties panel's "Add Property". The
// caller shows it modally and, after OK, reads Edit1 as the key and Edit2 as the value, both exactly
// as typed; after Cancel or the close box it reads nothing. Nothing is checked: an empty key or
// value comes back empty. Created once, it keeps both texts from one showing to the next.
//
// Neither button is the default or the cancel button, so Enter and Esc do not close the dialog;
// the buttons are pressed with the mouse or, when focused, with the space bar.
//
// The form (ufrmProperties.ui) holds the controls under their component names: Label1, Edit1,
// Label2, Edit2, Button1 (OK) and Button2 (Cancel), in that tab order.
class TfrmProperties final : public QDialog, public form::Ui::TfrmProperties
{
    Q_OBJECT

public:
    explicit TfrmProperties(QWidget *parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent *event) override;
};

} // namespace ql
