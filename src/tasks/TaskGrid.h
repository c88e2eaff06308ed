#pragma once

#include "storage/DataSource.h"

#include <QTableView>

namespace ql {

class TaskGridModel;

// The task grid: a table view over a TaskGridModel whose current row is the table's current row.
// Moving to another row stores the row that is left (one stored version per visit, however many
// of its cells changed); Enter stores the row in place; Esc abandons its change.
//
// As an editor of the table's data source it writes the text of an open cell editor into the row
// before the row is posted by any route.
class TaskGrid final : public QTableView, public DataSource::Editor
{
    Q_OBJECT

public:
    explicit TaskGrid(QWidget *parent = nullptr);

    void setTaskModel(TaskGridModel *model);
    TaskGridModel *taskModel() const { return m_model; }

    // Shows the table's current row as the grid's current row, after the table moved or changed
    // by any route (a command, the wheel, a post that placed the row by the active order).
    void followTable();
    // Ends an open cell editor: `commit` writes its text into the row first, otherwise the text
    // is dropped. Used before the table moves on from the row the editor belongs to.
    void finishEditing(bool commit);
    void flushToRow() override { finishEditing(true); }

protected:
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    class RowEditDelegate;

    TaskGridModel *m_model = nullptr;
    RowEditDelegate *m_delegate = nullptr;
    bool m_following = false; // the grid is being moved to the table's row
    bool m_changingRow = false; // the user is moving the grid to another row
};

} // namespace ql
