#include "tasks/TaskCommands.h"

#include "common/uGeneral.h"
#include "storage/ClientTable.h"
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
    table.SetText(TaskField::Status, QStringLiteral("Not Started"));
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

} // namespace ql::TaskCommands
