// The recent-files store on its own: loading, adding, filtering and writing "Recent.XML".
#include "RecentFixture.h"

#include "storage/ClientTable.h"

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

TEST_F(RecentStoreTest, UnreadableStore_ShowsTheErrorAndStartsEmpty)
{
    const QByteArray damaged("<?xml version=\"1.0\"?><DATAPACKET><METADATA><FIELDS>");
    {
        QFile file(storePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(damaged);
    }
    RecentStore store;
    ASSERT_EQ(errors().size(), 1);
    EXPECT_FALSE(errors().front().isEmpty());
    EXPECT_TRUE(shownFiles(store).isEmpty());
    store.WriteAtProgramEnd();
    EXPECT_EQ(readAll(storePath()), damaged) << "left alone while nothing was added";

    // The first write keeps the unreadable file beside the new store.
    const QString plan = listFile(QStringLiteral("plan.ql1"));
    store.AddToRecent(plan);
    store.WriteAtProgramEnd();
    EXPECT_EQ(readAll(RecentStore::UnreadableCopyPath()), damaged);
    RecentStore next;
    EXPECT_EQ(shownFiles(next), QStringList { plan });
    EXPECT_EQ(errors().size(), 1);
    next.AddToRecent(listFile(QStringLiteral("more.ql1")));
    next.WriteAtProgramEnd();
    EXPECT_EQ(readAll(RecentStore::UnreadableCopyPath()), damaged) << "a readable store is not copied";
}

TEST_F(RecentStoreTest, FolderOf_KeepsTheLastSeparator)
{
    EXPECT_EQ(RecentStore::FolderOf(QStringLiteral("/srv/lists/plan.ql1")), QStringLiteral("/srv/lists/"));
    EXPECT_EQ(RecentStore::FolderOf(QStringLiteral("/plan.ql1")), QStringLiteral("/"));
    EXPECT_EQ(RecentStore::FolderOf(QStringLiteral("plan.ql1")), QString());
}

} // namespace
