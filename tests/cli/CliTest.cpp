#include "cli/Cli.h"
#include "platform/Error.h"
#include "platform/SystemFormats.h"
#include "storage/ClientTable.h"
#include "storage/TaskSchema.h"

#include "FullFileSystem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <gtest/gtest.h>

// Readable failure output for QString comparisons (found by argument-dependent lookup).
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

using ql::ClientTable;

struct Result
{
    int code;
    QString out;
    QString err;
};

Result run(const QStringList &args)
{
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    const int code = ql::runCli(args, outStream, errStream);
    outStream.flush();
    errStream.flush();
    return { code, out, err };
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QString testData(const char *name)
{
    return QStringLiteral(QUILLON_TEST_DATA "/") + QString::fromLatin1(name);
}

// The IDs of the ROW lines of a dump, in order.
QList<int> rowIds(const QString &dump)
{
    QList<int> ids;
    for (const QString &line : dump.split(u'\n')) {
        if (line.startsWith(QLatin1String("ROW\tID=")))
            ids.append(line.section(u'\t', 1, 1).mid(3).toInt());
    }
    return ids;
}

void setDate(ClientTable &t, const char *field, int y, int m, int d)
{
    t.SetDateTime(QString::fromLatin1(field), QDateTime(QDate(y, m, d), QTime(0, 0)));
}

// Five tasks (4 was deleted) with one of each value kind, the characters the dump escapes, an
// edited and a deleted row, so the file holds row versions and a change log.
void writeSampleList(const QString &path)
{
    ClientTable t(QStringLiteral("cdsTasks"));
    ql::DefineTaskTable(t);
    t.CreateEmpty();
    auto add = [&](const QString &task, const char *status, const char *priority) {
        t.AppendRow();
        t.SetText(QStringLiteral("Task"), task);
        t.SetText(QStringLiteral("Status"), QString::fromLatin1(status));
        t.SetText(QStringLiteral("Priority"), QString::fromLatin1(priority));
    };
    add(QStringLiteral("Buy milk"), "Not Started", "Normal");
    t.SetInteger(QStringLiteral("Progress"), 0);
    t.SetText(QStringLiteral("Difficulty"), QStringLiteral("Moderate"));
    setDate(t, "CreatedDate", 2024, 3, 9);
    t.SetBoolean(QStringLiteral("Bookmarked"), false);
    t.SetText(QStringLiteral("Category"), QString());
    t.PostRow();

    add(QStringLiteral(R"(Pay R&D C:\Temp)"), "In progress", "Urgent");
    t.SetInteger(QStringLiteral("Progress"), 50);
    t.SetText(QStringLiteral("Difficulty"), QStringLiteral("Hard"));
    setDate(t, "CreatedDate", 2023, 12, 31);
    t.SetBoolean(QStringLiteral("Bookmarked"), true);
    setDate(t, "DueDate", 2024, 2, 29);
    t.SetText(QStringLiteral("Details"), QStringLiteral("line 1\r\nline\t2\n"));
    t.SetText(QStringLiteral("Category"), QStringLiteral("Work"));
    t.SetInteger(QStringLiteral("Points"), 65535);
    t.PostRow();

    add(QString::fromUtf8("café <b> & 'x'"), "Not Started", "Low");
    t.SetInteger(QStringLiteral("Progress"), 0);
    t.SetText(QStringLiteral("Difficulty"), QStringLiteral("Easy"));
    setDate(t, "CreatedDate", 2024, 3, 9);
    t.SetText(QStringLiteral("Category"), QStringLiteral("Home"));
    t.PostRow();

    add(QStringLiteral("to delete"), "Not Started", "Normal");
    t.PostRow();

    add(QStringLiteral("Zeta task"), "Complete", "High");
    t.SetText(QStringLiteral("Difficulty"), QStringLiteral("Easy"));
    setDate(t, "CreatedDate", 2020, 1, 1);
    t.SetText(QStringLiteral("Category"), QStringLiteral("Work"));
    t.PostRow();

    add(QStringLiteral("alpha task"), "Cancelled", "Normal");
    t.SetInteger(QStringLiteral("Progress"), 20);
    setDate(t, "CreatedDate", 2024, 3, 8);
    t.SetInteger(QStringLiteral("GroupNo"), 3);
    t.PostRow();

    ASSERT_TRUE(t.LocateRow(QStringLiteral("ID"), ql::Value::integer(4)));
    t.DeleteRow();
    ASSERT_TRUE(t.LocateRow(QStringLiteral("ID"), ql::Value::integer(1)));
    t.EditRow();
    t.SetText(QStringLiteral("Status"), QStringLiteral("Complete"));
    t.SetInteger(QStringLiteral("Progress"), 100);
    setDate(t, "CompletedDate", 2024, 3, 10);
    t.PostRow();
    t.WriteToFile(path, ql::DataFormat::XmlUtf8);
}

// A recent-files store: no counter, a date-time field, the plain format.
void writeRecentStore(const QString &path)
{
    ClientTable t(QStringLiteral("cdsFiles"));
    ql::DefineRecentTable(t);
    t.CreateEmpty();
    t.SetChangeLogging(false);
    t.AppendRow();
    t.SetText(QStringLiteral("File"), QStringLiteral("/lists/Work.ql1"));
    t.SetDateTime(QStringLiteral("LastUsed"), QDateTime(QDate(2024, 3, 9), QTime(14, 5, 7, 250)));
    t.PostRow();
    t.AppendRow();
    t.SetText(QStringLiteral("File"), QString::fromUtf8("/lists/Été.ql1"));
    t.SetDateTime(QStringLiteral("LastUsed"), QDateTime(QDate(2024, 3, 10), QTime(0, 0)));
    t.PostRow();
    t.WriteToFile(path, ql::DataFormat::Xml);
}

const char taskFieldLines[] = "FIELD\tID\ti4\tAutoinc\n"
                              "FIELD\tTask\tstring\t255\n"
                              "FIELD\tStatus\tstring\t20\n"
                              "FIELD\tPriority\tstring\t20\n"
                              "FIELD\tProgress\ti4\n"
                              "FIELD\tDifficulty\tstring\t20\n"
                              "FIELD\tCreatedDate\tdate\n"
                              "FIELD\tCompletedDate\tdate\n"
                              "FIELD\tLastActioned\tdate\n"
                              "FIELD\tStartDate\tdate\n"
                              "FIELD\tTime\ti4\n"
                              "FIELD\tParentID\ti4\n"
                              "FIELD\tBookmarked\tboolean\n"
                              "FIELD\tAssignedTo\tstring\t30\n"
                              "FIELD\tDueDate\tdate\n"
                              "FIELD\tGroupNo\ti4\n"
                              "FIELD\tComments\tstring\t255\n"
                              "FIELD\tOwner\tstring\t30\n"
                              "FIELD\tDetails\tbin.hex\tText\n"
                              "FIELD\tCategory\tstring\t30\n"
                              "FIELD\tRelatedFile\tstring\t255\n"
                              "FIELD\tLinkedList\tstring\t255\n"
                              "FIELD\tProperties\tbin.hex\tText\n"
                              "FIELD\tPoints\tui2\n"
                              "FIELD\tURL\tstring\t255\n";

class Cli : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString path(const char *name) const { return m_dir.filePath(QString::fromUtf8(name)); }
    QStringList folder() const { return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden); }

    QTemporaryDir m_dir;
};

TEST_F(Cli, New_WritesTheEmptyTaskListAndDumpsItsSchema)
{
    const QString list = path("new.ql1");
    const Result made = run({ QStringLiteral("new"), list });
    ASSERT_EQ(made.code, 0) << made.err.toStdString();
    EXPECT_TRUE(made.out.isEmpty());
    EXPECT_EQ(readAll(list), readAll(testData("new-empty.ql1")));

    const Result dumped = run({ QStringLiteral("dump"), list });
    ASSERT_EQ(dumped.code, 0) << dumped.err.toStdString();
    EXPECT_EQ(dumped.out, QString::fromLatin1(taskFieldLines) + QStringLiteral("COUNT\t0\nAUTOINC\t1\n"));
    EXPECT_TRUE(dumped.err.isEmpty());
}

TEST_F(Cli, Dump_WritesEveryValueKindEscaped)
{
    writeSampleList(path("sample.ql1"));
    writeRecentStore(path("Recent.XML"));
    struct Case
    {
        QString file;
        QString expected;
    };
    const Case cases[] = {
        { testData("one-task-completed.ql1"),
            QString::fromLatin1(taskFieldLines)
                + QStringLiteral(
                    "ROW\tID=1\tTask=Buy milk\tStatus=Complete\tPriority=Normal\tProgress=100"
                    "\tDifficulty=Moderate\tCreatedDate=2024-03-09\tCompletedDate=2024-03-10"
                    "\tLastActioned=2024-03-10\tTime=0\tBookmarked=FALSE\tAssignedTo=ann\tCategory=\n"
                    "COUNT\t1\nAUTOINC\t2\n") },
        { path("sample.ql1"),
            QString::fromLatin1(taskFieldLines)
                + QString::fromUtf8(
                    "ROW\tID=1\tTask=Buy "
                    "milk\tStatus=Complete\tPriority=Normal\tProgress=100\tDifficulty=Moderate"
                    "\tCreatedDate=2024-03-09\tCompletedDate=2024-03-10\tBookmarked=FALSE\tCategory=\n"
                    "ROW\tID=2\tTask=Pay R&D C:\\\\Temp\tStatus=In progress\tPriority=Urgent\tProgress=50"
                    "\tDifficulty=Hard\tCreatedDate=2023-12-31\tBookmarked=TRUE\tDueDate=2024-02-29"
                    "\tDetails=line 1\\r\\nline\\t2\\n\tCategory=Work\tPoints=65535\n"
                    "ROW\tID=3\tTask=café <b> & 'x'\tStatus=Not "
                    "Started\tPriority=Low\tProgress=0\tDifficulty=Easy"
                    "\tCreatedDate=2024-03-09\tCategory=Home\n"
                    "ROW\tID=5\tTask=Zeta task\tStatus=Complete\tPriority=High\tDifficulty=Easy"
                    "\tCreatedDate=2020-01-01\tCategory=Work\n"
                    "ROW\tID=6\tTask=alpha task\tStatus=Cancelled\tPriority=Normal\tProgress=20"
                    "\tCreatedDate=2024-03-08\tGroupNo=3\n"
                    "COUNT\t5\nAUTOINC\t7\n") },
        { path("Recent.XML"),
            QString::fromUtf8("FIELD\tFile\tstring\t255\nFIELD\tLastUsed\tdateTime\n"
                              "ROW\tFile=/lists/Work.ql1\tLastUsed=2024-03-09T14:05:07.250\n"
                              "ROW\tFile=/lists/Été.ql1\tLastUsed=2024-03-10T00:00:00.000\n"
                              "COUNT\t2\n") },
    };
    for (const Case &c : cases) {
        const Result r = run({ QStringLiteral("dump"), c.file });
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_EQ(r.out, c.expected) << c.file.toStdString();
    }
}

TEST_F(Cli, Dump_AppliesIndexAndFilterAsTheTableDoes)
{
    const QString list = path("sample.ql1");
    writeSampleList(list);
    struct Case
    {
        QStringList options;
        QList<int> ids;
    };
    const Case cases[] = {
        { {}, { 1, 2, 3, 5, 6 } },
        { { "--index", "cdsTasksIndexID" }, { 1, 2, 3, 5, 6 } },
        { { "--index", "cdsTasksProgress" }, { 1, 2, 6, 3, 5 } }, // highest first, no progress last
        { { "--index", "cdsTasksIndexTaskName" }, { 6, 1, 3, 2, 5 } }, // collation, not code points
        { { "--index=cdsTasksIndexTaskName" }, { 6, 1, 3, 2, 5 } },
        { { "--filter", "Status = 'Complete' " }, { 1, 5 } },
        { { "--filter", "Task LIKE '%task%'" }, { 5, 6 } },
        { { "--filter", "Priority = 'Normal' and Status <> 'Complete' " }, { 6 } },
        { { "--filter", "Bookmarked =True " }, { 2 } },
        { { "--index", "cdsTasksProgress", "--filter", "Status <> 'Complete' " }, { 2, 6, 3 } },
        { { "--filter", "Status = 'Nothing'" }, {} },
        // Date literals are read in the short date format of the chosen locale.
        { { "--locale", "de_DE", "--filter", "CreatedDate = '09.03.2024' " }, { 1, 3 } },
        { { "--locale", "en_US", "--filter", "CreatedDate = '3/9/2024' " }, { 1, 3 } },
        { { "--locale", "ja_JP", "--filter", "CreatedDate = '2024/03/09' " }, { 1, 3 } },
        { { "--locale", "C", "--filter", "CreatedDate = '3/9/2024' " }, { 1, 3 } },
    };
    for (const Case &c : cases) {
        const Result r = run(QStringList { QStringLiteral("dump"), list } + c.options);
        ASSERT_EQ(r.code, 0) << c.options.join(u' ').toStdString() << ": " << r.err.toStdString();
        EXPECT_EQ(rowIds(r.out), c.ids) << c.options.join(u' ').toStdString();
        EXPECT_TRUE(r.out.endsWith(QStringLiteral("COUNT\t%1\nAUTOINC\t7\n").arg(c.ids.size())))
            << c.options.join(u' ').toStdString();
        // --locale holds for the run only.
        EXPECT_EQ(ql::SystemFormats::current().locale().name(), QStringLiteral("en_US"));
    }
}

TEST_F(Cli, Generate_IsDeterministicAndVaried)
{
    const int count = 400;
    const QString a = path("a.ql1");
    const QString b = path("b.ql1");
    const QString c = path("c.ql1");
    ASSERT_EQ(run({ QStringLiteral("generate"), a, QString::number(count), QStringLiteral("--seed"),
                      QStringLiteral("7") })
                  .code,
        0);
    ASSERT_EQ(
        run({ QStringLiteral("generate"), b, QString::number(count), QStringLiteral("--seed=7") }).code, 0);
    ASSERT_EQ(run({ QStringLiteral("generate"), c, QString::number(count), QStringLiteral("--seed"),
                      QStringLiteral("8") })
                  .code,
        0);
    EXPECT_EQ(readAll(a), readAll(b));
    EXPECT_NE(readAll(a), readAll(c));

    const Result r = run({ QStringLiteral("dump"), a });
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    QList<int> expectedIds;
    for (int id = 1; id <= count; ++id)
        expectedIds.append(id);
    EXPECT_EQ(rowIds(r.out), expectedIds);
    EXPECT_TRUE(r.out.endsWith(QStringLiteral("COUNT\t%1\nAUTOINC\t%2\n").arg(count).arg(count + 1)));

    for (const QString &word : ql::StatusWords())
        EXPECT_TRUE(r.out.contains(QStringLiteral("\tStatus=%1\t").arg(word))) << word.toStdString();
    for (const QString &word : ql::PriorityWords())
        EXPECT_TRUE(r.out.contains(QStringLiteral("\tPriority=%1\t").arg(word))) << word.toStdString();
    for (const QString &word : ql::DifficultyWords())
        EXPECT_TRUE(r.out.contains(QStringLiteral("\tDifficulty=%1\t").arg(word))) << word.toStdString();

    QStringList rows;
    for (const QString &line : r.out.split(u'\n')) {
        if (line.startsWith(QLatin1String("ROW\t")))
            rows.append(line);
    }
    auto rowsWith = [&](const QString &needle) {
        return std::count_if(
            rows.begin(), rows.end(), [&](const QString &row) { return row.contains(needle); });
    };
    EXPECT_GT(rowsWith(QStringLiteral("\\r\\n")), 0); // memos with line breaks
    EXPECT_GT(rowsWith(QStringLiteral("\tDueDate=")), 0);
    EXPECT_LT(rowsWith(QStringLiteral("\tDueDate=")), count); // and without: nulls
    EXPECT_GT(rowsWith(QStringLiteral("\tCategory=")), 0);
    EXPECT_GT(std::count_if(rows.begin(), rows.end(),
                  [](const QString &row) {
                      return std::any_of(row.begin(), row.end(), [](QChar ch) { return ch.unicode() > 127; });
                  }),
        0);
    // Dates spread over several years.
    QSet<QString> years;
    for (const QString &row : rows)
        years.insert(row.section(QStringLiteral("\tCreatedDate="), 1).left(4));
    EXPECT_GE(years.size(), 8);

    // An empty list is a valid count too.
    ASSERT_EQ(run({ QStringLiteral("generate"), path("none.ql1"), QStringLiteral("0") }).code, 0);
    EXPECT_EQ(run({ QStringLiteral("dump"), path("none.ql1") }).out,
        QString::fromLatin1(taskFieldLines) + QStringLiteral("COUNT\t0\nAUTOINC\t1\n"));
}

// The generator's texts come from small pools; --distinct gives almost every task a text of its
// own, still the same for the same seed.
TEST_F(Cli, Generate_Distinct_GivesTasksTextsOfTheirOwn)
{
    const int count = 5000;
    const auto distinctTexts = [&](const QStringList &options) {
        const QString list = path("texts.ql1");
        EXPECT_EQ(
            run(QStringList { QStringLiteral("generate"), list, QString::number(count) } + options).code, 0);
        const Result r = run({ QStringLiteral("dump"), list });
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        QSet<QString> texts;
        for (const QString &line : r.out.split(u'\n'))
            if (line.startsWith(QLatin1String("ROW\t")))
                texts.insert(line.section(QStringLiteral("\tTask="), 1).section(u'\t', 0, 0));
        return std::make_pair(int(texts.size()), readAll(list));
    };
    const auto pooled = distinctTexts({});
    const auto distinct = distinctTexts({ QStringLiteral("--distinct"), QStringLiteral("--seed=3") });
    EXPECT_LT(pooled.first, count * 9 / 10);
    EXPECT_GT(distinct.first, count * 98 / 100);
    EXPECT_EQ(
        distinctTexts({ QStringLiteral("--seed=3"), QStringLiteral("--distinct") }).second, distinct.second);
}

TEST_F(Cli, Copy_OfAWrittenFileGivesTheSameBytes)
{
    writeSampleList(path("sample.ql1"));
    writeRecentStore(path("Recent.XML"));
    ASSERT_EQ(run({ QStringLiteral("generate"), path("generated.ql1"), QStringLiteral("300") }).code, 0);
    struct Case
    {
        QString in;
        bool plain;
    };
    const Case cases[] = {
        { path("sample.ql1"), false },
        { path("generated.ql1"), false },
        { testData("one-task-completed.ql1"), false },
        { path("Recent.XML"), true },
    };
    for (const Case &c : cases) {
        const QString out = path("copy.out");
        QStringList args { QStringLiteral("copy"), c.in, out };
        if (c.plain)
            args.append(QStringLiteral("--plain"));
        const Result r = run(args);
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_EQ(readAll(out), readAll(c.in)) << c.in.toStdString();
    }

    // The plain form of a list holds the same table.
    const Result r
        = run({ QStringLiteral("copy"), path("sample.ql1"), path("plain.xml"), QStringLiteral("--plain") });
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(
        readAll(path("plain.xml")).startsWith("<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET"));
    EXPECT_EQ(run({ QStringLiteral("dump"), path("plain.xml") }).out,
        run({ QStringLiteral("dump"), path("sample.ql1") }).out);
}

TEST_F(Cli, TableError_PrintsTheMessageAloneAndExitsOne)
{
    const QString list = path("sample.ql1");
    writeSampleList(list);
    writeBytes(path("mismatch.ql1"),
        "<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET Version=\"2.0\"><FOO/></DATAPACKET>");

    // The table's own message for a filter that cannot be parsed, to be passed on verbatim.
    auto filterMessage = [&](const QString &expression) {
        ClientTable t;
        t.ReadFromFile(list);
        t.SetFilter(expression);
        try {
            t.SetFiltered(true);
        } catch (const ql::Error &e) {
            return e.message();
        }
        return QStringLiteral("(no error)");
    };

    struct Case
    {
        QStringList args;
        QString message; // empty: any one-line message
    };
    const Case cases[] = {
        { { "dump", path("missing.ql1") }, {} },
        { { "dump", path("mismatch.ql1") }, QStringLiteral("Mismatch in datapacket.") },
        { { "dump", list, "--filter", "Nope = 1" }, QStringLiteral("Field 'Nope' not found") },
        { { "dump", list, "--filter", "Status = " }, filterMessage(QStringLiteral("Status = ")) },
        { { "dump", list, "--filter", "Task = 'unterminated" },
            filterMessage(QStringLiteral("Task = 'unterminated")) },
        { { "dump", list, "--locale", "de_DE", "--filter", "CreatedDate = '3/9/2024'" },
            QStringLiteral("'3/9/2024' is not a valid date") },
        { { "dump", list, "--index", "bogus" }, QStringLiteral("Index 'bogus' not found") },
        { { "copy", path("missing.ql1"), path("out.ql1") }, {} },
        { { "copy", path("mismatch.ql1"), path("out.ql1") }, QStringLiteral("Mismatch in datapacket.") },
        { { "new", path("no folder/new.ql1") }, {} },
        { { "generate", path("no folder/gen.ql1"), "3" }, {} },
        { { "report", path("missing.ql1"), path("out.pdf") }, {} },
        { { "report", list, path("out.pdf"), "--filter", "Nope = 1" },
            QStringLiteral("Field 'Nope' not found") },
        { { "report", list, path("out.pdf"), "--index", "bogus" },
            QStringLiteral("Index 'bogus' not found") },
        // This program has no GUI application object, which laying out text needs.
        { { "report", list, path("out.pdf") },
            QStringLiteral("The report needs a graphical application object.") },
    };
    for (const Case &c : cases) {
        const QStringList before = folder();
        const Result r = run(c.args);
        const std::string what = c.args.join(u' ').toStdString();
        EXPECT_EQ(r.code, 1) << what;
        EXPECT_TRUE(r.out.isEmpty()) << what << ": " << r.out.toStdString();
        if (c.message.isEmpty()) {
            EXPECT_GT(r.err.size(), 1) << what;
            EXPECT_EQ(r.err.count(u'\n'), 1) << what << ": " << r.err.toStdString();
            EXPECT_TRUE(r.err.endsWith(u'\n')) << what;
        } else {
            EXPECT_EQ(r.err, c.message + u'\n') << what;
        }
        EXPECT_EQ(folder(), before) << what; // nothing written
        EXPECT_EQ(ql::SystemFormats::current().locale().name(), QStringLiteral("en_US")) << what;
    }
}

// Copying, creating or generating onto a disk without room fails with exit status 1 and leaves the
// list there byte for byte, for a small list as well as a large one.
TEST_F(Cli, FullDisk_WritesFailAndKeepTheOldList)
{
    testing_fs::FullFileSystem disk;
    if (!disk.problem().isEmpty())
        GTEST_SKIP() << qPrintable(disk.problem());
    writeSampleList(path("small.ql1"));
    ASSERT_EQ(run({ QStringLiteral("generate"), path("large.ql1"), QStringLiteral("200") }).code, 0);
    const QString target = disk.filePath(QStringLiteral("list.ql1"));
    ASSERT_EQ(run({ QStringLiteral("new"), target }).code, 0);
    const QByteArray old = readAll(target);
    ASSERT_TRUE(disk.fillLeaving(0));

    const QStringList commands[] = {
        { QStringLiteral("copy"), path("small.ql1"), target },
        { QStringLiteral("copy"), path("large.ql1"), target },
        { QStringLiteral("new"), target },
        { QStringLiteral("generate"), target, QStringLiteral("3") },
    };
    for (const QStringList &args : commands) {
        const Result r = run(args);
        EXPECT_EQ(r.code, 1) << args.join(u' ').toStdString();
        EXPECT_EQ(r.err,
            QStringLiteral(
                "Error writing file \"%1\". The disk is full (no space left on device); the previous "
                "file was kept unchanged.\n")
                .arg(target));
        EXPECT_EQ(readAll(target), old);
        EXPECT_EQ(run({ QStringLiteral("dump"), target }).code, 0);
    }
}

// add and do change a list exactly as the window's quick add and task commands do, and save it.
TEST_F(Cli, TaskCommands_ChangeTheTaskAsTheWindowDoes)
{
    const QString list = path("plan.ql1");
    ASSERT_EQ(run({ "new", list }).code, 0);
    auto row = [&] {
        const QString dump = run({ "dump", list }).out;
        for (const QString &line : dump.split(u'\n'))
            if (line.startsWith(QLatin1String("ROW\t")))
                return line.mid(4).split(u'\t');
        return QStringList();
    };
    const Result added = run({ "add", list, "  Buy milk ", "--today", "2024-03-09", "--assigned-to", "alice",
        "--category", "Home" });
    ASSERT_EQ(added.code, 0) << added.err.toStdString();
    EXPECT_EQ(row(),
        QStringList({ "ID=1", "Task=Buy milk", "Status=Not Started", "Priority=Normal", "Progress=0",
            "Difficulty=Moderate", "CreatedDate=2024-03-09", "Time=0", "Bookmarked=FALSE", "AssignedTo=alice",
            "Category=Home" }));

    struct Step
    {
        QStringList args;
        QStringList changed; // the fields the step must show afterwards
    };
    const Step steps[] = {
        { { "start", "--today", "2024-03-10" },
            { "Status=In progress", "Progress=1", "LastActioned=2024-03-10", "StartDate=2024-03-10" } },
        { { "progress", "40", "--today", "2024-03-11" }, { "Progress=40", "LastActioned=2024-03-11" } },
        { { "start", "--today", "2024-03-12" }, { "Progress=40", "StartDate=2024-03-12" } },
        { { "pause", "--today", "2024-03-13" },
            { "Status=Paused", "Priority=Low", "LastActioned=2024-03-13" } },
        { { "complete", "--today", "2024-03-14" },
            { "Status=Complete", "Progress=100", "CompletedDate=2024-03-14", "Priority=Low" } },
        { { "progress", "100", "--today", "2024-03-15" },
            { "Status=In progress", "CompletedDate=2024-03-14" } },
        { { "date", "due", "2024-04-01" }, { "DueDate=2024-04-01", "LastActioned=2024-03-15" } },
        { { "cancel", "--today", "2024-03-16" }, { "Status=Cancelled", "Priority=Low" } },
        { { "bookmark", "--today", "2024-03-17" }, { "Bookmarked=TRUE", "LastActioned=2024-03-17" } },
        { { "actioned", "--today", "2024-03-18" }, { "LastActioned=2024-03-18", "Bookmarked=TRUE" } },
    };
    for (const Step &step : steps) {
        const QStringList args = QStringList { "do", list, "1" } + step.args;
        SCOPED_TRACE(args.join(u' ').toStdString());
        const Result r = run(args);
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        const QStringList fields = row();
        for (const QString &field : step.changed)
            EXPECT_TRUE(fields.contains(field))
                << field.toStdString() << " in " << fields.join(u' ').toStdString();
    }
    // Every command stored a new version of the task, as the window does.
    ClientTable stored;
    stored.ReadFromFile(list);
    EXPECT_EQ(stored.ChangeLog().size(), 1u + std::size(steps));

    const QByteArray before = readAll(list);
    struct Refused
    {
        QStringList args;
        int code;
        QString err; // empty: the usage
    };
    const Refused refused[] = {
        { { "do", list, "7", "start" }, 1, QStringLiteral("The list has no task with ID 7.\n") },
        { { "do", list, "1", "fly" }, 2, {} },
        { { "do", list, "1", "progress" }, 2, {} },
        { { "do", list, "1", "progress", "lots" }, 2, {} },
        { { "do", list, "1", "date", "due", "2024-02-30" }, 2, {} },
        { { "do", list, "1", "date", "someday", "2024-02-03" }, 2, {} },
        { { "do", list, "x", "start" }, 2, {} },
        { { "add", list, "   " }, 2, {} },
        { { "add", list, "task", "--today", "yesterday" }, 2, {} },
    };
    for (const Refused &r : refused) {
        SCOPED_TRACE(r.args.join(u' ').toStdString());
        const Result result = run(r.args);
        EXPECT_EQ(result.code, r.code);
        if (!r.err.isEmpty()) {
            EXPECT_EQ(result.err, r.err);
        }
        EXPECT_EQ(readAll(list), before);
    }

    ASSERT_EQ(run({ "do", list, "1", "delete" }).code, 0);
    EXPECT_TRUE(run({ "dump", list }).out.contains(QLatin1String("COUNT\t0\n")));
}

// add takes the words of the grid's pick lists, in any case, and stores them as the lists spell
// them; any other word is refused with the words it may be, and the list is left as it was.
TEST_F(Cli, Add_PriorityAndDifficulty_OnlyTheWordsOfThePickLists)
{
    const QString list = path("plan.ql1");
    ASSERT_EQ(run({ "new", list }).code, 0);
    const struct
    {
        const char *option;
        const char *given;
        const char *stored; // nullptr: refused
    } cases[] = {
        { "--priority", "urgent", "Priority=Urgent" },
        { "--priority", "HIGH", "Priority=High" },
        { "--priority", "Bogus", nullptr },
        { "--priority", "Urgent!", nullptr },
        { "--priority", "", nullptr },
        { "--difficulty", "moderate", "Difficulty=Moderate" },
        { "--difficulty", "hard", "Difficulty=Hard" },
        { "--difficulty", "hardest", nullptr },
        { "--difficulty", "Normal", nullptr },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.option) + " " + c.given);
        const QByteArray before = readAll(list);
        const Result r
            = run({ "add", list, "task", QString::fromLatin1(c.option), QString::fromLatin1(c.given) });
        if (!c.stored) {
            EXPECT_EQ(r.code, 2);
            const QString words = QString::fromLatin1(c.option) == QLatin1String("--priority")
                ? QStringLiteral("Normal, Urgent, High, Low")
                : QStringLiteral("Easy, Moderate, Hard");
            EXPECT_TRUE(r.err.startsWith(
                QStringLiteral("quillon-cli: %1 must be one of %2, not '%3'\n")
                    .arg(QString::fromLatin1(c.option), words, QString::fromLatin1(c.given))))
                << r.err.toStdString();
            EXPECT_EQ(readAll(list), before);
            continue;
        }
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        const QStringList rows = run({ "dump", list }).out.split(u'\n').filter(QStringLiteral("ROW\t"));
        ASSERT_FALSE(rows.isEmpty());
        EXPECT_TRUE(rows.last().split(u'\t').contains(QString::fromLatin1(c.stored)))
            << rows.last().toStdString();
    }
}

TEST_F(Cli, BadCommandLine_PrintsUsageAndExitsTwo)
{
    const QString list = path("sample.ql1");
    writeSampleList(list);
    const QString out = path("out.ql1");
    const QList<QStringList> cases = {
        {},
        { "frobnicate", list },
        { "dump" },
        { "dump", list, list },
        { "dump", list, "--filter" },
        { "dump", list, "--bogus" },
        { "dump", list, "--plain" },
        { "dump", list, "--locale", "xx_nowhere" },
        { "dump", list, "--index", "cdsTasksIndexID", "--index", "cdsTasksProgress" },
        { "copy", list },
        { "copy", list, out, "--plain=yes" },
        { "new" },
        { "new", out, "--plain" },
        { "generate", out },
        { "generate", out, "ten" },
        { "generate", out, "-1" },
        { "generate", out, "5", "--seed", "abc" },
        { "generate", out, "5", "--seed", "-3" },
        { "report", list },
        { "report", list, out, "--plain" },
    };
    for (const QStringList &args : cases) {
        const QStringList before = folder();
        const Result r = run(args);
        const std::string what = args.join(u' ').toStdString();
        EXPECT_EQ(r.code, 2) << what;
        EXPECT_TRUE(r.out.isEmpty()) << what;
        EXPECT_TRUE(r.err.startsWith(QLatin1String("quillon-cli: "))) << what << ": " << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QLatin1String("\nUsage:\n  quillon-cli dump FILE"))) << what;
        EXPECT_EQ(folder(), before) << what;
    }

    const Result help = run({ QStringLiteral("--help") });
    EXPECT_EQ(help.code, 0);
    EXPECT_TRUE(help.out.startsWith(QLatin1String("Usage:\n")));
    EXPECT_TRUE(help.err.isEmpty());

    // "--" ends the options, so a file name may begin with dashes.
    const QString dashed = path("--odd.ql1");
    EXPECT_EQ(run({ QStringLiteral("new"), QStringLiteral("--"), dashed }).code, 0);
    EXPECT_TRUE(QFile::exists(dashed));
}

// report paints text, so it runs as its own program: quillon-cli beside this test program's
// folder, started without a display and without a platform named, as a script on a server would.
TEST_F(Cli, Report_WritesThePdfOfTheListsViewWithoutADisplay)
{
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/../src/quillon-cli");
    ASSERT_TRUE(QFile::exists(program)) << "build quillon-cli first: " << program.toStdString();
    const QString list = path("Plan.2024.ql1");
    writeSampleList(list);
    const QString pdf = path("plan.pdf");

    QProcess cli;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
        environment.remove(QString::fromLatin1(name));
    cli.setProcessEnvironment(environment);
    cli.start(program,
        { QStringLiteral("report"), list, pdf, QStringLiteral("--index"),
            QStringLiteral("cdsTasksIndexTaskName"), QStringLiteral("--filter=Status <> 'Complete'"),
            QStringLiteral("--locale"), QStringLiteral("de_DE") });
    ASSERT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    EXPECT_TRUE(cli.readAllStandardOutput().isEmpty());

    QProcess text;
    text.start(QStringLiteral("pdftotext"), { QStringLiteral("-layout"), pdf, QStringLiteral("-") });
    ASSERT_TRUE(text.waitForFinished(30000));
    ASSERT_EQ(text.exitCode(), 0) << text.readAllStandardError().toStdString();
    const QString pages = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_EQ(pages.count(u'\f'), 1) << pages.toStdString(); // one page
    // The file's name as its tab shows it, the captions, then the view's rows in its order with the
    // dates of the chosen locale.
    const QRegularExpression expected(QString::fromUtf8(
        "^ *Plan\\.2024\\n+"
        " *ID +Task +Status .* Comments\\n+"
        " *6 +alpha task +Cancelled +Normal +20 +08\\.03\\.2024\\n+"
        " *3 +café <b> & 'x' +Not Started +Easy +Low +0 +Home +09\\.03\\.2024\\n+"
        " *2 +Pay R&D C:\\\\Temp +In progress +Hard +Urgent +50 +Work +31\\.12\\.2023 +29\\.02\\.2024\\n+"
        "\\f$"));
    EXPECT_TRUE(expected.match(pages).hasMatch()) << pages.toStdString();
}

} // namespace
