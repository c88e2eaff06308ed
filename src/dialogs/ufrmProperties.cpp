#include "dialogs/ufrmProperties.h"

#include <QKeyEvent>
#include <QPushButton>

namespace ql {

TfrmProperties::TfrmProperties(QWidget *parent)
    : QDialog(parent)
{
    // Qt centres a dialog on its parent (the main window) when it is shown.
    setupUi(this);
    setFixedSize(size());
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmProperties::keyPressEvent(QKeyEvent *event)
{
    // A dialog closes on Esc, and on Enter when it has a default button; this one has neither.
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

} // namespace ql
