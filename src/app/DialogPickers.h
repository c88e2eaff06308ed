#pragma once

#include "tasks/TaskPickers.h"

namespace ql {

class TfrmDateSelect;
class TfrmProgress;

// The task-list frames' pickers as the program shows them: the progress picker and the date
// selection, created once at start-up and shown modally (through showModal) each time.
class DialogPickers final : public TaskPickers
{
public:
    DialogPickers(TfrmProgress &progress, TfrmDateSelect &dates);

    qint64 pickProgress(qint64 current) override;
    std::optional<DateChoice> pickDate() override;

private:
    TfrmProgress &m_progress;
    TfrmDateSelect &m_dates;
};

} // namespace ql
