#include "tasks/TaskViews.h"

#include "storage/TaskSchema.h"

#include <array>

namespace ql::TaskViews {

namespace {

struct Order
{
    const char *item;
    const char *index; // nullptr: no named order
};

const std::array<Order, 10> Orders { {
    { "None", nullptr },
    { "Task", "cdsTasksIndexTaskName" },
    { "ID", "cdsTasksIndexID" },
    { "Last Actioned", "cdsTasksIndexLastActioned" },
    { "Status", "cdsTasksStatus" },
    { "Difficulty", "cdsTasksDifficulty" },
    { "Priority", "cdsTasksPriority" },
    { "Category", "cdsTasksCategory" },
    { "Progress", "cdsTasksProgress" },
    { "Group No", "cdsTasksGroupNo" },
} };

struct View
{
    const char *item;
    const char *filter; // nullptr: filtering off; "%1" stands for today
};

const std::array<View, 11> Views { {
    { "All", nullptr },
    { "Not Started", "Status = 'Not Started' " },
    { "In progress", "Status = 'In progress' " },
    { "High Priority", "Priority = 'High' and Status <> 'Complete' " },
    { "Urgent Priority", "Priority = 'Urgent' and Status <> 'Complete' " },
    { "Easy", "Difficulty = 'Easy' and Status <> 'Complete' " },
    { "Hard", "Difficulty = 'Hard' and Status <> 'Complete' " },
    { "Completed", "Status = 'Complete' " },
    { "Completed Today", "Status = 'Complete' and CompletedDate = '%1' " },
    { "Created Today", "CreatedDate = '%1' " },
    { "Bookmarked", "Bookmarked =True " },
} };

} // namespace

const QStringList &OrderItems()
{
    static const QStringList items = [] {
        QStringList names;
        for (const Order &o : Orders)
            names << QString::fromLatin1(o.item);
        return names;
    }();
    return items;
}

QString IndexForOrderItem(int item)
{
    if (item < 0 || item >= int(Orders.size()) || !Orders[size_t(item)].index)
        return QString();
    return QString::fromLatin1(Orders[size_t(item)].index);
}

std::optional<QString> IndexForField(const QString &fieldName)
{
    const struct
    {
        const QString &field;
        const char *index;
    } titles[] = {
        { TaskField::ID, "cdsTasksIndexID" },
        { TaskField::Task, "cdsTasksIndexTaskName" },
        { TaskField::LastActioned, "cdsTasksIndexLastActioned" },
        { TaskField::Status, "cdsTasksStatus" },
        { TaskField::Priority, "cdsTasksPriority" },
        { TaskField::Difficulty, "cdsTasksDifficulty" },
        { TaskField::Category, "cdsTasksCategory" },
        { TaskField::Progress, "cdsTasksProgress" },
        { TaskField::GroupNo, "cdsTasksGroupNo" },
    };
    for (const auto &t : titles)
        if (t.field == fieldName)
            return QString::fromLatin1(t.index);
    return std::nullopt;
}

const QStringList &ViewItems()
{
    static const QStringList items = [] {
        QStringList names;
        for (const View &v : Views)
            names << QString::fromLatin1(v.item);
        return names;
    }();
    return items;
}

std::optional<QString> ViewFilter(int item, const QString &today)
{
    if (item < 0 || item >= int(Views.size()) || !Views[size_t(item)].filter)
        return std::nullopt;
    QString filter = QString::fromLatin1(Views[size_t(item)].filter);
    return filter.contains(QLatin1String("%1")) ? filter.arg(today) : filter;
}

QString SearchFilter(const QString &text)
{
    return QStringLiteral("Task LIKE '%") + text + QStringLiteral("%'");
}

} // namespace ql::TaskViews
