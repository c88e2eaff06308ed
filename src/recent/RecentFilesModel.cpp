#include "recent/RecentFilesModel.h"

#include "recent/RecentStore.h"

#include <QFont>

namespace ql {

namespace {

const char *const FieldOfColumn[] = { "File", "LastUsed" };

} // namespace

RecentFilesModel::RecentFilesModel(RecentStore &store, QObject *parent)
    : QAbstractTableModel(parent)
    , m_store(store)
{
}

int RecentFilesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_store.cdsFiles().RowCount();
}

int RecentFilesModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 2;
}

QString RecentFilesModel::text(int row, int column) const
{
    const ClientTable &table = m_store.cdsFiles();
    const Field &field = table.RequireField(QString::fromLatin1(FieldOfColumn[column]));
    return ClientTable::ValueText(field, table.ViewValue(row + 1, field));
}

QVariant RecentFilesModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return text(index.row(), index.column());
    case Qt::FontRole:
        if (!RecentStore::FileExists(text(index.row(), 0))) {
            // Only the strike-out is set: the rest of the font comes from the grid.
            QFont struckOut;
            struckOut.setStrikeOut(true);
            return struckOut;
        }
        return QVariant();
    default:
        return QVariant();
    }
}

QVariant RecentFilesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case 0:
        return QStringLiteral("Database File Name");
    case 1:
        return QStringLiteral("Last Used");
    default:
        return QVariant();
    }
}

Qt::ItemFlags RecentFilesModel::flags(const QModelIndex &index) const
{
    // Read-only: entries change only through the dialog's commands.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void RecentFilesModel::refresh()
{
    beginResetModel();
    endResetModel();
}

} // namespace ql
