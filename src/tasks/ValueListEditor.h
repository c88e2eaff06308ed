#pragma once

#include <QTableWidget>

namespace ql {

class ClientTable;

// A two-column key/value editor: keys are shown but not edited, values are edited in place, and no
// rows are added or deleted directly. An editor without entries still shows one blank row, which
// is not an entry; the first pair added takes its place.
class ValueListEditor final : public QTableWidget
{
    Q_OBJECT

public:
    explicit ValueListEditor(QWidget *parent = nullptr);

    int entryCount() const { return m_entries; }
    QString key(int row) const;
    QString value(int row) const;

    // Removes every entry; the editor shows its one blank row, which becomes the current row.
    void clearEntries();
    // Adds a pair: when the current row is an entry whose key and value are both empty, the pair
    // fills that row; otherwise it becomes a new last row.
    void addPair(const QString &key, const QString &value);

private:
    void setRow(int row, const QString &key, const QString &value, bool isEntry);

    int m_entries = 0;
};

// Fills the editor from the current task's field: one pair per line of the field's text, the key
// before the first "=" and the value after it (a line without "=" is a key without a value). The
// editor's current row stays its first row, so a blank first line gives way to the line after it.
// Throws "Dataset is not active." when the table is closed, and the table's error when it has no
// such field.
void LoadPropertyList(ValueListEditor &editor, const ClientTable &table, const QString &fieldName);

// Writes the editor's rows into the current task's field, one "key=value" line per row (an
// editor without entries writes its blank row as "="), and posts the task. Throws "Dataset is not
// active." when the table is closed; when the field cannot be set or the post fails, the task's
// edit is abandoned and the error passed on.
void SavePropertyList(const ValueListEditor &editor, ClientTable &table, const QString &fieldName);

// The main window's variant: "Open or create a list first!" when the table is closed, and on a
// list without the field the task is put into edit mode and posted unchanged.
void SavePropertyListChecked(const ValueListEditor &editor, ClientTable &table, const QString &fieldName);

} // namespace ql
