#pragma once

#include "tasks/TaskCommands.h"

#include <QDate>
#include <optional>

namespace ql {

// How a task-list frame asks the user for a progress or a date: the program shows its progress
// picker and date selection dialogs, created once at start-up; tests answer directly.
class TaskPickers
{
public:
    virtual ~TaskPickers() = default;

    // Shows the progress picker preset with `current` and gives back the percentage it hands back,
    // however it was closed.
    virtual qint64 pickProgress(qint64 current) = 0;

    struct DateChoice
    {
        std::optional<TaskCommands::DateField> field; // none: applied without a field chosen
        QDate date;
    };
    // Shows the date selection; nothing when it was cancelled or closed.
    virtual std::optional<DateChoice> pickDate() = 0;
};

} // namespace ql
