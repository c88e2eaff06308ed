#include "storage/DataSource.h"

#include <algorithm>

namespace ql {

DataSource::DataSource(ClientTable &table, QObject *parent)
    : QObject(parent)
    , m_table(table)
{
    m_table.SetAfterRowsChange([this](ClientTable &, const RowsChange &change) { emit rowsChanged(change); });
    m_table.SetAfterScroll([this](ClientTable &) { emit currentRowChanged(); });
    m_table.SetAfterCancel([this](ClientTable &) { emit rowReverted(); });
    m_table.SetBeforePost([this](ClientTable &) {
        // A copy: an editor may leave the list while it writes (a cell editor that closes).
        const std::vector<Editor *> editors = m_editors;
        for (Editor *editor : editors)
            editor->flushToRow();
    });
}

DataSource::~DataSource()
{
    m_table.SetAfterRowsChange({});
    m_table.SetAfterScroll({});
    m_table.SetAfterCancel({});
    m_table.SetBeforePost({});
}

void DataSource::addEditor(Editor *editor)
{
    if (std::find(m_editors.begin(), m_editors.end(), editor) == m_editors.end())
        m_editors.push_back(editor);
}

void DataSource::removeEditor(Editor *editor)
{
    m_editors.erase(std::remove(m_editors.begin(), m_editors.end(), editor), m_editors.end());
}

} // namespace ql
