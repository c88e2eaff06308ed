#include "operations/TaskViews.h"

#include "storage/ClientTable.h"
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

// The captions of a table of items, in its order.
template <typename Items> QStringList itemsOf(const Items &table)
{
    QStringList names;
    for (const auto &entry : table)
        names << QString::fromLatin1(entry.item);
    return names;
}

} // namespace

const QStringList &OrderItems()
{
    static const QStringList items = itemsOf(Orders);
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
    for (const IndexDef &index : TaskIndexDefs())
        if (index.fields == QStringList { fieldName })
            return index.name;
    return std::nullopt;
}

const QStringList &ViewItems()
{
    static const QStringList items = itemsOf(Views);
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

void ApplyFilter(ClientTable &table, const QString &expression)
{
    const bool rebuilds = table.Active() && table.Filtered() && table.Filter() != expression;
    table.SetFilter(expression);
    if (!rebuilds)
        table.SetFiltered(true);
}

} // namespace ql::TaskViews
