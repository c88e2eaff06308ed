#pragma once

// Generated from the form. Qt's meta-object compiler does not need it, and skipping it keeps a
// parallel build from reading the form's header while it is still being written.
#ifndef Q_MOC_RUN
#include "ui_Unit1.h"
#endif

#include "app/MainIcons.h"
#include "platform/gui/CommandTable.h"

#include <QMainWindow>
#include <QString>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QTabWidget;
class QToolBar;
class QToolButton;
class QWidget;

namespace ql {

class CategoryList;
class RecentStore;
class TQRptTasks;
class TaskPickers;
class TfrTasks;
class TfrmAbout;
class TfrmBatchImport;
class TfrmCategories;
class TfrmReOpen;
struct FileDialogRequest;

// The main window: the menu bar, the menu button row, the tool bar, one tab per open task list and
// the footer. The tabs are the list of open lists: each page holds one task-list frame (`frTasks`),
// and every command that concerns the current list acts on the frame of the active tab.
//
// The file commands create, open, save and close lists. Exit, and closing the window by its frame,
// first offer to save every modified list; cancelling a save dialog keeps the program open. The
// list commands print the active list, import another list file into it, add pasted lines to it as
// tasks and open the comments editor and the detail view on its current task; Categories and About
// work without a list.
//
// The form (Unit1.ui) lays out the client area: the menu button band CoolBar2, the tool bar band
// CoolBar1, the tabs PageControl1 and the footer Panel1 with Label5. The menus, the tool bar and the
// popup menus are built from the window's command table; the menu buttons follow the menu bar.
class TfrmMain final : public QMainWindow, public form::Ui::TfrmMain
{
    Q_OBJECT

public:
    explicit TfrmMain(QWidget *parent = nullptr);
    ~TfrmMain() override;

    // The windows created after the main window whose commands it runs. A command whose window is
    // not set does nothing after its guard.
    void setReOpenDialog(TfrmReOpen *form) { m_frmReOpen = form; }
    void setCategoriesDialog(TfrmCategories *form) { m_frmCategories = form; }
    void setAboutDialog(TfrmAbout *form) { m_frmAbout = form; }
    void setBatchImportDialog(TfrmBatchImport *form) { m_frmBatchImport = form; }
    void setReport(TQRptTasks *report) { m_report = report; }
    // The recent-files store that Open, Reopen and the writes of lists add to.
    void setRecentStore(RecentStore *store) { m_recentStore = store; }
    // The category list that each new list's quick-add box copies.
    void setCategoryList(const CategoryList *categories) { m_categories = categories; }
    // The dialogs that every list's task commands show: the pickers of Set Progress and Set Date,
    // the comments editor and the detail view, which the Edit menu's Comments and Detail View show
    // through the active list's frame.
    void setPickers(TaskPickers *pickers) { m_pickers = pickers; }

    // --- Operations the commands build on
    // Creates a tab and its frame for one list and makes it the active tab. `fileName` is "New"
    // for a new list. A frame whose file cannot be read leaves its tab in place and throws. A large
    // file is read while the window goes on (TfrTasks::BeginOpenList): its error is then shown in
    // the error box when the read ends, and a cancelled open takes its tab away again. With
    // `remember`, the file goes into the recent files once it was opened.
    void AddListTab(const QString &fileName, bool isNew, bool remember = false);
    // Opens a list file in a new tab; without `remember` the recent-files store is not touched (a
    // linked list).
    void OpenListFile(const QString &fileName, bool remember = false);
    // Opens list files given from outside (the command line, a later start), each as Open opens the
    // file chosen in its dialog: a tab of its own, the title, the recent-files store. A file that
    // cannot be read shows its error and the ones after it still open.
    void OpenListFiles(const QStringList &paths);
    // The frame of the active tab; nullptr when no tab is active.
    TfrTasks *ActiveTasksFrame() const;
    // Throws "Open or create a list first!" when no tab is active.
    void RequireActiveList() const;
    // The save pass of Exit: offers to save every modified list, in tab order. False when the user
    // cancelled a save dialog, declined to overwrite a file or cancelled the offer made for a file
    // that was changed on disk, which ends the pass at once.
    bool SaveModifiedLists();

    // The frame of the tab at `index`; nullptr when there is none.
    TfrTasks *tasksFrameAt(int index) const;

    // --- Handlers: each runs its command under the error box's guard.
    void actNewExecute();
    void actOpenExecute();
    void actReopenExecute();
    void actSaveExecute();
    void actSaveAsExecute();
    void actCloseExecute();
    void CloseAll1Click();
    void actExitExecute();
    void Categories1Click();
    void Showpath1Click();
    // The list commands. Print and the menu's Batch Insert do nothing without a list; the others
    // but Categories and About fail with the guard's error.
    void tbPrintClick();
    void tbImportClick();
    void BatchInsert1Click();
    // The tool button's Batch Insert: the guard, then the menu item's command.
    void ToolButton5Click();
    void DetailView1Click();
    void Comments1Click();
    void About1Click();
    // The commands of controls the window never shows: the hidden Edit item, the popup menu
    // PopupMenu1 that no control uses, and the hidden tool buttons.
    void SetTasktoCancelled1Click();
    void SetProgress1Click();
    void ToolButton1Click();
    void ToolButton2Click();
    void ToolButton8Click();
    void ToolButton20Click();
    // The user selected another tab (a click or Ctrl+Tab); a tab activated by code runs nothing.
    void PageControl1Change();

    // The dialogs' descriptions of their choices.
    static FileDialogRequest openDialogRequest();
    static FileDialogRequest saveDialogRequest();

    // The window's commands where they appear: the actions of ActionManager1, each menu item, tool
    // button and popup item, and the keys of each. Built into the window's controls when it is
    // created.
    static const std::vector<Command<TfrmMain, MainIcon>> &commandTable();
    // Ctrl+Tab and Ctrl+Shift+Tab, with which the tab area selects the next and the previous tab.
    static const QList<QKeySequence> &tabKeys();
    // The program's own keys: those of the window's and a list's command tables, the grid's own
    // and the tab area's. A desktop's key for a standard command never takes one of them.
    static QList<QKeySequence> ownKeys();

    // --- Components, under the names the window gives them.
    QMenu *File1 = nullptr;
    QMenu *Edit1 = nullptr;
    QMenu *Search1 = nullptr;
    QMenu *View1 = nullptr;
    QMenu *Options1 = nullptr;
    QMenu *ools1 = nullptr;
    QMenu *Help1 = nullptr;
    QToolBar *ToolBar3 = nullptr;
    QToolBar *ToolBar1 = nullptr;
    QMenu *pmTabRightClick = nullptr;
    QMenu *PopupMenu1 = nullptr;

    QAction *actNew = nullptr;
    QAction *actOpen = nullptr;
    QAction *actReopen = nullptr;
    QAction *actSave = nullptr;
    QAction *actSaveAs = nullptr;
    QAction *actClose = nullptr;
    QAction *actCloseAll = nullptr;
    QAction *actPrint = nullptr;
    QAction *actImport = nullptr;
    QAction *actBatchInsert = nullptr;
    QAction *actCategories = nullptr;
    QAction *actExit = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    class CodeSelection;

    // Builds the menus, the tool bar, the popup menus and the commands they run from the command
    // table.
    void buildCommandControls();
    void buildMenuButtons(QWidget *band);
    void setUpTabs();

    // The commands, unguarded: they call each other (Close runs Save, Save runs Save As).
    void saveActiveList();
    void saveActiveListAs();
    void closeActiveList();
    void closeAllLists();
    void batchInsert();
    void setProgressOfActiveList();
    // Writes the frame's table to `path` after posting a pending task, under the file's lock, and
    // tells the recent-files store. With `onlyOverItsVersion`, the file must still be the version
    // the frame last read or wrote: when it was changed on disk since, nothing is written and false
    // comes back. Throws the table's or the writer's error when the write fails.
    bool writeList(TfrTasks &frame, const QString &path, bool onlyOverItsVersion);
    // Save As for the list of the tab at `index`: the save dialog, the overwrite question, the
    // write. False when the user cancelled either.
    bool saveListAs(TfrTasks &frame, int index);
    // Tells that the list's file was changed on disk and nothing was written, and offers Save As,
    // Reload (after a question when the list has unsaved changes) or Cancel. True when the list
    // was saved under another name or reloaded.
    bool offerChangedOnDisk(TfrTasks &frame, int index);
    void addToRecent(const QString &path);
    // What the window does when a list read in the background was opened (the recent files, with
    // `remember`), failed (the error box) or was cancelled (the tab goes).
    void listOpenEnded(QWidget *page, const QString &fileName, bool remember, bool opened, bool cancelled,
        const QString &message);
    // The active tab's frame for a command on its list, or none without a tab. Throws while that
    // list is still being opened: the command would find no list to work on.
    TfrTasks *OpenedActiveFrame() const;
    void showTabArea();
    void setTitleFor(const QString &separator, const QString &fileName);

    QObject *m_noHint = nullptr; // hides the tips of tool buttons that have no hint
    TfrmReOpen *m_frmReOpen = nullptr;
    RecentStore *m_recentStore = nullptr;
    TfrmCategories *m_frmCategories = nullptr;
    TfrmAbout *m_frmAbout = nullptr;
    TfrmBatchImport *m_frmBatchImport = nullptr;
    TQRptTasks *m_report = nullptr;
    const CategoryList *m_categories = nullptr;
    TaskPickers *m_pickers = nullptr;
    // Set while code changes the active tab, so that only the user's choice runs the tab change.
    int m_selectingFromCode = 0;
    // Exit's save pass has just run to the end: the close that follows asks nothing more.
    bool m_exitPassDone = false;
    bool m_centred = false;
};

} // namespace ql
