#pragma once

#include "dialogs/PageFetch.h"
// Generated from the form. Qt's meta-object compiler does not need it, and skipping it keeps a
// parallel build from reading the form's header while it is still being written.
#ifndef Q_MOC_RUN
#include "ui_uFrmURL.h"
#endif

#include <QDialog>

namespace ql {

// The URL dialog: the web address to link to a task, with the page's description or title beside
// it so that the user can see where the address leads. The caller shows it, and on
// QDialog::Accepted reads edtURL's text exactly as typed; edtText is for display only. OK (BitBtn1,
// Enter) ends with QDialog::Accepted, Cancel (BitBtn2, Esc) and the close box with
// QDialog::Rejected. Created once, it keeps both boxes' texts between showings.
//
// The form (uFrmURL.ui) holds the controls under their component names: Label1, edtURL,
// SpeedButton1 (fetches the page text; no caption, not a tab stop), Label2, edtText, BitBtn1 and
// BitBtn2. The Text box comes first in the tab order, so the dialog opens with the focus in it.
class TfrmURL final : public QDialog, public form::Ui::TfrmURL
{
    Q_OBJECT

public:
    explicit TfrmURL(QWidget *parent = nullptr);

    // Sets edtText to the description or title of the page at edtURL's address, replacing what it
    // held, also with an empty text when the page cannot be read or has neither. The fetch shows
    // the busy cursor and holds user input back until it ends (see DownloadPage).
    void SpeedButton1Click();

    // edtText was given the focus: the same as SpeedButton1 when it is empty.
    void edtTextEnter();

    // The limits of the page fetch (tests shorten them).
    void SetFetchLimits(const PageFetchLimits &limits) { m_fetchLimits = limits; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    PageFetchLimits m_fetchLimits;
    bool m_fetching = false;
    // The dialog lost the activation since it was shown, so the focus that comes back with the next
    // activation was not given to the Text box anew.
    bool m_reactivating = false;
};

} // namespace ql
