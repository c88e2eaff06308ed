#include "app/Unit1.h"

#include "app/MainIcons.h"
#include "app/TiledBand.h"
#include "common/CategoryList.h"
#include "common/uGeneral.h"
#include "dialogs/uAbout.h"
#include "dialogs/uFrmBatchImport.h"
#include "dialogs/uFrmCategories.h"
#include "operations/ListImport.h"
#include "operations/TaskCommands.h"
#include "platform/ApplicationTitle.h"
#include "platform/Error.h"
#include "platform/FileLock.h"
#include "platform/ProgramFolder.h"
#include "platform/gui/BarPicture.h"
#include "platform/gui/BusyCursor.h"
#include "platform/gui/CommandTable.h"
#include "platform/gui/ErrorBox.h"
#include "platform/gui/Shell.h"
#include "platform/gui/ShowModal.h"
#include "platform/gui/Ui.h"
#include "recent/RecentStore.h"
#include "recent/ufrmReOpen.h"
#include "report/uQRptTasks.h"
#include "storage/TaskSchema.h"
#include "tasks/TabCaption.h"
#include "tasks/TaskGrid.h"
#include "tasks/ValueListEditor.h"
#include "tasks/uFrTasks.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <iterator>

namespace ql {

namespace {

const QString NewListName = QStringLiteral("New");
const QString SaveAsChoice = QStringLiteral("Save As...");
const QString ReloadChoice = QStringLiteral("Reload");
const QString CancelChoice = QStringLiteral("Cancel");

// Keeps the tool tip of the object it watches from showing.
class NoToolTip final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *, QEvent *event) override { return event->type() == QEvent::ToolTip; }
};

QFont tahoma(int pixelSize)
{
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(pixelSize);
    return font;
}

// A tool bar that shows its buttons on the picture of the band behind it.
QToolBar *flatToolBar(const char *name)
{
    auto *bar = new QToolBar;
    bar->setObjectName(QString::fromLatin1(name));
    bar->setFloatable(false);
    bar->setMovable(false);
    bar->setAttribute(Qt::WA_TranslucentBackground);
    bar->setStyleSheet(QStringLiteral("QToolBar { background: transparent; border: none; }"));
    return bar;
}

} // namespace

// Marks a change of the active tab as made by code, for as long as it lives.
class TfrmMain::CodeSelection final
{
public:
    explicit CodeSelection(TfrmMain &window)
        : m_window(window)
    {
        ++m_window.m_selectingFromCode;
    }
    ~CodeSelection() { --m_window.m_selectingFromCode; }
    CodeSelection(const CodeSelection &) = delete;
    CodeSelection &operator=(const CodeSelection &) = delete;

private:
    TfrmMain &m_window;
};

TfrmMain::TfrmMain(QWidget *parent)
    : QMainWindow(parent)
    , m_noHint(new NoToolTip(this))
{
    // Forms give fonts in points: the window's font, 11 pixels high, is set before the controls
    // are made so that every one of them starts with it; the footer's is 12 pixels high.
    setFont(tahoma(11));
    setupUi(this);
    setWindowTitle(applicationTitle());
    Label5->setFont(tahoma(12));
    Label5->setAttribute(Qt::WA_TranslucentBackground);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, gridTitleColour());
    setPalette(palette);

    buildCommandControls();
    buildMenuButtons(CoolBar2);
    setUpTabs();
}

TfrmMain::~TfrmMain() = default;

const std::vector<Command<TfrmMain, MainIcon>> &TfrmMain::commandTable()
{
    using Row = Command<TfrmMain, MainIcon>;
    using M = TfrmMain;
    using Keys = CommandKeys;
    static const std::vector<Row> table {
        // The action list ActionManager1: the commands that a menu item and a tool button share.
        Row::action("actNew", "New", &M::actNewExecute, &M::actNew).withIcon(MainIcon::New),
        Row::action("actOpen", "Open", &M::actOpenExecute, &M::actOpen).withIcon(MainIcon::Open),
        Row::action("actReopen", "Reopen", &M::actReopenExecute, &M::actReopen).withIcon(MainIcon::Open),
        Row::action("actSave", "Save", &M::actSaveExecute, &M::actSave).withIcon(MainIcon::Save),
        Row::action("actSaveAs", "Save As...", &M::actSaveAsExecute, &M::actSaveAs).withIcon(MainIcon::Save),
        Row::action("actClose", "Close List", &M::actCloseExecute, &M::actClose).withIcon(MainIcon::Close),
        Row::action("actCloseAll", "Close All", &M::CloseAll1Click, &M::actCloseAll),
        // Print and Import: the menu items click the tool buttons. Batch Insert differs between
        // the two: the tool button runs the guard first, the menu item does nothing without a list.
        Row::action("actPrint", "Print", &M::tbPrintClick, &M::actPrint)
            .withHint("Print Document")
            .withIcon(MainIcon::Print),
        Row::action("actImport", "Import Tasks", &M::tbImportClick, &M::actImport)
            .withHint("Import Doc")
            .withIcon(MainIcon::Import),
        Row::action("actBatchInsert", "Batch Insert", &M::ToolButton5Click, &M::actBatchInsert)
            .withIcon(MainIcon::Batch),
        Row::action("actCategories", "Categories", &M::Categories1Click, &M::actCategories)
            .withIcon(MainIcon::Categories),
        // F10 acts anywhere in the window; the menu shows the desktop's Quit key instead.
        Row::action("actExit", "Exit", &M::actExitExecute, &M::actExit)
            .withIcon(MainIcon::Exit)
            .withKeys(Keys::own(QKeySequence(Qt::Key_F10))),

        // The main menu MainMenu1. Its items carry the keys a desktop gives its standard commands,
        // where the program's own commands leave them free.
        Row::menuItem(&M::File1, "New1", "New")
            .runs(&M::actNew)
            .withKeys(Keys::desktop(QKeySequence::New, QKeySequence(Qt::CTRL | Qt::Key_N))),
        Row::menuItem(&M::File1, "Open1", "Open")
            .runs(&M::actOpen)
            .withKeys(Keys::desktop(QKeySequence::Open, QKeySequence(Qt::CTRL | Qt::Key_O))),
        Row::menuItem(&M::File1, "Reopen1", "Reopen").runs(&M::actReopen).thenSeparator("N2"),
        Row::menuItem(&M::File1, "Save1", "Save")
            .runs(&M::actSave)
            .withKeys(Keys::desktop(QKeySequence::Save, QKeySequence(Qt::CTRL | Qt::Key_S))),
        Row::menuItem(&M::File1, "Saveas1", "Save As...")
            .runs(&M::actSaveAs)
            .withKeys(Keys::desktop(QKeySequence::SaveAs, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S))),
        // Ctrl+W besides the Ctrl+F4 that some desktops give.
        Row::menuItem(&M::File1, "Close1", "Close")
            .runs(&M::actClose)
            .withKeys(Keys::desktop(QKeySequence::Close, QKeySequence(Qt::CTRL | Qt::Key_W), true)),
        Row::menuItem(&M::File1, "CloseAll1", "Close All").runs(&M::actCloseAll).thenSeparator("N3"),
        Row::menuItem(&M::File1, "Print1", "Print")
            .runs(&M::actPrint)
            .withKeys(Keys::desktop(QKeySequence::Print, QKeySequence(Qt::CTRL | Qt::Key_P)))
            .thenSeparator("N1"),
        Row::menuItem(&M::File1, "Exit1", "Exit")
            .runs(&M::actExit)
            .withKeys(Keys::desktop(QKeySequence::Quit, QKeySequence(Qt::CTRL | Qt::Key_Q))),
        Row::menuItem(&M::Edit1, "SetTasktoCancelled1", "Set Task to Cancelled")
            .does(&M::SetTasktoCancelled1Click)
            .hidden()
            .thenSeparator("N4"),
        Row::menuItem(&M::Edit1, "DetailView1", "Detail View").does(&M::DetailView1Click),
        Row::menuItem(&M::Edit1, "Comments1", "Comments").does(&M::Comments1Click),
        // The Search menu has no items; the View menu and its item are never shown.
        Row::menuItem(&M::View1, "FormView1", "Form View").hidden(),
        Row::menuItem(&M::Options1, "Categories1", "Categories").runs(&M::actCategories),
        Row::menuItem(&M::ools1, "Import1", "Import").runs(&M::actImport),
        Row::menuItem(&M::ools1, "BatchInsert1", "Batch Insert").does(&M::BatchInsert1Click),
        Row::menuItem(&M::Help1, "About1", "About")
            .does(&M::About1Click)
            .withKeys(Keys::desktop(QKeySequence::HelpContents, QKeySequence(Qt::Key_F1))),

        // The tool bar ToolBar1, left to right; the hidden buttons are never shown.
        Row::toolButton("ToolButton10").runs(&M::actNew),
        Row::toolButton("ToolButton12").runs(&M::actOpen),
        Row::toolButton("ToolButton4").runs(&M::actReopen).thenSeparator(),
        Row::toolButton("tbSave").runs(&M::actSave),
        Row::toolButton("tbSaveAs").runs(&M::actSaveAs).thenSeparator(),
        Row::toolButton("tbCloseTab").runs(&M::actClose),
        Row::toolButton("tbPrint").runs(&M::actPrint),
        Row::toolButton("tbImport").runs(&M::actImport),
        Row::toolButton("ToolButton5").runs(&M::actBatchInsert),
        Row::toolButton("ToolButton6").runs(&M::actCategories).thenSeparator(),
        Row::toolButton("ToolButton1", "Progress").does(&M::ToolButton1Click).hidden(),
        Row::toolButton("ToolButton20", "Report").does(&M::ToolButton20Click).hidden(),
        Row::toolButton("ToolButton8", "Complete").does(&M::ToolButton8Click).hidden(),
        Row::toolButton("ToolButton2", "Properties").does(&M::ToolButton2Click).hidden(),
        Row::toolButton("ToolButton22").runs(&M::actExit),

        // The tab area's popup menu; both items act on the active tab.
        Row::popupItem(&M::pmTabRightClick, "CloseTab1", "Close Tab").runs(&M::actClose),
        Row::popupItem(&M::pmTabRightClick, "Showpath1", "Explorer Path").does(&M::Showpath1Click),
        // No control shows this menu; only its Set Progress item carries a command.
        Row::popupItem(&M::PopupMenu1, "SetProgress1", "Set Progress").does(&M::SetProgress1Click),
        Row::popupItem(&M::PopupMenu1, "Complete1", "Complete"),
        Row::popupItem(&M::PopupMenu1, "Pause1", "Pause"),
        Row::popupItem(&M::PopupMenu1, "Cancel1", "Cancel"),
    };
    return table;
}

const QList<QKeySequence> &TfrmMain::tabKeys()
{
    static const QList<QKeySequence> keys { QKeySequence(Qt::CTRL | Qt::Key_Tab),
        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab) };
    return keys;
}

QList<QKeySequence> TfrmMain::ownKeys()
{
    return ownKeysOf(commandTable()) + ownKeysOf(TfrTasks::commandTable()) + TaskGrid::ownKeys() + tabKeys();
}

void TfrmMain::buildCommandControls()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    const struct
    {
        QMenu *TfrmMain::*menu;
        const char *name;
        const char *caption;
    } menus[] = {
        { &TfrmMain::File1, "File1", "File" },
        { &TfrmMain::Edit1, "Edit1", "Edit" },
        { &TfrmMain::Search1, "Search1", "Search" },
        { &TfrmMain::View1, "View1", "View" },
        { &TfrmMain::Options1, "Options1", "Options" },
        { &TfrmMain::ools1, "ools1", "Tools" },
        { &TfrmMain::Help1, "Help1", "Help" },
    };
    for (const auto &m : menus) {
        QMenu *menu = bar->addMenu(QString::fromLatin1(m.caption));
        menu->setObjectName(QString::fromLatin1(m.name));
        menu->menuAction()->setObjectName(QString::fromLatin1(m.name));
        this->*m.menu = menu;
    }
    View1->menuAction()->setVisible(false);
    pmTabRightClick = new QMenu(this);
    pmTabRightClick->setObjectName(QStringLiteral("pmTabRightClick"));
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    ToolBar1 = flatToolBar("ToolBar1");
    ToolBar1->setContentsMargins(3, 0, 0, 0);
    ToolBar1->setIconSize(QSize(32, 32));

    CommandLook<TfrmMain, MainIcon> look;
    look.icon = mainIcon;
    look.toolBar = ToolBar1;
    look.addToolButton = [this](QAction *act, const char *name, bool shown, const QString &hint) {
        if (!shown) {
            // Kept out of the bar's row: a hidden slot of the bar would disable its button as well.
            auto *button = new QToolButton(ToolBar1);
            button->setObjectName(QString::fromLatin1(name));
            button->setDefaultAction(act);
            button->setAccessibleName(act->text());
            button->hide();
            return;
        }
        auto *button = new QToolButton;
        button->setObjectName(QString::fromLatin1(name));
        // The picture and hint live on the action: the button copies them whenever the action
        // changes.
        button->setDefaultAction(act);
        // A button without a hint shows none: its caption is on it already, and Qt would offer the
        // caption once more as the tip.
        if (hint.isEmpty())
            button->installEventFilter(m_noHint);
        button->setFont(font());
        button->setIconSize(QSize(32, 32));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setAutoRaise(true);
        button->setFixedSize(69, 52);
        button->setAccessibleName(act->text());
        ToolBar1->addWidget(button);
    };
    look.ownKeys = ownKeys();
    buildCommands(*this, commandTable(), look);

    auto *row = new QHBoxLayout(CoolBar1);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(ToolBar1);
    row->addStretch();
}

void TfrmMain::buildMenuButtons(QWidget *band)
{
    ToolBar3 = flatToolBar("ToolBar3");
    ToolBar3->setContentsMargins(3, 0, 0, 0);
    // One flat button per top-level menu item, following the item's caption, enabled state and
    // visibility; a click drops the item's menu down.
    const QList<QAction *> items = menuBar()->actions();
    for (QAction *item : items) {
        auto *button = new QToolButton;
        button->setObjectName(item->objectName() + QStringLiteral("Button"));
        // Set on the button itself: the platform may give tool buttons a font of their own.
        button->setFont(font());
        button->setAutoRaise(true);
        button->setFixedHeight(21);
        button->setPopupMode(QToolButton::InstantPopup);
        button->setMenu(item->menu());
        button->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; width: 0px; }"));
        auto follow = [button, item] {
            button->setText(item->text());
            button->setAccessibleName(item->text().remove(QLatin1Char('&')));
            button->setEnabled(item->isEnabled());
        };
        follow();
        connect(item, &QAction::changed, button, follow);
        QAction *slot = ToolBar3->addWidget(button);
        slot->setVisible(item->isVisible());
        connect(item, &QAction::changed, slot, [slot, item] { slot->setVisible(item->isVisible()); });
    }
    auto *row = new QHBoxLayout(band);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(ToolBar3);
    row->addStretch();
}

void TfrmMain::setUpTabs()
{
    PageControl1->tabBar()->setAttribute(Qt::WA_Hover);
    // Qt reports every change of the active tab, also those made by code (adding the first tab,
    // removing one, AddListTab's activation); only the user's choice, a click or Ctrl+Tab (which
    // the tab widget handles), runs the tab change.
    connect(PageControl1, &QTabWidget::currentChanged, this, [this] {
        if (m_selectingFromCode == 0)
            PageControl1Change();
    });

    // Both items act on the active tab: a right click does not select the tab under the mouse.
    connect(PageControl1, &QWidget::customContextMenuRequested, this,
        [this](const QPoint &pos) { pmTabRightClick->popup(PageControl1->mapToGlobal(pos)); });
}

void TfrmMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_centred)
        return;
    m_centred = true;
    if (const QScreen *screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

// ---------------------------------------------------------------------------------------------
// Tabs and frames

TfrTasks *TfrmMain::tasksFrameAt(int index) const
{
    QWidget *page = PageControl1->widget(index);
    if (!page)
        return nullptr;
    return page->findChild<TfrTasks *>(QStringLiteral("frTasks"), Qt::FindDirectChildrenOnly);
}

TfrTasks *TfrmMain::ActiveTasksFrame() const
{
    return tasksFrameAt(PageControl1->currentIndex());
}

TfrTasks *TfrmMain::OpenedActiveFrame() const
{
    TfrTasks *frame = ActiveTasksFrame();
    if (frame && frame->IsReloading())
        throw Error(
            QStringLiteral("The list \"%1\" is still being reloaded. Wait until it is shown, or cancel "
                           "the reload with Esc.")
                .arg(captionOf(PageControl1->tabText(PageControl1->currentIndex()))));
    if (frame && frame->IsOpening())
        throw Error(QStringLiteral("The list \"%1\" is still being opened. Wait until it is shown, or cancel "
                                   "the open with Esc.")
                        .arg(captionOf(PageControl1->tabText(PageControl1->currentIndex()))));
    return frame;
}

void TfrmMain::RequireActiveList() const
{
    if (PageControl1->currentIndex() < 0)
        throw Error(QStringLiteral("Open or create a list first!"));
}

void TfrmMain::AddListTab(const QString &fileName, bool isNew, bool remember)
{
    // A failed step leaves the tab in place.
    const BusyCursor busy;

    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    int index = -1;
    {
        CodeSelection fromCode(*this);
        index = PageControl1->addTab(page, tabIcon(), tabTextOf(FileNameWithoutExt(fileName)));
    }
    auto *frame = new TfrTasks(page);
    layout->addWidget(frame);
    frame->show();
    bool reading = false;
    if (isNew)
        frame->OpenList(fileName, true);
    else
        reading = frame->BeginOpenList(fileName);

    // A copy taken now: later edits of the category list reach only lists created after them.
    if (m_categories)
        frame->SetCategoryItems(m_categories->Lines());
    // The grid's Category column offers the list as it is whenever the column is entered.
    frame->SetCategoryList(m_categories);
    // Open Linked Task List opens the list on a tab of its own, as OpenListFile does.
    frame->SetOpenListFile([this](const QString &path) { OpenListFile(path); });
    frame->SetPickers(m_pickers);

    CodeSelection fromCode(*this);
    PageControl1->setCurrentIndex(index);
    if (reading) {
        connect(frame, &TfrTasks::openEnded, this,
            [this, frame, fileName, remember](TfrTasks::OpenOutcome outcome, const QString &message) {
                listOpenEnded(frame->parentWidget(), fileName, remember,
                    outcome == TfrTasks::OpenOutcome::Opened, outcome == TfrTasks::OpenOutcome::Cancelled,
                    message);
            });
        return;
    }
    if (remember)
        addToRecent(fileName);
    // The frame could not take the focus while its tab was not the current one: text typed right
    // after New, Open or Reopen goes into the new list's entry box.
    frame->FocusQuickAdd();
}

void TfrmMain::listOpenEnded(QWidget *page, const QString &fileName, bool remember, bool opened,
    bool cancelled, const QString &message)
{
    if (opened) {
        if (remember)
            runGuarded([&] { addToRecent(fileName); });
        if (TfrTasks *frame = ActiveTasksFrame(); frame && frame->parentWidget() == page)
            frame->FocusQuickAdd();
    } else if (cancelled) {
        // The tab goes as if it had never been added. The page is deleted once the signal that
        // told of the cancel is over: the frame on it sent that signal.
        const int index = PageControl1->indexOf(page);
        if (index >= 0) {
            CodeSelection fromCode(*this);
            PageControl1->removeTab(index);
        }
        page->hide();
        page->deleteLater();
        PageControl1Change();
    } else {
        // As when the file is read at once: the tab stays with the frame as far as it got.
        showErrorBox(message);
    }
}

void TfrmMain::showTabArea()
{
    PageControl1->setVisible(true);
}

void TfrmMain::setTitleFor(const QString &separator, const QString &fileName)
{
    // A window title shows "[*]" as the place of a modified mark; a file name shows it as it is.
    QString name = FileNameWithoutExt(fileName);
    name.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    setWindowTitle(applicationTitle() + separator + name);
}

void TfrmMain::OpenListFile(const QString &fileName, bool remember)
{
    showTabArea();
    setTitleFor(QStringLiteral(" - "), fileName);
    AddListTab(fileName, false, remember);
}

void TfrmMain::PageControl1Change()
{
    runGuarded([this] {
        if (TfrTasks *frame = ActiveTasksFrame())
            setTitleFor(QStringLiteral(" - "), frame->ListFileName());
    });
}

void TfrmMain::Showpath1Click()
{
    runGuarded([this] {
        TfrTasks *frame = ActiveTasksFrame();
        if (!frame)
            return;
        // The result of the hand-off is not looked at: the file browser reports its own failures.
        Shell::current().explore(RecentStore::FolderOf(frame->ListFileName()));
    });
}

void TfrmMain::Categories1Click()
{
    runGuarded([this] {
        if (m_frmCategories)
            showModal(*m_frmCategories);
    });
}

// ---------------------------------------------------------------------------------------------
// Commands on the active list

void TfrmMain::tbPrintClick()
{
    runGuarded([this] {
        TfrTasks *frame = OpenedActiveFrame();
        if (!frame || !m_report)
            return;
        // The heading is the tab's caption as shown, with the unsaved mark of a modified list. The
        // report walks the grid's own view, so it prints the tasks the grid shows, in its order.
        const QString heading = captionOf(PageControl1->tabText(PageControl1->currentIndex()));
        m_report->Preview(frame->cdsTasks(), heading, this);
    });
}

void TfrmMain::tbImportClick()
{
    runGuarded([this] {
        RequireActiveList();
        const QString path = Ui::current().openFile(openDialogRequest());
        if (path.isEmpty())
            return;
        TfrTasks *frame = OpenedActiveFrame();
        if (!frame)
            return;
        const BusyCursor busy;
        ImportListFile(frame->cdsTasks(), path);
    });
}

void TfrmMain::BatchInsert1Click()
{
    runGuarded([this] { batchInsert(); });
}

void TfrmMain::ToolButton5Click()
{
    runGuarded([this] {
        RequireActiveList();
        batchInsert();
    });
}

void TfrmMain::batchInsert()
{
    if (PageControl1->currentIndex() < 0 || !m_frmBatchImport)
        return;
    if (showModal(*m_frmBatchImport) != QDialog::Accepted)
        return;
    TfrTasks *frame = OpenedActiveFrame();
    if (!frame)
        return;
    m_frmBatchImport->insertLines(frame->cdsTasks());
}

// Detail View and Comments run the frame's own commands, which first finish an edit open in the
// grid and show their own errors.
void TfrmMain::DetailView1Click()
{
    runGuarded([this] {
        RequireActiveList();
        if (TfrTasks *frame = OpenedActiveFrame())
            frame->Details1Click();
    });
}

void TfrmMain::Comments1Click()
{
    runGuarded([this] {
        RequireActiveList();
        if (TfrTasks *frame = OpenedActiveFrame())
            frame->Comments1Click();
    });
}

void TfrmMain::About1Click()
{
    runGuarded([this] {
        if (m_frmAbout)
            showModal(*m_frmAbout);
    });
}

void TfrmMain::SetTasktoCancelled1Click()
{
    runGuarded([this] {
        RequireActiveList();
        if (TfrTasks *frame = OpenedActiveFrame())
            frame->actCancel->trigger();
    });
}

void TfrmMain::SetProgress1Click()
{
    runGuarded([this] { setProgressOfActiveList(); });
}

void TfrmMain::ToolButton1Click()
{
    runGuarded([this] {
        RequireActiveList();
        setProgressOfActiveList();
    });
}

void TfrmMain::setProgressOfActiveList()
{
    // The popup menu that holds Set Progress is never shown: without a list it asks nothing.
    RequireActiveList();
    TfrTasks *frame = OpenedActiveFrame();
    if (!frame)
        return;
    const QString text
        = Ui::current().input(QStringLiteral("Percentage"), QStringLiteral("Perc: "), QStringLiteral("50"));
    // No range check and no other field: unlike the frame's Set Progress command.
    TaskCommands::SetProgressOnly(frame->cdsTasks(), text);
}

void TfrmMain::ToolButton2Click()
{
    runGuarded([this] {
        TfrTasks *frame = OpenedActiveFrame();
        if (!frame)
            return;
        frame->PageControl1->setVisible(true);
        SavePropertyListChecked(*frame->ValueListEditor1, frame->cdsTasks(), TaskField::Properties);
    });
}

void TfrmMain::ToolButton8Click()
{
    runGuarded([this] { RequireActiveList(); });
}

void TfrmMain::ToolButton20Click()
{
    runGuarded([this] { RequireActiveList(); });
}

// ---------------------------------------------------------------------------------------------
// File commands

FileDialogRequest TfrmMain::openDialogRequest()
{
    FileDialogRequest request;
    request.caption = QStringLiteral("Open");
    request.filter = QStringLiteral("Quillon File v1|*.ql1|All Files (*.*)|*.*");
    request.defaultExtension = QStringLiteral("ql1");
    request.initialFolder = ProgramFolder::initialListFolder();
    return request;
}

FileDialogRequest TfrmMain::saveDialogRequest()
{
    FileDialogRequest request;
    request.caption = QStringLiteral("Save As");
    request.filter = QStringLiteral("Quillon|*.ql1|All Files (*.*)|*.*");
    request.defaultExtension = QStringLiteral("ql1");
    return request;
}

void TfrmMain::addToRecent(const QString &path)
{
    if (m_recentStore)
        m_recentStore->AddToRecent(path);
}

bool TfrmMain::writeList(TfrTasks &frame, const QString &path, bool onlyOverItsVersion)
{
    std::optional<FileIdentity> written;
    {
        // A large list takes a moment to write.
        const BusyCursor busy;
        ClientTable &table = frame.cdsTasks();
        if (table.IsEditing())
            table.PostRow();
        const std::optional<FileIdentity> known
            = onlyOverItsVersion ? frame.listFileIdentity() : std::optional<FileIdentity>();
        // The same lock as quillon-cli's commands take: a command that is changing the list
        // finishes first, and its change is then seen here. The list is written out as the file is
        // written, so a large one is never held a second time, whole, in memory.
        written = updateLockedFileInPieces(path, [&](FileLock &lock) -> std::optional<ContentWriter> {
            if (known && !lock.isUnchanged(*known))
                return std::nullopt;
            return ContentWriter([&table](const PutBytes &put) { table.WriteTo(DataFormat::XmlUtf8, put); });
        });
    }
    if (!written)
        return false;
    frame.setListFileIdentity(*written);
    addToRecent(path);
    return true;
}

bool TfrmMain::offerChangedOnDisk(TfrTasks &frame, int index)
{
    const QString path = frame.ListFileName();
    const QString choice = Ui::current().choose(
        QStringLiteral("The file \"%1\" was changed on disk since this list was opened or saved. Saving "
                       "would lose that change, so nothing was written.\n\nSave the list under another "
                       "name, or reload the file?")
            .arg(path),
        { SaveAsChoice, ReloadChoice, CancelChoice });
    if (choice == SaveAsChoice)
        return saveListAs(frame, index);
    if (choice != ReloadChoice)
        return false;
    if (frame.Modified()
        && Ui::current().question(
               QStringLiteral("Reload \"%1\" and lose the changes made to this list?").arg(path))
            == Answer::No)
        return false;
    const BusyCursor busy;
    // A large list is read on a worker; the tab shows it as it was until then.
    frame.BeginReload();
    return true;
}

void TfrmMain::actNewExecute()
{
    runGuarded([this] {
        showTabArea();
        setWindowTitle(applicationTitle() + QStringLiteral(" - New"));
        AddListTab(NewListName, true);
    });
}

void TfrmMain::actOpenExecute()
{
    runGuarded([this] {
        const QString path = Ui::current().openFile(openDialogRequest());
        if (path.isEmpty())
            return;
        showTabArea();
        setTitleFor(QStringLiteral(" - "), path);
        AddListTab(path, false, true);
    });
}

void TfrmMain::actReopenExecute()
{
    runGuarded([this] {
        if (!m_frmReOpen || showModal(*m_frmReOpen) != QDialog::Accepted)
            return;
        showTabArea();
        const QString path = m_frmReOpen->SelectedFile();
        if (path.trimmed().isEmpty())
            return;
        setTitleFor(QStringLiteral("- "), path);
        AddListTab(path, false, true);
    });
}

void TfrmMain::actSaveExecute()
{
    runGuarded([this] { saveActiveList(); });
}

void TfrmMain::saveActiveList()
{
    RequireActiveList();
    TfrTasks *frame = OpenedActiveFrame();
    if (!frame)
        return;
    const QString path = frame->ListFileName();
    if (path.trimmed().isEmpty()) {
        saveActiveListAs();
        return;
    }
    if (!writeList(*frame, path, true)) {
        offerChangedOnDisk(*frame, PageControl1->currentIndex());
        return;
    }
    PageControl1->setTabText(PageControl1->currentIndex(), tabTextOf(FileNameWithoutExt(path)));
    frame->MarkSaved();
}

void TfrmMain::actSaveAsExecute()
{
    runGuarded([this] { saveActiveListAs(); });
}

void TfrmMain::saveActiveListAs()
{
    RequireActiveList();
    if (TfrTasks *frame = OpenedActiveFrame())
        saveListAs(*frame, PageControl1->currentIndex());
}

bool TfrmMain::saveListAs(TfrTasks &frame, int index)
{
    const QString path = Ui::current().saveFile(saveDialogRequest());
    if (path.isEmpty())
        return false;
    if (QFileInfo::exists(path)
        && Ui::current().question(QStringLiteral("File already exists! Overwrite ?")) == Answer::No)
        return false;
    // The user chose this file and agreed to replace it: whatever it holds now is replaced.
    writeList(frame, path, false);
    frame.SetListFileName(path);
    frame.MarkSaved();
    PageControl1->setTabText(index, tabTextOf(FileNameWithoutExt(path)));
    return true;
}

void TfrmMain::actCloseExecute()
{
    runGuarded([this] { closeActiveList(); });
}

void TfrmMain::closeActiveList()
{
    RequireActiveList();
    TfrTasks *frame = ActiveTasksFrame();
    // Every modified list is offered for saving, whether it began new or came from a file.
    if (frame && frame->Modified()
        && Ui::current().question(QStringLiteral("Save changes ?")) == Answer::Yes) {
        saveActiveList();
        return;
    }
    const int index = PageControl1->currentIndex();
    CodeSelection fromCode(*this);
    delete PageControl1->widget(index);
    if (index > 0)
        PageControl1->setCurrentIndex(index - 1);
}

void TfrmMain::CloseAll1Click()
{
    runGuarded([this] { closeAllLists(); });
}

void TfrmMain::closeAllLists()
{
    CodeSelection fromCode(*this);
    for (int index = PageControl1->count() - 1; index >= 0; --index) {
        if (TfrTasks *frame = tasksFrameAt(index); frame && frame->Modified()) {
            // A list that was never saved has no file to write to: the command stops at this tab,
            // leaving it and the tabs to its left open, and says what to do about it.
            if (frame->ListFileName().trimmed().isEmpty())
                throw Error(
                    QStringLiteral("The list \"%1\" has never been saved: save it with Save As first. Close "
                                   "All stopped at its tab.")
                        .arg(frame->SavedTabCaption().isEmpty() ? captionOf(PageControl1->tabText(index))
                                                                : frame->SavedTabCaption()));
            if (writeList(*frame, frame->ListFileName(), true)) {
                frame->MarkSaved();
            } else if (!offerChangedOnDisk(*frame, index)) {
                // The file was changed on disk and the user neither saved the list elsewhere nor
                // reloaded it: the command stops at this tab, as for a failed write.
                return;
            }
        }
        delete PageControl1->widget(index);
    }
}

bool TfrmMain::SaveModifiedLists()
{
    for (int index = 0; index < PageControl1->count(); ++index) {
        TfrTasks *frame = tasksFrameAt(index);
        if (!frame || !frame->Modified())
            continue;
        const QString question
            = captionOf(PageControl1->tabText(index)) + QStringLiteral(" - Save changes ?");
        if (Ui::current().question(question) == Answer::No)
            continue;
        QString path = frame->ListFileName();
        if (path.isEmpty()) {
            path = Ui::current().saveFile(saveDialogRequest());
            if (path.isEmpty())
                return false;
            // The dialog asks no overwrite question of its own; declining ends the pass as
            // cancelling the dialog does.
            if (QFileInfo::exists(path)
                && Ui::current().question(QStringLiteral("File already exists! Overwrite ?")) == Answer::No)
                return false;
            writeList(*frame, path, false);
        } else if (!writeList(*frame, path, true)) {
            // Saved under another name or reloaded, the pass goes on; cancelled, it ends.
            if (!offerChangedOnDisk(*frame, index))
                return false;
            continue;
        }
        frame->MarkSaved();
    }
    return true;
}

void TfrmMain::actExitExecute()
{
    runGuarded([this] {
        if (!SaveModifiedLists())
            return;
        m_exitPassDone = true;
        close();
    });
}

void TfrmMain::closeEvent(QCloseEvent *event)
{
    // Exit has just offered every list for saving; a close by the window frame offers them now.
    bool mayClose = m_exitPassDone;
    m_exitPassDone = false;
    if (!mayClose)
        runGuarded([&] { mayClose = SaveModifiedLists(); });
    if (mayClose)
        event->accept();
    else
        event->ignore();
}

// ---------------------------------------------------------------------------------------------
// Files from outside the window

void TfrmMain::OpenListFiles(const QStringList &paths)
{
    for (const QString &path : paths) {
        runGuarded([&] { OpenListFile(path, true); });
    }
}

} // namespace ql
