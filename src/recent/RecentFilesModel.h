#pragma once

#include <QAbstractTableModel>

namespace ql {

class RecentStore;

// The Reopen dialog's grid: the store's table as it is ordered and filtered, read from the table's
// view at the moment a cell is asked for (no copy of the rows). Column 0 is the path, column 1 the
// moment it was last used, in the system's date and time formats. Both cells of an entry whose file
// does not exist are struck out; that is looked up whenever a cell is painted, so an entry changes
// its look at the next repaint after its file comes or goes.
class RecentFilesModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit RecentFilesModel(RecentStore &store, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The table's rows or view changed: every row is read again.
    void refresh();

private:
    QString text(int row, int column) const;

    RecentStore &m_store;
};

} // namespace ql
