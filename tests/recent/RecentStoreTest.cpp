// The recent-files store on its own: loading, adding, filtering and writing "Recent.XML".
#include "RecentFixture.h"

#include "SpecialFiles.h"

#include "storage/ClientTable.h"
#include "storage/TaskSchema.h"

namespace {

using ql::RecentStore;

class RecentStoreTest : public RecentFixture
{
};

TEST_F(RecentStoreTest, FirstStart_EntriesAddedWithoutTheDialogReachTheDiskAtProgramEnd)
{
    const QString plan = listFile(QStringLiteral("plan.ql1"));
    {
        RecentStore store;
        EXPECT_TRUE(shownFiles(store).isEmpty());
        store.AddToRecent(plan);
        EXPECT_FALSE(QFile::exists(storePath())) << "AddToRecent does not write the store";
        store.WriteAtProgramEnd();
    }
    ASSERT_TRUE(QFile::exists(storePath()));

    RecentStore next;
    EXPECT_EQ(shownFiles(next), QStringList { plan });
    EXPECT_EQ(lastUsedOf(next, plan), QDateTime(QDate(2026, 3, 9), QTime(9, 30)));
    EXPECT_TRUE(m_ui.prompts().empty());
}

TEST_F(RecentStoreTest, ProgramEnd_WritesOnlyWhatChangedSinceTheLastWrite)
{
    {
        RecentStore untouched;
        untouched.WriteAtProgramEnd();
    }
    EXPECT_FALSE(QFile::exists(storePath())) << "nothing to remember, nothing written";

    seedStore({ listFile(QStringLiteral("a.ql1")) });
    const QByteArray seeded = readAll(storePath());
    RecentStore store;
    store.AddToRecent(listFile(QStringLiteral("a.ql1")));
    store.WriteAtProgramEnd();
    EXPECT_EQ(readAll(storePath()), seeded) << "a path already known changes nothing";

    store.AddToRecent(listFile(QStringLiteral("b.ql1")));
    store.WriteOnClose();
    // A write that fails at program end would be reported: none is attempted after the close wrote.
    ql::FileFaults::inject(ql::FileFault::CannotCreate);
    store.WriteAtProgramEnd();
    EXPECT_TRUE(messages().isEmpty());
}

TEST_F(RecentStoreTest, ExistingStore_ListsNewestFirstAndKeepsNewEntriesForTheNextStart)
{
    const QString a = listFile(QStringLiteral("a.ql1"));
    const QString b = listFile(QStringLiteral("b.ql1"));
    const QString c = listFile(QStringLiteral("c.ql1"));
    seedStore({ a, b });
    {
        RecentStore store;
        EXPECT_EQ(store.cdsFiles().IndexName(), QStringLiteral("MyIndex"));
        EXPECT_EQ(shownFiles(store), (QStringList { b, a }));
        advanceClock(10);
        store.AddToRecent(c);
        EXPECT_EQ(shownFiles(store), (QStringList { c, b, a }));
        store.WriteAtProgramEnd();
    }
    RecentStore next;
    EXPECT_EQ(shownFiles(next), (QStringList { c, b, a }));
}

TEST_F(RecentStoreTest, AddToRecent_OneEntryPerExactPath)
{
    const QString plan = listFile(QStringLiteral("Plan.ql1"));
    const QString planLower = listFile(QStringLiteral("plan.ql1"));
    RecentStore store;
    const QDateTime first = ql::Clock::now();
    store.AddToRecent(plan);
    advanceClock(5);
    store.AddToRecent(plan);
    EXPECT_EQ(allFiles(store), QStringList { plan });
    EXPECT_EQ(lastUsedOf(store, plan), first) << "adding again does not refresh LastUsed";

    store.AddToRecent(planLower);
    EXPECT_EQ(allFiles(store).size(), 2) << "paths differing in case are different entries";
}

TEST_F(RecentStoreTest, AddToRecent_LooksAmongEntriesTheFilterHides)
{
    const QString plan = listFile(QStringLiteral("plan.ql1"));
    const QString home = listFile(QStringLiteral("home.ql1"));
    const QString garden = listFile(QStringLiteral("garden.ql1"));
    seedStore({ home, plan });
    RecentStore store;
    store.ApplyFilter(QStringLiteral("plan"));
    ASSERT_EQ(shownFiles(store), QStringList { plan });

    store.AddToRecent(home);
    store.AddToRecent(garden);
    store.AddToRecent(garden);

    EXPECT_EQ(allFiles(store), (QStringList { garden, plan, home }));
    EXPECT_EQ(shownFiles(store), QStringList { plan }) << "the filter stays in force";
    EXPECT_EQ(store.CurrentFile(), plan);
    EXPECT_TRUE(messages().isEmpty());
}

TEST_F(RecentStoreTest, AddToRecent_PathLongerThanTheFieldIsNotStored)
{
    const QString folder = m_dir.filePath(QStringLiteral("lists/"));
    const QString fits = folder + QString(255 - folder.size(), u'f');
    const QString tooLong = folder + QString(256 - folder.size(), u'l');
    RecentStore store;
    store.AddToRecent(fits);
    store.AddToRecent(tooLong);
    store.AddToRecent(tooLong);

    EXPECT_EQ(allFiles(store), QStringList { fits });
    const QString told = QStringLiteral(
        "Error saving to recent: The path is too long to remember (more than 255 characters).");
    EXPECT_EQ(messages(), (QStringList { told, told }));
}

TEST_F(RecentStoreTest, Filter_ShowsPathsContainingTheTextLiterally)
{
    const QString plan = listFile(QStringLiteral("plan 2026.ql1"));
    const QString myPlans = listFile(QStringLiteral("my plans.ql1"));
    const QString quoted = listFile(QStringLiteral("it's.ql1"));
    const QString home = listFile(QStringLiteral("home.ql1"));
    seedStore({ plan, myPlans, quoted, home });
    RecentStore store;

    const struct
    {
        QString text;
        QStringList shown;
    } cases[] = {
        { "plan", { myPlans, plan } },
        { "Plan", {} }, // LIKE compares with case
        { "it's", { quoted } },
        { "x' OR File LIKE '%", {} }, // a quote cannot end the expression early
        { "", { home, quoted, myPlans, plan } },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        store.ApplyFilter(c.text);
        EXPECT_EQ(shownFiles(store), c.shown);
    }
    EXPECT_EQ(RecentStore::FilterExpression(QStringLiteral("it's")), QStringLiteral("File LIKE '%it''s%'"));
    EXPECT_TRUE(errors().isEmpty());
}

// A store that cannot be used is copied aside at once, the user is told what it was, why, that the
// list starts empty and where the copy is; the next write replaces it with a sound store.
TEST_F(RecentStoreTest, UnusableStore_IsKeptAtOnceAndTheListStartsEmpty)
{
    // A task list copied over the store reads without a table error, but it is no store.
    ql::ClientTable tasks;
    ql::DefineTaskTable(tasks);
    tasks.CreateEmpty();
    const QByteArray taskList = tasks.WriteToBytes(ql::DataFormat::XmlUtf8);

    struct Case
    {
        const char *name;
        QByteArray bytes;
        QString reason; // what the message says between "could not be read: " and the rest
    };
    const Case cases[] = {
        { "cut off", "<?xml version=\"1.0\"?><DATAPACKET><METADATA><FIELDS>",
            QStringLiteral("The file is not a valid datapacket") },
        { "a task list", taskList,
            QStringLiteral(
                "It holds another table (fields ID, Task, Status, ... (25 fields)), not the file paths and "
                "times of the list of recent files.") },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        m_ui.clear();
        QFile::remove(storePath());
        QFile::remove(storePath() + QStringLiteral(".damaged"));
        {
            QFile file(storePath());
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(c.bytes);
        }
        RecentStore store;
        const QString copy = storePath() + QStringLiteral(".damaged");
        EXPECT_EQ(store.UnreadableCopyPath(), copy);
        EXPECT_EQ(readAll(copy), c.bytes) << "kept before anything is written";
        ASSERT_EQ(errors().size(), 1);
        const QString error = errors().front();
        EXPECT_TRUE(error.startsWith(QStringLiteral("The list of recent files \"%1\" could not be read: %2")
                                         .arg(storePath(), c.reason)))
            << qPrintable(error);
        EXPECT_TRUE(error.endsWith(QStringLiteral(" Quillon starts with an empty list of recent files. The "
                                                  "unreadable file was kept as \"%1\".")
                                       .arg(copy)))
            << qPrintable(error);
        EXPECT_TRUE(shownFiles(store).isEmpty());
        store.WriteAtProgramEnd();
        EXPECT_EQ(readAll(storePath()), c.bytes) << "left alone while nothing was added";

        const QString plan = listFile(QStringLiteral("plan.ql1"));
        store.AddToRecent(plan);
        store.WriteAtProgramEnd();
        RecentStore next;
        EXPECT_EQ(shownFiles(next), QStringList { plan });
        EXPECT_EQ(errors().size(), 1);
        EXPECT_EQ(readAll(copy), c.bytes);
    }
}

// Copies are never written over: a store damaged again later is kept under the next free name,
// and the same damaged store met twice is kept once.
TEST_F(RecentStoreTest, UnusableStore_NeverReplacesAnOlderCopy)
{
    const QString first = storePath() + QStringLiteral(".damaged");
    const QString second = first + QStringLiteral(".2");
    auto startWith = [&](const QByteArray &bytes) {
        QFile file(storePath());
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        RecentStore store;
        return store.UnreadableCopyPath();
    };
    EXPECT_EQ(startWith("<broken once"), first);
    EXPECT_EQ(startWith("<broken once"), first);
    EXPECT_EQ(startWith("<broken again"), second);
    EXPECT_EQ(readAll(first), QByteArray("<broken once"));
    EXPECT_EQ(readAll(second), QByteArray("<broken again"));
    EXPECT_FALSE(QFile::exists(second + QStringLiteral(".2")));
}

// Without a copy, the unreadable store is not written over: not at start-up, not when the list
// is written later while the copy still cannot be made.
TEST_F(RecentStoreTest, UnusableStore_ThatCannotBeCopied_IsNotWrittenOver)
{
    const QByteArray damaged("<DATAPACKET");
    {
        QFile file(storePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(damaged);
    }
    ql::FileFaults::inject(ql::FileFault::CannotCreate);
    RecentStore store;
    ASSERT_EQ(errors().size(), 1);
    EXPECT_TRUE(errors().front().endsWith(QStringLiteral(
        "Quillon starts with an empty list of recent files. It could not be kept as a copy "
        "(Cannot create file \"%1.damaged\". Permission denied; no file was created.), so it will "
        "not be written over.")
                                              .arg(storePath())))
        << qPrintable(errors().front());
    store.AddToRecent(listFile(QStringLiteral("plan.ql1")));
    store.WriteOnClose();
    ASSERT_EQ(messages().size(), 1);
    EXPECT_TRUE(messages().front().startsWith(
        QStringLiteral("Error saving to recent: The unreadable list of recent files")))
        << qPrintable(messages().front());
    EXPECT_EQ(readAll(storePath()), damaged);

    ql::FileFaults::clear();
    store.WriteAtProgramEnd();
    EXPECT_EQ(readAll(storePath() + QStringLiteral(".damaged")), damaged);
    RecentStore next;
    EXPECT_EQ(shownFiles(next), QStringList { listFile(QStringLiteral("plan.ql1"), QByteArray()) });
}

// A named pipe in the store's place once made the program wait for ever at start-up. It is neither
// read nor copied nor written over; the program starts with an empty list and says why.
TEST_F(RecentStoreTest, StoreThatIsANamedPipe_IsNeitherReadNorWrittenOver)
{
    ASSERT_TRUE(testing_fs::makeNamedPipe(storePath()));
    const testing_fs::Node pipe = testing_fs::nodeAt(storePath());
    RecentStore store;
    const QString reason
        = QStringLiteral("Cannot open file \"%1\". It is a named pipe, not a regular file").arg(storePath());
    EXPECT_EQ(errors(),
        QStringList {
            QStringLiteral("The list of recent files \"%1\" could not be read: %2. Quillon starts with "
                           "an empty list of recent files. It could not be kept as a copy (%2), so it "
                           "will not be written over.")
                .arg(storePath(), reason) });
    EXPECT_TRUE(shownFiles(store).isEmpty());
    store.AddToRecent(listFile(QStringLiteral("plan.ql1")));
    store.WriteOnClose();
    EXPECT_EQ(messages().size(), 1);
    EXPECT_EQ(testing_fs::nodeAt(storePath()), pipe);
}

TEST_F(RecentStoreTest, FolderOf_KeepsTheLastSeparator)
{
    EXPECT_EQ(RecentStore::FolderOf(QStringLiteral("/srv/lists/plan.ql1")), QStringLiteral("/srv/lists/"));
    EXPECT_EQ(RecentStore::FolderOf(QStringLiteral("/plan.ql1")), QStringLiteral("/"));
    EXPECT_EQ(RecentStore::FolderOf(QStringLiteral("plan.ql1")), QString());
}

} // namespace
