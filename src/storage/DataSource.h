#pragma once

#include "storage/ClientTable.h"

#include <QObject>
#include <vector>

namespace ql {

// Binds a table to whatever shows it: a grid, a memo, single-line edits and drop-down lists, status
// texts. It subscribes to the table and passes on, as signals, every notice a view needs, so
// whoever changes the table (a command, a dialog, an import) changes only the table, and every
// view follows. Any number of data sources may follow one table; each is told everything.
//
// Editors that hold typed text not yet written into the row register as an Editor: before every
// post, by whatever route (Enter, a move, a save, a command), the table asks each of them to write
// what it holds. An editor that cannot write its text (the field refuses it) throws, and the post
// does not happen. An editor that joins has the others write what they hold first, so that it
// shows the row as the user left it.
//
// Either may go first. A data source that goes stops following its table; a table that goes tells
// its data sources (tableGone), and views let go of it.
class DataSource final : public QObject, private TableSubscriber
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

    // The table, while it lives (hasTable).
    ClientTable &table() const { return *m_table; }
    bool hasTable() const { return m_table != nullptr; }

    // Registers an editor, after the editors registered already have written what they hold (that
    // may throw, as a post would; the editor is then not registered).
    void addEditor(Editor *editor);
    void removeEditor(Editor *editor);
    // Has every registered editor write what it holds into the pending row; throws the refusal of
    // the first that cannot.
    void flushEditors();

signals:
    // A new row became pending (an append, an insert, an edit of an empty view), with the table's
    // insert defaults written.
    void rowInserted();
    // The current row became pending.
    void rowEdited();
    // The pending row was stored (after the rowsChanged that placed it).
    void rowPosted();
    // A pending change was abandoned: the current row shows its stored values again.
    void rowReverted();
    // The cursor moved: editors show the new current row.
    void currentRowChanged();
    // The rows a view shows changed, at the places the change names (see RowsChange).
    void rowsChanged(const ql::RowsChange &change);
    // The table went: whatever reads it lets go of it now.
    void tableGone();

private:
    void afterInsert(ClientTable &) override;
    void afterEdit(ClientTable &) override;
    void beforePost(ClientTable &) override;
    void afterPost(ClientTable &) override;
    void afterCancel(ClientTable &) override;
    void afterScroll(ClientTable &) override;
    void afterRowsChange(ClientTable &, const RowsChange &change) override;
    void tableDestroyed(ClientTable &) override;

    ClientTable *m_table;
    std::vector<Editor *> m_editors;
};

} // namespace ql
