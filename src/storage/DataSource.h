#pragma once

#include "storage/ClientTable.h"

#include <QObject>
#include <vector>

namespace ql {

// Binds a table to whatever shows it: a grid, a memo, single-line edits and drop-down lists, status
// texts. It is the table's one subscriber for what views need to know and passes it on as signals,
// so whoever changes the table (a command, a dialog, an import) changes only the table, and every
// view follows.
//
// Editors that hold typed text not yet written into the row register as an Editor: before every
// post, by whatever route (Enter, a move, a save, a command), the table asks each of them to write
// what it holds. An editor that cannot write its text (the field refuses it) throws, and the post
// does not happen.
class DataSource final : public QObject
{
    Q_OBJECT

public:
    class Editor
    {
    public:
        virtual ~Editor() = default;
        // Writes what the editor shows and the pending row does not have yet into the row.
        virtual void flushToRow() = 0;
    };

    explicit DataSource(ClientTable &table, QObject *parent = nullptr);
    ~DataSource() override;
    DataSource(const DataSource &) = delete;
    DataSource &operator=(const DataSource &) = delete;

    ClientTable &table() const { return m_table; }

    void addEditor(Editor *editor);
    void removeEditor(Editor *editor);

signals:
    // The rows a view shows changed, at the places the change names (see RowsChange).
    void rowsChanged(const ql::RowsChange &change);
    // The cursor moved: editors show the new current row.
    void currentRowChanged();
    // A pending change was abandoned: the current row shows its stored values again.
    void rowReverted();

private:
    ClientTable &m_table;
    std::vector<Editor *> m_editors;
};

} // namespace ql
