#include "tasks/ValueListEditor.h"

#include "common/uGeneral.h"
#include "platform/Error.h"
#include "platform/gui/BarPicture.h"
#include "storage/ClientTable.h"
#include "storage/PendingRow.h"

#include <QHeaderView>
#include <algorithm>

namespace ql {

ValueListEditor::ValueListEditor(QWidget *parent)
    : QTableWidget(0, 2, parent)
{
    setHorizontalHeaderLabels({ QStringLiteral("Key"), QStringLiteral("Value") });
    applyGridLook(this);
    setColumnWidth(0, 150);
    setColumnWidth(1, 147);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setWordWrap(false);
    clearEntries();
}

QString ValueListEditor::key(int row) const
{
    const QTableWidgetItem *cell = item(row, 0);
    return cell ? cell->text() : QString();
}

QString ValueListEditor::value(int row) const
{
    const QTableWidgetItem *cell = item(row, 1);
    return cell ? cell->text() : QString();
}

void ValueListEditor::setRow(int row, const QString &key, const QString &value, bool isEntry)
{
    auto *keyCell = new QTableWidgetItem(key);
    keyCell->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    auto *valueCell = new QTableWidgetItem(value);
    // The blank row of an editor without entries has no value to edit.
    valueCell->setFlags(isEntry ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable
                                : Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    setItem(row, 0, keyCell);
    setItem(row, 1, valueCell);
}

void ValueListEditor::clearEntries()
{
    m_entries = 0;
    setRowCount(0);
    setRowCount(1);
    setRow(0, QString(), QString(), false);
    setCurrentCell(0, 1);
}

void ValueListEditor::addPair(const QString &key, const QString &value)
{
    const int row = currentRow();
    if (row >= 0 && row < m_entries && this->key(row).isEmpty() && this->value(row).isEmpty()) {
        setRow(row, key, value, true);
        return;
    }
    // The first entry takes the place of the blank row; later ones go after the last entry.
    const int last = m_entries;
    if (last >= rowCount())
        insertRow(last);
    setRow(last, key, value, true);
    ++m_entries;
}

void LoadPropertyList(ValueListEditor &editor, const ClientTable &table, const QString &fieldName)
{
    if (!table.Active())
        throw Error(QStringLiteral("Dataset is not active."));
    editor.clearEntries();
    const QString text = table.AsText(fieldName);
    for (const QString &line : MemoLines(text)) {
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0)
            editor.addPair(line, QString());
        else
            editor.addPair(line.left(equals), line.mid(equals + 1));
    }
}

namespace {

QString propertyText(const ValueListEditor &editor)
{
    QString text;
    // The blank row of an editor without entries is written too, as "=".
    const int rows = std::max(editor.entryCount(), 1);
    for (int row = 0; row < rows; ++row)
        text += editor.key(row) + u'=' + editor.value(row) + QStringLiteral("\r\n");
    return text;
}

void storePropertyText(
    const ValueListEditor &editor, ClientTable &table, const QString &fieldName, bool setField)
{
    // A field or a post the table refuses abandons the whole edit: the task returns to its stored
    // values.
    PendingRow row(table, PendingRow::Start::Edit, PendingRow::Abandon::EarlierChangesToo);
    if (setField)
        table.SetText(fieldName, propertyText(editor));
    row.post();
}

} // namespace

void SavePropertyList(const ValueListEditor &editor, ClientTable &table, const QString &fieldName)
{
    if (!table.Active())
        throw Error(QStringLiteral("Dataset is not active."));
    storePropertyText(editor, table, fieldName, true);
}

void SavePropertyListChecked(const ValueListEditor &editor, ClientTable &table, const QString &fieldName)
{
    if (!table.Active())
        throw Error(QStringLiteral("Open or create a list first!"));
    storePropertyText(editor, table, fieldName, table.LookupField(fieldName) != nullptr);
}

} // namespace ql
