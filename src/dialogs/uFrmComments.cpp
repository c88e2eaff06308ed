#include "dialogs/uFrmComments.h"

#include "platform/gui/ErrorBox.h"
#include "platform/gui/ShowModal.h"
#include "storage/ClientTable.h"
#include "storage/TaskSchema.h"

#include <QScopeGuard>

namespace ql {

TfrmComments::TfrmComments(QWidget *parent)
    : QDialog(parent)
{
    // Qt centres a dialog on its parent (the main window) when it is shown.
    setupUi(this);
}

void TfrmComments::bindTable(ClientTable &table)
{
    DBMemo1->bind(table, TaskField::Comments);
}

void TfrmComments::unbindTable()
{
    DBMemo1->unbind();
}

bool TfrmComments::editComments(ClientTable &table)
{
    return runGuarded([&] {
        bindTable(table);
        // However the command ends, a refused post included, the hidden window lets go of the table.
        const auto release = qScopeGuard([this] { unbindTable(); });
        DBMemo1->setFocus();
        showModal(*this);
        if (table.IsEditing())
            table.PostRow();
    });
}

} // namespace ql
