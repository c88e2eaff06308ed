#include "dialogs/uFrmURL.h"

#include "platform/gui/BusyCursor.h"

#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QStyle>
#include <QToolButton>

namespace ql {

TfrmURL::TfrmURL(QWidget *parent)
    : QDialog(parent)
{
    setupUi(this);
    setFixedSize(size());
    BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    BitBtn2->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));

    connect(SpeedButton1, &QToolButton::clicked, this, &TfrmURL::SpeedButton1Click);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    edtText->installEventFilter(this);
}

void TfrmURL::SpeedButton1Click()
{
    // A fetch runs its own event loop; a focus change inside it must not start a second one.
    if (m_fetching)
        return;
    const QScopedValueRollback fetching(m_fetching, true);
    QString text;
    {
        const BusyCursor busy;
        text = FetchPageText(edtURL->text(), m_fetchLimits);
    }
    edtText->setText(text);
    // A long description shows from its beginning.
    edtText->setCursorPosition(0);
}

void TfrmURL::edtTextEnter()
{
    if (isVisible() && edtText->text().isEmpty())
        SpeedButton1Click();
}

bool TfrmURL::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == edtText && event->type() == QEvent::FocusIn) {
        // Focus that returns from the box's own context menu, or with the window's activation after
        // the user was elsewhere, is not given to the box anew. The fetch runs after the focus change
        // has ended, not inside it.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        const bool returning
            = reason == Qt::PopupFocusReason || (reason == Qt::ActiveWindowFocusReason && m_reactivating);
        if (!returning)
            QMetaObject::invokeMethod(this, &TfrmURL::edtTextEnter, Qt::QueuedConnection);
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmURL::showEvent(QShowEvent *event)
{
    m_reactivating = false;
    QDialog::showEvent(event);
}

void TfrmURL::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && isVisible() && !isActiveWindow())
        m_reactivating = true;
    QDialog::changeEvent(event);
}

} // namespace ql
