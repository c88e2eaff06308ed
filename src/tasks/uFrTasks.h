#pragma once

#include "operations/TaskCommands.h"
#include "platform/gui/CommandTable.h"
#include "storage/ClientTable.h"
#include "tasks/TaskIcons.h"
// Generated from the form. Qt's meta-object compiler does not need it, and skipping it keeps a
// parallel build from reading the form's header while it is still being written.
#ifndef Q_MOC_RUN
#include "ui_uFrTasks.h"
#endif

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QComboBox;
class QDateEdit;
class QKeyEvent;
class QModelIndex;
class QPainter;
class QProgressBar;
class QShortcut;
class QLabel;
class QLineEdit;
class QMenu;
class QStatusBar;
class QTabWidget;
class QToolBar;
class QToolButton;

namespace ql {

class CategoryList;
class DBMemo;
class TaskPickers;
class DataSource;
class ListOpening;
class OrderPreparation;
class ViewFiltering;
class TabCaption;
class TaskGrid;
class TaskGridModel;
class ValueListEditor;

// The frame that shows one open task list on a tab of the main window: the filter and sort bar,
// the tool bar of task commands, the task grid, the status bar and the quick-add bar, over the
// list's task table, which the frame owns. It keeps the list's document state: its file, whether
// it has unsaved changes, whether it was created new, and the unsaved mark on its tab caption.
//
// The form (uFrTasks.ui) lays out the bars, the grid DBGrid1, the side panel PageControl1, the
// status bar and the quick-add bar under their component names; the tool bar, the popup menus and
// the status panels are built in code.
class TfrTasks final : public QWidget, public form::Ui::TfrTasks
{
    Q_OBJECT

public:
    explicit TfrTasks(QWidget *parent = nullptr);
    ~TfrTasks() override;

    // The list's table; the main window saves, prints and imports into it directly. Every view of
    // the frame follows the table through DataSource1, whoever changes it.
    ClientTable &cdsTasks() { return m_cdsTasks; }
    const ClientTable &cdsTasks() const { return m_cdsTasks; }
    DataSource &DataSource1() { return *m_DataSource1; }
    // Gives the category box these items and leaves its text empty: a task gets a category only
    // when the user picks or types one.
    void SetCategoryItems(const QStringList &categories);
    // Puts the keyboard focus into the quick-add box, when the frame can take it.
    void FocusQuickAdd();
    // The dialogs that Set Progress and Set Date ask through; both commands stay disabled without.
    void SetPickers(TaskPickers *pickers);
    // The program's category list, which the grid's Category column offers whenever it is entered.
    void SetCategoryList(const CategoryList *categories) { m_categories = categories; }

    // The date picker over the grid's current date cell: placed on the cell, as wide as it, set to
    // the cell's date (today when empty) and given the focus.
    void ShowDatePicker();
    void HideDatePicker();
    // How Open Linked Task List opens a list: the main window's OpenListFile, which opens it on a
    // new tab. Without it the command does nothing.
    void SetOpenListFile(std::function<void(const QString &)> openListFile)
    {
        m_openListFile = std::move(openListFile);
    }

    // --- Links, comments, details and copy, on the current task
    // Link to Task List: a list file chosen with OpenQL1 goes into LinkedList.
    void Link1Click();
    // Link Task List: any file chosen with OpenDialog1 goes into LinkedList; LastActioned today.
    void ToolButton9Click();
    // Link to Related File: any file chosen with OpenDialog1 goes into RelatedFile.
    void LinktoFile1Click();
    // Link to URL: the address typed into the URL dialog goes into URL.
    void LinktoURL1Click();
    // The open commands follow LinkedList (a new tab), RelatedFile and URL (the desktop's shell).
    void OpenLinkedTaskList1Click();
    void OpenRelatedFile1Click();
    void OpenURL1Click();
    // The current cell's field, in its standard text, onto the clipboard.
    void Copy1Click();
    // The comments editor and the detail view on the current task; the main window runs them too.
    void Comments1Click();
    void Details1Click();
    // Add Property: a pair from the property entry dialog joins the key/value editor, which is
    // then written into the task's Properties, whatever the dialog's answer.
    void AddProperty1Click();
    // The category box cbCat of the quick-add bar is filled by the main window after OpenList. The
    // properties side panel PageControl1 stays hidden until the main window's Properties command
    // shows it; its key/value editor and the memo of its Text page follow the current task.

    // --- Document state
    // Full path of the list file; empty for a new list. Save As replaces it.
    const QString &ListFileName() const { return m_listFileName; }
    void SetListFileName(const QString &path) { m_listFileName = path; }
    bool Modified() const { return m_modified; }
    bool IsNewList() const { return m_isNewList; }
    // The tab caption as it was when the unsaved mark was last added; empty until then.
    const QString &SavedTabCaption() const { return m_savedTabCaption; }

    // The list file as this frame last read or wrote it; empty while the list has no file. Save
    // writes only over that version of the file (see TfrmMain).
    const std::optional<FileIdentity> &listFileIdentity() const { return m_fileIdentity; }
    void setListFileIdentity(const FileIdentity &identity) { m_fileIdentity = identity; }
    // Reads the list file again in place of what the tab holds; unsaved changes are lost, so the
    // caller asks first. The order and the view stay as they were where the file still has their
    // fields, and the cursor stays on the same task where the file still holds it. The list is then
    // unmodified, and the status bar says "Reloaded". A file that cannot be read as a list throws
    // the reader's error and leaves the tab as it was.
    void reloadList();
    // Reloads as reloadList does, but reads a large file on a worker thread as BeginOpenList does
    // and returns at once: meanwhile the tab shows the list as it was with its controls disabled,
    // and the status bar shows "Reloading NAME 43 %" with Cancel (and Esc). A cancelled reload
    // leaves the list as it was; a file that cannot be read as a list shows the reader's error and
    // leaves it as it was too. Returns false when the reload was done at once (a small file; a
    // failure then throws as reloadList does).
    bool BeginReload();
    // Whether the read in progress (IsOpening) reads the tab's list again.
    bool IsReloading() const { return m_opening && m_reloading; }

    // Creates a new empty list (isNew), or loads the list file `fileName`. A path where no file
    // exists leaves the table closed and changes nothing else. Throws the table's error when the
    // file cannot be read as a task list.
    void OpenList(const QString &fileName, bool isNew);

    // How an open begun by BeginOpenList ended.
    enum class OpenOutcome { Opened, Failed, Cancelled };
    Q_ENUM(OpenOutcome)
    // Loads the list file `fileName` as OpenList does, but reads a large file on a worker thread
    // and returns at once: meanwhile the frame's controls are disabled and its status bar shows
    // the progress ("Opening NAME 43 %") with a Cancel button, which Esc presses too. When the
    // list is read the frame shows it; openEnded tells how the open ended. Returns false, having
    // done what OpenList does, when the open finished at once: no file at that path, or a file
    // small enough to read without a pause (a failure then throws as OpenList does).
    bool BeginOpenList(const QString &fileName);
    // Whether an open begun by BeginOpenList is still reading.
    bool IsOpening() const { return m_opening != nullptr; }
    // Cancels that open: the frame stays without a list, and openEnded tells Cancelled.
    void CancelOpen();
    // Files of at least this many bytes are read on a worker thread; smaller ones are read at once.
    static qint64 backgroundOpenBytes();
    static void setBackgroundOpenBytes(qint64 bytes);
    // The order the user chose that is still being built, to be shown when it is ready; empty when
    // the grid shows the chosen order.
    const QString &pendingOrder() const { return m_pendingOrder; }
    // Whether a view or search the user chose is still being built; the grid shows the view it had.
    bool viewPending() const;
    // Records unsaved changes: the tab caption gets " *" once, the status bar says "Unsaved".
    void MarkUnsaved();
    // Records a save: the tab caption loses the unsaved mark, the status bar says "Saved".
    void MarkSaved();

    // Where the frame reads and writes its tab caption. By default, the tab of a QTabWidget whose
    // page is the frame's parent.
    void setTabCaption(std::unique_ptr<TabCaption> caption);

    // The text of a status bar panel (0: the item count, 1: the save state).
    QString statusPanelText(int panel) const;

    // The frame's commands where they appear: the task commands of the action list actTasks and
    // the other commands the tool bar and the popup menus share, each tool button, each popup item,
    // and the keys of each. Built into the frame's controls when it is created.
    static const std::vector<Command<TfrTasks, TaskIcon>> &commandTable();

    // Components built in code, under their component names: the tool bar, the popup menus of the
    // grid, the entry box and the key/value editor, and the commands they run.
    QToolBar *ToolBar1 = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QMenu *PopupMenu2 = nullptr;
    QMenu *PopupMenu3 = nullptr;
    QAction *acSetProgress = nullptr;
    QAction *acInProgress = nullptr;
    QAction *actCancel = nullptr;
    QAction *actPause = nullptr;
    QAction *actComplete = nullptr;
    QAction *actDelete = nullptr;
    QAction *actBookmark = nullptr;
    QAction *ActLastNow = nullptr;
    QAction *actSetDate = nullptr;
    // The add, link, open, copy, comments and details commands of the tool bar and the popup menu.
    QAction *actAddTask = nullptr;
    QAction *actLinkToList = nullptr;
    QAction *actLinkTaskList = nullptr;
    QAction *actLinkRelatedFile = nullptr;
    QAction *actLinkURL = nullptr;
    QAction *actOpenLinkedList = nullptr;
    QAction *actOpenLinkedFile = nullptr;
    QAction *actOpenURL = nullptr;
    QAction *actCopy = nullptr;
    QAction *actComments = nullptr;
    QAction *actDetails = nullptr;
    // The date picker that opens over a date cell of the grid; hidden until then.
    QDateEdit *DateTimePicker1 = nullptr;

signals:
    // An open begun by BeginOpenList ended; `message` is the reader's error when it failed.
    void openEnded(ql::TfrTasks::OpenOutcome outcome, const QString &message);

protected:
    void wheelEvent(QWheelEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setUpFilterBar();
    // Builds the tool bar, the popup menus and the commands they run from the command table.
    void buildCommandControls();
    void setUpQuickAddBar();
    void setUpPropertiesPanel();

    // What the frame does when its data source tells of a new task, an edit, a move of the cursor
    // and a change of the rows.
    void cdsTasksAfterInsert();
    void cdsTasksAfterEdit();
    void cdsTasksAfterScroll();
    void showItemCount();
    // Takes the unsaved mark off the tab caption and clears Modified.
    void clearUnsavedMark();
    // Binds the Text page to Properties, when the list has it, and prepares the list's orders while
    // the program is idle.
    void followLoadedFields();
    // Shows a list read by the worker, or tells why there is none.
    // Reads `fileName` on a worker, the frame showing the progress, until openingFinished.
    void startReading(const QString &fileName);
    void openingFinished();
    void reloadFinished(ListOpening &opening);
    // Puts the list read again in `fresh` in place of what the tab shows (see reloadList).
    void adoptReloaded(std::unique_ptr<ClientTable> fresh, const FileIdentity &identity);
    void showOpenProgress(int percent);
    // Disables the frame's controls but the status bar while a list is being opened.
    void setOpening(bool opening);
    // Switches the grid to a named order; a large list's order that is not built yet is built in
    // the background and switched to when ready (orderReady), the status bar saying so meanwhile.
    void chooseOrder(const QString &index);
    void orderReady(const QString &index);
    // Applies a view or a search; a large list builds it in the background, the status bar saying
    // `activity` meanwhile.
    void chooseFilter(const QString &expression, const QString &activity);
    void viewFiltered();
    // Shows in the status bar what the frame is busy with: an order and a view being built.
    void showActivity();

    // The task commands of actTasks on the current task.
    void acInProgressExecute();
    void actCancelExecute();
    void actPauseExecute();
    void actCompleteExecute();
    void actBookmarkExecute();
    void ActLastNowExecute();
    // Asks "Delete current task ?" and deletes it on Yes.
    void actDeleteExecute();
    // Set Progress: the progress picker, preset with the task's progress, then the task.
    void acSetProgressExecute();
    // Set Date: the date selection; nothing changes when it is cancelled.
    void actSetDateExecute();
    void runStateCommand(TaskCommands::StateCommand command);
    // The link commands that take a file from a dialog.
    void linkFile(const QString &fieldName, bool listFilesOnly, bool stampLastActioned);
    // The open commands: nothing on an empty field; the busy cursor while the target is handed on.
    void openLink(const QString &fieldName);

    // The grid's events.
    void setUpGrid();
    void DBGrid1DrawColumnCell(QPainter &painter, const QRect &rect, const QModelIndex &index, bool current);
    // Typed characters in the Status, Priority and Difficulty columns are discarded: those change
    // only through their pick lists.
    bool DBGrid1KeyPress(const QKeyEvent &event);
    // Down on the last task is discarded, so the grid does not start a new one below it.
    bool DBGrid1KeyDown(const QKeyEvent &event);
    void DBGrid1ColEnter();
    void DBGrid1DblClick();
    // The picker's calendar closed, with or without a click on a date: the date goes into the cell.
    void DateTimePicker1CloseUp();
    // The field of the grid's current column; empty when there is none.
    QString currentColumnField() const;

    // The bar's orders, views and search.
    void cbOrderChange();
    void DBGrid1TitleClick(int column);
    void cbShowChange();
    void bnSearchClick();
    void SpeedButton2Click();

    // A wheel turn that no control under the pointer took: one task up or down.
    void FrameMouseWheel(int delta);
    // Quick add: the "Add" button and Enter in the entry box.
    void SpeedButton1Click();
    void quickAdd();
    // Pastes the clipboard's text into the entry box.
    void Paste1Click();

    ClientTable m_cdsTasks;
    DataSource *m_DataSource1 = nullptr;
    TaskGridModel *m_model = nullptr;
    std::unique_ptr<TabCaption> m_tabCaption;

    QString m_listFileName;
    std::optional<FileIdentity> m_fileIdentity;
    bool m_modified = false;
    bool m_isNewList = false;
    QString m_savedTabCaption;
    // The caption this frame gave its tab when it added the unsaved mark; empty while the tab
    // shows no mark of ours. Kept as state because a file name may itself contain "*".
    QString m_markedCaption;

    QLabel *m_statusPanels[2] = { nullptr, nullptr };
    TaskPickers *m_pickers = nullptr;
    const CategoryList *m_categories = nullptr;
    std::function<void(const QString &)> m_openListFile;
    QWidget *m_calendarPopup = nullptr; // the picker's drop-down calendar, once it exists
    std::vector<const QObject *> m_barDropDownLists; // the lists of cbShow and cbOrder, compared only
    OrderPreparation *m_orders = nullptr;
    QString m_pendingOrder;
    QString m_sortingActivity; // "Sorting by Task ..." while m_pendingOrder is built
    ViewFiltering *m_filtering = nullptr;
    QString m_filteringActivity; // "Searching for ..." while a view is built
    ListOpening *m_opening = nullptr;
    bool m_reloading = false;
    // The status bar's panel of what the frame is busy with, the open's progress bar and its Cancel
    // button.
    QLabel *m_activity = nullptr;
    QProgressBar *m_openProgress = nullptr;
    QToolButton *m_cancelOpen = nullptr;
    QShortcut *m_escCancelsOpen = nullptr;
    std::vector<QAction *> m_commandActions; // row by row of the command table, the action it runs
};

} // namespace ql
