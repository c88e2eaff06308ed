#include "operations/TaskCommands.h"

#include "common/uGeneral.h"
#include "platform/Error.h"
#include "storage/ClientTable.h"
#include "storage/PendingRow.h"
#include "storage/TaskSchema.h"

namespace ql::TaskCommands {

void SetInsertDefaults(ClientTable &table, const QDate &today)
{
    // The integer 0 is what a new row's status starts as; the text field keeps it as "0". Quick
    // add overwrites it with "Not Started".
    table.SetInteger(TaskField::Status, 0);
    table.SetValue(table.RequireField(TaskField::CreatedDate), Value::fromDate(today));
    table.SetInteger(TaskField::Progress, 0);
}

void InstallInsertDefaults(ClientTable &table, std::function<QDate()> today)
{
    table.SetAfterInsert([today = std::move(today)](ClientTable &t) { SetInsertDefaults(t, today()); });
}

QString TrimmedTaskText(const QString &text)
{
    auto dropped = [](QChar c) { return c.unicode() <= 0x20 || c.category() == QChar::Other_Control; };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && dropped(text.at(begin)))
        ++begin;
    while (end > begin && dropped(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

bool QuickAdd(ClientTable &table, const QString &text, const QuickAddChoice &choice, const QDate &today)
{
    const QString task = TrimmedTaskText(text);
    if (task.isEmpty())
        return false;
    table.AppendRow();
    // In this order: a list whose file lacks one of the fields stops at it with the table's error
    // and leaves the row pending with the fields set so far.
    table.SetText(TaskField::Task, task);
    table.SetValue(table.RequireField(TaskField::CreatedDate), Value::fromDate(today));
    table.SetText(TaskField::Status, TaskStatus::NotStarted);
    table.SetInteger(TaskField::Progress, 0);
    table.SetText(TaskField::Priority, choice.priority);
    table.SetText(TaskField::Difficulty, choice.difficulty);
    table.SetBoolean(TaskField::Bookmarked, false);
    table.SetInteger(TaskField::Time, 0);
    table.SetText(TaskField::AssignedTo, choice.assignedTo ? *choice.assignedTo : CurrentUserName());
    table.SetText(TaskField::Category, choice.category);
    table.PostRow();
    return true;
}

namespace {

void setToday(ClientTable &table, const QString &field, const QDate &today)
{
    table.SetValue(table.RequireField(field), Value::fromDate(today));
}

} // namespace

void RunStateCommand(ClientTable &table, StateCommand command, const QDate &today)
{
    table.EditRow();
    switch (command) {
    case StateCommand::Start:
        table.SetText(TaskField::Status, TaskStatus::InProgress);
        if (CurrentProgress(table) == 0)
            table.SetInteger(TaskField::Progress, 1);
        setToday(table, TaskField::LastActioned, today);
        setToday(table, TaskField::StartDate, today);
        break;
    case StateCommand::Cancel:
    case StateCommand::Pause:
        table.SetText(
            TaskField::Status, command == StateCommand::Cancel ? TaskStatus::Cancelled : TaskStatus::Paused);
        table.SetText(TaskField::Priority, TaskPriority::Low);
        setToday(table, TaskField::LastActioned, today);
        break;
    case StateCommand::Complete:
        setToday(table, TaskField::CompletedDate, today);
        setToday(table, TaskField::LastActioned, today);
        table.SetInteger(TaskField::Progress, 100);
        table.SetText(TaskField::Status, TaskStatus::Complete);
        break;
    case StateCommand::Bookmark:
        table.SetBoolean(TaskField::Bookmarked, true);
        setToday(table, TaskField::LastActioned, today);
        break;
    case StateCommand::LastActionedNow:
        setToday(table, TaskField::LastActioned, today);
        break;
    }
    table.PostRow();
}

qint64 CurrentProgress(const ClientTable &table)
{
    const Value progress = table.GetValue(TaskField::Progress);
    return progress.isNull() ? 0 : table.AsInteger(TaskField::Progress);
}

void SetProgress(ClientTable &table, qint64 progress, const QDate &today)
{
    table.EditRow();
    setToday(table, TaskField::LastActioned, today);
    table.SetInteger(TaskField::Progress, progress);
    table.SetText(TaskField::Status, TaskStatus::InProgress);
    table.PostRow();
}

void SetProgressOnly(ClientTable &table, const QString &percentage)
{
    bool ok = false;
    const int progress = percentage.toInt(&ok);
    if (!ok)
        throw Error(QStringLiteral("'%1' is not a valid integer value").arg(percentage));
    PendingRow row(table, PendingRow::Start::Edit);
    table.SetInteger(TaskField::Progress, progress);
    row.post();
}

QString FieldOf(DateField field)
{
    switch (field) {
    case DateField::LastActioned:
        return TaskField::LastActioned;
    case DateField::Started:
        return TaskField::StartDate;
    case DateField::Due:
        return TaskField::DueDate;
    case DateField::Completed:
        return TaskField::CompletedDate;
    case DateField::Created:
        return TaskField::CreatedDate;
    }
    return QString();
}

void SetDate(ClientTable &table, std::optional<DateField> field, const QDate &date)
{
    table.EditRow();
    if (field)
        setToday(table, FieldOf(*field), date);
    table.PostRow();
}

void DeleteCurrent(ClientTable &table)
{
    table.DeleteRow();
}

void SetLink(
    ClientTable &table, const QString &fieldName, const QString &target, std::optional<QDate> lastActioned)
{
    // A list whose file lacks the field stops at it below, with the task in edit mode.
    const Field *field = table.LookupField(fieldName);
    if (field && field->type() == FieldType::Text && field->width() > 0 && target.size() > field->width()) {
        const bool address = fieldName == TaskField::URL;
        throw Error(
            QStringLiteral("The %1 is too long to link: it has %2 characters, and %3 holds at most %4. "
                           "Nothing was changed.")
                .arg(address ? QStringLiteral("address") : QStringLiteral("path"))
                .arg(target.size())
                .arg(fieldName)
                .arg(field->width()));
    }
    table.EditRow();
    table.SetText(fieldName, target);
    if (lastActioned)
        setToday(table, TaskField::LastActioned, *lastActioned);
    table.PostRow();
}

int BatchInsertLines(ClientTable &table, const QStringList &lines)
{
    if (table.IsEditing())
        table.PostRow();
    int added = 0;
    for (const QString &line : lines) {
        if (line.isEmpty())
            continue;
        // A list without a Task field fails here, before a blank task is started that nothing
        // would fill.
        table.RequireField(TaskField::Task);
        PendingRow row(table, PendingRow::Start::Append);
        table.SetText(TaskField::Task, line);
        row.post();
        ++added;
    }
    return added;
}

QString LinkTarget(const ClientTable &table, const QString &fieldName)
{
    if (!table.Active() || table.RowCount() == 0)
        return QString();
    return TrimmedTaskText(table.AsText(fieldName));
}

} // namespace ql::TaskCommands
