#include "bound/DBMemo.h"

#include "platform/gui/ErrorBox.h"
#include "storage/ClientTable.h"

#include <QScopedValueRollback>

namespace ql {

namespace {

// Memo texts keep the line breaks of the program's files, a carriage return and a line feed; the
// box works with line feeds.
QString shownText(QString stored)
{
    stored.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    stored.replace(u'\r', u'\n');
    return stored;
}

QString storedText(QString shown)
{
    return shown.replace(u'\n', QStringLiteral("\r\n"));
}

} // namespace

DBMemo::DBMemo(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setReadOnly(true);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_showing && m_table)
            userChanged();
    });
}

void DBMemo::bind(ClientTable &table, const QString &fieldName)
{
    m_table = &table;
    m_fieldName = fieldName;
    const Field *field = table.LookupField(fieldName);
    setReadOnly(!field || field->def().readOnly);
    followTable();
}

void DBMemo::unbind()
{
    m_table = nullptr;
    m_fieldName.clear();
    setReadOnly(true);
    followTable();
}

void DBMemo::followTable()
{
    QString text;
    if (m_table && m_table->Active()) {
        if (const Field *field = m_table->LookupField(m_fieldName))
            text = shownText(ClientTable::ValueText(*field, m_table->GetValue(*field)));
    }
    if (text == toPlainText())
        return;
    const QScopedValueRollback<bool> showing(m_showing, true);
    setPlainText(text);
}

void DBMemo::userChanged()
{
    const bool written = runGuarded([this] {
        if (!m_table->IsEditing())
            m_table->EditRow();
        m_table->SetText(m_fieldName, storedText(toPlainText()));
    });
    // A change the table refused does not stay on screen as if it were stored. The box is not
    // reset from inside its own change signal, but right after it.
    if (!written)
        QMetaObject::invokeMethod(this, &DBMemo::followTable, Qt::QueuedConnection);
}

} // namespace ql
