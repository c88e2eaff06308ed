#include "dialogs/uFrmComments.h"

#include "platform/gui/ErrorBox.h"
#include "platform/gui/ShowModal.h"
#include "storage/DataSource.h"
#include "storage/TaskSchema.h"

#include <QPointer>
#include <QScopeGuard>

namespace ql {

TfrmComments::TfrmComments(QWidget *parent)
    : QDialog(parent)
{
    // Qt centres a dialog on its parent (the main window) when it is shown.
    setupUi(this);
}

void TfrmComments::bindSource(DataSource &source)
{
    DBMemo1->bind(source, TaskField::Comments);
}

void TfrmComments::unbindSource()
{
    DBMemo1->unbind();
}

bool TfrmComments::editComments(DataSource &source)
{
    return runGuarded([&] {
        const QPointer<DataSource> shown(&source);
        bindSource(source);
        // However the command ends, a refused post included, the hidden window lets go of the table.
        const auto release = qScopeGuard([this] { unbindSource(); });
        DBMemo1->setFocus();
        showModal(*this);
        if (shown && shown->hasTable() && shown->table().IsEditing())
            shown->table().PostRow();
    });
}

} // namespace ql
