#include "bound/FieldLink.h"

#include "storage/ClientTable.h"

#include <QScopedValueRollback>

namespace ql {

FieldLink::FieldLink(QObject &owner, Listener listener, std::function<void()> flush)
    : m_owner(owner)
    , m_listener(std::move(listener))
    , m_flush(std::move(flush))
{
}

FieldLink::~FieldLink()
{
    detach();
}

void FieldLink::detach()
{
    for (const QMetaObject::Connection &c : m_connections)
        QObject::disconnect(c);
    m_connections.clear();
    if (m_source)
        m_source->removeEditor(this);
    m_source = nullptr;
}

void FieldLink::bind(DataSource &source, const QString &fieldName)
{
    detach();
    source.addEditor(this);
    m_source = &source;
    m_fieldName = fieldName;
    m_connections = {
        QObject::connect(
            &source, &DataSource::currentRowChanged, &m_owner, [this] { notify(Notice::Moved); }),
        QObject::connect(&source, &DataSource::rowReverted, &m_owner, [this] { notify(Notice::Moved); }),
        QObject::connect(&source, &DataSource::rowsChanged, &m_owner, [this] { notify(Notice::Changed); }),
        // The data source no longer has a table: the editor shows an unbound box.
        QObject::connect(&source, &DataSource::tableGone, &m_owner, [this] { notify(Notice::Moved); }),
        // By now the pointer to the source is empty: the editor shows an unbound box.
        QObject::connect(&source, &QObject::destroyed, &m_owner, [this] { notify(Notice::Moved); }),
    };
}

void FieldLink::unbind()
{
    detach();
    m_fieldName.clear();
}

ClientTable *FieldLink::table() const
{
    return m_source && m_source->hasTable() ? &m_source->table() : nullptr;
}

const Field *FieldLink::field() const
{
    const ClientTable *t = table();
    return t && t->Active() ? t->LookupField(m_fieldName) : nullptr;
}

Value FieldLink::value() const
{
    const Field *f = field();
    return f ? table()->GetValue(*f) : Value();
}

bool FieldLink::canModify() const
{
    const Field *f = field();
    return f && !f->def().readOnly;
}

void FieldLink::beginChange()
{
    ClientTable *t = table();
    if (!t || t->IsEditing())
        return;
    const QScopedValueRollback<bool> changing(m_changing, true);
    t->EditRow();
}

void FieldLink::write(const Value &value)
{
    ClientTable *t = table();
    if (!t)
        return;
    const Field &f = t->RequireField(m_fieldName);
    beginChange();
    t->SetValue(f, value);
}

void FieldLink::flushToRow()
{
    if (m_flush)
        m_flush();
}

void FieldLink::notify(Notice notice)
{
    if (!m_changing && m_listener)
        m_listener(notice);
}

} // namespace ql
