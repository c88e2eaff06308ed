// quillon-cli and the files around a list: files that are not plain lists, read-only lists, the
// report's output, and two commands changing one list at once. Some tests run quillon-cli as
// processes of its own: several at once, as another user, or to paint the report.
#include "cli/Cli.h"

#include "SpecialFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <functional>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

// Readable failure output for QString comparisons (found by argument-dependent lookup).
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

using testing_fs::nodeAt;

struct Result
{
    int code = -1;
    QString out;
    QString err;
};

// quillon-cli's work in this process.
Result run(const QStringList &args)
{
    Result result;
    QTextStream out(&result.out);
    QTextStream err(&result.err);
    result.code = ql::runCli(args, out, err);
    out.flush();
    err.flush();
    return result;
}

// quillon-cli as a process of its own, started and not yet waited for.
std::unique_ptr<QProcess> start(const QStringList &args, const QStringList &wrapper = {})
{
    auto process = std::make_unique<QProcess>();
    if (wrapper.isEmpty())
        process->start(QStringLiteral(QUILLON_CLI), args);
    else
        process->start(wrapper.first(), wrapper.mid(1) + QStringList { QStringLiteral(QUILLON_CLI) } + args);
    return process;
}

Result finish(QProcess &process)
{
    Result result;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return result;
    result.code = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    // A program that paints text may mention where Qt keeps its runtime files; only our line counts.
    QStringList lines = result.err.split(u'\n');
    lines.removeIf([](const QString &line) { return line.startsWith(QLatin1String("QStandardPaths:")); });
    result.err = lines.join(u'\n');
    return result;
}

Result runProgram(const QStringList &args, const QStringList &wrapper = {})
{
    return finish(*start(args, wrapper));
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class CliFiles : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QStringList folder() const
    {
        return QDir(m_dir.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
    // A list of three tasks.
    QString makeList(const QString &name)
    {
        const QString list = path(name);
        EXPECT_EQ(run({ "new", list }).code, 0);
        for (const char *task : { "one", "two", "three" })
            EXPECT_EQ(run({ "add", list, task, "--today", "2026-03-14" }).code, 0);
        return list;
    }

    QTemporaryDir m_dir;
};

// A named pipe or a device, also at the end of a link, is neither read (which once waited forever
// or filled the memory) nor written over (which once turned it into a plain file).
TEST_F(CliFiles, SpecialFiles_AreRefusedWithoutWaitingOrBeingReplaced)
{
    const QString list = makeList(QStringLiteral("list.ql1"));
    const struct
    {
        const char *name;
        std::function<bool(const QString &)> make;
        QString kind;
    } specials[] = {
        { "named pipe", testing_fs::makeNamedPipe, QStringLiteral("a named pipe") },
        { "device", testing_fs::makeDeviceStandIn, QStringLiteral("a character device") },
    };
    for (const auto &special : specials) {
        SCOPED_TRACE(special.name);
        const QString file = path(QStringLiteral("special.ql1"));
        QFile::remove(file);
        if (!special.make(file)) {
            std::cout << "cannot make a " << special.name << " here; case skipped\n";
            continue;
        }
        const QString link = path(QStringLiteral("link.ql1"));
        QFile::remove(link);
        ASSERT_TRUE(QFile::link(file, link));
        const testing_fs::Node before = nodeAt(file);
        const QStringList entries = folder();

        for (const QString &name : { file, link }) {
            SCOPED_TRACE(name.toStdString());
            const QString reason = name == file
                ? QStringLiteral("It is %1, not a regular file").arg(special.kind)
                : QStringLiteral("It leads to \"%1\", %2, not a regular file").arg(file, special.kind);
            const QString cannotRead = QStringLiteral("Cannot open file \"%1\". %2\n").arg(name, reason);
            const QString cannotWrite
                = QStringLiteral("Cannot write file \"%1\". %2; nothing was written.\n").arg(name, reason);
            const struct
            {
                QStringList args;
                QString err;
            } cases[] = {
                { { "dump", name }, cannotRead },
                { { "report", name, path(QStringLiteral("out.pdf")) }, cannotRead },
                { { "copy", name, path(QStringLiteral("out.ql1")) }, cannotRead },
                { { "do", name, "1", "complete" }, cannotWrite },
                { { "add", name, "x" }, cannotWrite },
                { { "copy", list, name }, cannotWrite },
                { { "new", name }, cannotWrite },
            };
            for (const auto &c : cases) {
                const Result r = run(c.args);
                EXPECT_EQ(r.code, 1) << c.args.join(u' ').toStdString();
                EXPECT_EQ(r.err, c.err);
                EXPECT_EQ(nodeAt(file), before);
                EXPECT_EQ(folder(), entries);
            }
        }
    }
}

// A list nobody may write (no write permission at all) is refused as read-only, also for root; as an
// ordinary user in a folder the user may write, so is a list of another user. A list the user may
// write is changed and stays the user's.
TEST_F(CliFiles, ReadOnlyList_IsRefusedAndKeptAsItIs)
{
    const QString list = makeList(QStringLiteral("ro.ql1"));
    ASSERT_EQ(chmod(QFile::encodeName(list).constData(), 0444), 0);
    const QByteArray old = readAll(list);
    const testing_fs::Node before = nodeAt(list);
    const QString refused = QStringLiteral("The file \"%1\" is read-only.\n").arg(list);
    const QStringList commands[] = {
        { "do", list, "1", "complete" },
        { "add", list, "x" },
        { "copy", makeList(QStringLiteral("other.ql1")), list },
        { "new", list },
        { "generate", list, "3" },
    };
    for (const QStringList &args : commands) {
        const Result r = run(args);
        EXPECT_EQ(r.code, 1) << args.join(u' ').toStdString();
        EXPECT_EQ(r.err, refused);
        EXPECT_EQ(readAll(list), old);
        EXPECT_EQ(nodeAt(list), before);
    }

    // As the user "nobody", through a process of its own.
    const passwd *nobody = getpwnam("nobody");
    if (getuid() != 0 || !nobody || !QFileInfo::exists(QStringLiteral("/usr/bin/setpriv")))
        GTEST_SKIP() << "needs root, setpriv and a user \"nobody\" to run quillon-cli as another user";
    const QStringList asNobody { QStringLiteral("/usr/bin/setpriv"),
        QStringLiteral("--reuid=%1").arg(nobody->pw_uid), QStringLiteral("--regid=%1").arg(nobody->pw_gid),
        QStringLiteral("--clear-groups"), QStringLiteral("--") };
    ASSERT_EQ(chmod(QFile::encodeName(m_dir.path()).constData(), 0755), 0);
    const QString theirs = path(QStringLiteral("nobody"));
    ASSERT_TRUE(QDir().mkdir(theirs));
    ASSERT_EQ(chown(QFile::encodeName(theirs).constData(), nobody->pw_uid, nobody->pw_gid), 0);
    const struct
    {
        const char *name;
        uid_t owner;
        mode_t mode;
        bool refused;
    } cases[] = {
        { "own list without write permission", nobody->pw_uid, 0444, true },
        { "another user's list", 0, 0644, true },
        { "own list", nobody->pw_uid, 0644, false },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString target = theirs + QStringLiteral("/list.ql1");
        QFile::remove(target);
        ASSERT_TRUE(QFile::copy(path(QStringLiteral("other.ql1")), target));
        const QByteArray name = QFile::encodeName(target);
        ASSERT_EQ(chown(name.constData(), c.owner, nobody->pw_gid), 0);
        ASSERT_EQ(chmod(name.constData(), c.mode), 0);
        const QByteArray bytes = readAll(target);
        const testing_fs::Node node = nodeAt(target);

        const Result r = runProgram({ "do", target, "1", "complete" }, asNobody);
        if (c.refused) {
            EXPECT_EQ(r.code, 1);
            EXPECT_EQ(r.err, QStringLiteral("The file \"%1\" is read-only.\n").arg(target));
            EXPECT_EQ(readAll(target), bytes);
            EXPECT_EQ(nodeAt(target), node);
        } else {
            EXPECT_EQ(r.code, 0) << r.err.toStdString();
            EXPECT_NE(readAll(target), bytes);
            EXPECT_EQ(nodeAt(target).owner, c.owner);
            EXPECT_EQ(nodeAt(target).permissions, c.mode);
        }
        EXPECT_EQ(QDir(theirs).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList { QStringLiteral("list.ql1") });
    }
}

// The report is never written in place of the list it is made from, whatever name leads to it, nor
// in place of another list unless --force is given; any other file is replaced. It paints text, so
// it runs as its own program.
TEST_F(CliFiles, Report_NeverReplacesItsListAndOtherListsOnlyWithForce)
{
    const QString list = makeList(QStringLiteral("list.ql1"));
    const QString other = makeList(QStringLiteral("other.ql1"));
    const QString symbolic = path(QStringLiteral("symbolic.ql1"));
    const QString hard = path(QStringLiteral("hard.ql1"));
    const QString pdf = path(QStringLiteral("old.pdf"));
    ASSERT_TRUE(QFile::link(list, symbolic));
    ASSERT_EQ(link(QFile::encodeName(list).constData(), QFile::encodeName(hard).constData()), 0);
    {
        QFile file(pdf);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("%PDF-1.4 an older report");
    }
    const QByteArray listBytes = readAll(list);
    const QByteArray otherBytes = readAll(other);
    const QString itsList
        = QStringLiteral("Cannot write the report to \"%1\": it is the list the report is made from.\n");
    const struct
    {
        QStringList args;
        int code;
        QString err;
    } cases[] = {
        { { "report", list, list }, 1, itsList.arg(list) },
        { { "report", list, list, "--force" }, 1, itsList.arg(list) },
        { { "report", list, symbolic }, 1, itsList.arg(symbolic) },
        { { "report", symbolic, hard }, 1, itsList.arg(hard) },
        { { "report", list, other }, 1,
            QStringLiteral(
                "Cannot write the report to \"%1\": it is a task list. Give --force to replace it.\n")
                .arg(other) },
        { { "report", list, pdf }, 0, {} },
        { { "report", list, other, "--force" }, 0, {} },
    };
    for (const auto &c : cases) {
        const std::string what = c.args.join(u' ').toStdString();
        const Result r = runProgram(c.args);
        EXPECT_EQ(r.code, c.code) << what << ": " << r.err.toStdString();
        EXPECT_EQ(r.err, c.err) << what;
        EXPECT_EQ(readAll(list), listBytes) << what;
    }
    EXPECT_TRUE(readAll(pdf).startsWith("%PDF-") && readAll(pdf).size() > 1000);
    EXPECT_TRUE(readAll(other).startsWith("%PDF-"));
    EXPECT_NE(readAll(other), otherBytes);
}

// Two commands change one list at the same moment, as separate processes: each waits for the
// other's lock, so both changes are in the list every time and neither command loses the other's.
TEST_F(CliFiles, ConcurrentCommands_KeepBothChanges)
{
    const QString base = path(QStringLiteral("base.ql1"));
    // Large enough that reading and writing it takes longer than starting a process, so that the
    // two commands overlap.
    ASSERT_EQ(run({ "generate", base, "1000", "--seed", "5" }).code, 0);
    const QString list = path(QStringLiteral("list.ql1"));
    auto taskThree = [&] {
        for (const QString &line : run({ "dump", list }).out.split(u'\n'))
            if (line.startsWith(QLatin1String("ROW\tID=3\t")))
                return line;
        return QString();
    };
    ASSERT_TRUE(QFile::copy(base, list));
    ASSERT_FALSE(taskThree().contains(QLatin1String("\tStatus=Complete\t")));

    int lost = 0;
    for (int round = 0; round < 100; ++round) {
        QFile::remove(list);
        ASSERT_TRUE(QFile::copy(base, list));
        const QString text = QStringLiteral("added in round %1").arg(round);
        auto complete = start({ "do", list, "3", "complete", "--today", "2026-03-14" });
        auto add = start({ "add", list, text, "--today", "2026-03-14" });
        const Result completed = finish(*complete);
        const Result added = finish(*add);
        ASSERT_EQ(completed.code, 0) << completed.err.toStdString();
        ASSERT_EQ(added.code, 0) << added.err.toStdString();
        const bool keptCompletion = taskThree().contains(QLatin1String("\tStatus=Complete\t"));
        const bool keptTask = run({ "dump", list }).out.contains(QStringLiteral("\tTask=%1\t").arg(text));
        lost += !keptCompletion || !keptTask;
    }
    EXPECT_EQ(lost, 0) << "rounds in which a change was lost, of 100";
    EXPECT_EQ(folder(), (QStringList { QStringLiteral("base.ql1"), QStringLiteral("list.ql1") }));
}

} // namespace
