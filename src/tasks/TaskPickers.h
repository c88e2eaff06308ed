#pragma once

#include "operations/TaskCommands.h"

#include <QDate>
#include <QString>
#include <optional>
#include <utility>

namespace ql {

class DataSource;

// How a task-list frame asks the user for a progress, a date, a web address or a property, and
// shows its comments editor and detail view: the program shows its dialogs, created once at
// start-up; tests answer directly. A frame without pickers leaves these commands disabled.
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

    // Shows the URL dialog; the address as typed when it was closed with OK, else nothing.
    virtual std::optional<QString> pickUrl() { return std::nullopt; }
    // Shows the property entry dialog; the key and value as typed when it was closed with OK.
    virtual std::optional<std::pair<QString, QString>> pickProperty() { return std::nullopt; }
    // Edits the Comments of the current task of the source's table in the comments editor, then
    // posts the task when it is pending.
    virtual void editComments(DataSource &) { }
    // Edits the current task of the source's table in the detail view; on OK a pending task is
    // posted, on Cancel it stays pending. `yesNoBooleans`: booleans read "Yes" and "No", as the
    // grid of a new list shows them.
    virtual void editDetails(DataSource &, bool /*yesNoBooleans*/) { }
};

} // namespace ql
