#include "recent/ufrmReOpen.h"

#include "platform/gui/BarPicture.h"
#include "platform/gui/ErrorBox.h"
#include "recent/RecentFilesModel.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace ql {

TfrmReOpen::TfrmReOpen(RecentStore &store, QWidget *parent)
    : QDialog(parent)
    , m_store(store)
{
    // Forms give fonts in points: the dialog's font, 11 pixels high, is set before the controls
    // are made so that every one of them starts with it.
    QFont tahoma(QStringLiteral("Tahoma"));
    tahoma.setPixelSize(11);
    setFont(tahoma);
    setupUi(this);
    setUpGrid();

    connect(SpeedButton1, &QToolButton::clicked, this, &TfrmReOpen::SpeedButton1Click);
    // Button2 is the default button: Enter in the filter box presses Open, not Filter.
    connect(Button2, &QPushButton::clicked, this, &TfrmReOpen::Button2Click);
    connect(Button4, &QPushButton::clicked, this, &QDialog::reject);

    m_store.SetViewChanged([this] { storeChanged(); });
    selectCurrentEntry();
}

TfrmReOpen::~TfrmReOpen()
{
    m_store.SetViewChanged({});
}

void TfrmReOpen::setUpGrid()
{
    m_model = new RecentFilesModel(m_store, this);
    DBGrid1->setModel(m_model);
    applyGridLook(DBGrid1);
    QHeaderView *titles = DBGrid1->horizontalHeader();
    titles->setSectionResizeMode(QHeaderView::Interactive);
    DBGrid1->setColumnWidth(0, 475);
    // The date and time must show whole; the last column takes the rest of the width.
    DBGrid1->setColumnWidth(1, 150);
    titles->setStretchLastSection(true);

    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
        &TfrmReOpen::gridRowChanged);
    // A double click on a row presses Open.
    connect(DBGrid1, &QAbstractItemView::doubleClicked, this, [this] { Button2->click(); });

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    auto addItem = [this](const char *name, const QString &caption, void (TfrmReOpen::*handler)()) {
        auto *action = PopupMenu1->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    Rename1 = addItem("Rename1", QStringLiteral("Rename"), &TfrmReOpen::Rename1Click);
    ExplorerFolder1
        = addItem("ExplorerFolder1", QStringLiteral("Explorer Folder"), &TfrmReOpen::ExplorerFolder1Click);
    Remove1 = addItem("Remove1", QStringLiteral("Remove"), &TfrmReOpen::Remove1Click);
    connect(DBGrid1, &QWidget::customContextMenuRequested, this,
        [this](const QPoint &pos) { PopupMenu1->popup(DBGrid1->viewport()->mapToGlobal(pos)); });
}

void TfrmReOpen::Button2Click()
{
    runGuarded([this] {
        m_selectedFile = m_store.CurrentFile();
        // A missing file ends the command with its error; the dialog stays open so that the user
        // can choose another entry (or remove this one).
        m_store.ChooseCurrent();
        accept();
    });
}

void TfrmReOpen::SpeedButton1Click()
{
    runGuarded([this] { m_store.ApplyFilter(Edit1->text()); });
}

void TfrmReOpen::Rename1Click()
{
    runGuarded([this] { m_store.RenameCurrent(); });
}

void TfrmReOpen::ExplorerFolder1Click()
{
    runGuarded([this] { m_store.ExploreCurrentFolder(); });
}

void TfrmReOpen::Remove1Click()
{
    runGuarded([this] { m_store.RemoveCurrent(); });
}

void TfrmReOpen::FormClose()
{
    runGuarded([this] { m_store.WriteOnClose(); });
}

void TfrmReOpen::done(int result)
{
    FormClose();
    QDialog::done(result);
}

void TfrmReOpen::keyPressEvent(QKeyEvent *event)
{
    // No key is bound to Cancel: Esc does not end the dialog.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfrmReOpen::storeChanged()
{
    m_model->refresh();
    selectCurrentEntry();
}

// The grid's current row follows the table's current entry, which the commands act on.
void TfrmReOpen::selectCurrentEntry()
{
    const int row = m_store.cdsFiles().RowNumber() - 1;
    if (row < 0 || row >= m_model->rowCount())
        return;
    m_followingTable = true;
    DBGrid1->selectionModel()->setCurrentIndex(
        m_model->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_followingTable = false;
}

void TfrmReOpen::gridRowChanged(const QModelIndex &current)
{
    if (m_followingTable || !current.isValid())
        return;
    runGuarded([this, row = current.row()] { m_store.cdsFiles().MoveTo(row + 1); });
}

} // namespace ql
