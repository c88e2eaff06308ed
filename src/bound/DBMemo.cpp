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
    , m_link(*this, [this](FieldLink::Notice) { followTable(); })
{
    setReadOnly(true);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_showing && m_link.isBound())
            userChanged();
    });
}

void DBMemo::bind(DataSource &source, const QString &fieldName)
{
    m_link.bind(source, fieldName);
    bound();
}

void DBMemo::bound()
{
    // A field the table lacks leaves the box read-only, whether the table is open yet or not.
    const ClientTable *table = m_link.table();
    const Field *field = table ? table->LookupField(m_link.fieldName()) : nullptr;
    setReadOnly(!field || field->def().readOnly);
    followTable();
}

void DBMemo::unbind()
{
    m_link.unbind();
    setReadOnly(true);
    followTable();
}

void DBMemo::followTable()
{
    QString text;
    if (const Field *field = m_link.field())
        text = shownText(ClientTable::ValueText(*field, m_link.value()));
    if (!m_link.isBound())
        setReadOnly(true);
    if (text == toPlainText())
        return;
    const QScopedValueRollback<bool> showing(m_showing, true);
    setPlainText(text);
}

void DBMemo::userChanged()
{
    const bool written = runGuarded([this] {
        ClientTable *table = m_link.table();
        m_link.beginChange();
        table->SetText(m_link.fieldName(), storedText(toPlainText()));
    });
    // A change the table refused does not stay on screen as if it were stored. The box is not
    // reset from inside its own change signal, but right after it.
    if (!written)
        QMetaObject::invokeMethod(this, &DBMemo::followTable, Qt::QueuedConnection);
}

} // namespace ql
