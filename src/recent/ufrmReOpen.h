#pragma once

#include "recent/RecentStore.h"
// Generated from the form. Qt's meta-object compiler does not need it, and skipping it keeps a
// parallel build from reading the form's header while it is still being written.
#ifndef Q_MOC_RUN
#include "ui_ufrmReOpen.h"
#endif

#include <QDialog>
#include <QString>

class QAction;
class QMenu;
class QModelIndex;

namespace ql {

class RecentFilesModel;

// The Reopen dialog: the recent-files store, most recently used first, narrowed by a part of the
// file name, with Rename, Explorer Folder and Remove on the grid's popup menu. Open ends it with
// QDialog::Accepted and SelectedFile() holding the chosen path; Cancel and the window's close button
// end it with QDialog::Rejected.
//
// A view over the recent-files store, which the program creates before it and keeps for the whole
// run; the file commands add to the store without showing the dialog. Every closing writes the
// store.
//
// The form (ufrmReOpen.ui) holds the controls under their component names: DBGrid1, Panel1, Label1,
// Edit1, SpeedButton1, Button2, Button4.
class TfrmReOpen final : public QDialog, public form::Ui::TfrmReOpen
{
    Q_OBJECT

public:
    explicit TfrmReOpen(RecentStore &store, QWidget *parent = nullptr);
    ~TfrmReOpen() override;

    RecentStore &Store() { return m_store; }
    // The path of the entry last chosen with Open; kept between showings.
    const QString &SelectedFile() const { return m_selectedFile; }

    // Handlers. Each runs its command under the error box's guard, so an error ends the command and
    // is shown; none leaves an exception behind.
    void Button2Click();
    void SpeedButton1Click();
    void Rename1Click();
    void ExplorerFolder1Click();
    void Remove1Click();
    void FormClose();

    // Every ending, whatever its result, closes the form through here.
    void done(int result) override;

    // The grid's popup menu, built in code.
    QMenu *PopupMenu1 = nullptr;
    QAction *Rename1 = nullptr;
    QAction *ExplorerFolder1 = nullptr;
    QAction *Remove1 = nullptr;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void setUpGrid();
    void storeChanged();
    void selectCurrentEntry();
    void gridRowChanged(const QModelIndex &current);

    RecentStore &m_store;
    RecentFilesModel *m_model = nullptr;
    QString m_selectedFile;
    bool m_followingTable = false;
};

} // namespace ql
