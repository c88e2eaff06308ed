#include "dialogs/uFrmProgress.h"

#include "platform/Error.h"
#include "platform/gui/ErrorBox.h"

#include <QPushButton>
#include <QSpinBox>

namespace ql {

TfrmProgress::TfrmProgress(QWidget *parent)
    : QDialog(parent, Qt::Tool)
{
    setupUi(this);
    setFixedSize(size());
    const struct
    {
        QPushButton *button;
        int progress;
    } percentages[] = {
        { Button7, 10 },
        { Button1, 25 },
        { Button2, 33 },
        { Button3, 50 },
        { Button4, 66 },
        { Button5, 75 },
    };
    for (const auto &p : percentages)
        connect(p.button, &QPushButton::clicked, this, [this, progress = p.progress] { choose(progress); });
    connect(Button6, &QPushButton::clicked, this, &TfrmProgress::Button6Click);

    // The arrows step the number in the edit; a number typed there moves them along, text that is
    // no number within their range leaves them where they are.
    connect(UpDown1, &QSpinBox::valueChanged, this, [this](int value) {
        if (Edit1->text().toInt() != value || Edit1->text().trimmed().isEmpty())
            Edit1->setText(QString::number(value));
    });
    connect(Edit1, &QLineEdit::textEdited, this, [this](const QString &text) {
        bool ok = false;
        const int value = text.toInt(&ok);
        if (ok && value >= UpDown1->minimum() && value <= UpDown1->maximum()) {
            const QSignalBlocker quiet(UpDown1);
            UpDown1->setValue(value);
        }
    });
}

void TfrmProgress::choose(int progress)
{
    m_chosenProgress = progress;
    accept();
}

void TfrmProgress::Button6Click()
{
    runGuarded([this] {
        const QString text = Edit1->text();
        bool ok = false;
        const int value = text.trimmed().toInt(&ok, 10);
        if (!ok)
            throw Error(QStringLiteral("'%1' is not a valid integer value").arg(text));
        m_chosenProgress = value;
    });
    // The dialog closes also after a refused text; the caller goes on with the value it set.
    accept();
}

} // namespace ql
