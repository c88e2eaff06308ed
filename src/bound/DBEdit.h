#pragma once

#include "bound/FieldLink.h"
#include "platform/gui/ErrorBox.h"

#include <QLineEdit>

namespace ql {

class Field;
class Value;

// A single-line edit bound to a field of a table's current row, through the table's DataSource.
//
// It shows the field's display text, and while it has the focus the field's editing text (the
// table's own text of the value). The first change the user makes puts the row into edit mode, or
// starts a new row on an empty view. The typed text is written into the field when the edit loses
// the focus to another control, and at the latest when the row is posted: the edit takes part in
// the flush the table runs before every post. It follows the current row: a move or an abandoned
// change drops text it has not written.
//
// Text the field refuses (not a date, not a number) is not written: the table's message is shown
// in the error box, the focus goes back to the edit and its whole text is selected; the field
// keeps its value. A post meanwhile fails with the same message.
//
// Unbound, or bound to a field the table lacks, it is empty and read-only.
class DBEdit final : public QLineEdit
{
    Q_OBJECT

public:
    explicit DBEdit(QWidget *parent = nullptr);

    void bind(DataSource &source, const QString &fieldName);
    // Lets go of the table and drops text not yet written.
    void unbind();
    bool isBound() const { return m_link.isBound(); }
    const QString &fieldName() const { return m_link.fieldName(); }

    // Boolean fields read "Yes" and "No" on screen, as a new list's grid shows its Bookmarked
    // column; the editing text stays the table's "True" or "False", and both are accepted.
    void setYesNoBooleans(bool on);

    // The field's text for the current row as shown without the focus, and while editing.
    QString fieldDisplayText() const;
    QString fieldEditingText() const;
    // Whether the edit holds typed text that is not in the field yet.
    bool holdsUnwrittenText() const { return m_unwritten; }

    // Writes the typed text into the field now. When the field refuses it, the error box shows the
    // table's message (now, or after the current event during a focus change), the edit takes the
    // focus back and selects its text; returns false then.
    bool commit(ErrorTiming timing = ErrorTiming::Now);
    // Drops typed text that is not written and shows the field's value again.
    void revert();

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void noticed(FieldLink::Notice notice);
    void userEdited();
    void showField();
    // Throws the field's error when it refuses the text.
    void writeText();
    Value valueOfText(const Field &field, const QString &text) const;
    void refuse(const QString &message, ErrorTiming timing);

    FieldLink m_link;
    bool m_yesNoBooleans = false;
    bool m_unwritten = false;
    bool m_refusalQueued = false;
};

} // namespace ql
