#pragma once

#include "bound/FieldLink.h"

#include <QPlainTextEdit>

namespace ql {

// A multi-line box bound to a text field of a table's current row, through the table's DataSource.
// It shows the row's value and follows the current row by itself; the first change the user makes
// puts the row into edit mode (or insert mode on an empty view), and every change is written into
// the pending row at once, so a post or a move never loses typed text. Unbound, it is empty and
// read-only.
class DBMemo final : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit DBMemo(QWidget *parent = nullptr);

    void bind(DataSource &source, const QString &fieldName);
    void unbind();
    bool isBound() const { return m_link.isBound(); }
    const QString &fieldName() const { return m_link.fieldName(); }

private:
    // Shows the current row's value, after the table moved or the row changed.
    void followTable();
    void bound();
    void userChanged();

    FieldLink m_link;
    bool m_showing = false; // the text is being set from the table, not typed
};

} // namespace ql
