#include "storage/DataSource.h"

#include <algorithm>

namespace ql {

DataSource::DataSource(ClientTable &table, QObject *parent)
    : QObject(parent)
    , m_table(&table)
{
    m_table->Subscribe(this);
}

DataSource::~DataSource()
{
    if (m_table)
        m_table->Unsubscribe(this);
}

void DataSource::addEditor(Editor *editor)
{
    if (std::find(m_editors.begin(), m_editors.end(), editor) != m_editors.end())
        return;
    flushEditors();
    m_editors.push_back(editor);
}

void DataSource::removeEditor(Editor *editor)
{
    m_editors.erase(std::remove(m_editors.begin(), m_editors.end(), editor), m_editors.end());
}

void DataSource::flushEditors()
{
    // A copy: an editor may leave the list while it writes (a cell editor that closes).
    const std::vector<Editor *> editors = m_editors;
    for (Editor *editor : editors)
        if (std::find(m_editors.begin(), m_editors.end(), editor) != m_editors.end())
            editor->flushToRow();
}

void DataSource::afterInsert(ClientTable &)
{
    emit rowInserted();
}

void DataSource::afterEdit(ClientTable &)
{
    emit rowEdited();
}

void DataSource::beforePost(ClientTable &)
{
    flushEditors();
}

void DataSource::afterPost(ClientTable &)
{
    emit rowPosted();
}

void DataSource::afterCancel(ClientTable &)
{
    emit rowReverted();
}

void DataSource::afterScroll(ClientTable &)
{
    emit currentRowChanged();
}

void DataSource::afterRowsChange(ClientTable &, const RowsChange &change)
{
    emit rowsChanged(change);
}

void DataSource::tableDestroyed(ClientTable &)
{
    // Gone before anyone hears of it: a view that asks hasTable() now is told no.
    m_table = nullptr;
    emit tableGone();
}

} // namespace ql
