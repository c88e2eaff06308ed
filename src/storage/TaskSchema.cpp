#include "storage/TaskSchema.h"

#include "storage/ClientTable.h"

namespace ql {

const QStringList &StatusWords()
{
    using namespace TaskStatus;
    static const QStringList words { NotStarted, Paused, InProgress, Complete, Cancelled };
    return words;
}

const QStringList &PriorityWords()
{
    using namespace TaskPriority;
    static const QStringList words { Normal, Urgent, High, Low };
    return words;
}

const QStringList &DifficultyWords()
{
    using namespace TaskDifficulty;
    static const QStringList words { Easy, Moderate, Hard };
    return words;
}

std::optional<QString> PickListWord(const QStringList &words, const QString &text)
{
    for (const QString &word : words)
        if (word.compare(text, Qt::CaseInsensitive) == 0)
            return word;
    return std::nullopt;
}

const std::vector<IndexDef> &TaskIndexDefs()
{
    static const std::vector<IndexDef> indexes = [] {
        struct Index
        {
            const QString &name;
            const QString &field;
            IndexOptions options;
        };
        const Index defs[] = {
            { TaskOrder::ID, TaskField::ID, { true, true, false, false } },
            { TaskOrder::TaskName, TaskField::Task, {} },
            { TaskOrder::LastActioned, TaskField::LastActioned, { false, false, true, false } },
            { TaskOrder::Status, TaskField::Status, { false, false, false, true } },
            { TaskOrder::Difficulty, TaskField::Difficulty, {} },
            { TaskOrder::Priority, TaskField::Priority, {} },
            { TaskOrder::Category, TaskField::Category, {} },
            { TaskOrder::Progress, TaskField::Progress, { false, false, true, false } },
            { TaskOrder::GroupNo, TaskField::GroupNo, {} },
        };
        std::vector<IndexDef> out;
        for (const Index &i : defs)
            out.push_back({ i.name, { i.field }, i.options });
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
