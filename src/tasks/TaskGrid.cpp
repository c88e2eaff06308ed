#include "tasks/TaskGrid.h"

#include "platform/gui/BarPicture.h"
#include "storage/TaskSchema.h"
#include "tasks/TaskGridModel.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QScopedValueRollback>
#include <QStyledItemDelegate>

namespace ql {

// Puts the row into edit mode at the first keystroke in a cell editor, not only when the cell is
// written: the list shows itself unsaved while the user is still typing. Remembers the editor it
// made last, so that the grid can end it.
class TaskGrid::RowEditDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget *lastEditor() const { return m_lastEditor; }

    QWidget *createEditor(
        QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
        auto *line = qobject_cast<QLineEdit *>(editor);
        auto *model = qobject_cast<TaskGridModel *>(const_cast<QAbstractItemModel *>(index.model()));
        if (line && model) {
            const QPersistentModelIndex cell(index);
            connect(line, &QLineEdit::textEdited, line, [model, cell] {
                if (cell.isValid())
                    model->beginRowEdit(cell.row());
            });
        }
        m_lastEditor = editor;
        return editor;
    }

private:
    mutable QPointer<QWidget> m_lastEditor;
};

namespace {

struct ColumnWidth
{
    const char *field;
    int width;
};

const ColumnWidth Widths[] = {
    { "ID", 23 },
    { "Task", 271 },
    { "Status", 86 },
    { "Difficulty", 82 },
    { "Priority", 69 },
    { "Progress", 120 },
    { "Category", 112 },
    { "CreatedDate", 75 },
    { "LastActioned", 78 },
    { "CompletedDate", 85 },
    { "StartDate", 73 },
    { "AssignedTo", 102 },
    { "Comments", 300 },
    { "RelatedFile", 300 },
    { "LinkedList", 300 },
    { "URL", 150 },
};

} // namespace

TaskGrid::TaskGrid(QWidget *parent)
    : QTableView(parent)
{
    setFrameShape(QFrame::NoFrame);
    setShowGrid(true);
    applyGridLook(this);
    horizontalHeader()->setSectionsMovable(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    setTabKeyNavigation(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
        | QAbstractItemView::AnyKeyPressed);
    m_delegate = new RowEditDelegate(this);
    setItemDelegate(m_delegate);
}

void TaskGrid::setTaskModel(TaskGridModel *model)
{
    m_model = model;
    setModel(model);
    // A view submits its model at every change of the current row. Here the row that is left is
    // stored by currentChanged(), and a change of row that only follows the table (to a new row
    // being inserted, say) must store nothing.
    disconnect(selectionModel(), &QItemSelectionModel::currentRowChanged, model, nullptr);
    for (const ColumnWidth &w : Widths)
        setColumnWidth(TaskGridModel::columnOf(QString::fromLatin1(w.field)), w.width);
    setColumnHidden(TaskGridModel::columnOf(TaskField::Details), true);
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
    if (target == currentIndex())
        return;
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
    if (m_following || !m_model || !current.isValid())
        return;
    if (current.row() == m_model->currentRow())
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

void TaskGrid::keyPressEvent(QKeyEvent *event)
{
    // With no cell editor open, Enter and Esc still act on a row that has pending changes.
    if (m_model && state() != QAbstractItemView::EditingState && m_model->rowPending()
        && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
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

} // namespace ql
