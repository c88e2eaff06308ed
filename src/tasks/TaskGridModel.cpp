#include "tasks/TaskGridModel.h"

#include "platform/gui/ErrorBox.h"
#include "storage/ClientTable.h"
#include "storage/DataSource.h"

#include "storage/TaskSchema.h"
#include <QFontMetrics>
#include <QScopeGuard>
#include <algorithm>

namespace ql {

namespace {

struct Column
{
    const QString &field;
    const char *title; // nullptr: the field name
};

const Column Columns[] = {
    { TaskField::ID, nullptr },
    { TaskField::Task, nullptr },
    { TaskField::Status, nullptr },
    { TaskField::Difficulty, nullptr },
    { TaskField::Priority, nullptr },
    { TaskField::Progress, nullptr },
    { TaskField::Category, nullptr },
    { TaskField::CreatedDate, "Created Date" },
    { TaskField::LastActioned, "Last Actioned" },
    { TaskField::CompletedDate, "Completed Date" },
    { TaskField::StartDate, "Start Date" },
    { TaskField::Time, "Time Taken" },
    { TaskField::Bookmarked, nullptr },
    { TaskField::AssignedTo, "Assigned To" },
    { TaskField::DueDate, "Due Date" },
    { TaskField::GroupNo, "Group No" },
    { TaskField::Comments, nullptr },
    { TaskField::Owner, nullptr },
    { TaskField::Details, nullptr },
    { TaskField::RelatedFile, "Related File" },
    { TaskField::LinkedList, "Linked List" },
    { TaskField::Points, nullptr },
    { TaskField::URL, nullptr },
};

constexpr int ColumnCount = int(std::size(Columns));

const QString Yes = QStringLiteral("Yes");
const QString No = QStringLiteral("No");

} // namespace

TaskGridModel::TaskGridModel(DataSource &source, QObject *parent)
    : QAbstractTableModel(parent)
    , m_source(&source)
    , m_table(&source.table())
{
    m_rows = tableRowCount();
    connect(&source, &DataSource::rowsChanged, this, &TaskGridModel::tableRowsChanged);
    connect(&source, &DataSource::rowReverted, this, [this] { rowValuesChanged(currentRow()); });
    // The table goes first when its owner goes: the model empties while its views still live.
    connect(&source, &DataSource::tableGone, this, &TaskGridModel::detach);
}

DataSource *TaskGridModel::dataSource() const
{
    return m_source;
}

void TaskGridModel::tableRowsChanged(const RowsChange &change)
{
    if (m_detached)
        return;
    using Kind = RowsChange::Kind;
    m_announcing = &change;
    m_changingRows = true;
    const auto announced = qScopeGuard([this] {
        m_announcing = nullptr;
        m_changingRows = false;
    });
    switch (change.kind) {
    case Kind::Reset:
        beginResetModel();
        m_rows = tableRowCount();
        endResetModel();
        break;
    case Kind::Inserted:
        beginInsertRows(QModelIndex(), change.to, change.to);
        ++m_rows;
        m_announcing = nullptr;
        endInsertRows();
        break;
    case Kind::Removed:
        beginRemoveRows(QModelIndex(), change.from, change.from);
        --m_rows;
        m_announcing = nullptr;
        endRemoveRows();
        break;
    case Kind::Moved:
        // Qt counts the destination before the move: a row moved down goes before the row after
        // its new place.
        if (beginMoveRows(QModelIndex(), change.from, change.from, QModelIndex(),
                change.to > change.from ? change.to + 1 : change.to)) {
            m_announcing = nullptr;
            endMoveRows();
        }
        m_announcing = nullptr;
        rowValuesChanged(change.to);
        break;
    case Kind::Changed:
        rowValuesChanged(change.to);
        break;
    }
}

int TaskGridModel::tableRow(int row) const
{
    if (!m_announcing)
        return row;
    const RowsChange &c = *m_announcing;
    switch (c.kind) {
    case RowsChange::Kind::Inserted:
        return row < c.to ? row : row + 1;
    case RowsChange::Kind::Removed:
        return row < c.from ? row : row == c.from ? -1 : row - 1;
    case RowsChange::Kind::Moved:
        if (row == c.from)
            return c.to;
        if (c.from < c.to && row > c.from && row <= c.to)
            return row - 1;
        if (c.from > c.to && row >= c.to && row < c.from)
            return row + 1;
        return row;
    case RowsChange::Kind::Reset:
    case RowsChange::Kind::Changed:
        break;
    }
    return row;
}

void TaskGridModel::detach()
{
    if (m_detached)
        return;
    beginResetModel();
    m_rows = 0;
    m_detached = true;
    m_table = nullptr;
    endResetModel();
}

void TaskGridModel::rowValuesChanged(int row)
{
    if (row >= 0 && row < m_rows)
        emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

const QStringList &TaskGridModel::columnFields()
{
    static const QStringList fields = [] {
        QStringList names;
        for (const Column &c : Columns)
            names << c.field;
        return names;
    }();
    return fields;
}

int TaskGridModel::columnOf(const QString &fieldName)
{
    return int(columnFields().indexOf(fieldName));
}

void TaskGridModel::setYesNoBookmarks(bool on)
{
    m_yesNoBookmarks = on;
    refresh();
}

int TaskGridModel::tableRowCount() const
{
    if (!m_table || !m_table->Active())
        return 0;
    // The pending new row has a place in the grid before it is stored.
    return m_table->RowCount() + (m_table->GetState() == ClientTable::State::Insert ? 1 : 0);
}

const Field *TaskGridModel::fieldOf(int column) const
{
    if (column < 0 || column >= ColumnCount || !m_table || !m_table->Active())
        return nullptr;
    return m_table->LookupField(columnFields().at(column));
}

int TaskGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int TaskGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString TaskGridModel::displayText(const Field &field, int row) const
{
    const int shown = tableRow(row);
    if (shown < 0)
        return QString();
    const Value value = m_table->ViewValue(shown + 1, field);
    if (m_yesNoBookmarks && field.type() == FieldType::Boolean)
        return value.kind() == Value::Kind::Boolean && value.toBoolean() ? Yes : No;
    return ClientTable::ValueText(field, value);
}

QVariant TaskGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return QVariant();
    const Field *field = fieldOf(index.column());
    if (!field)
        return role == Qt::EditRole ? QVariant(QString()) : QVariant();
    return displayText(*field, index.row());
}

int TaskGridModel::defaultColumnWidth(int column, const QFontMetrics &metrics) const
{
    const Field *field = column >= 0 && column < ColumnCount && m_table
        ? m_table->LookupField(Columns[column].field)
        : nullptr;
    int characters = 10;
    if (field) {
        switch (field->type()) {
        case FieldType::Text:
            characters = field->width();
            break;
        case FieldType::Boolean:
            characters = 5;
            break;
        case FieldType::Word:
        case FieldType::SmallInt:
        case FieldType::ShortInt:
        case FieldType::Byte:
            characters = 6;
            break;
        case FieldType::DateTime:
            characters = 18;
            break;
        default:
            characters = 10;
            break;
        }
    }
    const int forValues = characters * metrics.horizontalAdvance(u'0') + 4;
    const int forTitle = metrics.horizontalAdvance(columnTitle(column)) + 4;
    return std::max(forValues, forTitle);
}

QString TaskGridModel::columnTitle(int column)
{
    if (column < 0 || column >= ColumnCount)
        return QString();
    const Column &c = Columns[column];
    return c.title ? QString::fromLatin1(c.title) : c.field;
}

Value TaskGridModel::cellValue(const QString &fieldName, int row) const
{
    const int shown = tableRow(row);
    const Field *field = m_table && m_table->Active() ? m_table->LookupField(fieldName) : nullptr;
    if (shown < 0 || !field)
        return Value();
    return m_table->ViewValue(shown + 1, *field);
}

TaskRowFacts TaskGridModel::rowFacts(int row) const
{
    TaskRowFacts facts;
    facts.recordNumber = row + 1;
    const auto text = [&](const QString &fieldName) {
        const Value value = cellValue(fieldName, row);
        return value.kind() == Value::Kind::Text ? value.text() : QString();
    };
    facts.status = text(TaskField::Status);
    facts.priority = text(TaskField::Priority);
    // Progress reads as a whole number; empty, or anything that is not one, reads as 0.
    const Value progress = cellValue(TaskField::Progress, row);
    if (progress.kind() == Value::Kind::Integer)
        facts.progress = progress.toInteger();
    else if (progress.kind() == Value::Kind::Text)
        facts.progress = progress.text().trimmed().toLongLong();
    const Value bookmarked = cellValue(TaskField::Bookmarked, row);
    facts.bookmarked = bookmarked.kind() == Value::Kind::Boolean && bookmarked.toBoolean();
    return facts;
}

Qt::Alignment TaskGridModel::columnAlignment(int column) const
{
    const Field *field = fieldOf(column);
    if (!field)
        return Qt::AlignLeft;
    const Value::Kind kind = Field::kindOf(field->type());
    return kind == Value::Kind::Integer || kind == Value::Kind::Float ? Qt::AlignRight : Qt::AlignLeft;
}

bool TaskGridModel::isDateColumn(int column) const
{
    const Field *field = fieldOf(column);
    return field && (field->type() == FieldType::Date || field->type() == FieldType::DateTime);
}

QDate TaskGridModel::currentDate(int column) const
{
    const Field *field = fieldOf(column);
    if (!field || !m_table->Active() || m_table->RowCount() == 0)
        return QDate();
    const Value value = m_table->GetValue(*field);
    if (value.kind() == Value::Kind::Date || value.kind() == Value::Kind::DateTime)
        return value.toDate();
    return QDate();
}

void TaskGridModel::storeDate(int column, const QDate &date)
{
    const Field *field = fieldOf(column);
    if (!field || !isDateColumn(column))
        return;
    if (!m_table->IsEditing())
        m_table->EditRow();
    m_table->SetValue(*field,
        field->type() == FieldType::Date ? Value::fromDate(date) : Value::fromDateTime(date, QTime(0, 0)));
    m_table->PostRow();
}

QVariant TaskGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return columnTitle(section);
}

Qt::ItemFlags TaskGridModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    const Field *field = fieldOf(index.column());
    // The table numbers the rows itself; its counter is not typed over.
    if (field && !field->def().readOnly && field->type() != FieldType::Counter)
        flags |= Qt::ItemIsEditable;
    return flags;
}

void TaskGridModel::makeCurrent(int row)
{
    if (m_table && m_table->RowNumber() != row + 1)
        m_table->MoveTo(row + 1);
}

void TaskGridModel::writeCell(const QModelIndex &index, const QString &text)
{
    const Field *field = fieldOf(index.column());
    if (!field)
        return;
    // An editor that closes without a change writes nothing, so a visit that only looks at a row
    // neither marks the list nor stores a new version of the row.
    if (text == displayText(*field, index.row()))
        return;
    Value value;
    if (m_yesNoBookmarks && field->type() == FieldType::Boolean
        && (text.compare(Yes, Qt::CaseInsensitive) == 0 || text.compare(No, Qt::CaseInsensitive) == 0))
        value = Value::boolean(text.compare(Yes, Qt::CaseInsensitive) == 0);
    else
        value = ClientTable::ValueFromText(*field, text);
    makeCurrent(index.row());
    m_table->EditRow();
    m_table->SetValue(*field, value);
    emit dataChanged(index.siblingAtColumn(0), index.siblingAtColumn(ColumnCount - 1));
}

bool TaskGridModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    // The grid writes a cell when its editor loses the focus too: a box shown in the middle of that
    // focus change would start another one, so the error is shown after it.
    return runGuarded([&] { writeCell(index, value.toString()); }, ErrorTiming::Queued);
}

bool TaskGridModel::beginRowEdit(int row)
{
    if (!m_table)
        return false;
    return runGuarded([&] {
        makeCurrent(row);
        m_table->EditRow(); // nothing when the row is pending already
    });
}

bool TaskGridModel::submit()
{
    if (!m_table || !m_table->IsEditing())
        return true;
    return runGuarded([&] { m_table->PostRow(); });
}

void TaskGridModel::revert()
{
    if (!m_table || !m_table->IsEditing())
        return;
    runGuarded([&] { m_table->CancelRow(); });
}

int TaskGridModel::currentRow() const
{
    return m_table && m_table->Active() ? m_table->RowNumber() - 1 : -1;
}

bool TaskGridModel::rowPending() const
{
    return m_table && m_table->IsEditing();
}

bool TaskGridModel::moveToRow(int row)
{
    if (!m_table)
        return false;
    return runGuarded([&] { makeCurrent(row); });
}

bool TaskGridModel::insertRecord()
{
    if (!m_table)
        return false;
    return runGuarded([&] { m_table->InsertRow(); });
}

bool TaskGridModel::hasRecord() const
{
    return m_table && m_table->Active()
        && (m_table->RowCount() > 0 || m_table->GetState() == ClientTable::State::Insert);
}

bool TaskGridModel::deleteRecord()
{
    if (!m_table)
        return false;
    return runGuarded([&] { m_table->DeleteRow(); });
}

void TaskGridModel::refresh()
{
    if (m_rows > 0)
        emit dataChanged(index(0, 0), index(m_rows - 1, ColumnCount - 1));
}

} // namespace ql
