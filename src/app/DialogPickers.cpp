#include "app/DialogPickers.h"

#include "dialogs/uFrmProgress.h"
#include "dialogs/ufrmDateSelect.h"
#include "platform/gui/ShowModal.h"

#include <algorithm>
#include <limits>

namespace ql {

DialogPickers::DialogPickers(TfrmProgress &progress, TfrmDateSelect &dates)
    : m_progress(progress)
    , m_dates(dates)
{
}

qint64 DialogPickers::pickProgress(qint64 current)
{
    // The picker holds a 32-bit percentage; a larger stored progress is handed in clamped.
    m_progress.SetChosenProgress(
        int(std::clamp<qint64>(current, std::numeric_limits<int>::min(), std::numeric_limits<int>::max())));
    showModal(m_progress);
    return m_progress.ChosenProgress();
}

std::optional<TaskPickers::DateChoice> DialogPickers::pickDate()
{
    if (showModal(m_dates) != QDialog::Accepted)
        return std::nullopt;
    DateChoice choice;
    const int field = m_dates.ChosenField();
    if (field >= 0) {
        choice.field = TaskCommands::DateField(field);
        choice.date = m_dates.AppliedDates()[size_t(field)];
    }
    return choice;
}

} // namespace ql
