#pragma once

#include "bound/FieldLink.h"

#include <QPlainTextEdit>

namespace ql {

class ClientTable;

// A multi-line box bound to a text field of a table's current row. It shows the row's value; the
// first change the user makes puts the row into edit mode (or insert mode on an empty view), and
// every change is written into the pending row at once, so a post or a move never loses typed text.
// Unbound, it is empty and read-only.
//
// Bound through the table's DataSource, it follows the current row by itself. Bound to a bare table,
// its owner calls followTable whenever the table moved or the row changed.
class DBMemo final : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit DBMemo(QWidget *parent = nullptr);

    void bind(ClientTable &table, const QString &fieldName);
    void bind(DataSource &source, const QString &fieldName);
    void unbind();
    bool isBound() const { return m_link.isBound(); }
    const QString &fieldName() const { return m_link.fieldName(); }

    // Shows the current row's value, after the table moved or the row changed.
    void followTable();

private:
    void bound();
    void userChanged();

    FieldLink m_link;
    bool m_showing = false; // the text is being set from the table, not typed
};

} // namespace ql
