#pragma once

#include "tasks/TaskCellLook.h"

#include <QAbstractTableModel>
#include <QPointer>
#include <QStringList>

class QFontMetrics;

namespace ql {

class ClientTable;
class Value;
class DataSource;
class Field;
struct RowsChange;

// The task grid's model: one row per row of the table's view (in its current order and filter,
// plus the pending new row while one is being inserted), one column per task field. It keeps no
// copy of the rows: every cell is read from the table when the grid asks for it. It follows the
// table through its data source, which names each inserted, removed or moved row, so views keep
// their place and their open editors when rows change elsewhere.
//
// Editing follows the rows of the table, not the cells: the first change of a cell puts the row
// into edit mode, further cells of the same row write into that pending row, and the row is stored
// once, when the grid submits it (Enter, or leaving the row). Reverting abandons the whole row.
// Every failure is shown in the error box and never reaches Qt.
class TaskGridModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit TaskGridModel(DataSource &source, QObject *parent = nullptr);

    // The data source the model follows; none once it is gone.
    DataSource *dataSource() const;

    // The field each column shows, left to right. Columns are bound by name: a loaded list that
    // lacks a field keeps the column, with empty cells that cannot be edited.
    static const QStringList &columnFields();
    static int columnOf(const QString &fieldName);
    // A column's title: its field's name unless it has one of its own.
    static QString columnTitle(int column);

    // The width of a column that has none of its own: room for as many digits as its field's
    // display width, or for its title when that is wider.
    int defaultColumnWidth(int column, const QFontMetrics &metrics) const;

    // What the drawing rules read of a row of the view.
    TaskRowFacts rowFacts(int row) const;
    // Numbers stand at the right of their cells, everything else at the left.
    Qt::Alignment columnAlignment(int column) const;
    // Whether the list has the field the column shows.
    bool hasField(int column) const { return fieldOf(column) != nullptr; }
    // Whether the column's field holds a date or a date and time (never, for a field the list lacks).
    bool isDateColumn(int column) const;
    // The date in the current row's cell of `column`; invalid when empty or not a date.
    QDate currentDate(int column) const;
    // Puts `date` into the current row's cell of `column`, entering edit mode first unless the row
    // is pending already, and stores the row. Throws the table's error.
    void storeDate(int column, const QDate &date);

    // A new list shows Bookmarked as "Yes" and "No"; a loaded list shows the table's own boolean
    // text, because loading replaces the field set of a new list by the one the file declares.
    void setYesNoBookmarks(bool on);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

    // Stores the pending row (Enter in a cell editor). Returns false when the table refused it.
    bool submit() override;
    // Abandons the pending row (Esc).
    void revert() override;

    // The first change of a cell in `row`: makes that row current and puts it into edit mode.
    bool beginRowEdit(int row);

    // The table's current row (0-based; the pending new row while one is inserted), -1 when none.
    int currentRow() const;
    // Whether a row is in edit or insert mode.
    bool rowPending() const;
    // Makes `row` current; the table stores the pending row of the row that is left. Returns false
    // when the table refused (the error is shown).
    bool moveToRow(int row);

    // Insert: starts a new task before the current one (the table gives it its defaults).
    bool insertRecord();
    // Whether there is a task to delete: a stored one in the view, or a new one being inserted.
    bool hasRecord() const;
    // Deletes the current task (a new one being inserted is abandoned). False when refused.
    bool deleteRecord();

    // Repaints every cell (the rows themselves follow the table's notices).
    void refresh();

    // Empties the model in one reset and stops following the table: when the table goes (its data
    // source says so), before the views that show the model go. A reset lets go of every persistent
    // index handed out at once; a view's accessibility interface holds one per cell a screen reader
    // has read and would otherwise drop them one by one as the view dies, each drop searching the
    // model's index hash, which takes minutes on a large list.
    void detach();

    // Whether the model is telling its views of rows the table inserted, removed, moved or
    // reset. A view that moves its current cell meanwhile (off a row that goes, say) follows the
    // model and must not move the table: the table has already placed its cursor.
    bool changingRows() const { return m_changingRows; }

private:
    const Field *fieldOf(int column) const;
    int tableRowCount() const;
    Value cellValue(const QString &fieldName, int row) const;
    QString displayText(const Field &field, int row) const;
    // Makes `row` the table's current row unless it already is.
    void makeCurrent(int row);
    void writeCell(const QModelIndex &index, const QString &text);
    void tableRowsChanged(const RowsChange &change);
    void rowValuesChanged(int row);
    // The table's row (0-based) behind a row of the model, -1 for a row the table no longer has.
    int tableRow(int row) const;

    QPointer<DataSource> m_source;
    ClientTable *m_table; // none once detached
    int m_rows = 0; // the row count the views were last told about
    // The table tells of a change after making it, while views ask for the rows as they were
    // until the change is announced to them: between the two, rows are read through the change.
    const RowsChange *m_announcing = nullptr;
    bool m_changingRows = false;
    bool m_yesNoBookmarks = false;
    bool m_detached = false; // empty for good: the table's changes are no longer followed
};

} // namespace ql
