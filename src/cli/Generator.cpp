#include "cli/Generator.h"

#include "platform/FileLock.h"
#include "storage/ClientTable.h"
#include "storage/TaskSchema.h"

#include <QDate>
#include <QStringList>
#include <algorithm>
#include <iterator>
#include <random>

namespace ql {

namespace {

// Draws from the seed. The standard distributions differ between standard libraries, so bounded
// numbers are scaled from the engine's raw output, which the standard fixes.
class Draw
{
public:
    explicit Draw(quint32 seed)
        : m_engine(seed)
    {
    }

    // A number from 0 to n - 1.
    int below(int n) { return int((quint64(quint32(m_engine())) * quint64(n)) >> 32); }
    int between(int low, int high) { return low + below(high - low + 1); }
    bool percent(int p) { return below(100) < p; }
    const QString &pick(const QStringList &list) { return list.at(below(int(list.size()))); }
    // An index drawn with the given weights (out of their sum).
    int weighted(std::initializer_list<int> weights)
    {
        int total = 0;
        for (int w : weights)
            total += w;
        int n = below(total);
        int index = 0;
        for (int w : weights) {
            if (n < w)
                return index;
            n -= w;
            ++index;
        }
        return index - 1;
    }

private:
    std::mt19937 m_engine;
};

QStringList fromUtf8(std::initializer_list<const char *> texts)
{
    QStringList list;
    for (const char *t : texts)
        list.append(QString::fromUtf8(t));
    return list;
}

// Word pools. They hold what users really type, including the characters the file format escapes
// (< > & ' " tab backslash) and text beyond ASCII, all within the Basic Multilingual Plane.
struct Pools
{
    QStringList verbs = fromUtf8({ "Call", "Email", "Buy", "Fix", "Review", "Write", "Plan", "Book", "Clean",
        "Update", "Prepare", "Renew", "Check", "Order", "Pay", "Schedule", "Test", "Organise", "Back up",
        "Read", "Sort out", "Return" });
    QStringList objects = fromUtf8({ "the plumber", "milk", "the login page", "quarterly report",
        "dentist appointment", "garage", "passport", "insurance policy", "team meeting agenda",
        "café receipts", "Zoë's birthday present", "Überweisung an Müller", "the \"Q3\" budget", "R&D notes",
        "<b>draft</b> newsletter", "Ångström unit tests", "библиотека books", "東京 trip itinerary",
        "Ελληνικά lesson", "car tyres", "invoice #1042", "50% deposit", "server backups", "holiday photos",
        "Ann's references", "tax return", "files in C:\\Projects\\Old", "naïve Bayes notes",
        "crème brûlée recipe", "señora García" });
    QStringList suffixes = fromUtf8({ "", "", "", "", " today", " before Friday", " (again)", " – urgent",
        " for next week", " & follow up", ", then report back", " 'asap'", " with Chloé", "  " });
    QStringList people = fromUtf8({ "ann", "bob", "Chloé", "Dmitri", "Łukasz", "佐藤", "O'Neill", "maría" });
    QStringList categories = fromUtf8({ "Work", "Home", "Errands", "Garden", "Finance", "Health", "Reading",
        "Travel", "Café & Bar", "Büro", "" });
    QStringList comments = fromUtf8({ "Waiting for reply", "Left a voicemail", "See e-mail from 3 March",
        "Blocked by \"vendor\"", "Ça marche", "Needs <review>", "Tab\tseparated note", "", "50/50 chance",
        "Ask Ann's team", "Deadline moved – again" });
    QStringList sentences
        = fromUtf8({ "Gather the documents first.", "Ask for a second quote.", "Remember the receipt!",
            "Price went up by 15%.", "Contact: Zoë Müller <zoe@example.com>", "Steps:\t1) call\t2) confirm",
            "Path: C:\\Users\\Ann\\Desktop", "Keep it short & simple.", "Rückfrage bei der Bank.",
            "会議の前に確認する。", "It's \"done\" when it's done.", "Ελέγξτε το πρόγραμμα." });
    QStringList properties = fromUtf8({ "Estimate=2h", "Reviewer=ann", "Location=Büro 3", "Budget=€120",
        "Ticket=QL-%1", "Colour=blue", "Phone=+44 20 7946 0000" });
    QStringList files = fromUtf8({ "C:\\Users\\Ann\\Documents\\Budget %1.xls", "~/Documents/Report %1.odt",
        "Scans/Receipt-%1.pdf", "Photos/Été %1/IMG_0042.jpg" });
    QStringList lists = fromUtf8({ "Projects/Garden.ql1", "Work/Q%1 planning.ql1", "Home/Chores.ql1" });
    QStringList urls = fromUtf8({ "https://example.com/tickets/%1",
        "https://example.org/wiki/Tâche?id=%1&view=full", "http://intranet.example.net/task/%1" });
    // Details that make a task's text its own: "about <detail> <number>".
    QStringList details = fromUtf8({ "ticket", "order", "room", "flat", "case", "invoice", "meeting with",
        "call from", "letter to", "gift for", "form", "version", "chapter", "site", "account", "claim" });
    QStringList names = fromUtf8({ "Ann", "Bob", "Chloé", "Dmitri", "Łukasz", "佐藤", "O'Neill", "María",
        "Jones", "Müller", "Kowalski", "Dubois", "Rossi", "Novák", "Hansen", "Silva", "Yamada", "Smith" });
    // Values seen in lists that were imported or edited in the grid: they match no word-based view.
    QStringList odd = fromUtf8({ "complete", "Complete ", "cancelled", "In Progress", "Waiting" });
};

struct TaskFields
{
    explicit TaskFields(const ClientTable &t)
        : task(t.RequireField(TaskField::Task))
        , status(t.RequireField(TaskField::Status))
        , priority(t.RequireField(TaskField::Priority))
        , progress(t.RequireField(TaskField::Progress))
        , difficulty(t.RequireField(TaskField::Difficulty))
        , created(t.RequireField(TaskField::CreatedDate))
        , completed(t.RequireField(TaskField::CompletedDate))
        , lastActioned(t.RequireField(TaskField::LastActioned))
        , started(t.RequireField(TaskField::StartDate))
        , time(t.RequireField(TaskField::Time))
        , parentId(t.RequireField(TaskField::ParentID))
        , bookmarked(t.RequireField(TaskField::Bookmarked))
        , assignedTo(t.RequireField(TaskField::AssignedTo))
        , due(t.RequireField(TaskField::DueDate))
        , groupNo(t.RequireField(TaskField::GroupNo))
        , comments(t.RequireField(TaskField::Comments))
        , owner(t.RequireField(TaskField::Owner))
        , details(t.RequireField(TaskField::Details))
        , category(t.RequireField(TaskField::Category))
        , relatedFile(t.RequireField(TaskField::RelatedFile))
        , linkedList(t.RequireField(TaskField::LinkedList))
        , properties(t.RequireField(TaskField::Properties))
        , points(t.RequireField(TaskField::Points))
        , url(t.RequireField(TaskField::URL))
    {
    }

    const Field &task, &status, &priority, &progress, &difficulty, &created, &completed, &lastActioned,
        &started, &time, &parentId, &bookmarked, &assignedTo, &due, &groupNo, &comments, &owner, &details,
        &category, &relatedFile, &linkedList, &properties, &points, &url;
};

// A pool entry with "%1" gets a number; the others are taken as they are.
QString fill(const QString &pattern, int number)
{
    return pattern.contains(QLatin1String("%1")) ? pattern.arg(number) : pattern;
}

QString memo(Draw &draw, const Pools &pools)
{
    // Memos typed on Windows break lines with CR LF; some come from elsewhere with LF alone.
    const QString lineBreak = draw.percent(85) ? QStringLiteral("\r\n") : QStringLiteral("\n");
    const int lines = draw.between(1, 6);
    QString text;
    for (int i = 0; i < lines; ++i) {
        if (i > 0)
            text += lineBreak;
        if (!draw.percent(10)) // some lines stay empty, as paragraph breaks
            text += draw.pick(pools.sentences);
    }
    if (draw.percent(3)) // now and then a long description
        text += lineBreak + draw.pick(pools.sentences).repeated(draw.between(20, 80));
    return text;
}

} // namespace

void generateTasks(ClientTable &table, int count, quint32 seed, bool distinctTexts)
{
    static const Pools pools;
    const TaskFields f(table);
    Draw draw(seed);
    const QStringList &statuses = StatusWords();
    const QStringList &priorities = PriorityWords();
    const QStringList &difficulties = DifficultyWords();
    const qint64 firstDay = Value::daysFromDate(QDate(2012, 1, 1));
    const qint64 lastDay = Value::daysFromDate(QDate(2025, 12, 31));
    const int daySpan = int(lastDay - firstDay);
    const qint64 firstId = table.HasCounter() ? table.Counter() : 1;

    auto set = [&](const Field &field, Value value) { table.SetValue(field, std::move(value)); };
    auto setText
        = [&](const Field &field, QString text) { table.SetValue(field, Value::text(std::move(text))); };

    for (int i = 0; i < count; ++i) {
        table.AppendRow();

        // The first five tasks walk through the vocabularies so that every word occurs.
        // Weights as in a list kept for a while: many tasks done, few cancelled.
        const int statusIndex = i < 5 ? i : draw.weighted({ 25, 10, 20, 35, 10 });
        const QString &status = statuses.at(statusIndex);
        const bool isComplete = statusIndex == 3;
        const bool isNew = statusIndex == 0;

        QString text = draw.pick(pools.verbs) + u' ' + draw.pick(pools.objects);
        if (distinctTexts) {
            text += QLatin1String(" about ") + draw.pick(pools.details) + u' ';
            if (draw.percent(50))
                text += draw.pick(pools.names) + u' ';
            text += QString::number(draw.between(1, 999999));
        }
        text += draw.pick(pools.suffixes);
        if (draw.percent(1)) // longer than the field: the table cuts it
            text = text.repeated(12);
        else if (draw.percent(1))
            text.clear(); // an empty text, which is not null
        setText(f.task, text);

        setText(f.status, draw.percent(1) ? draw.pick(pools.odd) : status);
        if (i < 5)
            setText(f.priority, priorities.at(i % priorities.size()));
        else if (!draw.percent(2))
            setText(f.priority, priorities.at(draw.weighted({ 50, 10, 20, 20 })));
        if (i < 5)
            setText(f.difficulty, difficulties.at(i % difficulties.size()));
        else if (!draw.percent(3))
            setText(f.difficulty, difficulties.at(draw.weighted({ 35, 45, 20 })));

        if (!draw.percent(2)) {
            int progress = 0;
            if (isComplete)
                progress = 100;
            else if (!isNew)
                progress = draw.between(0, 20) * 5;
            set(f.progress, Value::integer(progress));
        }

        const qint64 created = firstDay + draw.below(daySpan + 1);
        set(f.created, Value::date(created));
        if (!isNew) {
            // Work happens in the past; only due dates may lie ahead.
            const qint64 started = std::min(created + draw.between(0, 30), lastDay);
            set(f.started, Value::date(started));
            const qint64 actioned = std::min(started + draw.between(0, 200), lastDay);
            set(f.lastActioned, Value::date(actioned));
            if (isComplete)
                set(f.completed, Value::date(actioned));
        } else if (draw.percent(10)) {
            set(f.lastActioned, Value::date(std::min(created + draw.between(0, 60), lastDay)));
        }
        if (draw.percent(40))
            set(f.due, Value::date(created + draw.between(1, 180)));

        set(f.time, Value::integer(isNew ? 0 : draw.between(0, 48) * 15));
        if (i > 0 && draw.percent(3))
            set(f.parentId, Value::integer(firstId + draw.below(i)));
        if (!draw.percent(2))
            set(f.bookmarked, Value::boolean(draw.percent(10)));
        if (!draw.percent(5))
            setText(f.assignedTo, draw.pick(pools.people));
        if (draw.percent(30))
            set(f.groupNo, Value::integer(draw.between(1, 20)));
        if (draw.percent(25))
            setText(f.comments, draw.pick(pools.comments));
        if (draw.percent(30))
            setText(f.owner, draw.pick(pools.people));
        if (draw.percent(30))
            setText(f.details, memo(draw, pools));
        if (!draw.percent(5))
            setText(f.category, draw.pick(pools.categories));
        if (draw.percent(10))
            setText(f.relatedFile, fill(draw.pick(pools.files), draw.between(2012, 2025)));
        if (draw.percent(5))
            setText(f.linkedList, fill(draw.pick(pools.lists), draw.between(1, 4)));
        if (draw.percent(15)) {
            QStringList lines;
            const int n = draw.between(1, 3);
            for (int k = 0; k < n; ++k)
                lines.append(fill(draw.pick(pools.properties), draw.between(100, 999)));
            setText(f.properties, lines.join(QStringLiteral("\r\n")));
        }
        if (draw.percent(20)) {
            static const int points[] = { 0, 1, 2, 3, 5, 8, 13, 21, 65535 };
            set(f.points, Value::integer(points[draw.below(int(std::size(points)))]));
        }
        if (draw.percent(8))
            setText(f.url, fill(draw.pick(pools.urls), draw.between(1, 99999)));

        table.PostRow();
    }
}

void generate(const QString &path, int count, quint32 seed, bool distinctTexts)
{
    // The list gets the task fields of a new list, but not its nine named orders: keeping nine
    // orders sorted while 100,000 rows are posted one by one would cost far more than the rows.
    // Orders are not part of the file, so the document is the same.
    ClientTable schema;
    DefineTaskTable(schema);
    schema.CreateEmpty();

    ClientTable table;
    for (const Field &field : schema.Fields())
        table.AddFieldDef(field.def());
    table.CreateEmpty();
    generateTasks(table, count, seed, distinctTexts);
    // Under the list's lock, as every command that writes a list.
    updateLockedFileInPieces(path, [&](FileLock &) {
        return std::optional<ContentWriter>(
            [&](const PutBytes &put) { table.WriteTo(DataFormat::XmlUtf8, put); });
    });
}

} // namespace ql
