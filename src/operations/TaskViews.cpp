#include "operations/TaskViews.h"

#include "storage/ClientTable.h"
#include "storage/TaskSchema.h"

#include <vector>

namespace ql::TaskViews {

namespace {

struct Order
{
    QString item;
    QString index; // empty: no named order
};

const std::vector<Order> &orders()
{
    static const std::vector<Order> table {
        { QStringLiteral("None"), QString() },
        { TaskField::Task, TaskOrder::TaskName },
        { TaskField::ID, TaskOrder::ID },
        { QStringLiteral("Last Actioned"), TaskOrder::LastActioned },
        { TaskField::Status, TaskOrder::Status },
        { TaskField::Difficulty, TaskOrder::Difficulty },
        { TaskField::Priority, TaskOrder::Priority },
        { TaskField::Category, TaskOrder::Category },
        { TaskField::Progress, TaskOrder::Progress },
        { QStringLiteral("Group No"), TaskOrder::GroupNo },
    };
    return table;
}

struct View
{
    QString item;
    std::optional<QString> filter; // none: filtering off; "%1" stands for today
};

// "Field = 'word' ", as the views write their comparisons.
QString equals(const QString &field, const QString &word)
{
    return field + QStringLiteral(" = '") + word + QStringLiteral("' ");
}

const std::vector<View> &views()
{
    const QString notComplete = QStringLiteral("and ") + TaskField::Status + QStringLiteral(" <> '")
        + TaskStatus::Complete + QStringLiteral("' ");
    const QString today = QStringLiteral("'%1' ");
    static const std::vector<View> table {
        { QStringLiteral("All"), std::nullopt },
        { TaskStatus::NotStarted, equals(TaskField::Status, TaskStatus::NotStarted) },
        { TaskStatus::InProgress, equals(TaskField::Status, TaskStatus::InProgress) },
        { TaskPriority::High + QStringLiteral(" Priority"),
            equals(TaskField::Priority, TaskPriority::High) + notComplete },
        { TaskPriority::Urgent + QStringLiteral(" Priority"),
            equals(TaskField::Priority, TaskPriority::Urgent) + notComplete },
        { TaskDifficulty::Easy, equals(TaskField::Difficulty, TaskDifficulty::Easy) + notComplete },
        { TaskDifficulty::Hard, equals(TaskField::Difficulty, TaskDifficulty::Hard) + notComplete },
        { QStringLiteral("Completed"), equals(TaskField::Status, TaskStatus::Complete) },
        { QStringLiteral("Completed Today"),
            equals(TaskField::Status, TaskStatus::Complete) + QStringLiteral("and ")
                + TaskField::CompletedDate + QStringLiteral(" = ") + today },
        { QStringLiteral("Created Today"), TaskField::CreatedDate + QStringLiteral(" = ") + today },
        { QStringLiteral("Bookmarked"), TaskField::Bookmarked + QStringLiteral(" =True ") },
    };
    return table;
}

// The captions of a table of items, in its order.
template <typename Items> QStringList itemsOf(const Items &table)
{
    QStringList names;
    for (const auto &entry : table)
        names << entry.item;
    return names;
}

} // namespace

const QStringList &OrderItems()
{
    static const QStringList items = itemsOf(orders());
    return items;
}

QString IndexForOrderItem(int item)
{
    if (item < 0 || item >= int(orders().size()))
        return QString();
    return orders()[size_t(item)].index;
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
    static const QStringList items = itemsOf(views());
    return items;
}

std::optional<QString> ViewFilter(int item, const QString &today)
{
    if (item < 0 || item >= int(views().size()) || !views()[size_t(item)].filter)
        return std::nullopt;
    const QString &filter = *views()[size_t(item)].filter;
    return filter.contains(QLatin1String("%1")) ? filter.arg(today) : filter;
}

QString SearchFilter(const QString &text)
{
    return TaskField::Task + QStringLiteral(" LIKE '%") + text + QStringLiteral("%'");
}

void ApplyFilter(ClientTable &table, const QString &expression)
{
    const bool rebuilds = table.Active() && table.Filtered() && table.Filter() != expression;
    table.SetFilter(expression);
    if (!rebuilds)
        table.SetFiltered(true);
}

} // namespace ql::TaskViews
