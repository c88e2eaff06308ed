// How the program starts: its command line, the lists it opens from it or from a later start, and
// the hand-over between two starts in one session.
#include "MainWindowFixture.h"

#include "app/SingleInstance.h"
#include "app/StartUp.h"

#include <QDialog>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <future>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using Action = ql::StartRequest::Action;
using Role = ql::SingleInstance::Role;

TEST(StartArguments, OptionsFilesAndErrors)
{
    const QString here = QStringLiteral("/home/ann/lists");
    struct Case
    {
        QStringList arguments;
        Action action;
        QStringList files;
        QString error;
    };
    const Case cases[] = {
        { {}, Action::Run, {}, {} },
        { { "Plan.ql1", "../old/Done.ql1", "/tmp/x.ql1" }, Action::Run,
            { "/home/ann/lists/Plan.ql1", "/home/ann/old/Done.ql1", "/tmp/x.ql1" }, {} },
        { { "file:///home/ann/My%20Plan.ql1" }, Action::Run, { "/home/ann/My Plan.ql1" }, {} },
        // Qt's own options and their values are no files.
        { { "-platform", "offscreen", "Plan.ql1", "-reverse", "--style=fusion" }, Action::Run,
            { "/home/ann/lists/Plan.ql1" }, {} },
        { { "--", "-odd.ql1" }, Action::Run, { "/home/ann/lists/-odd.ql1" }, {} },
        { { "", "Plan.ql1" }, Action::Run, { "/home/ann/lists/Plan.ql1" }, {} },
        { { "--help" }, Action::Help, {}, {} },
        { { "Plan.ql1", "-h" }, Action::Help, {}, {} },
        { { "--version" }, Action::Version, {}, {} },
        { { "-v" }, Action::Version, {}, {} },
        { { "--bogus", "Plan.ql1" }, Action::Error, {}, "Unknown option 'bogus'." },
        { { "-x" }, Action::Error, {}, "Unknown option 'x'." },
        { { "-style" }, Action::Error, {}, "Missing value after '-style'." },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments.join(QLatin1Char(' ')).toStdString());
        const ql::StartRequest request
            = ql::parseStartArguments(QStringList { QStringLiteral("quillon") } + c.arguments, here);
        EXPECT_EQ(request.action, c.action);
        EXPECT_EQ(request.files, c.files);
        EXPECT_EQ(request.error, c.error);
    }
    EXPECT_EQ(ql::startError(QStringLiteral("Unknown option 'x'.")),
        QStringLiteral("quillon: Unknown option 'x'.\nTry 'quillon --help' for more information.\n"));
}

class OpenFromOutsideTest : public MainWindowFixture
{
};

// Each file opens as Open opens it; one that cannot be read shows its error, keeps its tab and is
// not remembered, and the files after it still open.
TEST_F(OpenFromOutsideTest, EachFileOpensAsOpenDoes)
{
    const QString plan = writeList(QStringLiteral("Plan.ql1"), { QStringLiteral("Call Bob") });
    const QString broken = listPath(QStringLiteral("Broken.ql1"));
    {
        QFile file(broken);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("<?xml version=\"1.0\"?><DATAPACKET><METADATA>");
    }
    const QString home
        = writeList(QStringLiteral("Home.ql1"), { QStringLiteral("Paint"), QStringLiteral("Fix") });

    main().OpenListFiles({ plan, broken, home });

    EXPECT_EQ(captions(), QStringList({ "Plan", "Broken", "Home" }));
    EXPECT_EQ(errors().size(), 1);
    EXPECT_EQ(main().tasksFrameAt(0)->cdsTasks().RowCount(), 1);
    EXPECT_EQ(main().tasksFrameAt(2)->cdsTasks().RowCount(), 2);
    EXPECT_EQ(tabs().currentIndex(), 2);
    EXPECT_EQ(main().windowTitle(), QStringLiteral("Quillon - Home"));
    EXPECT_EQ(recentFiles(), QStringList({ plan, home }));
}

// Files handed over while a modal dialog is open wait until it closes: a command waiting on the
// dialog must not find new tabs when it goes on. The window comes to the front at once.
TEST_F(OpenFromOutsideTest, HandedOverFilesWaitForAnOpenModalDialog)
{
    const QString plan = writeList(QStringLiteral("Plan.ql1"));
    main().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main()));
    main().showMinimized();
    ql::HandedOverFiles handedOver(main(), [this](const QStringList &files) { main().OpenListFiles(files); });

    QDialog question(&main());
    question.setWindowModality(Qt::ApplicationModal);
    question.show();
    ASSERT_EQ(QApplication::activeModalWidget(), &question);
    handedOver.add({ plan });
    EXPECT_FALSE(main().isMinimized());
    EXPECT_EQ(tabs().count(), 0);
    EXPECT_EQ(handedOver.pending(), QStringList({ plan }));

    question.close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return tabs().count() == 1; }, 5000));
    EXPECT_TRUE(handedOver.pending().isEmpty());
    EXPECT_EQ(captions(), QStringList({ "Plan" }));

    // With no dialog open they open at once.
    handedOver.add({ plan });
    EXPECT_EQ(tabs().count(), 2);
}

class SingleInstanceTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString socketPath() const { return m_dir.filePath(QStringLiteral("quillon.socket")); }

    // A later start, run on a thread of its own as another process would run it, while this thread
    // answers for the first one.
    Role startLater(const QStringList &files, int answerTimeoutMs = ql::SingleInstance::AnswerTimeoutMs)
    {
        std::future<Role> later = std::async(std::launch::async, [&] {
            ql::SingleInstance instance(socketPath(), answerTimeoutMs);
            return instance.start(files);
        });
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return later.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 30000));
        return later.get();
    }

    QTemporaryDir m_dir;
};

TEST_F(SingleInstanceTest, LaterStartsHandTheirFilesToTheFirst)
{
    ql::SingleInstance first(socketPath());
    QSignalSpy received(&first, &ql::SingleInstance::filesReceived);
    ASSERT_EQ(first.start({ QStringLiteral("/lists/Own.ql1") }), Role::First);
    EXPECT_TRUE(received.isEmpty());

    const QStringList files
        = { QStringLiteral("/lists/Plan.ql1"), QStringLiteral("/lists/Ünïcode Plan.ql1") };
    EXPECT_EQ(startLater(files), Role::HandedOver);
    ASSERT_EQ(received.size(), 1);
    EXPECT_EQ(received[0][0].toStringList(), files);

    // A start without files asks the first one to show itself.
    EXPECT_EQ(startLater({}), Role::HandedOver);
    ASSERT_EQ(received.size(), 2);
    EXPECT_TRUE(received[1][0].toStringList().isEmpty());
}

// A Quillon that crashed leaves its socket behind; nothing answers on it, and the next start takes
// its place.
TEST_F(SingleInstanceTest, StaleSocketOfACrashedQuillonIsTakenOver)
{
    const QByteArray path = QFile::encodeName(socketPath());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    ASSERT_LT(size_t(path.size()), sizeof(address.sun_path));
    std::copy(path.begin(), path.end(), address.sun_path);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);
    ASSERT_EQ(::listen(fd, 1), 0);
    ::close(fd);
    ASSERT_TRUE(QFileInfo::exists(socketPath()));

    ql::SingleInstance next(socketPath());
    QSignalSpy received(&next, &ql::SingleInstance::filesReceived);
    EXPECT_EQ(next.start({}), Role::First);
    EXPECT_EQ(startLater({ QStringLiteral("/lists/Plan.ql1") }), Role::HandedOver);
    EXPECT_EQ(received.size(), 1);
}

// Something that holds the socket and never answers: the later start gives up and runs on its own.
// A message that is not a hand-over is dropped, and the first Quillon goes on taking hand-overs.
TEST_F(SingleInstanceTest, NoAnswerRunsAloneAndJunkIsDropped)
{
    {
        QLocalServer mute;
        ASSERT_TRUE(mute.listen(socketPath()));
        EXPECT_EQ(startLater({ QStringLiteral("/lists/Plan.ql1") }, 300), Role::Alone);
    }

    ql::SingleInstance first(socketPath());
    QSignalSpy received(&first, &ql::SingleInstance::filesReceived);
    ASSERT_EQ(first.start({}), Role::First);
    QLocalSocket junk;
    junk.connectToServer(socketPath());
    ASSERT_TRUE(junk.waitForConnected(2000));
    junk.write(QByteArray(64, 'x'));
    junk.flush();
    EXPECT_TRUE(QTest::qWaitFor([&] { return junk.state() == QLocalSocket::UnconnectedState; }, 5000));
    EXPECT_TRUE(received.isEmpty());

    EXPECT_EQ(startLater({ QStringLiteral("/lists/Plan.ql1") }), Role::HandedOver);
    EXPECT_EQ(received.size(), 1);
}

} // namespace
