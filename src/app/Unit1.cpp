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
#include "platform/gui/ErrorBox.h"
#include "platform/gui/Shell.h"
#include "platform/gui/ShowModal.h"
#include "platform/gui/Ui.h"
#include "recent/RecentStore.h"
#include "recent/ufrmReOpen.h"
#include "report/uQRptTasks.h"
#include "storage/TaskSchema.h"
#include "tasks/TabCaption.h"
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

    buildMenus();
    assignDesktopKeys();
    buildMenuButtons(CoolBar2);
    buildToolBar(CoolBar1);
    buildPopupMenu();
    setUpTabs();
}

TfrmMain::~TfrmMain() = default;

QAction *TfrmMain::action(const char *name, const QString &caption, void (TfrmMain::*handler)())
{
    auto *act = new QAction(caption, this);
    act->setObjectName(QString::fromLatin1(name));
    // A tool button shows the icon text, which Qt would derive by dropping a trailing "...".
    act->setIconText(caption);
    act->setToolTip(caption);
    if (handler)
        connect(act, &QAction::triggered, this, handler);
    else
        act->setEnabled(false);
    return act;
}

QAction *TfrmMain::menuItem(QMenu *menu, const char *name, const QString &caption, QAction *runs)
{
    // Menu items are actions of their own, so that the action's short-cut (F10 for Exit) is not
    // shown as the item's.
    auto *item = menu->addAction(caption);
    item->setObjectName(QString::fromLatin1(name));
    if (runs) {
        item->setEnabled(runs->isEnabled());
        connect(item, &QAction::triggered, runs, &QAction::trigger);
    } else {
        item->setEnabled(false);
    }
    return item;
}

QAction *TfrmMain::menuItem(
    QMenu *menu, const char *name, const QString &caption, void (TfrmMain::*handler)())
{
    auto *item = menu->addAction(caption);
    item->setObjectName(QString::fromLatin1(name));
    connect(item, &QAction::triggered, this, handler);
    return item;
}

void TfrmMain::buildMenus()
{
    actNew = action("actNew", QStringLiteral("New"), &TfrmMain::actNewExecute);
    actOpen = action("actOpen", QStringLiteral("Open"), &TfrmMain::actOpenExecute);
    actReopen = action("actReopen", QStringLiteral("Reopen"), &TfrmMain::actReopenExecute);
    actSave = action("actSave", QStringLiteral("Save"), &TfrmMain::actSaveExecute);
    actSaveAs = action("actSaveAs", QStringLiteral("Save As..."), &TfrmMain::actSaveAsExecute);
    actClose = action("actClose", QStringLiteral("Close List"), &TfrmMain::actCloseExecute);
    actExit = action("actExit", QStringLiteral("Exit"), &TfrmMain::actExitExecute);
    actExit->setShortcut(Qt::Key_F10);
    actExit->setShortcutContext(Qt::WindowShortcut);
    addAction(actExit);

    auto *closeAll = action("actCloseAll", QStringLiteral("Close All"), &TfrmMain::CloseAll1Click);
    auto *categories = action("actCategories", QStringLiteral("Categories"), &TfrmMain::Categories1Click);
    // Print and Import: the menu items click the tool buttons. Batch Insert differs between the
    // two: the tool button runs the guard first, the menu item does nothing without a list.
    auto *print = action("actPrint", QStringLiteral("Print"), &TfrmMain::tbPrintClick);
    print->setToolTip(QStringLiteral("Print Document"));
    auto *import = action("actImport", QStringLiteral("Import Tasks"), &TfrmMain::tbImportClick);
    import->setToolTip(QStringLiteral("Import Doc"));
    action("actBatchInsert", QStringLiteral("Batch Insert"), &TfrmMain::ToolButton5Click);

    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    auto menu = [bar](const char *name, const QString &caption) {
        QMenu *m = bar->addMenu(caption);
        m->setObjectName(QString::fromLatin1(name));
        m->menuAction()->setObjectName(QString::fromLatin1(name));
        return m;
    };

    File1 = menu("File1", QStringLiteral("File"));
    menuItem(File1, "New1", QStringLiteral("New"), actNew);
    menuItem(File1, "Open1", QStringLiteral("Open"), actOpen);
    menuItem(File1, "Reopen1", QStringLiteral("Reopen"), actReopen);
    File1->addSeparator()->setObjectName(QStringLiteral("N2"));
    menuItem(File1, "Save1", QStringLiteral("Save"), actSave);
    menuItem(File1, "Saveas1", QStringLiteral("Save As..."), actSaveAs);
    menuItem(File1, "Close1", QStringLiteral("Close"), actClose);
    menuItem(File1, "CloseAll1", QStringLiteral("Close All"), closeAll);
    File1->addSeparator()->setObjectName(QStringLiteral("N3"));
    menuItem(File1, "Print1", QStringLiteral("Print"), print);
    File1->addSeparator()->setObjectName(QStringLiteral("N1"));
    menuItem(File1, "Exit1", QStringLiteral("Exit"), actExit);

    Edit1 = menu("Edit1", QStringLiteral("Edit"));
    menuItem(Edit1, "SetTasktoCancelled1", QStringLiteral("Set Task to Cancelled"),
        &TfrmMain::SetTasktoCancelled1Click)
        ->setVisible(false);
    QAction *n4 = Edit1->addSeparator();
    n4->setObjectName(QStringLiteral("N4"));
    n4->setVisible(false);
    menuItem(Edit1, "DetailView1", QStringLiteral("Detail View"), &TfrmMain::DetailView1Click);
    menuItem(Edit1, "Comments1", QStringLiteral("Comments"), &TfrmMain::Comments1Click);

    // The Search menu has no items and no command.
    Search1 = menu("Search1", QStringLiteral("Search"));

    View1 = menu("View1", QStringLiteral("View"));
    menuItem(View1, "FormView1", QStringLiteral("Form View"), static_cast<QAction *>(nullptr))
        ->setVisible(false);
    View1->menuAction()->setVisible(false);

    Options1 = menu("Options1", QStringLiteral("Options"));
    menuItem(Options1, "Categories1", QStringLiteral("Categories"), categories);

    ools1 = menu("ools1", QStringLiteral("Tools"));
    menuItem(ools1, "Import1", QStringLiteral("Import"), import);
    menuItem(ools1, "BatchInsert1", QStringLiteral("Batch Insert"), &TfrmMain::BatchInsert1Click);

    Help1 = menu("Help1", QStringLiteral("Help"));
    menuItem(Help1, "About1", QStringLiteral("About"), &TfrmMain::About1Click);
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

QToolButton *TfrmMain::toolButton(const char *name, QAction *act, int icon, const QString &hint)
{
    auto *button = new QToolButton;
    button->setObjectName(QString::fromLatin1(name));
    // The picture and hint live on the action: the button copies them whenever the action changes.
    act->setIcon(mainIcon(MainIcon(icon)));
    if (!hint.isEmpty())
        act->setToolTip(hint);
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
    return button;
}

void TfrmMain::hiddenToolButton(const char *name, const QString &caption, void (TfrmMain::*handler)())
{
    // Kept out of the bar's row: a hidden slot of the bar would disable its button as well.
    auto *button = new QToolButton(ToolBar1);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(caption);
    button->setAccessibleName(caption);
    button->hide();
    connect(button, &QToolButton::clicked, this, handler);
}

void TfrmMain::buildToolBar(QWidget *band)
{
    ToolBar1 = flatToolBar("ToolBar1");
    ToolBar1->setContentsMargins(3, 0, 0, 0);
    ToolBar1->setIconSize(QSize(32, 32));
    auto named = [this](const char *name) { return findChild<QAction *>(QString::fromLatin1(name)); };

    toolButton("ToolButton10", actNew, int(MainIcon::New));
    toolButton("ToolButton12", actOpen, int(MainIcon::Open));
    toolButton("ToolButton4", actReopen, int(MainIcon::Open));
    ToolBar1->addSeparator();
    toolButton("tbSave", actSave, int(MainIcon::Save));
    toolButton("tbSaveAs", actSaveAs, int(MainIcon::Save));
    ToolBar1->addSeparator();
    toolButton("tbCloseTab", actClose, int(MainIcon::Close));
    toolButton("tbPrint", named("actPrint"), int(MainIcon::Print), QStringLiteral("Print Document"));
    toolButton("tbImport", named("actImport"), int(MainIcon::Import), QStringLiteral("Import Doc"));
    toolButton("ToolButton5", named("actBatchInsert"), int(MainIcon::Batch));
    toolButton("ToolButton6", named("actCategories"), int(MainIcon::Categories));
    // Never shown; their commands are kept for completeness.
    hiddenToolButton("ToolButton1", QStringLiteral("Progress"), &TfrmMain::ToolButton1Click);
    hiddenToolButton("ToolButton20", QStringLiteral("Report"), &TfrmMain::ToolButton20Click);
    hiddenToolButton("ToolButton8", QStringLiteral("Complete"), &TfrmMain::ToolButton8Click);
    hiddenToolButton("ToolButton2", QStringLiteral("Properties"), &TfrmMain::ToolButton2Click);
    ToolBar1->addSeparator();
    toolButton("ToolButton22", actExit, int(MainIcon::Exit));

    auto *row = new QHBoxLayout(band);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(ToolBar1);
    row->addStretch();
}

void TfrmMain::buildPopupMenu()
{
    // No control shows this menu; only its Set Progress item carries a command.
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    menuItem(PopupMenu1, "SetProgress1", QStringLiteral("Set Progress"), &TfrmMain::SetProgress1Click);
    for (const char *name : { "Complete1", "Pause1", "Cancel1" })
        PopupMenu1->addAction(QString::fromLatin1(name).chopped(1))->setObjectName(QString::fromLatin1(name));
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

    pmTabRightClick = new QMenu(this);
    pmTabRightClick->setObjectName(QStringLiteral("pmTabRightClick"));
    auto *closeTab = pmTabRightClick->addAction(QStringLiteral("Close Tab"));
    closeTab->setObjectName(QStringLiteral("CloseTab1"));
    connect(closeTab, &QAction::triggered, actClose, &QAction::trigger);
    auto *showPath = pmTabRightClick->addAction(QStringLiteral("Explorer Path"));
    showPath->setObjectName(QStringLiteral("Showpath1"));
    connect(showPath, &QAction::triggered, this, &TfrmMain::Showpath1Click);
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

void TfrmMain::RequireActiveList() const
{
    if (PageControl1->currentIndex() < 0)
        throw Error(QStringLiteral("Open or create a list first!"));
}

void TfrmMain::AddListTab(const QString &fileName, bool isNew)
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
    frame->OpenList(fileName, isNew);

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
    // The frame could not take the focus while its tab was not the current one: text typed right
    // after New, Open or Reopen goes into the new list's entry box.
    frame->FocusQuickAdd();
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

void TfrmMain::OpenListFile(const QString &fileName)
{
    showTabArea();
    setTitleFor(QStringLiteral(" - "), fileName);
    AddListTab(fileName, false);
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
        TfrTasks *frame = ActiveTasksFrame();
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
        TfrTasks *frame = ActiveTasksFrame();
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
    TfrTasks *frame = ActiveTasksFrame();
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
        if (TfrTasks *frame = ActiveTasksFrame())
            frame->Details1Click();
    });
}

void TfrmMain::Comments1Click()
{
    runGuarded([this] {
        RequireActiveList();
        if (TfrTasks *frame = ActiveTasksFrame())
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
        if (TfrTasks *frame = ActiveTasksFrame())
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
    TfrTasks *frame = ActiveTasksFrame();
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
        TfrTasks *frame = ActiveTasksFrame();
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
        const QByteArray bytes = table.WriteToBytes(DataFormat::XmlUtf8);
        const std::optional<FileIdentity> known
            = onlyOverItsVersion ? frame.listFileIdentity() : std::optional<FileIdentity>();
        // The same lock as quillon-cli's commands take: a command that is changing the list
        // finishes first, and its change is then seen here.
        written = updateLockedFile(path, [&](FileLock &lock) -> std::optional<QByteArray> {
            if (known && !lock.isUnchanged(*known))
                return std::nullopt;
            return bytes;
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
    frame.reloadList();
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
        AddListTab(path, false);
        addToRecent(path);
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
        AddListTab(path, false);
        addToRecent(path);
    });
}

void TfrmMain::actSaveExecute()
{
    runGuarded([this] { saveActiveList(); });
}

void TfrmMain::saveActiveList()
{
    RequireActiveList();
    TfrTasks *frame = ActiveTasksFrame();
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
    if (TfrTasks *frame = ActiveTasksFrame())
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
// Keys of the desktop

namespace {

// Keys with commands of their own in the window and its lists: Exit's F10, the grid's Insert,
// Ctrl+Del and Del, Copy's Ctrl+C, the link commands' Ctrl+F and Ctrl+U, Details' F12, and Ctrl+Tab
// and Ctrl+Shift+Tab between the tabs. A desktop key is never added over one of them.
const QKeySequence ProgramKeys[] = { QKeySequence(Qt::Key_F10), QKeySequence(Qt::Key_Insert),
    QKeySequence(Qt::CTRL | Qt::Key_Delete), QKeySequence(Qt::Key_Delete), QKeySequence(Qt::CTRL | Qt::Key_C),
    QKeySequence(Qt::CTRL | Qt::Key_F), QKeySequence(Qt::CTRL | Qt::Key_U), QKeySequence(Qt::Key_F12),
    QKeySequence(Qt::CTRL | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab) };

// The desktop's keys for a standard command, as its settings give them, or `usual` where it gives
// none (Qt has no Save As or Quit key for some desktops). `alwaysUsual` adds `usual` also when the
// desktop gives others (Close: Ctrl+W besides the Ctrl+F4 of some). Keys of the program's own
// commands are left out.
QList<QKeySequence> desktopKeys(
    QKeySequence::StandardKey command, const QKeySequence &usual, bool alwaysUsual = false)
{
    QList<QKeySequence> keys = QKeySequence::keyBindings(command);
    if (keys.isEmpty() || (alwaysUsual && !keys.contains(usual)))
        keys.append(usual);
    keys.removeIf([](const QKeySequence &key) {
        return std::find(std::begin(ProgramKeys), std::end(ProgramKeys), key) != std::end(ProgramKeys);
    });
    return keys;
}

} // namespace

void TfrmMain::assignDesktopKeys()
{
    // On the menu items, which show them; each item runs its command as a click does.
    const struct
    {
        const char *item;
        QKeySequence::StandardKey command;
        QKeySequence usual;
        bool alwaysUsual;
    } keys[] = {
        { "New1", QKeySequence::New, QKeySequence(Qt::CTRL | Qt::Key_N), false },
        { "Open1", QKeySequence::Open, QKeySequence(Qt::CTRL | Qt::Key_O), false },
        { "Save1", QKeySequence::Save, QKeySequence(Qt::CTRL | Qt::Key_S), false },
        { "Saveas1", QKeySequence::SaveAs, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), false },
        { "Close1", QKeySequence::Close, QKeySequence(Qt::CTRL | Qt::Key_W), true },
        { "Print1", QKeySequence::Print, QKeySequence(Qt::CTRL | Qt::Key_P), false },
        { "Exit1", QKeySequence::Quit, QKeySequence(Qt::CTRL | Qt::Key_Q), false },
        { "About1", QKeySequence::HelpContents, QKeySequence(Qt::Key_F1), false },
    };
    for (const auto &key : keys) {
        if (auto *item = menuBar()->findChild<QAction *>(QString::fromLatin1(key.item)))
            item->setShortcuts(desktopKeys(key.command, key.usual, key.alwaysUsual));
    }
}

// ---------------------------------------------------------------------------------------------
// Files from outside the window

void TfrmMain::OpenListFiles(const QStringList &paths)
{
    for (const QString &path : paths) {
        runGuarded([&] {
            OpenListFile(path);
            addToRecent(path);
        });
    }
}

} // namespace ql
