#include "storage/TaskSchema.h"

#include "storage/ClientTable.h"

namespace ql {

const QStringList &StatusWords()
{
    static const QStringList words { QStringLiteral("Not Started"), QStringLiteral("Paused"),
        QStringLiteral("In progress"), QStringLiteral("Complete"), QStringLiteral("Cancelled") };
    return words;
}

const QStringList &PriorityWords()
{
    static const QStringList words { QStringLiteral("Normal"), QStringLiteral("Urgent"),
        QStringLiteral("High"), QStringLiteral("Low") };
    return words;
}

const QStringList &DifficultyWords()
{
    static const QStringList words { QStringLiteral("Easy"), QStringLiteral("Moderate"),
        QStringLiteral("Hard") };
    return words;
}

const std::vector<IndexDef> &TaskIndexDefs()
{
    using namespace TaskField;
    static const std::vector<IndexDef> indexes = [] {
        struct Index
        {
            const char *name;
            const QString &field;
            IndexOptions options;
        };
        const Index defs[] = {
            { "cdsTasksIndexID", ID, { true, true, false, false } },
            { "cdsTasksIndexTaskName", Task, {} },
            { "cdsTasksIndexLastActioned", LastActioned, { false, false, true, false } },
            { "cdsTasksStatus", Status, { false, false, false, true } },
            { "cdsTasksDifficulty", Difficulty, {} },
            { "cdsTasksPriority", Priority, {} },
            { "cdsTasksCategory", Category, {} },
            { "cdsTasksProgress", Progress, { false, false, true, false } },
            { "cdsTasksGroupNo", GroupNo, {} },
        };
        std::vector<IndexDef> out;
        for (const Index &i : defs)
            out.push_back({ QString::fromLatin1(i.name), { i.field }, i.options });
        return out;
    }();
    return indexes;
}

void DefineTaskTable(ClientTable &table)
{
    struct Def
    {
        const QString &name;
        FieldType type;
        int width;
    };
    using namespace TaskField;
    const Def defs[] = {
        { ID, FieldType::Counter, 0 },
        { Task, FieldType::Text, 255 },
        { Status, FieldType::Text, 20 },
        { Priority, FieldType::Text, 20 },
        { Progress, FieldType::Integer, 0 },
        { Difficulty, FieldType::Text, 20 },
        { CreatedDate, FieldType::Date, 0 },
        { CompletedDate, FieldType::Date, 0 },
        { LastActioned, FieldType::Date, 0 },
        { StartDate, FieldType::Date, 0 },
        { Time, FieldType::Integer, 0 },
        { ParentID, FieldType::Integer, 0 },
        { Bookmarked, FieldType::Boolean, 0 },
        { AssignedTo, FieldType::Text, 30 },
        { DueDate, FieldType::Date, 0 },
        { GroupNo, FieldType::Integer, 0 },
        { Comments, FieldType::Text, 255 },
        { Owner, FieldType::Text, 30 },
        { Details, FieldType::Memo, 0 },
        { Category, FieldType::Text, 30 },
        { RelatedFile, FieldType::Text, 255 },
        { LinkedList, FieldType::Text, 255 },
        { Properties, FieldType::Memo, 0 },
        { Points, FieldType::Word, 0 },
        { URL, FieldType::Text, 255 },
    };
    for (const Def &d : defs) {
        FieldDef def;
        def.name = d.name;
        def.type = d.type;
        def.width = d.width;
        table.AddFieldDef(def);
    }

    for (const IndexDef &index : TaskIndexDefs())
        table.AddIndexDef(index);
}

void DefineRecentTable(ClientTable &table)
{
    table.AddFieldDef({ QStringLiteral("File"), FieldType::Text, 255 });
    table.AddFieldDef({ QStringLiteral("LastUsed"), FieldType::DateTime, 0 });
}

} // namespace ql
