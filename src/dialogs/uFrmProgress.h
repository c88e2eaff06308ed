#pragma once

// Generated from the form. Qt's meta-object compiler does not need it, and skipping it keeps a
// parallel build from reading the form's header while it is still being written.
#ifndef Q_MOC_RUN
#include "ui_uFrmProgress.h"
#endif

#include <QDialog>

namespace ql {

// The progress picker: a percentage for the current task. The caller sets ChosenProgress, shows
// the dialog and reads ChosenProgress back, however the dialog was closed. A percentage button
// hands back its value; Apply hands back the number typed in Edit1, without a range check (the
// arrows of UpDown1 only step it within 0 to 100). Created once, it keeps Edit1's text between
// showings.
//
// The form (uFrmProgress.ui) holds the controls under their component names: Button7 (10%),
// Button1 to Button5 (25% to 75%), Label1, Edit1, UpDown1 and Button6 (Apply).
class TfrmProgress final : public QDialog, public form::Ui::TfrmProgress
{
    Q_OBJECT

public:
    explicit TfrmProgress(QWidget *parent = nullptr);

    int ChosenProgress() const { return m_chosenProgress; }
    void SetChosenProgress(int progress) { m_chosenProgress = progress; }

    // Apply: the typed number, or the error "'TEXT' is not a valid integer value" with
    // ChosenProgress unchanged; the dialog closes either way.
    void Button6Click();

private:
    void choose(int progress);

    int m_chosenProgress = 0;
};

} // namespace ql
