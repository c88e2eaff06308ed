#pragma once

#include "storage/DataSource.h"

#include <QKeySequence>
#include <QList>
#include <QPointer>
#include <QStringList>
#include <QTableView>
#include <functional>
#include <map>

namespace ql {

class TaskGridModel;

// The task grid: a table view over a TaskGridModel whose current row is the table's current row.
// Moving to another row stores the row that is left (one stored version per visit, however many
// of its cells changed); Enter stores the row in place; Esc abandons its change; Insert starts a
// new task; Ctrl+Del deletes the current task once the user confirms.
//
// It follows the table through the model's data source: after every movement of the cursor and
// every change of the rows it shows the table's current row. As an editor of that data source it
// writes the text of an open cell editor into the row before the row is posted by any route.
//
// Its owner draws the cells and sees the keys, column changes and double clicks first, through the
// handlers it sets (see Handlers).
class TaskGrid final : public QTableView, public DataSource::Editor
{
    Q_OBJECT

public:
    struct Handlers
    {
        // Draws one data cell in `rect`; `current` says whether it is the grid's current cell.
        std::function<void(QPainter &, const QRect &, const QModelIndex &, bool current)> drawCell;
        // A key pressed in the grid or its cell editor; true discards it. keyDown sees every key,
        // keyPress only keys that type a character.
        std::function<bool(const QKeyEvent &)> keyDown;
        std::function<bool(const QKeyEvent &)> keyPress;
        // The current column changed.
        std::function<void()> colEnter;
        // A double click on a cell, after the grid's own handling.
        std::function<void()> dblClick;
    };

    explicit TaskGrid(QWidget *parent = nullptr);
    ~TaskGrid() override;

    // The keys the grid acts on itself while no cell editor is open: Insert starts a new task,
    // Ctrl+Del deletes the current one.
    static const QList<QKeySequence> &ownKeys();

    void setTaskModel(TaskGridModel *model);
    TaskGridModel *taskModel() const { return m_model; }
    void setHandlers(Handlers handlers) { m_handlers = std::move(handlers); }

    // The drop-down list of a column's cell editor. `typing` says whether text that is not in the
    // list may be typed into it; without it the value changes only through the list.
    void setPickList(int column, const QStringList &items, bool typing);
    QStringList pickList(int column) const;

    // Shows the table's current row as the grid's current row, scrolled into view, after the table
    // moved or changed by any route (a command, the wheel, a post that placed the row by the active
    // order). The data source's notices run it; the grid's own keys run it after they change rows.
    void followTable();
    // Ends an open cell editor: `commit` writes its text into the row first, otherwise the text
    // is dropped. Used before the table moves on from the row the editor belongs to.
    void finishEditing(bool commit);
    void flushToRow() override { finishEditing(true); }

signals:
    // A task was deleted from the grid (Ctrl+Del).
    void recordDeleted();

protected:
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    class CellDelegate;
    struct PickList
    {
        QStringList items;
        bool typing = false;
    };
    friend class CellDelegate;

    // Runs the owner's key handlers; true when they discard the key.
    bool keyDiscarded(const QKeyEvent &event) const;
    void insertRecord();
    void deleteRecord();

    TaskGridModel *m_model = nullptr;
    QPointer<DataSource> m_source; // the model's, which the grid follows and flushes into
    CellDelegate *m_delegate = nullptr;
    Handlers m_handlers;
    std::map<int, PickList> m_pickLists;
    bool m_following = false; // the grid is being moved to the table's row
    bool m_changingRow = false; // the user is moving the grid to another row
};

} // namespace ql
