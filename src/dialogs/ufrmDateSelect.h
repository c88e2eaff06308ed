#pragma once

// Generated from the form. Qt's meta-object compiler does not need it, and skipping it keeps a
// parallel build from reading the form's header while it is still being written.
#ifndef Q_MOC_RUN
#include "ui_ufrmDateSelect.h"
#endif

#include <QDate>
#include <QDialog>
#include <array>

namespace ql {

// The date selection: one of five date fields and a calendar day. Apply stores the calendar's day
// as the applied date of the chosen field and ends with QDialog::Accepted ("Date not selected" when
// no field is chosen, still Accepted); Cancel and the close box end with QDialog::Rejected and store
// nothing. Created once, it keeps the chosen field, the calendar's day and the five applied dates
// between showings.
//
// The form (ufrmDateSelect.ui) holds the controls under their component names: Label1,
// cboDateField, MonthCalendar1, Button1 (Apply) and Button2 (Cancel).
class TfrmDateSelect final : public QDialog, public form::Ui::TfrmDateSelect
{
    Q_OBJECT

public:
    explicit TfrmDateSelect(QWidget *parent = nullptr);

    // The index of the chosen date field in the list (0 Last Actioned, 1 Started, 2 Due,
    // 3 Completed, 4 Created), -1 when none is chosen.
    int ChosenField() const { return cboDateField->currentIndex(); }
    // The date last applied for each field, in the list's order; day 0 (30 December 1899) until
    // then.
    const std::array<QDate, 5> &AppliedDates() const { return m_appliedDates; }

    void Button1Click();

private:
    std::array<QDate, 5> m_appliedDates;
};

} // namespace ql
