#include "tasks/uFrTasks.h"

#include "bound/DBMemo.h"
#include "common/CategoryList.h"
#include "common/uGeneral.h"
#include "operations/ListOpening.h"
#include "operations/OrderPreparation.h"
#include "operations/TaskCommands.h"
#include "operations/TaskViews.h"
#include "operations/ViewFiltering.h"
#include "platform/Clock.h"
#include "platform/Error.h"
#include "platform/FileAccess.h"
#include "platform/SystemFormats.h"
#include "platform/gui/BarPicture.h"
#include "platform/gui/CommandTable.h"
#include "platform/gui/ErrorBox.h"
#include "platform/gui/Ui.h"
#include "storage/DataSource.h"
#include "storage/Datapacket.h"
#include "storage/TaskSchema.h"
#include "tasks/TabCaption.h"
#include "tasks/TaskCellLook.h"
#include "tasks/TaskGrid.h"
#include "tasks/TaskGridModel.h"
#include "tasks/TaskIcons.h"
#include "tasks/TaskPickers.h"
#include "tasks/ValueListEditor.h"

#include <QAbstractItemView>
#include <QAction>
#include <QButtonGroup>
#include <QCalendarWidget>
#include <QComboBox>
#include <QDateEdit>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QScopeGuard>
#include <QShortcut>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>

namespace ql {

namespace {

// A task list as the frame reads one: the task table's definitions, the fields the file brings, and
// the ID order, the order every list opens in.
void defineReadList(ClientTable &table)
{
    DefineTaskTable(table);
    table.ClearFields();
    table.SetIndexName(TaskOrder::ID);
}

const QString Unsaved = QStringLiteral("Unsaved");
const QString Saved = QStringLiteral("Saved");
const QString UnsavedMark = QStringLiteral(" *");
const QString PropertiesField = TaskField::Properties;

// A list file of this size reads in about a frame's time (16 ms); larger ones are read on a worker.
qint64 backgroundBytes = 2 * 1024 * 1024;

QFont tahoma(int pixelSize)
{
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(pixelSize);
    return font;
}

} // namespace

TfrTasks::TfrTasks(QWidget *parent)
    : QWidget(parent)
    , m_cdsTasks(QStringLiteral("cdsTasks"))
    , m_tabCaption(std::make_unique<PageTabCaption>(this))
{
    // Forms give fonts in points: the frame's font, 11 pixels high, is set before the controls are
    // made so that every one of them starts with it; the entry box's is 12 pixels high.
    setFont(tahoma(11));
    setupUi(this);
    Edit2->setFont(tahoma(12));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, gridTitleColour());
    setPalette(palette);

    // The full field set and the nine named orders of a new list; a loaded list replaces the
    // fields by those its file declares and keeps the orders. Every new task starts with the
    // defaults, whoever inserts it.
    DefineTaskTable(m_cdsTasks);
    TaskCommands::InstallInsertDefaults(m_cdsTasks, [] { return Clock::today(); });
    // Everything that shows the table follows it through the data source. The frame's own
    // document state and status bar are told first, before the grid and the memo follow.
    m_DataSource1 = new DataSource(m_cdsTasks, this);
    m_DataSource1->setObjectName(QStringLiteral("DataSource1"));
    connect(m_DataSource1, &DataSource::rowInserted, this, &TfrTasks::cdsTasksAfterInsert);
    connect(m_DataSource1, &DataSource::rowEdited, this, &TfrTasks::cdsTasksAfterEdit);
    connect(m_DataSource1, &DataSource::currentRowChanged, this, &TfrTasks::cdsTasksAfterScroll);
    connect(m_DataSource1, &DataSource::rowsChanged, this, &TfrTasks::showItemCount);

    setUpFilterBar();
    buildCommandControls();
    CoolBar1Layout->addWidget(ToolBar1);
    CoolBar1Layout->addStretch();

    m_model = new TaskGridModel(*m_DataSource1, this);
    DBGrid1->setTaskModel(m_model);
    setUpGrid();
    setUpPropertiesPanel();

    const int widths[2] = { 150, 50 };
    for (int i = 0; i < 2; ++i) {
        auto *panel = new QLabel;
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i + 1));
        panel->setMinimumWidth(widths[i]);
        StatusBar1->addWidget(panel);
        m_statusPanels[i] = panel;
    }
    // What the frame is busy with: opening the list, building an order the user chose.
    m_activity = new QLabel;
    m_activity->setObjectName(QStringLiteral("StatusPanel3"));
    StatusBar1->addWidget(m_activity, 1);
    m_openProgress = new QProgressBar;
    m_openProgress->setObjectName(QStringLiteral("OpenProgress"));
    m_openProgress->setAccessibleName(QStringLiteral("Opening"));
    m_openProgress->setRange(0, 100);
    m_openProgress->setTextVisible(false);
    m_openProgress->setFixedSize(160, 14);
    StatusBar1->addWidget(m_openProgress);
    m_cancelOpen = new QToolButton;
    m_cancelOpen->setObjectName(QStringLiteral("CancelOpen"));
    m_cancelOpen->setText(QStringLiteral("Cancel"));
    m_cancelOpen->setToolTip(QStringLiteral("Stop opening the list (Esc)"));
    connect(m_cancelOpen, &QToolButton::clicked, this, &TfrTasks::CancelOpen);
    StatusBar1->addWidget(m_cancelOpen);
    m_openProgress->hide();
    m_cancelOpen->hide();
    // Only the frame on the shown tab takes Esc, and only while its list is being opened.
    m_escCancelsOpen = new QShortcut(QKeySequence(Qt::Key_Escape), this, this, &TfrTasks::CancelOpen);
    m_escCancelsOpen->setEnabled(false);

    m_orders = new OrderPreparation(m_cdsTasks, this);
    connect(m_orders, &OrderPreparation::orderReady, this, &TfrTasks::orderReady);
    m_filtering = new ViewFiltering(m_cdsTasks, this);
    connect(m_filtering, &ViewFiltering::finished, this, &TfrTasks::viewFiltered);

    setUpQuickAddBar();
}

// The table, a member, goes before the child widgets: it tells its data source, and whatever reads
// it lets go of it then. The grid's model empties in one step while the grid still lives, so the
// cells a screen reader has read are dropped at once, not searched out one by one as the grid dies.
TfrTasks::~TfrTasks()
{
    // An order still being built, or a list still being read, is abandoned: the workers stop at
    // their next step and free what they hold.
    m_orders->stop();
    m_filtering->stop();
    delete m_opening;
    // A large list is freed on a worker thread: the window goes on while it is.
    emptyInBackground(m_cdsTasks);
}

void TfrTasks::setUpPropertiesPanel()
{
    connect(ValueListEditor1, &QWidget::customContextMenuRequested, this,
        [this](const QPoint &pos) { PopupMenu3->popup(ValueListEditor1->viewport()->mapToGlobal(pos)); });
    // Only the main window's Properties command shows the panel.
    PageControl1->hide();
}

// ---------------------------------------------------------------------------------------------
// The grid

void TfrTasks::setUpGrid()
{
    TaskGrid::Handlers handlers;
    handlers.drawCell = [this](QPainter &painter, const QRect &rect, const QModelIndex &index, bool current) {
        DBGrid1DrawColumnCell(painter, rect, index, current);
    };
    handlers.keyPress = [this](const QKeyEvent &event) { return DBGrid1KeyPress(event); };
    handlers.keyDown = [this](const QKeyEvent &event) { return DBGrid1KeyDown(event); };
    handlers.colEnter = [this] { DBGrid1ColEnter(); };
    handlers.dblClick = [this] { DBGrid1DblClick(); };
    DBGrid1->setHandlers(std::move(handlers));
    connect(DBGrid1, &TaskGrid::recordDeleted, this, &TfrTasks::MarkUnsaved);

    DBGrid1->setPickList(TaskGridModel::columnOf(TaskField::Status), StatusWords(), false);
    DBGrid1->setPickList(TaskGridModel::columnOf(TaskField::Difficulty), DifficultyWords(), false);
    DBGrid1->setPickList(TaskGridModel::columnOf(TaskField::Priority), PriorityWords(), false);
    // Filled from the category list whenever the column is entered.
    DBGrid1->setPickList(TaskGridModel::columnOf(TaskField::Category), {}, true);

    DateTimePicker1 = new QDateEdit(this);
    DateTimePicker1->setObjectName(QStringLiteral("DateTimePicker1"));
    DateTimePicker1->setAccessibleName(QStringLiteral("Date"));
    DateTimePicker1->setCalendarPopup(true);
    DateTimePicker1->setDisplayFormat(SystemFormats::current().shortDateFormat());
    DateTimePicker1->setFixedHeight(21);
    // Every day a date field holds, as a list file writes it (the year in four digits): the picker
    // must show the cell's own day, or closing its calendar would store another one.
    DateTimePicker1->setDateRange(QDate(1, 1, 1), QDate(9999, 12, 31));
    DateTimePicker1->hide();
    // The calendar tells nobody when it closes: its window is watched for that.
    m_calendarPopup = DateTimePicker1->calendarWidget()->window();
    m_calendarPopup->installEventFilter(this);
}

bool TfrTasks::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_calendarPopup && event->type() == QEvent::Hide)
        runGuarded([this] { DateTimePicker1CloseUp(); }, ErrorTiming::Queued);
    if (std::find(m_barDropDownLists.begin(), m_barDropDownLists.end(), watched)
        != m_barDropDownLists.end()) {
        const QEvent::Type type = event->type();
        const bool key
            = type == QEvent::ShortcutOverride || type == QEvent::KeyPress || type == QEvent::KeyRelease;
        if (key && !static_cast<QWidget *>(watched)->isVisible())
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

QString TfrTasks::currentColumnField() const
{
    const QModelIndex current = DBGrid1->currentIndex();
    return current.isValid() ? TaskGridModel::columnFields().value(current.column()) : QString();
}

void TfrTasks::DBGrid1DrawColumnCell(
    QPainter &painter, const QRect &rect, const QModelIndex &index, bool current)
{
    const TaskRowFacts facts = m_model->rowFacts(index.row());
    const int column = index.column();
    const QString field = m_model->hasField(column) ? TaskGridModel::columnFields().value(column) : QString();
    const CellLook look = TaskCellLook(facts, field, TaskGridModel::columnTitle(column), current);
    PaintTaskCell(painter, rect, DBGrid1->columnWidth(column), look, index.data().toString(),
        m_model->columnAlignment(column), DBGrid1->font(), DBGrid1->palette().color(QPalette::Base),
        facts.progress);
}

bool TfrTasks::DBGrid1KeyPress(const QKeyEvent &)
{
    const QString field = currentColumnField();
    return field == TaskField::Priority || field == TaskField::Difficulty || field == TaskField::Status;
}

bool TfrTasks::DBGrid1KeyDown(const QKeyEvent &event)
{
    return event.key() == Qt::Key_Down && m_cdsTasks.Active()
        && m_cdsTasks.RowNumber() == m_cdsTasks.RowCount();
}

void TfrTasks::DBGrid1ColEnter()
{
    const int column = DBGrid1->currentIndex().column();
    if (!m_model->isDateColumn(column))
        HideDatePicker();
    if (currentColumnField() == TaskField::Category)
        DBGrid1->setPickList(column, m_categories ? m_categories->Lines() : QStringList(), true);
}

void TfrTasks::DBGrid1DblClick()
{
    if (m_model->isDateColumn(DBGrid1->currentIndex().column()))
        ShowDatePicker();
}

void TfrTasks::ShowDatePicker()
{
    const QModelIndex current = DBGrid1->currentIndex();
    if (!current.isValid())
        return;
    // The picker takes the cell's place: a cell editor under it has nothing more to do.
    DBGrid1->finishEditing(true);
    const QRect cell = DBGrid1->visualRect(current);
    QPoint topLeft = DBGrid1->viewport()->mapTo(this, cell.topLeft());
    // As wide as the cell, or as its text and drop-down arrow need where the column is narrower;
    // a picker wider than its cell keeps inside the frame.
    const int width = std::max(cell.width(), DateTimePicker1->sizeHint().width());
    topLeft.setX(std::max(0, std::min(topLeft.x(), this->width() - width)));
    DateTimePicker1->move(topLeft);
    DateTimePicker1->setFixedWidth(width);
    const QDate date = m_model->currentDate(current.column());
    DateTimePicker1->setDate(date.isValid() ? date : Clock::today());
    DateTimePicker1->show();
    DateTimePicker1->raise();
    DateTimePicker1->setFocus();
}

void TfrTasks::HideDatePicker()
{
    if (!DateTimePicker1 || DateTimePicker1->isHidden())
        return;
    // The keyboard goes back to the grid, on the cell the picker was over. The window's focus is
    // asked, not the application's: while the calendar is open, the calendar has that. The grid
    // takes it before the picker hides, so that neither the hiding nor the closing calendar hands
    // the focus to the next control in the window.
    const QWidget *focus = window()->focusWidget();
    if (focus && (focus == DateTimePicker1 || DateTimePicker1->isAncestorOf(focus)))
        DBGrid1->setFocus(Qt::OtherFocusReason);
    DateTimePicker1->hide();
}

void TfrTasks::DateTimePicker1CloseUp()
{
    // A picker sent away (the user moved to another task) has no cell left to write into.
    if (!DateTimePicker1->isVisible())
        return;
    // The picker goes away whether or not the task takes the date.
    const auto hide = qScopeGuard([this] { HideDatePicker(); });
    const int column = DBGrid1->currentIndex().column();
    if (m_model->isDateColumn(column))
        m_model->storeDate(column, DateTimePicker1->date());
}

void TfrTasks::setUpFilterBar()
{
    // Exactly one of the two shows pressed; "show all" starts pressed.
    auto *group = new QButtonGroup(Panel1);
    bnSearch->setIcon(taskIcon(TaskIcon::Search));
    SpeedButton2->setIcon(taskIcon(TaskIcon::ShowAll));
    group->addButton(bnSearch);
    group->addButton(SpeedButton2);
    SpeedButton2->setChecked(true);

    cbShow->addItems(TaskViews::ViewItems());
    cbOrder->addItems(TaskViews::OrderItems());
    // A drop-down list that has closed takes no keys. The list chooses its current item on Enter
    // even while hidden, and right after a choice it may still hold the keyboard: the key that
    // answers the choice's error box would then choose the item again and bring the box back.
    for (QComboBox *box : { cbShow, cbOrder }) {
        box->view()->installEventFilter(this);
        m_barDropDownLists.push_back(box->view());
    }
    // Only the user's choices run these: OpenList selects items from code without them.
    connect(cbOrder, &QComboBox::activated, this, &TfrTasks::cbOrderChange);
    connect(cbShow, &QComboBox::activated, this, &TfrTasks::cbShowChange);
    connect(bnSearch, &QToolButton::clicked, this, &TfrTasks::bnSearchClick);
    // Enter searches without changing which of the two buttons shows pressed.
    connect(edSearch, &QLineEdit::returnPressed, this, &TfrTasks::bnSearchClick);
    connect(SpeedButton2, &QToolButton::clicked, this, &TfrTasks::SpeedButton2Click);
    connect(DBGrid1->horizontalHeader(), &QHeaderView::sectionClicked, this, &TfrTasks::DBGrid1TitleClick);
}

void TfrTasks::cbOrderChange()
{
    runGuarded([this] { chooseOrder(TaskViews::IndexForOrderItem(cbOrder->currentIndex())); });
}

void TfrTasks::chooseOrder(const QString &index)
{
    if (m_cdsTasks.Active() && m_orders->buildsInBackground() && !m_cdsTasks.IndexPrepared(index)) {
        // Building it here would hold the window up: the grid keeps its order until this one is
        // ready. A later choice replaces this one.
        if (!m_orders->request(index)) {
            m_pendingOrder = index;
            QString item;
            for (int i = 0; i < TaskViews::OrderItems().size(); ++i)
                if (TaskViews::IndexForOrderItem(i).compare(index, Qt::CaseInsensitive) == 0)
                    item = TaskViews::OrderItems().at(i);
            m_sortingActivity = QStringLiteral("Sorting by %1 ...").arg(item);
            showActivity();
            return;
        }
    }
    m_pendingOrder.clear();
    m_sortingActivity.clear();
    showActivity();
    m_cdsTasks.SetIndexName(index);
}

void TfrTasks::orderReady(const QString &index)
{
    if (m_pendingOrder.isEmpty() || m_pendingOrder.compare(index, Qt::CaseInsensitive) != 0)
        return;
    // The grid switches in the next turn of the event loop: putting a large order in place and
    // showing it are each about a frame's work, and together they would hold the window up longer.
    QTimer::singleShot(0, this, [this, index] {
        if (m_pendingOrder.compare(index, Qt::CaseInsensitive) != 0)
            return;
        m_pendingOrder.clear();
        m_sortingActivity.clear();
        showActivity();
        runGuarded([&] { m_cdsTasks.SetIndexName(index); });
    });
}

void TfrTasks::DBGrid1TitleClick(int column)
{
    runGuarded([this, column] {
        const QString field = TaskGridModel::columnFields().value(column);
        if (field.isEmpty() || !m_cdsTasks.LookupField(field))
            return;
        if (const std::optional<QString> index = TaskViews::IndexForField(field))
            chooseOrder(*index);
        // The box shows the item of the field's name, or nothing: "Last Actioned" and "Group No"
        // are not field names.
        cbOrder->setCurrentIndex(cbOrder->findText(field, Qt::MatchFixedString));
    });
}

void TfrTasks::cbShowChange()
{
    runGuarded([this] {
        const std::optional<QString> filter = TaskViews::ViewFilter(
            cbShow->currentIndex(), SystemFormats::current().formatDate(Clock::today()));
        // "All" switches filtering off; the last expression stays stored but is not applied.
        if (!filter) {
            m_filtering->showAll();
            viewFiltered();
            return;
        }
        chooseFilter(*filter, QStringLiteral("Showing %1 ...").arg(cbShow->currentText()));
    });
}

void TfrTasks::bnSearchClick()
{
    runGuarded([this] {
        chooseFilter(TaskViews::SearchFilter(edSearch->text()),
            QStringLiteral("Searching for \"%1\" ...").arg(edSearch->text()));
    });
}

void TfrTasks::SpeedButton2Click()
{
    runGuarded([this] {
        m_filtering->showAll();
        viewFiltered();
        edSearch->clear();
    });
}

void TfrTasks::chooseFilter(const QString &expression, const QString &activity)
{
    // A large list tests its tasks in idle turns: the grid keeps its view until the new one is
    // ready. A later choice replaces this one.
    if (m_filtering->apply(expression)) {
        viewFiltered();
        return;
    }
    m_filteringActivity = activity;
    showActivity();
}

void TfrTasks::viewFiltered()
{
    m_filteringActivity.clear();
    showActivity();
}

bool TfrTasks::viewPending() const
{
    return m_filtering->busy();
}

void TfrTasks::showActivity()
{
    QStringList busy;
    for (const QString *text : { &m_sortingActivity, &m_filteringActivity })
        if (!text->isEmpty())
            busy << *text;
    m_activity->setText(busy.join(QStringLiteral("  ")));
}

const std::vector<Command<TfrTasks, TaskIcon>> &TfrTasks::commandTable()
{
    using Row = Command<TfrTasks, TaskIcon>;
    using F = TfrTasks;
    static const std::vector<Row> table {
        // The task commands of the action list actTasks and the frame's other commands, which the
        // tool bar and the popup menu share.
        Row::action("acSetProgress", "Progress", &F::acSetProgressExecute, &F::acSetProgress)
            .withHint("Set Task Progress")
            .withIcon(TaskIcon::Progress)
            .disabledAtFirst(),
        Row::action("acInProgress", "Start Task", &F::acInProgressExecute, &F::acInProgress)
            .withHint("Set to Started")
            .withIcon(TaskIcon::Start),
        Row::action("actCancel", "Cancel Task", &F::actCancelExecute, &F::actCancel)
            .withHint("Set Cancelled ")
            .withIcon(TaskIcon::Cancel),
        Row::action("actPause", "Pause Task", &F::actPauseExecute, &F::actPause)
            .withHint("Set Paused")
            .withIcon(TaskIcon::Pause),
        Row::action("actComplete", "Complete Task", &F::actCompleteExecute, &F::actComplete)
            .withHint("Set to Complete ")
            .withIcon(TaskIcon::Complete),
        Row::action("actDelete", "Delete Task", &F::actDeleteExecute, &F::actDelete)
            .withHint("Delete Task")
            .withIcon(TaskIcon::Delete),
        Row::action("actBookmark", "Bookmark Task", &F::actBookmarkExecute, &F::actBookmark)
            .withHint("Bookmark Task")
            .withIcon(TaskIcon::Bookmark),
        Row::action("ActLastNow", "Last Actioned Now", &F::ActLastNowExecute, &F::ActLastNow),
        Row::action("actSetDate", "Set Date", &F::actSetDateExecute, &F::actSetDate)
            .withHint("Date ")
            .withIcon(TaskIcon::Date)
            .disabledAtFirst(),
        // The first button adds a task from the quick-add bar, as the bar's own button does.
        Row::action("actAddTask", "Add Task", &F::SpeedButton1Click, &F::actAddTask).withIcon(TaskIcon::Add),
        Row::action("actLinkToList", "Link to Task List", &F::Link1Click, &F::actLinkToList)
            .withIcon(TaskIcon::Link),
        Row::action("actLinkTaskList", "Link Task List", &F::ToolButton9Click, &F::actLinkTaskList)
            .withIcon(TaskIcon::Link),
        Row::action(
            "actLinkRelatedFile", "Link to Related File", &F::LinktoFile1Click, &F::actLinkRelatedFile)
            .withIcon(TaskIcon::Link),
        Row::action("actLinkURL", "Link to URL", &F::LinktoURL1Click, &F::actLinkURL)
            .withIcon(TaskIcon::Link)
            .disabledAtFirst(),
        // The three open buttons run the popup menu's open commands.
        Row::action(
            "actOpenLinkedList", "Open linked List", &F::OpenLinkedTaskList1Click, &F::actOpenLinkedList)
            .withIcon(TaskIcon::Start),
        Row::action("actOpenLinkedFile", "Open Linked File", &F::OpenRelatedFile1Click, &F::actOpenLinkedFile)
            .withIcon(TaskIcon::Start),
        Row::action("actOpenURL", "Open URL", &F::OpenURL1Click, &F::actOpenURL).withIcon(TaskIcon::Start),
        Row::action("actCopy", "Copy", &F::Copy1Click, &F::actCopy),
        Row::action("actComments", "Comments", &F::Comments1Click, &F::actComments).disabledAtFirst(),
        Row::action("actDetails", "Details", &F::Details1Click, &F::actDetails).disabledAtFirst(),

        // The tool bar ToolBar1, left to right.
        Row::toolButton("ToolButton14").runs(&F::actAddTask).thenSeparator(),
        Row::toolButton("tbCancel").runs(&F::actCancel),
        Row::toolButton("ToolButton10").runs(&F::actPause),
        Row::toolButton("ToolButton11").runs(&F::acInProgress),
        Row::toolButton("ToolButton2").runs(&F::actComplete).thenSeparator(),
        Row::toolButton("ToolButton3").runs(&F::actDelete),
        Row::toolButton("ToolButton6").runs(&F::acSetProgress),
        Row::toolButton("ToolButton4").runs(&F::actBookmark),
        Row::toolButton("ToolButton12").runs(&F::actSetDate).thenSeparator(),
        Row::toolButton("ToolButton9").runs(&F::actLinkTaskList),
        Row::toolButton("ToolButton8").runs(&F::actLinkRelatedFile),
        Row::toolButton("ToolButton16").runs(&F::actLinkURL).thenSeparator(),
        Row::toolButton("ToolButton18").runs(&F::actOpenLinkedList),
        Row::toolButton("ToolButton19").runs(&F::actOpenLinkedFile),
        Row::toolButton("ToolButton20").runs(&F::actOpenURL),

        // The grid's popup menu PopupMenu1. Its keys act while the grid has the focus, not while a
        // cell editor has it.
        Row::popupItem(&F::PopupMenu1, "CancelTask1", "Cancel Task")
            .withIcon(TaskIcon::Cancel)
            .runs(&F::actCancel),
        Row::popupItem(&F::PopupMenu1, "PauseTask1", "Pause Task")
            .withIcon(TaskIcon::Pause)
            .runs(&F::actPause),
        Row::popupItem(&F::PopupMenu1, "StartTask1", "Start Task")
            .withIcon(TaskIcon::Start)
            .runs(&F::acInProgress),
        Row::popupItem(&F::PopupMenu1, "CompleteTask1", "Complete Task")
            .withIcon(TaskIcon::Complete)
            .runs(&F::actComplete),
        Row::popupItem(&F::PopupMenu1, "DeleteTask1", "Delete Task")
            .withIcon(TaskIcon::Delete)
            .withKeys(CommandKeys::own(QKeySequence(Qt::Key_Delete)))
            .runs(&F::actDelete)
            .thenSeparator(),
        Row::popupItem(&F::PopupMenu1, "Progress1", "Progress")
            .withIcon(TaskIcon::Progress)
            .runs(&F::acSetProgress),
        Row::popupItem(&F::PopupMenu1, "SetDates1", "Set Date")
            .withIcon(TaskIcon::SetDate)
            .runs(&F::actSetDate),
        Row::popupItem(&F::PopupMenu1, "BookmarkTask1", "Bookmark Task")
            .withIcon(TaskIcon::Bookmark)
            .runs(&F::actBookmark),
        Row::popupItem(&F::PopupMenu1, "Lastactionednow1", "Last Actioned Now")
            .runs(&F::ActLastNow)
            .thenSeparator(),
        Row::popupItem(&F::PopupMenu1, "Link1", "Link to Task List")
            .withIcon(TaskIcon::Link)
            .runs(&F::actLinkToList),
        Row::popupItem(&F::PopupMenu1, "LinktoFile1", "Link to Related File")
            .withIcon(TaskIcon::Link)
            .withKeys(CommandKeys::own(QKeySequence(Qt::CTRL | Qt::Key_F)))
            .runs(&F::actLinkRelatedFile),
        Row::popupItem(&F::PopupMenu1, "LinktoURL1", "Link to URL")
            .withIcon(TaskIcon::Link)
            .withKeys(CommandKeys::own(QKeySequence(Qt::CTRL | Qt::Key_U)))
            .runs(&F::actLinkURL),
        Row::popupItem(&F::PopupMenu1, "OpenLinkedTaskList1", "Open Linked Task List")
            .runs(&F::actOpenLinkedList),
        Row::popupItem(&F::PopupMenu1, "OpenRelatedFile1", "Open Related File").runs(&F::actOpenLinkedFile),
        Row::popupItem(&F::PopupMenu1, "OpenURL1", "Open URL").runs(&F::actOpenURL).thenSeparator(),
        Row::popupItem(&F::PopupMenu1, "Copy1", "Copy")
            .withKeys(CommandKeys::own(QKeySequence(Qt::CTRL | Qt::Key_C)))
            .runs(&F::actCopy)
            .thenSeparator(),
        Row::popupItem(&F::PopupMenu1, "Comments1", "Comments").runs(&F::actComments),
        Row::popupItem(&F::PopupMenu1, "Details1", "Details")
            .withKeys(CommandKeys::own(QKeySequence(Qt::Key_F12)))
            .runs(&F::actDetails),

        // The quick-add box's popup menu PopupMenu2 and the key/value editor's PopupMenu3.
        Row::popupItem(&F::PopupMenu2, "Paste1", "Paste").does(&F::Paste1Click),
        Row::popupItem(&F::PopupMenu3, "AddProperty1", "Add Property")
            .does(&F::AddProperty1Click)
            .disabledAtFirst(),
    };
    return table;
}

void TfrTasks::buildCommandControls()
{
    ToolBar1 = new QToolBar;
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    // Transparent: the band's picture shows through.
    ToolBar1->setStyleSheet(QStringLiteral("QToolBar { background: transparent; border: none; }"));
    for (QMenu **menu : { &PopupMenu1, &PopupMenu2, &PopupMenu3 })
        *menu = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    PopupMenu3->setObjectName(QStringLiteral("PopupMenu3"));

    CommandLook<TfrTasks, TaskIcon> look;
    look.icon = taskIcon;
    look.toolBar = ToolBar1;
    look.addToolButton = [this](QAction *action, const char *name, bool, const QString &) {
        ToolBar1->addAction(action);
        QWidget *button = ToolBar1->widgetForAction(action);
        button->setObjectName(QString::fromLatin1(name));
        button->setFixedSize(25, 24);
    };
    look.itemKeyContext = Qt::WidgetShortcut;
    look.itemKeyWidget = DBGrid1;
    m_commandActions = buildCommands(*this, commandTable(), look);

    DBGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(DBGrid1, &QWidget::customContextMenuRequested, this,
        [this](const QPoint &pos) { PopupMenu1->popup(DBGrid1->viewport()->mapToGlobal(pos)); });
}

void TfrTasks::setUpQuickAddBar()
{
    // The difficulties of the pick list, starting on the middle one; three of the four priorities
    // ("Urgent" is set in the grid), most usual first.
    cbDifficulty->addItems(DifficultyWords());
    cbDifficulty->setCurrentIndex(int(DifficultyWords().indexOf(TaskDifficulty::Moderate)));
    cbPriority->addItems({ TaskPriority::Normal, TaskPriority::High, TaskPriority::Low });

    SpeedButton1->setIcon(taskIcon(TaskIcon::Add));
    connect(SpeedButton1, &QToolButton::clicked, this, &TfrTasks::SpeedButton1Click);
    // Enter adds the task; the line edit neither beeps nor inserts anything for it.
    connect(Edit2, &QLineEdit::returnPressed, this, &TfrTasks::SpeedButton1Click);

    // The menu takes the place of the entry box's standard one.
    connect(Edit2, &QWidget::customContextMenuRequested, this,
        [this](const QPoint &pos) { PopupMenu2->popup(Edit2->mapToGlobal(pos)); });
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
        m_fileIdentity = m_cdsTasks.ReadFromFile(fileName);
        m_listFileName = fileName;
        m_cdsTasks.Open();
        m_cdsTasks.MoveFirst();
    }
    // Selected from code, these run none of the bar's choice commands.
    cbOrder->setCurrentIndex(2);
    m_cdsTasks.SetIndexName(TaskOrder::ID);
    cbShow->setCurrentIndex(0);
    followLoadedFields();
    FocusQuickAdd();
}

qint64 TfrTasks::backgroundOpenBytes()
{
    return backgroundBytes;
}

void TfrTasks::setBackgroundOpenBytes(qint64 bytes)
{
    backgroundBytes = bytes;
}

bool TfrTasks::BeginOpenList(const QString &fileName)
{
    const QFileInfo file(fileName);
    if (!file.exists() || file.size() < backgroundBytes) {
        OpenList(fileName, false);
        return false;
    }
    // The table is not shared while it is read: the worker reads into one of its own, with this
    // list's orders, which the frame then takes over whole. A view being built for what it held
    // is dropped.
    m_filtering->stop();
    m_filteringActivity.clear();
    m_cdsTasks.Close();
    m_cdsTasks.ClearFields();
    startReading(fileName);
    return true;
}

void TfrTasks::startReading(const QString &fileName)
{
    m_opening = new ListOpening(fileName, defineReadList);
    connect(m_opening, &ListOpening::progressChanged, this, &TfrTasks::showOpenProgress);
    connect(m_opening, &ListOpening::finished, this, &TfrTasks::openingFinished);
    setOpening(true);
    showOpenProgress(0);
}

void TfrTasks::CancelOpen()
{
    if (m_opening)
        m_opening->cancel();
}

void TfrTasks::showOpenProgress(int percent)
{
    if (!m_opening)
        return;
    m_openProgress->setValue(percent);
    m_activity->setText(QStringLiteral("%1 %2 %3 %")
                            .arg(m_reloading ? QStringLiteral("Reloading") : QStringLiteral("Opening"),
                                FileNameWithoutExt(m_opening->path()))
                            .arg(percent));
}

void TfrTasks::setOpening(bool opening)
{
    for (QWidget *part :
        { static_cast<QWidget *>(Panel1), static_cast<QWidget *>(CoolBar1), static_cast<QWidget *>(DBGrid1),
            static_cast<QWidget *>(PageControl1), static_cast<QWidget *>(Panel2) })
        part->setEnabled(!opening);
    m_openProgress->setVisible(opening);
    m_cancelOpen->setVisible(opening);
    m_escCancelsOpen->setEnabled(opening);
    if (opening) {
        m_cancelOpen->setFocus();
    } else {
        m_activity->clear();
    }
}

void TfrTasks::openingFinished()
{
    // The opening is told to end from inside its own signal: it goes once that is over.
    ListOpening *opening = std::exchange(m_opening, nullptr);
    opening->disconnect(this);
    opening->deleteLater();
    setOpening(false);
    if (std::exchange(m_reloading, false)) {
        reloadFinished(*opening);
        return;
    }
    OpenOutcome outcome = OpenOutcome::Cancelled;
    QString message;
    if (opening->outcome() == ListOpening::Outcome::Failed) {
        outcome = OpenOutcome::Failed;
        message = opening->errorMessage();
    } else if (opening->outcome() == ListOpening::Outcome::Opened) {
        try {
            const std::unique_ptr<ClientTable> table = opening->takeTable();
            m_cdsTasks.AdoptContents(*table);
            m_fileIdentity = opening->identity();
            m_listFileName = opening->path();
            // Selected from code, these run none of the bar's choice commands.
            cbOrder->setCurrentIndex(2);
            m_cdsTasks.SetIndexName(TaskOrder::ID);
            cbShow->setCurrentIndex(0);
            m_cdsTasks.MoveFirst();
            followLoadedFields();
            FocusQuickAdd();
            outcome = OpenOutcome::Opened;
        } catch (...) {
            outcome = OpenOutcome::Failed;
            message = currentExceptionMessage();
        }
    }
    // Whoever is told may close this frame: nothing of it is touched afterwards.
    emit openEnded(outcome, message);
}

void TfrTasks::followLoadedFields()
{
    // The Text page edits the raw text of the task's properties. A new list has the field too, and
    // its Text page shows it as a loaded list's does.
    if (FieldExists(m_cdsTasks, PropertiesField))
        DBMemo1->bind(*m_DataSource1, PropertiesField);
    else
        DBMemo1->unbind();
    // A loaded list builds only the ID order while it opens; the others follow while the program
    // is idle, a large list's on a worker thread. An order the user chose that was still being
    // built (the list was reloaded meanwhile) is built again and shown when ready.
    const QString pending = std::exchange(m_pendingOrder, QString());
    m_sortingActivity.clear();
    // A view that was being built for the list as it was is dropped; the list shows its own.
    m_filtering->stop();
    m_filteringActivity.clear();
    showActivity();
    m_orders->prepareAll();
    if (!pending.isEmpty()) {
        try {
            chooseOrder(pending);
        } catch (...) {
            // The list no longer has the order's field: the grid keeps the order it shows.
        }
    }
}

void TfrTasks::reloadList()
{
    // The file is read into a table of its own, so that a file that cannot be read as a list leaves
    // the tab as it was.
    const FileContents contents = readRegularFile(m_listFileName);
    auto fresh = std::make_unique<ClientTable>();
    defineReadList(*fresh);
    fresh->ReadFromBytes(contents.bytes);
    adoptReloaded(std::move(fresh), contents.identity);
}

bool TfrTasks::BeginReload()
{
    const QFileInfo file(m_listFileName);
    if (!file.exists() || file.size() < backgroundBytes) {
        reloadList();
        return false;
    }
    m_reloading = true;
    startReading(m_listFileName);
    return true;
}

void TfrTasks::reloadFinished(ListOpening &opening)
{
    if (opening.outcome() == ListOpening::Outcome::Failed) {
        reportError(opening.errorMessage(), ErrorTiming::Now);
    } else if (opening.outcome() == ListOpening::Outcome::Opened) {
        runGuarded([&] { adoptReloaded(opening.takeTable(), opening.identity()); });
    }
}

void TfrTasks::adoptReloaded(std::unique_ptr<ClientTable> fresh, const FileIdentity &identity)
{
    std::optional<Value> currentId;
    if (m_cdsTasks.Active() && m_cdsTasks.RowCount() > 0 && m_cdsTasks.LookupField(TaskField::ID))
        currentId = m_cdsTasks.GetValue(TaskField::ID);
    const QString order = m_pendingOrder.isEmpty() ? m_cdsTasks.IndexName() : m_pendingOrder;
    const QString filter = m_cdsTasks.Filter();
    const bool filtered = m_cdsTasks.Filtered();

    // Orders still being built for the list as it was are of no use any more.
    m_orders->stop();
    m_pendingOrder.clear();
    if (m_cdsTasks.IsEditing())
        m_cdsTasks.CancelRow();
    m_cdsTasks.AdoptContents(*fresh);
    // `fresh` now holds the list as it was.
    freeInBackground(std::move(fresh));
    m_fileIdentity = identity;

    // The list's own order and view follow when the file still has their fields; a large list's
    // order is built on a worker and shown when ready.
    followLoadedFields();
    try {
        chooseOrder(order);
    } catch (const Error &) {
        cbOrder->setCurrentIndex(2);
        chooseOrder(TaskOrder::ID);
    }
    if (filtered) {
        m_cdsTasks.SetFilter(filter);
        try {
            m_cdsTasks.SetFiltered(true);
        } catch (const Error &) {
            cbShow->setCurrentIndex(0);
            m_cdsTasks.SetFiltered(false);
        }
    }
    if (!currentId || currentId->isNull() || !m_cdsTasks.LocateRow(TaskField::ID, *currentId))
        m_cdsTasks.MoveFirst();
    clearUnsavedMark();
    m_statusPanels[1]->setText(QStringLiteral("Reloaded"));
}

void TfrTasks::FocusQuickAdd()
{
    if (isVisible() && isEnabled())
        Edit2->setFocus();
}

void TfrTasks::SetCategoryItems(const QStringList &categories)
{
    cbCat->clear();
    cbCat->addItems(categories);
    // Adding items to an empty box selects the first one.
    cbCat->setCurrentIndex(-1);
    cbCat->clearEditText();
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
    clearUnsavedMark();
    m_statusPanels[1]->setText(Saved);
}

void TfrTasks::clearUnsavedMark()
{
    // Only a mark this frame added is taken away: when the main window has just given the tab a
    // new name, that name stays.
    if (m_modified && !m_markedCaption.isEmpty() && m_tabCaption->text() == m_markedCaption)
        m_tabCaption->setText(m_savedTabCaption);
    m_markedCaption.clear();
    m_modified = false;
}

// ---------------------------------------------------------------------------------------------
// Reactions of the table

void TfrTasks::cdsTasksAfterInsert()
{
    MarkUnsaved();
}

void TfrTasks::cdsTasksAfterEdit()
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
            LoadPropertyList(*ValueListEditor1, m_cdsTasks, PropertiesField);
    } catch (...) {
        // The status bar and the side panel are a courtesy: a failure to refresh them must not
        // stop the movement.
    }
    // The picker writes into the current task: over another task it would write into the wrong one.
    HideDatePicker();
}

void TfrTasks::showItemCount()
{
    // The count follows every row that comes or goes.
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

void TfrTasks::acInProgressExecute()
{
    runStateCommand(TaskCommands::StateCommand::Start);
}

void TfrTasks::actCancelExecute()
{
    runStateCommand(TaskCommands::StateCommand::Cancel);
}

void TfrTasks::actPauseExecute()
{
    runStateCommand(TaskCommands::StateCommand::Pause);
}

void TfrTasks::actCompleteExecute()
{
    runStateCommand(TaskCommands::StateCommand::Complete);
}

void TfrTasks::actBookmarkExecute()
{
    runStateCommand(TaskCommands::StateCommand::Bookmark);
}

void TfrTasks::ActLastNowExecute()
{
    runStateCommand(TaskCommands::StateCommand::LastActionedNow);
}

void TfrTasks::runStateCommand(TaskCommands::StateCommand command)
{
    runGuarded([&] {
        // Editing the task marks the list (the edit reaction); a list whose file lacks a field stops
        // at it and leaves the task pending with what was written.
        TaskCommands::RunStateCommand(m_cdsTasks, command, Clock::today());
        MarkUnsaved();
    });
}

void TfrTasks::SetPickers(TaskPickers *pickers)
{
    m_pickers = pickers;
    // The commands that ask through a dialog wait for the dialogs.
    const std::vector<Command<TfrTasks, TaskIcon>> &table = commandTable();
    for (size_t i = 0; i < table.size(); ++i)
        if (table[i].startsDisabled)
            m_commandActions[i]->setEnabled(pickers != nullptr);
}

void TfrTasks::acSetProgressExecute()
{
    runGuarded([this] {
        if (!m_pickers)
            return;
        // The value is stored as handed back, without a range check; the task is "In progress"
        // whatever it is.
        const qint64 progress = m_pickers->pickProgress(TaskCommands::CurrentProgress(m_cdsTasks));
        TaskCommands::SetProgress(m_cdsTasks, progress, Clock::today());
        MarkUnsaved();
    });
}

void TfrTasks::actSetDateExecute()
{
    runGuarded([this] {
        if (!m_pickers)
            return;
        const std::optional<TaskPickers::DateChoice> choice = m_pickers->pickDate();
        if (!choice)
            return;
        TaskCommands::SetDate(m_cdsTasks, choice->field, choice->date);
        MarkUnsaved();
    });
}

void TfrTasks::actDeleteExecute()
{
    runGuarded([this] {
        if (Ui::current().question(QStringLiteral("Delete current task ?")) != Answer::Yes)
            return;
        TaskCommands::DeleteCurrent(m_cdsTasks);
        MarkUnsaved();
    });
}

void TfrTasks::FrameMouseWheel(int delta)
{
    if (delta == 0)
        return;
    // One task per turn, however large the turn. Text being typed into a cell is stored with the
    // row that is left, as every post stores what the editors hold.
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
    choice.priority = cbPriority->currentText();
    choice.difficulty = cbDifficulty->currentText();
    choice.category = cbCat->currentText();
    if (!TaskCommands::QuickAdd(m_cdsTasks, Edit2->text(), choice, Clock::today()))
        return;

    Edit2->clear();
    // Both boxes go back to their first items: the difficulty to "Easy", not to the "Moderate" it
    // started with. The category stays for the next task.
    cbPriority->setCurrentIndex(0);
    cbDifficulty->setCurrentIndex(0);
    MarkUnsaved();
}

void TfrTasks::Paste1Click()
{
    runGuarded([this] { Edit2->paste(); });
}

} // namespace ql
