#include "cli/Cli.h"

#include "cli/Generator.h"
#include "common/uGeneral.h"
#include "operations/TaskCommands.h"
#include "platform/Error.h"
#include "platform/FileLock.h"
#include "platform/FileWriter.h"
#include "platform/SystemFormats.h"
#include "report/TaskReportLayout.h"
#include "report/TaskReportPainter.h"
#include "storage/ClientTable.h"
#include "storage/Datapacket.h"
#include "storage/TaskSchema.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QMap>
#include <QSet>
#include <QTextStream>
#include <algorithm>
#include <memory>
#include <optional>
#include <sys/stat.h>

namespace ql {

namespace {

bool processEndsAfterCommand = false;

// Under AddressSanitizer the leak checker would count a table left to the system as lost memory and
// fail the run: there it is freed as usual, so that the check still finds real leaks.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool leaveTableToSystem = false;
#else
constexpr bool leaveTableToSystem = true;
#endif

const char usageText[]
    = "Usage:\n"
      "  quillon-cli dump FILE [--filter EXPR] [--index NAME] [--locale NAME]\n"
      "  quillon-cli copy IN OUT [--plain]\n"
      "  quillon-cli new OUT\n"
      "  quillon-cli generate OUT COUNT [--seed N] [--distinct]\n"
      "  quillon-cli add FILE TEXT [--priority P] [--difficulty D] [--category C]\n"
      "                            [--assigned-to NAME] [--today YYYY-MM-DD]\n"
      "  quillon-cli do FILE ID start|pause|cancel|complete|bookmark|actioned|delete\n"
      "  quillon-cli do FILE ID progress N\n"
      "  quillon-cli do FILE ID date last-actioned|started|due|completed|created YYYY-MM-DD\n"
      "                            (do takes [--today YYYY-MM-DD] too)\n"
      "  quillon-cli report FILE OUT.pdf [--filter EXPR] [--index NAME] [--locale NAME] [--force]\n";

// A command line that cannot be run; the text says why.
struct UsageError
{
    QString reason;
};

struct CommandSyntax
{
    const char *name;
    int positionals;
    QStringList valueOptions;
    QStringList flags;
    int maxPositionals = 0; // more than `positionals` allowed up to this many
};

const CommandSyntax commands[] = {
    { "dump", 1, { QStringLiteral("filter"), QStringLiteral("index"), QStringLiteral("locale") }, {} },
    { "copy", 2, {}, { QStringLiteral("plain") } },
    { "new", 1, {}, {} },
    { "generate", 2, { QStringLiteral("seed") }, { QStringLiteral("distinct") } },
    { "add", 2,
        { QStringLiteral("priority"), QStringLiteral("difficulty"), QStringLiteral("category"),
            QStringLiteral("assigned-to"), QStringLiteral("today") },
        {} },
    { "do", 3, { QStringLiteral("today") }, {}, 5 },
    { "report", 2, { QStringLiteral("filter"), QStringLiteral("index"), QStringLiteral("locale") },
        { QStringLiteral("force") } },
};

struct CommandLine
{
    QString command;
    QStringList positionals;
    QMap<QString, QString> values;
    QSet<QString> flags;

    std::optional<QString> value(const QString &name) const
    {
        const auto it = values.find(name);
        return it == values.end() ? std::nullopt : std::optional<QString>(*it);
    }
};

CommandLine parseCommandLine(const QStringList &args)
{
    if (args.isEmpty())
        throw UsageError { QStringLiteral("no command given") };
    CommandLine line;
    line.command = args.first();
    const CommandSyntax *syntax = nullptr;
    for (const CommandSyntax &candidate : commands) {
        if (line.command == QLatin1String(candidate.name))
            syntax = &candidate;
    }
    if (!syntax)
        throw UsageError { QStringLiteral("unknown command '%1'").arg(line.command) };

    bool optionsEnded = false;
    for (int i = 1; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (optionsEnded || !arg.startsWith(QLatin1String("--"))) {
            line.positionals.append(arg);
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        const qsizetype equals = arg.indexOf(u'=');
        const QString name = arg.mid(2, equals < 0 ? -1 : equals - 2);
        if (line.values.contains(name) || line.flags.contains(name))
            throw UsageError { QStringLiteral("option --%1 given twice").arg(name) };
        if (syntax->valueOptions.contains(name)) {
            if (equals >= 0)
                line.values.insert(name, arg.mid(equals + 1));
            else if (i + 1 < args.size())
                line.values.insert(name, args.at(++i));
            else
                throw UsageError { QStringLiteral("option --%1 needs a value").arg(name) };
        } else if (syntax->flags.contains(name) && equals < 0) {
            line.flags.insert(name);
        } else {
            throw UsageError { QStringLiteral("unknown option '%1' for %2").arg(arg, line.command) };
        }
    }
    const int most = std::max(syntax->positionals, syntax->maxPositionals);
    if (line.positionals.size() < syntax->positionals || line.positionals.size() > most)
        throw UsageError { QStringLiteral("%1 takes %2 argument(s), %3 given")
                               .arg(line.command)
                               .arg(most == syntax->positionals
                                       ? QString::number(most)
                                       : QStringLiteral("%1 to %2").arg(syntax->positionals).arg(most))
                               .arg(line.positionals.size()) };
    return line;
}

// Text as stored, on one line: the escapes keep every row on a line and every value between tabs.
void appendEscaped(QString &out, const QString &text)
{
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        default:
            out += c;
            break;
        }
    }
}

QString escaped(const QString &text)
{
    QString out;
    appendEscaped(out, text);
    return out;
}

// Appends `value` with at least `digits` digits, zero-padded.
void appendNumber(QString &out, int value, int digits)
{
    char buffer[16];
    int n = 0;
    unsigned int v = value < 0 ? 0u - unsigned(value) : unsigned(value);
    do {
        buffer[n++] = char('0' + v % 10);
        v /= 10;
    } while (v != 0 || n < digits);
    if (value < 0)
        out += u'-';
    while (n > 0)
        out += QLatin1Char(buffer[--n]);
}

void appendDate(QString &out, const QDate &d)
{
    appendNumber(out, d.year(), 4);
    out += u'-';
    appendNumber(out, d.month(), 2);
    out += u'-';
    appendNumber(out, d.day(), 2);
}

void appendTime(QString &out, const QTime &t)
{
    appendNumber(out, t.hour(), 2);
    out += u':';
    appendNumber(out, t.minute(), 2);
    out += u':';
    appendNumber(out, t.second(), 2);
    out += u'.';
    appendNumber(out, t.msec(), 3);
}

// The dump's text of a non-null value, independent of the system formats so that scripts can rely
// on it. Dumps of 100,000 tasks print millions of values, hence appending in place.
void appendValue(QString &out, const Value &value)
{
    switch (value.kind()) {
    case Value::Kind::Null:
        break;
    case Value::Kind::Integer:
        out += QString::number(value.toInteger());
        break;
    case Value::Kind::Float:
        out += QString::number(value.toFloat(), 'g', QLocale::FloatingPointShortest);
        break;
    case Value::Kind::Boolean:
        out += value.toBoolean() ? QLatin1String("TRUE") : QLatin1String("FALSE");
        break;
    case Value::Kind::Date:
        appendDate(out, value.toDate());
        break;
    case Value::Kind::DateTime:
        appendDate(out, value.toDate());
        out += u'T';
        appendTime(out, value.toTime());
        break;
    case Value::Kind::Time:
        appendTime(out, value.toTime());
        break;
    case Value::Kind::Text:
        appendEscaped(out, value.text());
        break;
    }
}

QLocale requestedLocale(const QString &name)
{
    const QLocale locale(name);
    // QLocale gives C for any name it does not know; only a real C or POSIX request may mean that.
    const QString base = name.section(u'.', 0, 0).section(u'@', 0, 0);
    if (locale.language() == QLocale::C && base.compare(QLatin1String("C"), Qt::CaseInsensitive) != 0
        && base.compare(QLatin1String("POSIX"), Qt::CaseInsensitive) != 0)
        throw UsageError { QStringLiteral("unknown locale '%1'").arg(name) };
    return locale;
}

// Pins the system formats for one run and restores the earlier ones afterwards, so that a caller
// that runs several commands in one process is not left with another locale.
class LocalePin
{
public:
    explicit LocalePin(const QLocale &locale)
        : m_previous(SystemFormats::current().locale())
    {
        SystemFormats::pin(locale);
    }
    ~LocalePin() { SystemFormats::pin(m_previous); }
    LocalePin(const LocalePin &) = delete;
    LocalePin &operator=(const LocalePin &) = delete;

private:
    QLocale m_previous;
};

// Reads the list FILE into `table` and gives it the order of --index and the filter of --filter.
void readView(ClientTable &table, const CommandLine &line)
{
    const auto index = line.value(QStringLiteral("index"));
    if (index) {
        // The named orders of a task list are definitions, not file content: take them from the
        // task schema and drop its fields, so the fields still come from the file.
        DefineTaskTable(table);
        table.ClearFields();
    }
    table.ReadFromFile(line.positionals.at(0));
    if (index)
        table.SetIndexName(*index);
    if (const auto filter = line.value(QStringLiteral("filter"))) {
        table.SetFilter(*filter);
        table.SetFiltered(true);
    }
}

void dump(const CommandLine &line, QTextStream &out)
{
    std::optional<LocalePin> pin;
    if (const auto name = line.value(QStringLiteral("locale")))
        pin.emplace(requestedLocale(*name));

    auto owned = std::make_unique<ClientTable>();
    ClientTable &table = *owned;
    readView(table, line);

    // Nothing is printed before the table has accepted the file, the order and the filter, so an
    // error leaves stdout empty.
    const std::vector<Field> &fields = table.Fields();
    QString text;
    for (const Field &field : fields) {
        text += QLatin1String("FIELD\t") + escaped(field.name()) + u'\t' + Field::typeWord(field.type());
        if (field.type() == FieldType::Text || field.type() == FieldType::WideText)
            text += u'\t' + QString::number(field.width());
        const QString subtype = Field::subtypeWord(field.type());
        if (!subtype.isEmpty())
            text += u'\t' + subtype;
        text += u'\n';
    }
    out << text;

    QStringList prefixes; // "<TAB>name=" per field
    for (const Field &field : fields)
        prefixes.append(u'\t' + escaped(field.name()) + u'=');
    const int rows = table.RowCount();
    for (int row = 1; row <= rows; ++row) {
        text = QStringLiteral("ROW");
        for (size_t i = 0; i < fields.size(); ++i) {
            const Value value = table.ViewValue(row, fields[i]);
            if (value.isNull())
                continue;
            text += prefixes.at(qsizetype(i));
            appendValue(text, value);
        }
        text += u'\n';
        out << text;
    }
    out << "COUNT\t" << rows << '\n';
    if (table.HasCounter())
        out << "AUTOINC\t" << table.Counter() << '\n';
    if (processEndsAfterCommand && leaveTableToSystem)
        (void)owned.release(); // the system takes it back with the process
}

// The contents of a list to be written as they are made: a large list is never held a second time,
// whole, as bytes.
std::optional<ContentWriter> writtenOut(const std::shared_ptr<ClientTable> &table, DataFormat format)
{
    return ContentWriter([table, format](const PutBytes &put) { table->WriteTo(format, put); });
}

// The target's lock is taken before the source is read: when the two are one file, a change made
// to it meanwhile is not undone by the copy.
void copy(const CommandLine &line)
{
    const DataFormat format
        = line.flags.contains(QStringLiteral("plain")) ? DataFormat::Xml : DataFormat::XmlUtf8;
    updateLockedFileInPieces(line.positionals.at(1), [&](FileLock &) {
        auto table = std::make_shared<ClientTable>();
        table->ReadFromFile(line.positionals.at(0));
        return writtenOut(table, format);
    });
}

void newList(const CommandLine &line)
{
    ClientTable table;
    DefineTaskTable(table);
    table.CreateEmpty();
    const QByteArray bytes = table.WriteToBytes(DataFormat::XmlUtf8);
    updateLockedFile(line.positionals.at(0), [&](FileLock &) { return std::optional<QByteArray>(bytes); });
}

void generateList(const CommandLine &line)
{
    bool ok = false;
    const int count = line.positionals.at(1).toInt(&ok);
    if (!ok || count < 0)
        throw UsageError {
            QStringLiteral("COUNT must be a whole number of at least 0, not '%1'").arg(line.positionals.at(1))
        };
    quint32 seed = 1;
    if (const auto text = line.value(QStringLiteral("seed"))) {
        seed = text->toUInt(&ok);
        if (!ok)
            throw UsageError {
                QStringLiteral("--seed must be a whole number from 0 to 4294967295, not '%1'").arg(*text)
            };
    }
    generate(line.positionals.at(0), count, seed, line.flags.contains(QStringLiteral("distinct")));
}

// A calendar day as YYYY-MM-DD.
QDate dayArgument(const QString &what, const QString &text)
{
    const QDate day = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    if (!day.isValid())
        throw UsageError { QStringLiteral("%1 must be a day as YYYY-MM-DD, not '%2'").arg(what, text) };
    return day;
}

// The day the task commands take as today: --today, else the local date.
QDate todayOf(const CommandLine &line)
{
    if (const auto text = line.value(QStringLiteral("today")))
        return dayArgument(QStringLiteral("--today"), *text);
    return QDate::currentDate();
}

// A list as the window opens it: its fields are those of its file, and a row inserted into it gets
// the insert defaults the window's frame gives every new task. The file is read through its lock.
void openTaskList(ClientTable &table, const FileLock &lock, const QDate &today)
{
    table.ReadFromBytes(lock.read().bytes);
    TaskCommands::InstallInsertDefaults(table, [today] { return today; });
}

// A word of a pick list given as --option: any case, stored as the list spells it. Another word
// would give a task that no view shows and no row colour marks.
QString pickListArgument(
    const CommandLine &line, const QString &option, const QStringList &words, const QString &otherwise)
{
    const std::optional<QString> text = line.value(option);
    if (!text)
        return otherwise;
    if (const std::optional<QString> word = PickListWord(words, *text))
        return *word;
    throw UsageError { QStringLiteral("--%1 must be one of %2, not '%3'")
                           .arg(option, words.join(QStringLiteral(", ")), *text) };
}

void addTask(const CommandLine &line)
{
    const QDate today = todayOf(line);
    TaskCommands::QuickAddChoice choice;
    choice.priority = pickListArgument(line, QStringLiteral("priority"), PriorityWords(), choice.priority);
    choice.difficulty
        = pickListArgument(line, QStringLiteral("difficulty"), DifficultyWords(), choice.difficulty);
    if (const auto category = line.value(QStringLiteral("category")))
        choice.category = *category;
    choice.assignedTo = line.value(QStringLiteral("assigned-to"));
    // Held from reading the list to writing it back, so that another command's change to the list
    // is not lost.
    updateLockedFileInPieces(line.positionals.at(0), [&](FileLock &lock) {
        auto table = std::make_shared<ClientTable>();
        openTaskList(*table, lock, today);
        if (!TaskCommands::QuickAdd(*table, line.positionals.at(1), choice, today))
            throw UsageError { QStringLiteral("TEXT must hold more than blanks") };
        return writtenOut(table, DataFormat::XmlUtf8);
    });
}

void doCommand(const CommandLine &line)
{
    using TaskCommands::StateCommand;
    const QDate today = todayOf(line);
    const QString &verb = line.positionals.at(2);
    const QStringList rest = line.positionals.mid(3);
    bool ok = false;
    const qint64 id = line.positionals.at(1).toLongLong(&ok);
    if (!ok)
        throw UsageError {
            QStringLiteral("ID must be a whole number, not '%1'").arg(line.positionals.at(1))
        };

    static const QMap<QString, StateCommand> stateCommands {
        { QStringLiteral("start"), StateCommand::Start },
        { QStringLiteral("pause"), StateCommand::Pause },
        { QStringLiteral("cancel"), StateCommand::Cancel },
        { QStringLiteral("complete"), StateCommand::Complete },
        { QStringLiteral("bookmark"), StateCommand::Bookmark },
        { QStringLiteral("actioned"), StateCommand::LastActionedNow },
    };
    static const QMap<QString, TaskCommands::DateField> dateFields {
        { QStringLiteral("last-actioned"), TaskCommands::DateField::LastActioned },
        { QStringLiteral("started"), TaskCommands::DateField::Started },
        { QStringLiteral("due"), TaskCommands::DateField::Due },
        { QStringLiteral("completed"), TaskCommands::DateField::Completed },
        { QStringLiteral("created"), TaskCommands::DateField::Created },
    };
    // The whole command line is checked before the list is read.
    const int wanted = verb == QLatin1String("progress") ? 1 : verb == QLatin1String("date") ? 2 : 0;
    if (!stateCommands.contains(verb) && verb != QLatin1String("delete") && wanted == 0)
        throw UsageError { QStringLiteral("unknown task command '%1'").arg(verb) };
    if (rest.size() != wanted)
        throw UsageError {
            QStringLiteral("%1 takes %2 value(s), %3 given").arg(verb).arg(wanted).arg(rest.size())
        };
    qint64 progress = 0;
    if (verb == QLatin1String("progress")) {
        progress = rest.at(0).toLongLong(&ok);
        if (!ok)
            throw UsageError {
                QStringLiteral("the progress must be a whole number, not '%1'").arg(rest.at(0))
            };
    }
    if (verb == QLatin1String("date") && !dateFields.contains(rest.at(0)))
        throw UsageError { QStringLiteral("unknown date field '%1'").arg(rest.at(0)) };
    const QDate day
        = verb == QLatin1String("date") ? dayArgument(QStringLiteral("the date"), rest.at(1)) : QDate();

    updateLockedFileInPieces(line.positionals.at(0), [&](FileLock &lock) {
        auto table = std::make_shared<ClientTable>();
        openTaskList(*table, lock, today);
        if (!table->LocateRow(TaskField::ID, Value::integer(id)))
            throw Error(QStringLiteral("The list has no task with ID %1.").arg(id));
        if (stateCommands.contains(verb))
            TaskCommands::RunStateCommand(*table, stateCommands.value(verb), today);
        else if (verb == QLatin1String("progress"))
            TaskCommands::SetProgress(*table, progress, today);
        else if (verb == QLatin1String("date"))
            TaskCommands::SetDate(*table, dateFields.value(rest.at(0)), day);
        else
            TaskCommands::DeleteCurrent(*table);
        return writtenOut(table, DataFormat::XmlUtf8);
    });
}

// The report never takes the place of the list it is made from, whatever name or link leads to
// it, nor, unless --force is given, of any other task list: a mistyped output name would otherwise
// turn a list into a PDF.
void requireReportOutput(const QString &input, const QString &output, bool force)
{
    struct stat in
    {
    };
    struct stat out
    {
    };
    if (::stat(QFile::encodeName(input).constData(), &in) == 0
        && ::stat(QFile::encodeName(output).constData(), &out) == 0 && in.st_dev == out.st_dev
        && in.st_ino == out.st_ino)
        throw Error(
            QStringLiteral("Cannot write the report to \"%1\": it is the list the report is made from.")
                .arg(output));
    constexpr qsizetype HeadSize = 4096;
    if (!force && QFileInfo(output).isFile() && startsAsDatapacket(readFileHead(output, HeadSize)))
        throw Error(QStringLiteral(
            "Cannot write the report to \"%1\": it is a task list. Give --force to replace it.")
                        .arg(output));
}

void report(const CommandLine &line)
{
    std::optional<LocalePin> pin;
    if (const auto name = line.value(QStringLiteral("locale")))
        pin.emplace(requestedLocale(*name));
    requireReportOutput(
        line.positionals.at(0), line.positionals.at(1), line.flags.contains(QStringLiteral("force")));
    ClientTable table;
    readView(table, line);
    // Laying out text takes the fonts of a GUI application; a plain core application has none.
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        throw Error(QStringLiteral("The report needs a graphical application object."));
    // The heading is the list's tab caption; a list read from a file has no unsaved changes. Each
    // page is laid out as it is written, so a long list never holds every page at once.
    const TaskReportPages pages(table, FileNameWithoutExt(line.positionals.at(0)));
    writeFileAtomically(line.positionals.at(1), taskReportPdf(pages));
}

} // namespace

int runCli(const QStringList &args, QTextStream &out, QTextStream &err)
{
    if (args.size() == 1
        && (args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h"))) {
        out << usageText;
        return 0;
    }
    try {
        const CommandLine line = parseCommandLine(args);
        if (line.command == QLatin1String("dump"))
            dump(line, out);
        else if (line.command == QLatin1String("copy"))
            copy(line);
        else if (line.command == QLatin1String("new"))
            newList(line);
        else if (line.command == QLatin1String("add"))
            addTask(line);
        else if (line.command == QLatin1String("do"))
            doCommand(line);
        else if (line.command == QLatin1String("report"))
            report(line);
        else
            generateList(line);
        out.flush();
        return 0;
    } catch (const UsageError &e) {
        err << "quillon-cli: " << e.reason << '\n' << usageText;
        err.flush();
        return 2;
    } catch (const Error &e) {
        out.flush();
        err << e.message() << '\n';
        err.flush();
        return 1;
    } catch (const std::exception &e) {
        // Not the table's own error (out of memory, say): still one line and status 1.
        out.flush();
        err << QString::fromLocal8Bit(e.what()) << '\n';
        err.flush();
        return 1;
    }
}

void setProcessEndsAfterCommand(bool ends)
{
    processEndsAfterCommand = ends;
}

std::unique_ptr<QCoreApplication> createCliApplication(int &argc, char **argv)
{
    if (argc > 1 && qstrcmp(argv[1], "report") == 0) {
        // The report draws on no screen: it must run where there is no display at all.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        return std::make_unique<QGuiApplication>(argc, argv);
    }
    return std::make_unique<QCoreApplication>(argc, argv);
}

} // namespace ql
