#include "tasks/TaskGrid.h"

#include "platform/gui/BarPicture.h"
#include "platform/gui/ErrorBox.h"
#include "platform/gui/Ui.h"
#include "storage/TaskSchema.h"
#include "tasks/TaskGridModel.h"

#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QScopedValueRollback>
#include <QStyledItemDelegate>

namespace ql {

namespace {

const QString DeleteQuestion = QStringLiteral("Delete record?");
const QKeySequence NewTaskKey(Qt::Key_Insert);
const QKeySequence DeleteTaskKey(Qt::CTRL | Qt::Key_Delete);

// Keys that type a character, as opposed to keys that move, edit or end.
bool typesCharacter(const QKeyEvent &event)
{
    const QString text = event.text();
    return !text.isEmpty() && text.at(0).isPrint()
        && !(event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
}

} // namespace

// Draws the cells through the grid's owner and makes the cell editors: a drop-down list for a
// column with a pick list, a line editor otherwise. Puts the row into edit mode at the first change
// in an editor, not only when the cell is written: the list shows itself unsaved while the user is
// still typing. Remembers the editor it made last, so that the grid can end it.
class TaskGrid::CellDelegate final : public QStyledItemDelegate
{
public:
    explicit CellDelegate(TaskGrid *grid)
        : QStyledItemDelegate(grid)
        , m_grid(grid)
    {
    }

    QWidget *lastEditor() const { return m_lastEditor; }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        if (m_grid->m_handlers.drawCell)
            m_grid->m_handlers.drawCell(*painter, option.rect, index, index == m_grid->currentIndex());
        else
            QStyledItemDelegate::paint(painter, option, index);
    }

    QWidget *createEditor(
        QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        auto *model = qobject_cast<TaskGridModel *>(const_cast<QAbstractItemModel *>(index.model()));
        const QPersistentModelIndex cell(index);
        const auto beginRowEdit = [model, cell] {
            if (model && cell.isValid())
                model->beginRowEdit(cell.row());
        };
        QWidget *editor = nullptr;
        const auto pick = m_grid->m_pickLists.find(index.column());
        if (pick != m_grid->m_pickLists.end()) {
            auto *combo = new QComboBox(parent);
            combo->setEditable(pick->second.typing);
            combo->addItems(pick->second.items);
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->setFrame(false);
            // A value chosen from the list is written into the row at once.
            auto *self = const_cast<CellDelegate *>(this);
            connect(combo, &QComboBox::activated, combo, [self, combo, beginRowEdit] {
                beginRowEdit();
                emit self->commitData(combo);
            });
            if (QLineEdit *line = combo->lineEdit()) {
                connect(line, &QLineEdit::textEdited, line, beginRowEdit);
                line->installEventFilter(m_grid);
            }
            editor = combo;
        } else {
            editor = QStyledItemDelegate::createEditor(parent, option, index);
            if (auto *line = qobject_cast<QLineEdit *>(editor))
                connect(line, &QLineEdit::textEdited, line, beginRowEdit);
        }
        if (editor)
            editor->installEventFilter(m_grid);
        m_lastEditor = editor;
        return editor;
    }

    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        auto *combo = qobject_cast<QComboBox *>(editor);
        if (!combo) {
            QStyledItemDelegate::setEditorData(editor, index);
            return;
        }
        const QString text = index.data(Qt::EditRole).toString();
        if (combo->isEditable())
            combo->setEditText(text);
        else
            combo->setCurrentIndex(combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
    }

    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override
    {
        if (auto *combo = qobject_cast<QComboBox *>(editor)) {
            // A list without a choice leaves the cell as it is.
            if (combo->isEditable() || combo->currentIndex() >= 0)
                model->setData(index, combo->currentText(), Qt::EditRole);
            return;
        }
        QStyledItemDelegate::setModelData(editor, model, index);
    }

private:
    TaskGrid *m_grid;
    mutable QPointer<QWidget> m_lastEditor;
};

namespace {

struct ColumnWidth
{
    const QString &field;
    int width;
};

const ColumnWidth Widths[] = {
    { TaskField::ID, 23 },
    { TaskField::Task, 271 },
    { TaskField::Status, 86 },
    { TaskField::Difficulty, 82 },
    { TaskField::Priority, 69 },
    { TaskField::Progress, 120 },
    { TaskField::Category, 112 },
    { TaskField::CreatedDate, 75 },
    { TaskField::LastActioned, 78 },
    { TaskField::CompletedDate, 85 },
    { TaskField::StartDate, 73 },
    { TaskField::AssignedTo, 102 },
    { TaskField::Comments, 300 },
    { TaskField::RelatedFile, 300 },
    { TaskField::LinkedList, 300 },
    { TaskField::URL, 150 },
};

} // namespace

TaskGrid::TaskGrid(QWidget *parent)
    : QTableView(parent)
{
    setFrameShape(QFrame::NoFrame);
    setShowGrid(true);
    applyGridLook(this);
    horizontalHeader()->setSectionsMovable(false);
    setTabKeyNavigation(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
        | QAbstractItemView::AnyKeyPressed);
    m_delegate = new CellDelegate(this);
    setItemDelegate(m_delegate);
}

const QList<QKeySequence> &TaskGrid::ownKeys()
{
    static const QList<QKeySequence> keys { NewTaskKey, DeleteTaskKey };
    return keys;
}

TaskGrid::~TaskGrid()
{
    if (m_source)
        m_source->removeEditor(this);
}

void TaskGrid::setTaskModel(TaskGridModel *model)
{
    if (m_source) {
        m_source->removeEditor(this);
        disconnect(m_source, nullptr, this, nullptr);
    }
    m_model = model;
    setModel(model);
    m_source = model->dataSource();
    if (m_source) {
        // Text still in an open cell editor belongs to the row, whoever stores it: Save, Close All,
        // the Exit pass and quick add store what the user sees.
        m_source->addEditor(this);
        connect(m_source, &DataSource::currentRowChanged, this, &TaskGrid::followTable);
        // A post places its row by the active order without moving the cursor as such: the grid's
        // current row goes with it.
        connect(m_source, &DataSource::rowsChanged, this, &TaskGrid::followTable);
    }
    // A view submits its model at every change of the current row. Here the row that is left is
    // stored by currentChanged(), and a change of row that only follows the table (to a new row
    // being inserted, say) must store nothing.
    disconnect(selectionModel(), &QItemSelectionModel::currentRowChanged, model, nullptr);
    // Columns without a width of their own are as wide as their field's display width asks.
    const QFontMetrics metrics(font());
    for (int column = 0; column < model->columnCount(); ++column)
        setColumnWidth(column, model->defaultColumnWidth(column, metrics));
    for (const ColumnWidth &w : Widths)
        setColumnWidth(TaskGridModel::columnOf(w.field), w.width);
    setColumnHidden(TaskGridModel::columnOf(TaskField::Details), true);
}

void TaskGrid::setPickList(int column, const QStringList &items, bool typing)
{
    m_pickLists[column] = { items, typing };
}

QStringList TaskGrid::pickList(int column) const
{
    const auto found = m_pickLists.find(column);
    return found == m_pickLists.end() ? QStringList() : found->second.items;
}

void TaskGrid::followTable()
{
    if (!m_model)
        return;
    const QScopedValueRollback<bool> following(m_following, true);
    const int row = m_model->currentRow();
    if (row < 0 || row >= m_model->rowCount())
        return;
    const int column = currentIndex().isValid() ? currentIndex().column() : 0;
    const QModelIndex target = m_model->index(row, column);
    if (target == currentIndex()) {
        // A post that placed the row elsewhere in the order took the current cell along with it:
        // the grid shows it at its new place.
        scrollTo(target);
        return;
    }
    // The table has moved on: an editor left open on another row has no row to write to.
    if (currentIndex().row() != row)
        finishEditing(false);
    setCurrentIndex(target);
}

void TaskGrid::finishEditing(bool commit)
{
    QWidget *editor = m_delegate->lastEditor();
    if (state() != QAbstractItemView::EditingState || !editor)
        return;
    if (commit)
        commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void TaskGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    {
        // The base commits and closes an open editor.
        const QScopedValueRollback<bool> changing(m_changingRow, true);
        QTableView::currentChanged(current, previous);
    }
    if (current.isValid() && current.column() != previous.column() && m_handlers.colEnter)
        m_handlers.colEnter();
    if (m_following || !m_model || !current.isValid())
        return;
    // Off a row that goes, the view moves to a neighbour on its own; the table has put its cursor
    // where it belongs already, and the grid follows it once the change is told.
    if (m_model->changingRows() || current.row() == m_model->currentRow())
        return;
    // Leaving a row stores it; when the table refuses, the grid returns to the pending row.
    m_model->moveToRow(current.row());
    followTable();
}

void TaskGrid::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    if (m_changingRow && hint == QAbstractItemDelegate::SubmitModelCache) {
        // The row that is left is stored once, by currentChanged(), not here as well.
        QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
        return;
    }
    QTableView::closeEditor(editor, hint);
    // Enter stored the row and Esc abandoned it: the row may have moved in the order, or gone.
    if (!m_changingRow
        && (hint == QAbstractItemDelegate::SubmitModelCache
            || hint == QAbstractItemDelegate::RevertModelCache))
        followTable();
}

bool TaskGrid::keyDiscarded(const QKeyEvent &event) const
{
    if (m_handlers.keyDown && m_handlers.keyDown(event))
        return true;
    return typesCharacter(event) && m_handlers.keyPress && m_handlers.keyPress(event);
}

bool TaskGrid::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && watched != this) {
        const auto &key = static_cast<const QKeyEvent &>(*event);
        if (keyDiscarded(key))
            return true;
        // A list that takes no typing does not pick an item by its first letter either.
        auto *combo = qobject_cast<QComboBox *>(watched);
        if (combo && !combo->isEditable() && typesCharacter(key))
            return true;
    }
    return QTableView::eventFilter(watched, event);
}

void TaskGrid::keyPressEvent(QKeyEvent *event)
{
    if (keyDiscarded(*event)) {
        event->accept();
        return;
    }
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (m_model && state() != QAbstractItemView::EditingState) {
        const QKeySequence key(QKeyCombination(modifiers, Qt::Key(event->key())));
        if (key == NewTaskKey) {
            insertRecord();
            event->accept();
            return;
        }
        if (key == DeleteTaskKey) {
            deleteRecord();
            event->accept();
            return;
        }
    }
    // With no cell editor open, Enter and Esc still act on a row that has pending changes.
    if (m_model && state() != QAbstractItemView::EditingState && m_model->rowPending()
        && modifiers == Qt::NoModifier) {
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            m_model->submit();
            followTable();
            event->accept();
            return;
        case Qt::Key_Escape:
            m_model->revert();
            followTable();
            event->accept();
            return;
        default:
            break;
        }
    }
    QTableView::keyPressEvent(event);
}

void TaskGrid::insertRecord()
{
    m_model->insertRecord();
    followTable();
}

void TaskGrid::deleteRecord()
{
    if (!m_model->hasRecord())
        return;
    if (!Ui::current().confirm(DeleteQuestion))
        return;
    if (m_model->deleteRecord())
        emit recordDeleted();
    followTable();
}

void TaskGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    QTableView::mouseDoubleClickEvent(event);
    if (m_handlers.dblClick && indexAt(event->position().toPoint()).isValid())
        m_handlers.dblClick();
}

} // namespace ql
