#include "dialogs/ufrmDateSelect.h"

#include "platform/gui/ErrorBox.h"
#include "platform/gui/Ui.h"

#include <QCalendarWidget>
#include <QComboBox>
#include <QPushButton>

namespace ql {

TfrmDateSelect::TfrmDateSelect(QWidget *parent)
    : QDialog(parent)
{
    setupUi(this);
    setFixedSize(size());
    m_appliedDates.fill(QDate(1899, 12, 30));
    MonthCalendar1->setSelectedDate(QDate(2023, 5, 1));
    connect(Button1, &QPushButton::clicked, this, &TfrmDateSelect::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmDateSelect::Button1Click()
{
    runGuarded([this] {
        const int field = ChosenField();
        if (field < 0)
            Ui::current().message(QStringLiteral("Date not selected"));
        else
            m_appliedDates[size_t(field)] = MonthCalendar1->selectedDate();
    });
    accept();
}

} // namespace ql
