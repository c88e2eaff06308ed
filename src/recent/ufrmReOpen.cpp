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
    setObjectName(QStringLiteral("frmReOpen"));
    setWindowTitle(QStringLiteral("Reopen"));
    QFont tahoma(QStringLiteral("Tahoma"));
    tahoma.setPixelSize(11);
    setFont(tahoma);
    resize(660, 437);

    buildGrid();
    buildPanel();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(DBGrid1, 1);
    layout->addWidget(Panel1);

    m_store.SetViewChanged([this] { storeChanged(); });
    selectCurrentEntry();
}

TfrmReOpen::~TfrmReOpen()
{
    m_store.SetViewChanged({});
}

void TfrmReOpen::buildGrid()
{
    DBGrid1 = new QTableView(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setAccessibleName(QStringLiteral("Recent files"));
    m_model = new RecentFilesModel(m_store, this);
    DBGrid1->setModel(m_model);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->setShowGrid(true);
    DBGrid1->setWordWrap(false);
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
    DBGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(DBGrid1, &QWidget::customContextMenuRequested, this,
        [this](const QPoint &pos) { PopupMenu1->popup(DBGrid1->viewport()->mapToGlobal(pos)); });
}

void TfrmReOpen::buildPanel()
{
    // The bar picture (the form's Image15) is the panel's own background.
    Panel1 = new BarPanel(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(55);

    Label1 = new QLabel(QStringLiteral("Filename"), Panel1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Edit1 = new QLineEdit(Panel1);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setAccessibleName(QStringLiteral("Filename"));
    Edit1->setFixedWidth(297);
    Label1->setBuddy(Edit1);

    SpeedButton1 = new QToolButton(Panel1);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setText(QStringLiteral("Filter"));
    SpeedButton1->setAccessibleName(QStringLiteral("Filter"));
    SpeedButton1->setAutoRaise(true);
    connect(SpeedButton1, &QToolButton::clicked, this, &TfrmReOpen::SpeedButton1Click);

    Button2 = new QPushButton(QStringLiteral("Open"), Panel1);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setAccessibleName(QStringLiteral("Open"));
    // The default button: Enter in the filter box presses Open, not Filter.
    Button2->setDefault(true);
    connect(Button2, &QPushButton::clicked, this, &TfrmReOpen::Button2Click);

    Button4 = new QPushButton(QStringLiteral("Cancel"), Panel1);
    Button4->setObjectName(QStringLiteral("Button4"));
    Button4->setAccessibleName(QStringLiteral("Cancel"));
    Button4->setAutoDefault(false);
    connect(Button4, &QPushButton::clicked, this, &QDialog::reject);

    auto *row = new QHBoxLayout(Panel1);
    row->setContentsMargins(8, 0, 8, 0);
    row->addWidget(Label1);
    row->addWidget(Edit1);
    row->addWidget(SpeedButton1);
    row->addSpacing(16);
    row->addWidget(Button2);
    row->addWidget(Button4);
    row->addStretch(1);
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
