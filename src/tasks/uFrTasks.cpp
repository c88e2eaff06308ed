#include "tasks/uFrTasks.h"

#include "common/uGeneral.h"
#include "platform/Clock.h"
#include "platform/gui/BarPicture.h"
#include "platform/gui/ErrorBox.h"
#include "platform/gui/Ui.h"
#include "storage/DataSource.h"
#include "storage/TaskSchema.h"
#include "tasks/DBMemo.h"
#include "tasks/TabCaption.h"
#include "tasks/TaskCommands.h"
#include "tasks/TaskGrid.h"
#include "tasks/TaskGridModel.h"
#include "tasks/TaskIcons.h"
#include "tasks/ValueListEditor.h"

#include <QAction>
#include <QButtonGroup>
#include <QComboBox>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace ql {

namespace {

const QString Unsaved = QStringLiteral("Unsaved");
const QString Saved = QStringLiteral("Saved");
const QString UnsavedMark = QStringLiteral(" *");
const QString PropertiesField = TaskField::Properties;

constexpr int NoIcon = 0;

QFont tahoma(int pixelSize)
{
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(pixelSize);
    return font;
}

QLabel *buddyLabel(const QString &text, QWidget *buddy)
{
    auto *label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
}

QComboBox *dropDownList(const char *name, const QStringList &items, int width, const QString &accessibleName)
{
    auto *box = new QComboBox;
    box->setObjectName(QString::fromLatin1(name));
    box->addItems(items);
    if (width > 0)
        box->setFixedWidth(width);
    box->setAccessibleName(accessibleName);
    return box;
}

} // namespace

TfrTasks::TfrTasks(QWidget *parent)
    : QWidget(parent)
    , m_cdsTasks(QStringLiteral("cdsTasks"))
    , m_tabCaption(std::make_unique<PageTabCaption>(this))
{
    setObjectName(QStringLiteral("frTasks"));
    setFont(tahoma(11));
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, gridTitleColour());
    setPalette(palette);

    // The full field set and the nine named orders of a new list; a loaded list replaces the
    // fields by those its file declares and keeps the orders.
    DefineTaskTable(m_cdsTasks);
    // The document state follows inserts and edits; the views follow the table through its data
    // source.
    m_cdsTasks.SetAfterInsert([this](ClientTable &table) { cdsTasksAfterInsert(table); });
    m_cdsTasks.SetAfterEdit([this](ClientTable &table) { cdsTasksAfterEdit(table); });
    m_DataSource1 = new DataSource(m_cdsTasks, this);
    m_DataSource1->setObjectName(QStringLiteral("DataSource1"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *panel1 = new BarPanel;
    panel1->setObjectName(QStringLiteral("Panel1"));
    panel1->setFixedHeight(33);
    buildFilterBar(panel1);
    layout->addWidget(panel1);

    auto *coolBar = new BarPanel;
    coolBar->setObjectName(QStringLiteral("CoolBar1"));
    auto *coolLayout = new QHBoxLayout(coolBar);
    coolLayout->setContentsMargins(2, 1, 2, 1);
    auto *toolBar = new QToolBar;
    toolBar->setObjectName(QStringLiteral("ToolBar1"));
    buildToolBar(toolBar);
    coolLayout->addWidget(toolBar);
    coolLayout->addStretch();
    layout->addWidget(coolBar);

    m_model = new TaskGridModel(*m_DataSource1, this);
    m_DBGrid1 = new TaskGrid;
    m_DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    m_DBGrid1->setAccessibleName(QStringLiteral("Tasks"));
    m_DBGrid1->setTaskModel(m_model);
    auto *workArea = new QHBoxLayout;
    workArea->setContentsMargins(0, 0, 0, 0);
    workArea->setSpacing(0);
    workArea->addWidget(m_DBGrid1, 1);
    workArea->addWidget(buildPropertiesPanel());
    layout->addLayout(workArea, 1);
    buildPopupMenu();

    m_StatusBar1 = new QStatusBar;
    m_StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    m_StatusBar1->setSizeGripEnabled(false);
    const int widths[2] = { 150, 50 };
    for (int i = 0; i < 2; ++i) {
        auto *panel = new QLabel;
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i + 1));
        panel->setMinimumWidth(widths[i]);
        m_StatusBar1->addWidget(panel);
        m_statusPanels[i] = panel;
    }
    layout->addWidget(m_StatusBar1);

    auto *panel2 = new BarPanel;
    panel2->setObjectName(QStringLiteral("Panel2"));
    panel2->setFixedHeight(42);
    buildQuickAddBar(panel2);
    layout->addWidget(panel2);

    // Text still in an open cell editor belongs to the row, whoever stores it: Save, Close All, the
    // Exit pass and quick add store what the user sees.
    m_DataSource1->addEditor(m_DBGrid1);
    connect(m_DataSource1, &DataSource::currentRowChanged, this, &TfrTasks::cdsTasksAfterScroll);
    connect(m_DataSource1, &DataSource::rowReverted, this, &TfrTasks::cdsTasksAfterCancel);
    connect(m_DataSource1, &DataSource::rowsChanged, this, &TfrTasks::cdsTasksRowsChanged);
}

TfrTasks::~TfrTasks()
{
    // The table, a member, goes before the child widgets would: the grid and its model, which read
    // it, go first, and the table's reactions no longer reach the frame.
    m_cdsTasks.SetAfterInsert({});
    m_cdsTasks.SetAfterEdit({});
    delete m_DataSource1;
    delete m_DBGrid1;
    delete m_model;
    m_DBMemo1->unbind();
}

QWidget *TfrTasks::buildPropertiesPanel()
{
    m_PageControl1 = new QTabWidget;
    m_PageControl1->setObjectName(QStringLiteral("PageControl1"));
    m_PageControl1->setAccessibleName(QStringLiteral("Task properties"));
    m_PageControl1->setFixedWidth(311);

    m_ValueListEditor1 = new ValueListEditor;
    m_ValueListEditor1->setObjectName(QStringLiteral("ValueListEditor1"));
    m_ValueListEditor1->setAccessibleName(QStringLiteral("Properties"));
    m_PopupMenu3 = new QMenu(this);
    m_PopupMenu3->setObjectName(QStringLiteral("PopupMenu3"));
    QAction *addProperty = m_PopupMenu3->addAction(QStringLiteral("Add Property"));
    addProperty->setObjectName(QStringLiteral("AddProperty1"));
    addProperty->setEnabled(false);
    m_ValueListEditor1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_ValueListEditor1, &QWidget::customContextMenuRequested, this,
        [this](const QPoint &pos) { m_PopupMenu3->popup(m_ValueListEditor1->viewport()->mapToGlobal(pos)); });
    auto *tabSheet1 = new QWidget;
    tabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    auto *page1 = new QVBoxLayout(tabSheet1);
    page1->setContentsMargins(0, 0, 0, 0);
    page1->addWidget(m_ValueListEditor1);
    m_PageControl1->addTab(tabSheet1, QStringLiteral("Properties"));

    m_DBMemo1 = new DBMemo;
    m_DBMemo1->setObjectName(QStringLiteral("DBMemo1"));
    m_DBMemo1->setAccessibleName(QStringLiteral("Text"));
    auto *tabSheet2 = new QWidget;
    tabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    auto *page2 = new QVBoxLayout(tabSheet2);
    page2->setContentsMargins(0, 0, 0, 0);
    page2->addWidget(m_DBMemo1);
    m_PageControl1->addTab(tabSheet2, QStringLiteral("Text"));

    // Only the main window's Properties command shows the panel.
    m_PageControl1->hide();
    return m_PageControl1;
}

void TfrTasks::buildFilterBar(QWidget *bar)
{
    auto *row = new QHBoxLayout(bar);
    row->setContentsMargins(6, 4, 6, 4);

    m_edSearch = new QLineEdit;
    m_edSearch->setObjectName(QStringLiteral("edSearch"));
    m_edSearch->setFixedWidth(337);
    m_edSearch->setAccessibleName(QStringLiteral("Filter Task"));
    row->addWidget(buddyLabel(QStringLiteral("Filter Task"), m_edSearch));
    row->addWidget(m_edSearch);

    // Exactly one of the two shows pressed; "show all" starts pressed.
    auto *group = new QButtonGroup(bar);
    const struct
    {
        const char *name;
        QString hint;
        TaskIcon icon;
    } buttons[] = {
        { "bnSearch", QStringLiteral("Filter"), TaskIcon::Search },
        { "SpeedButton2", QStringLiteral("Undoc Filter (Show All)"), TaskIcon::ShowAll },
    };
    for (const auto &b : buttons) {
        auto *button = new QToolButton;
        button->setObjectName(QString::fromLatin1(b.name));
        button->setAutoRaise(true);
        button->setCheckable(true);
        button->setIcon(taskIcon(b.icon));
        button->setToolTip(b.hint);
        button->setAccessibleName(b.hint);
        group->addButton(button);
        row->addWidget(button);
    }
    group->buttons().last()->setChecked(true);

    m_cbShow = dropDownList("cbShow",
        { QStringLiteral("All"), QStringLiteral("Not Started"), QStringLiteral("In progress"),
            QStringLiteral("High Priority"), QStringLiteral("Urgent Priority"), QStringLiteral("Easy"),
            QStringLiteral("Hard"), QStringLiteral("Completed"), QStringLiteral("Completed Today"),
            QStringLiteral("Created Today"), QStringLiteral("Bookmarked") },
        161, QStringLiteral("Only Show"));
    row->addSpacing(8);
    row->addWidget(buddyLabel(QStringLiteral("Only Show"), m_cbShow));
    row->addWidget(m_cbShow);

    m_cbOrder = dropDownList("cbOrder",
        { QStringLiteral("None"), QStringLiteral("Task"), QStringLiteral("ID"),
            QStringLiteral("Last Actioned"), QStringLiteral("Status"), QStringLiteral("Difficulty"),
            QStringLiteral("Priority"), QStringLiteral("Category"), QStringLiteral("Progress"),
            QStringLiteral("Group No") },
        97, QStringLiteral("Sort by"));
    row->addSpacing(8);
    row->addWidget(buddyLabel(QStringLiteral("Sort by"), m_cbOrder));
    row->addWidget(m_cbOrder);
    row->addStretch();

    for (QWidget *control : { static_cast<QWidget *>(m_edSearch), static_cast<QWidget *>(m_cbShow),
             static_cast<QWidget *>(m_cbOrder) })
        control->setEnabled(false);
    for (QAbstractButton *button : group->buttons())
        button->setEnabled(false);
}

QAction *TfrTasks::command(const char *name, const QString &caption, const QString &hint, int icon)
{
    auto *action = new QAction(caption, this);
    action->setObjectName(QString::fromLatin1(name));
    if (!hint.isEmpty())
        action->setToolTip(hint);
    if (icon != NoIcon)
        action->setIcon(taskIcon(TaskIcon(icon)));
    action->setEnabled(false);
    return action;
}

QAction *TfrTasks::menuItem(
    const char *name, const QString &caption, int icon, const QKeySequence &shortcut, QAction *runs)
{
    auto *item = new QAction(caption, this);
    item->setObjectName(QString::fromLatin1(name));
    if (icon != NoIcon)
        item->setIcon(taskIcon(TaskIcon(icon)));
    if (!shortcut.isEmpty()) {
        item->setShortcut(shortcut);
        // The short-cuts act while the grid has the focus, not while a cell editor has it.
        item->setShortcutContext(Qt::WidgetShortcut);
        m_DBGrid1->addAction(item);
    }
    if (runs) {
        // A menu item and a tool button that share a command run exactly its steps.
        connect(item, &QAction::triggered, runs, &QAction::trigger);
        connect(runs, &QAction::enabledChanged, item, &QAction::setEnabled);
        item->setEnabled(runs->isEnabled());
    } else {
        item->setEnabled(false);
    }
    m_PopupMenu1->addAction(item);
    return item;
}

void TfrTasks::addToolButton(QToolBar *bar, QAction *action, const char *name)
{
    bar->addAction(action);
    QWidget *button = bar->widgetForAction(action);
    button->setObjectName(QString::fromLatin1(name));
    button->setFixedSize(25, 24);
}

void TfrTasks::buildToolBar(QToolBar *bar)
{
    bar->setIconSize(QSize(16, 16));
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    bar->setMovable(false);
    bar->setFloatable(false);
    // Transparent: the band's picture shows through.
    bar->setStyleSheet(QStringLiteral("QToolBar { background: transparent; border: none; }"));

    m_acSetProgress
        = command("acSetProgress", QStringLiteral("Progress"), QStringLiteral("Set Task Progress"), 9);
    m_acInProgress
        = command("acInProgress", QStringLiteral("Start Task"), QStringLiteral("Set to Started"), 3);
    m_actCancel = command("actCancel", QStringLiteral("Cancel Task"), QStringLiteral("Set Cancelled "), 10);
    m_actPause = command("actPause", QStringLiteral("Pause Task"), QStringLiteral("Set Paused"), 2);
    m_actComplete
        = command("actComplete", QStringLiteral("Complete Task"), QStringLiteral("Set to Complete "), 14);
    m_actDelete = command("actDelete", QStringLiteral("Delete Task"), QStringLiteral("Delete Task"), 5);
    m_actBookmark
        = command("actBookmark", QStringLiteral("Bookmark Task"), QStringLiteral("Bookmark Task"), 7);
    m_ActLastNow = command("ActLastNow", QStringLiteral("Last Actioned Now"), QString(), NoIcon);
    m_actSetDate = command("actSetDate", QStringLiteral("Set Date"), QStringLiteral("Date "), 12);

    // The first button adds a task from the quick-add bar, as the bar's own button does.
    auto *add = new QAction(taskIcon(TaskIcon::Add), QStringLiteral("Add Task"), this);
    add->setObjectName(QStringLiteral("actAddTask"));
    connect(add, &QAction::triggered, this, &TfrTasks::SpeedButton1Click);
    addToolButton(bar, add, "ToolButton14");
    bar->addSeparator();
    addToolButton(bar, m_actCancel, "tbCancel");
    addToolButton(bar, m_actPause, "ToolButton10");
    addToolButton(bar, m_acInProgress, "ToolButton11");
    addToolButton(bar, m_actComplete, "ToolButton2");
    bar->addSeparator();
    addToolButton(bar, m_actDelete, "ToolButton3");
    addToolButton(bar, m_acSetProgress, "ToolButton6");
    addToolButton(bar, m_actBookmark, "ToolButton4");
    addToolButton(bar, m_actSetDate, "ToolButton12");
    bar->addSeparator();
    addToolButton(
        bar, command("actLinkTaskList", QStringLiteral("Link Task List"), QString(), 13), "ToolButton9");
    addToolButton(bar, command("actLinkRelatedFile", QStringLiteral("Link to Related File"), QString(), 13),
        "ToolButton8");
    addToolButton(bar, command("actLinkURL", QStringLiteral("Link to URL"), QString(), 13), "ToolButton16");
    bar->addSeparator();
    addToolButton(
        bar, command("actOpenLinkedList", QStringLiteral("Open linked List"), QString(), 3), "ToolButton18");
    addToolButton(
        bar, command("actOpenLinkedFile", QStringLiteral("Open Linked File"), QString(), 3), "ToolButton19");
    addToolButton(bar, command("actOpenURL", QStringLiteral("Open URL"), QString(), 3), "ToolButton20");
}

void TfrTasks::buildPopupMenu()
{
    m_PopupMenu1 = new QMenu(this);
    m_PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    menuItem("CancelTask1", QStringLiteral("Cancel Task"), 10, {}, m_actCancel);
    menuItem("PauseTask1", QStringLiteral("Pause Task"), 2, {}, m_actPause);
    menuItem("StartTask1", QStringLiteral("Start Task"), 3, {}, m_acInProgress);
    menuItem("CompleteTask1", QStringLiteral("Complete Task"), 14, {}, m_actComplete);
    menuItem("DeleteTask1", QStringLiteral("Delete Task"), 5, QKeySequence(Qt::Key_Delete), m_actDelete);
    m_PopupMenu1->addSeparator();
    menuItem("Progress1", QStringLiteral("Progress"), 9, {}, m_acSetProgress);
    menuItem("SetDates1", QStringLiteral("Set Date"), 1, {}, m_actSetDate);
    menuItem("BookmarkTask1", QStringLiteral("Bookmark Task"), 7, {}, m_actBookmark);
    menuItem("Lastactionednow1", QStringLiteral("Last Actioned Now"), NoIcon, {}, m_ActLastNow);
    m_PopupMenu1->addSeparator();
    menuItem("Link1", QStringLiteral("Link to Task List"), 13, {}, nullptr);
    menuItem("LinktoFile1", QStringLiteral("Link to Related File"), 13, QKeySequence(Qt::CTRL | Qt::Key_F),
        nullptr);
    menuItem("LinktoURL1", QStringLiteral("Link to URL"), 13, QKeySequence(Qt::CTRL | Qt::Key_U), nullptr);
    menuItem("OpenLinkedTaskList1", QStringLiteral("Open Linked Task List"), NoIcon, {}, nullptr);
    menuItem("OpenRelatedFile1", QStringLiteral("Open Related File"), NoIcon, {}, nullptr);
    menuItem("OpenURL1", QStringLiteral("Open URL"), NoIcon, {}, nullptr);
    m_PopupMenu1->addSeparator();
    menuItem("Copy1", QStringLiteral("Copy"), NoIcon, QKeySequence(Qt::CTRL | Qt::Key_C), nullptr);
    m_PopupMenu1->addSeparator();
    menuItem("Comments1", QStringLiteral("Comments"), NoIcon, {}, nullptr);
    menuItem("Details1", QStringLiteral("Details"), NoIcon, QKeySequence(Qt::Key_F12), nullptr);

    m_DBGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_DBGrid1, &QWidget::customContextMenuRequested, this,
        [this](const QPoint &pos) { m_PopupMenu1->popup(m_DBGrid1->viewport()->mapToGlobal(pos)); });
}

void TfrTasks::buildQuickAddBar(QWidget *bar)
{
    auto *row = new QHBoxLayout(bar);
    row->setContentsMargins(6, 6, 6, 6);

    m_Edit2 = new QLineEdit;
    m_Edit2->setObjectName(QStringLiteral("Edit2"));
    m_Edit2->setFixedWidth(465);
    m_Edit2->setFont(tahoma(12));
    m_Edit2->setAccessibleName(QStringLiteral("Add Task"));
    auto *label = buddyLabel(QStringLiteral("Add Task"), m_Edit2);
    label->setObjectName(QStringLiteral("lbAddTask"));
    row->addWidget(label);
    row->addWidget(m_Edit2);

    m_cbDifficulty = dropDownList("cbDifficulty", DifficultyWords(), 0, QStringLiteral("Difficulty"));
    m_cbDifficulty->setToolTip(QStringLiteral("Difficulty"));
    m_cbDifficulty->setCurrentIndex(1); // "Moderate" until the first add
    row->addWidget(m_cbDifficulty);

    // The grid's pick list also offers "Urgent"; the bar offers three words, in its own order.
    m_cbPriority = dropDownList("cbPriority",
        { QStringLiteral("Normal"), QStringLiteral("High"), QStringLiteral("Low") }, 0,
        QStringLiteral("Priority"));
    m_cbPriority->setToolTip(QStringLiteral("Priority"));
    row->addWidget(m_cbPriority);

    m_cbCat = new QComboBox;
    m_cbCat->setObjectName(QStringLiteral("cbCat"));
    m_cbCat->setEditable(true);
    // A typed category is used as typed and never joins the list.
    m_cbCat->setInsertPolicy(QComboBox::NoInsert);
    m_cbCat->setToolTip(QStringLiteral("Category"));
    m_cbCat->setAccessibleName(QStringLiteral("Category"));
    m_cbCat->setMinimumWidth(120);
    row->addWidget(m_cbCat);

    m_SpeedButton1 = new QToolButton;
    m_SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    m_SpeedButton1->setText(QStringLiteral("Add"));
    m_SpeedButton1->setIcon(taskIcon(TaskIcon::Add));
    m_SpeedButton1->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_SpeedButton1->setAutoRaise(true);
    m_SpeedButton1->setToolTip(QStringLiteral("Add Task (ENTER key)"));
    m_SpeedButton1->setAccessibleName(QStringLiteral("Add"));
    row->addWidget(m_SpeedButton1);
    row->addStretch();

    connect(m_SpeedButton1, &QToolButton::clicked, this, &TfrTasks::SpeedButton1Click);
    // Enter adds the task; the line edit neither beeps nor inserts anything for it.
    connect(m_Edit2, &QLineEdit::returnPressed, this, &TfrTasks::SpeedButton1Click);

    m_PopupMenu2 = new QMenu(this);
    m_PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    auto *paste = m_PopupMenu2->addAction(QStringLiteral("Paste"));
    paste->setObjectName(QStringLiteral("Paste1"));
    connect(paste, &QAction::triggered, this, &TfrTasks::Paste1Click);
    // The menu takes the place of the entry box's standard one.
    m_Edit2->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_Edit2, &QWidget::customContextMenuRequested, this,
        [this](const QPoint &pos) { m_PopupMenu2->popup(m_Edit2->mapToGlobal(pos)); });
}

void TfrTasks::setTabCaption(std::unique_ptr<TabCaption> caption)
{
    m_tabCaption = std::move(caption);
}

QString TfrTasks::statusPanelText(int panel) const
{
    return m_statusPanels[panel]->text();
}

// ---------------------------------------------------------------------------------------------
// Document state

void TfrTasks::OpenList(const QString &fileName, bool isNew)
{
    if (isNew) {
        m_cdsTasks.CreateEmpty();
        m_isNewList = true;
        m_model->setYesNoBookmarks(true);
        MarkUnsaved();
    } else {
        if (!QFileInfo::exists(fileName))
            return;
        m_cdsTasks.ClearFields();
        m_cdsTasks.ReadFromFile(fileName);
        m_listFileName = fileName;
        m_cdsTasks.Open();
        m_cdsTasks.MoveFirst();
    }
    // The Text page edits the raw text of the task's properties. A new list has the field too, and
    // its Text page shows it as a loaded list's does.
    if (FieldExists(m_cdsTasks, PropertiesField))
        m_DBMemo1->bind(m_cdsTasks, PropertiesField);
    // Selected from code, these run none of the bar's choice commands.
    m_cbOrder->setCurrentIndex(2);
    m_cdsTasks.SetIndexName(QStringLiteral("cdsTasksIndexID"));
    m_cbShow->setCurrentIndex(0);
    m_DBGrid1->followTable();
    FocusQuickAdd();
}

void TfrTasks::FocusQuickAdd()
{
    if (isVisible() && isEnabled())
        m_Edit2->setFocus();
}

void TfrTasks::SetCategoryItems(const QStringList &categories)
{
    m_cbCat->clear();
    m_cbCat->addItems(categories);
    // Adding items to an empty box selects the first one.
    m_cbCat->setCurrentIndex(-1);
    m_cbCat->clearEditText();
}

void TfrTasks::MarkUnsaved()
{
    m_modified = true;
    try {
        const QString caption = m_tabCaption->text();
        // The mark is added once; a caption that changed since (the main window renamed the tab)
        // is remembered afresh. The caption's own text is not searched for "*": a file name may
        // contain one.
        if (m_markedCaption.isEmpty() || caption != m_markedCaption) {
            m_savedTabCaption = caption;
            m_markedCaption = caption + UnsavedMark;
            m_tabCaption->setText(m_markedCaption);
        }
        m_statusPanels[1]->setText(Unsaved);
    } catch (...) {
        m_markedCaption.clear();
        Ui::current().message(QStringLiteral("Cannot set unsaved"));
    }
}

void TfrTasks::MarkSaved()
{
    // Only a mark this frame added is taken away: when the main window has just given the tab a
    // new name, that name stays.
    if (m_modified && !m_markedCaption.isEmpty() && m_tabCaption->text() == m_markedCaption)
        m_tabCaption->setText(m_savedTabCaption);
    m_markedCaption.clear();
    m_modified = false;
    m_statusPanels[1]->setText(Saved);
}

// ---------------------------------------------------------------------------------------------
// Reactions of the table

void TfrTasks::cdsTasksAfterInsert(ClientTable &table)
{
    TaskCommands::SetInsertDefaults(table, Clock::today());
    MarkUnsaved();
}

void TfrTasks::cdsTasksAfterEdit(ClientTable &)
{
    MarkUnsaved();
}

void TfrTasks::cdsTasksAfterScroll()
{
    try {
        showItemCount();
        m_statusPanels[1]->clear();
        // Edits of values not written back by then are discarded: the editor shows what is stored.
        if (FieldExists(m_cdsTasks, PropertiesField))
            LoadPropertyList(*m_ValueListEditor1, m_cdsTasks, PropertiesField);
    } catch (...) {
        // The status bar and the side panel are a courtesy: a failure to refresh them must not
        // stop the movement.
    }
    m_DBGrid1->followTable();
    m_DBMemo1->followTable();
}

void TfrTasks::cdsTasksAfterCancel()
{
    // An abandoned edit does not move the cursor, but the row shows its stored values again.
    m_DBMemo1->followTable();
}

void TfrTasks::cdsTasksRowsChanged()
{
    // A post places its row by the active order without moving the cursor as such: the grid's
    // current row and the memo go with it. The count follows every row that comes or goes.
    showItemCount();
    m_DBGrid1->followTable();
    m_DBMemo1->followTable();
}

void TfrTasks::showItemCount()
{
    m_statusPanels[0]->setText(QStringLiteral("Items %1").arg(m_cdsTasks.RowCount()));
}

// ---------------------------------------------------------------------------------------------
// Commands

void TfrTasks::wheelEvent(QWheelEvent *event)
{
    // Reaches the frame only when the control under the pointer did not take the turn.
    const int delta = event->angleDelta().y();
    runGuarded([&] { FrameMouseWheel(delta); });
    event->accept();
}

void TfrTasks::FrameMouseWheel(int delta)
{
    if (delta == 0)
        return;
    // The text being typed into a cell belongs to the row that is left.
    m_DBGrid1->finishEditing(true);
    // One task per turn, however large the turn.
    if (delta > 0)
        m_cdsTasks.MovePrior();
    else
        m_cdsTasks.MoveNext();
}

void TfrTasks::SpeedButton1Click()
{
    runGuarded([this] { quickAdd(); });
}

void TfrTasks::quickAdd()
{
    TaskCommands::QuickAddChoice choice;
    choice.priority = m_cbPriority->currentText();
    choice.difficulty = m_cbDifficulty->currentText();
    choice.category = m_cbCat->currentText();
    if (!TaskCommands::QuickAdd(m_cdsTasks, m_Edit2->text(), choice, Clock::today()))
        return;

    m_Edit2->clear();
    // Both boxes go back to their first items: the difficulty to "Easy", not to the "Moderate" it
    // started with. The category stays for the next task.
    m_cbPriority->setCurrentIndex(0);
    m_cbDifficulty->setCurrentIndex(0);
    MarkUnsaved();
}

void TfrTasks::Paste1Click()
{
    runGuarded([this] { m_Edit2->paste(); });
}

} // namespace ql
