#include "app/DialogPickers.h"

#include "dialogs/uFrmComments.h"
#include "dialogs/uFrmDetails.h"
#include "dialogs/uFrmProgress.h"
#include "dialogs/uFrmURL.h"
#include "dialogs/ufrmDateSelect.h"
#include "dialogs/ufrmProperties.h"
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

std::optional<QString> DialogPickers::pickUrl()
{
    // The frame does not fill the dialog from the task: it shows what was typed last time.
    if (!m_url || showModal(*m_url) != QDialog::Accepted)
        return std::nullopt;
    return m_url->edtURL->text();
}

std::optional<std::pair<QString, QString>> DialogPickers::pickProperty()
{
    // The boxes are not cleared: they offer the last pair entered.
    if (!m_properties || showModal(*m_properties) != QDialog::Accepted)
        return std::nullopt;
    return std::make_pair(m_properties->Edit1->text(), m_properties->Edit2->text());
}

void DialogPickers::editComments(DataSource &source)
{
    if (m_comments)
        m_comments->editComments(source);
}

void DialogPickers::editDetails(DataSource &source, bool yesNoBooleans)
{
    if (m_details)
        m_details->editDetails(source, yesNoBooleans);
}

} // namespace ql
