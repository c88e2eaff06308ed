#include "bound/DBEdit.h"

#include "storage/ClientTable.h"

#include <QFocusEvent>

namespace ql {

namespace {

const QString Yes = QStringLiteral("Yes");
const QString No = QStringLiteral("No");

// Focus that leaves the window (another window became active) or goes to a popup menu of the edit
// stays in the edit as far as the row is concerned: nothing is written then.
bool leavesTheEdit(Qt::FocusReason reason)
{
    return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
}

} // namespace

DBEdit::DBEdit(QWidget *parent)
    : QLineEdit(parent)
    , m_link(
          *this, [this](FieldLink::Notice notice) { noticed(notice); }, [this] { writeText(); })
{
    setReadOnly(true);
    connect(this, &QLineEdit::textEdited, this, &DBEdit::userEdited);
}

void DBEdit::bind(DataSource &source, const QString &fieldName)
{
    m_link.bind(source, fieldName);
    m_unwritten = false;
    const Field *field = m_link.field();
    setReadOnly(!m_link.canModify());
    // The table cuts longer texts; the edit takes no more than the field holds.
    setMaxLength(field && field->isText() && !field->isMemo() && field->width() > 0 ? field->width() : 32767);
    showField();
}

void DBEdit::unbind()
{
    m_link.unbind();
    m_unwritten = false;
    setReadOnly(true);
    showField();
}

void DBEdit::setYesNoBooleans(bool on)
{
    m_yesNoBooleans = on;
    showField();
}

QString DBEdit::fieldDisplayText() const
{
    const Field *field = m_link.field();
    if (!field)
        return QString();
    const Value value = m_link.value();
    if (m_yesNoBooleans && field->type() == FieldType::Boolean)
        return value.kind() == Value::Kind::Boolean && value.toBoolean() ? Yes : No;
    return ClientTable::ValueText(*field, value);
}

QString DBEdit::fieldEditingText() const
{
    const Field *field = m_link.field();
    return field ? ClientTable::ValueText(*field, m_link.value()) : QString();
}

void DBEdit::showField()
{
    if (m_unwritten)
        return;
    const QString shown = hasFocus() ? fieldEditingText() : fieldDisplayText();
    if (shown != text())
        setText(shown);
}

void DBEdit::noticed(FieldLink::Notice notice)
{
    if (notice == FieldLink::Notice::Moved) {
        m_unwritten = false;
        if (!m_link.isBound())
            setReadOnly(true);
    }
    showField();
}

void DBEdit::userEdited()
{
    if (!m_link.isBound() || m_unwritten)
        return;
    // The first change: the row goes into edit mode before the text counts as typed.
    if (!runGuarded([this] { m_link.beginChange(); })) {
        showField();
        return;
    }
    m_unwritten = true;
}

Value DBEdit::valueOfText(const Field &field, const QString &text) const
{
    if (m_yesNoBooleans && field.type() == FieldType::Boolean) {
        const QString word = text.trimmed();
        if (word.compare(Yes, Qt::CaseInsensitive) == 0 || word.compare(No, Qt::CaseInsensitive) == 0)
            return Value::boolean(word.compare(Yes, Qt::CaseInsensitive) == 0);
    }
    return ClientTable::ValueFromText(field, text);
}

void DBEdit::writeText()
{
    if (!m_unwritten)
        return;
    ClientTable *table = m_link.table();
    if (!table) {
        m_unwritten = false;
        return;
    }
    m_link.write(valueOfText(table->RequireField(m_link.fieldName()), text()));
    m_unwritten = false;
}

bool DBEdit::commit(ErrorTiming timing)
{
    try {
        writeText();
    } catch (...) {
        refuse(currentExceptionMessage(), timing);
        return false;
    }
    showField();
    return true;
}

void DBEdit::revert()
{
    m_unwritten = false;
    showField();
}

void DBEdit::refuse(const QString &message, ErrorTiming timing)
{
    if (timing == ErrorTiming::Now) {
        setFocus(Qt::OtherFocusReason);
        selectAll();
        // A refusal from the focus change just before (a click on a button) is shown already.
        if (!m_refusalQueued)
            showErrorBox(message);
        return;
    }
    if (m_refusalQueued)
        return;
    m_refusalQueued = true;
    // Taking the focus back and showing a box are focus changes of their own: both wait until the
    // one under way has ended. The focus comes back first, so it is there when the box closes.
    QMetaObject::invokeMethod(
        this,
        [this, message] {
            m_refusalQueued = false;
            setFocus(Qt::OtherFocusReason);
            selectAll();
            showErrorBox(message);
        },
        Qt::QueuedConnection);
}

void DBEdit::focusInEvent(QFocusEvent *event)
{
    // The editing text goes in before the edit selects it (Tab selects all).
    showField();
    QLineEdit::focusInEvent(event);
}

void DBEdit::focusOutEvent(QFocusEvent *event)
{
    if (leavesTheEdit(event->reason()))
        commit(ErrorTiming::Queued);
    QLineEdit::focusOutEvent(event);
    showField();
}

} // namespace ql
