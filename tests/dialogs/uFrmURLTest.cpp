// The URL dialog and its page fetch, against a web server that the test runs on 127.0.0.1: what a
// page, a redirection, an error page, a stalled or oversized page and an unreachable address give,
// that only web addresses are fetched, and how the dialog fills its Text box and what it hands back.
#include "dialogs/uFrmURL.h"
#include "dialogs/PageFetch.h"
#include "dialogs/PageText.h"
#include "platform/gui/ScriptedUi.h"
#include "platform/gui/ShowModal.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QHash>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

// A small HTTP/1.1 server on the loopback address. Each path has a handler that answers on the
// socket (or does not); the server records every request and the cursor shown while it came in.
class LocalWebServer final
{
public:
    struct Request
    {
        QByteArray path;
        QByteArray head;
        Qt::CursorShape cursor = Qt::ArrowCursor;
        bool busyCursor = false;
    };
    using Handler = std::function<void(QTcpSocket &)>;

    LocalWebServer()
    {
        EXPECT_TRUE(m_server.listen(QHostAddress::LocalHost));
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] { accept(); });
    }

    QString url(const QByteArray &path) const
    {
        return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()) + QString::fromLatin1(path);
    }

    void route(const QByteArray &path, Handler handler) { m_routes.insert(path, std::move(handler)); }
    void page(
        const QByteArray &path, const QByteArray &body, int status = 200, const QByteArray &headers = {})
    {
        route(path, [=](QTcpSocket &socket) { socket.write(response(status, body, headers)); });
    }

    static QByteArray response(
        int status, const QByteArray &body, const QByteArray &headers = {}, qint64 length = -1)
    {
        return "HTTP/1.1 " + QByteArray::number(status) + " Status\r\nContent-Type: text/html\r\n"
            + "Content-Length: " + QByteArray::number(length < 0 ? body.size() : length) + "\r\n" + headers
            + "\r\n" + body;
    }

    const QList<Request> &requests() const { return m_requests; }
    int connections() const { return m_connections; }

private:
    void accept()
    {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            ++m_connections;
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { read(*socket); });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    void read(QTcpSocket &socket)
    {
        QByteArray &pending = m_pending[&socket];
        pending += socket.readAll();
        qsizetype end;
        while ((end = pending.indexOf("\r\n\r\n")) >= 0) {
            Request request;
            request.head = pending.left(end);
            pending.remove(0, end + 4);
            request.path = request.head.split(' ').value(1);
            if (const QCursor *cursor = QGuiApplication::overrideCursor()) {
                request.busyCursor = true;
                request.cursor = cursor->shape();
            }
            m_requests.append(request);
            if (const auto route = m_routes.constFind(request.path); route != m_routes.cend())
                (*route)(socket);
            else
                socket.write(response(404, "<title>Nothing here</title>"));
        }
    }

    QTcpServer m_server;
    QHash<QByteArray, Handler> m_routes;
    QHash<QTcpSocket *, QByteArray> m_pending;
    QList<Request> m_requests;
    int m_connections = 0;
};

// The bytes of a page as a server may send them: Windows-1252 text, a zero and bytes that are no
// UTF-8, which must come back exactly so.
constexpr char kPageBytes[]
    = "<html><head><title>Caf\xe9 &amp; lists</title></head><body>\0\xff\xfe</body></html>\n";
const QByteArray kPage(kPageBytes, sizeof kPageBytes - 1);

class PageFetchTest : public ::testing::Test
{
protected:
    void SetUp() override { m_server.page("/page", kPage); }

    LocalWebServer m_server;
};

TEST_F(PageFetchTest, Download_PageAndRedirections_GiveTheBodyBytesAsSent)
{
    m_server.page("/moved", "<title>Moved</title>", 302, "Location: /page\r\n");
    // A redirection without a body, to an absolute address that redirects again.
    m_server.page("/moved-here", "", 301, "Location: " + m_server.url("/moved").toLatin1() + "\r\n");
    EXPECT_EQ(ql::DownloadPage(m_server.url("/page")), kPage);
    EXPECT_EQ(ql::DownloadPage(m_server.url("/moved")), kPage);
    EXPECT_EQ(ql::DownloadPage(m_server.url("/moved-here")), kPage);
    EXPECT_EQ(ql::FetchPageText(m_server.url("/page")), QStringLiteral(u"Café &amp; lists"));
}

// Each fetch goes to the server, even for a page that says it may be kept for an hour.
TEST_F(PageFetchTest, Download_AsksTheServerEveryTime)
{
    int served = 0;
    m_server.route("/counter", [&](QTcpSocket &socket) {
        ++served;
        socket.write(LocalWebServer::response(200, "<title>Visit " + QByteArray::number(served) + "</title>",
            "Cache-Control: max-age=3600\r\n"));
    });
    EXPECT_EQ(ql::FetchPageText(m_server.url("/counter")), QStringLiteral("Visit 1"));
    EXPECT_EQ(ql::FetchPageText(m_server.url("/counter")), QStringLiteral("Visit 2"));
    ASSERT_EQ(m_server.requests().size(), 2);
    for (const auto &request : m_server.requests())
        EXPECT_TRUE(request.head.toLower().contains("cache-control: no-cache")) << request.head.toStdString();
}

// The status is not examined: an error page is searched like any other.
TEST_F(PageFetchTest, Download_ErrorPage_IsReadLikeAnyOther)
{
    const QByteArray gone("<html><head><title>Page not found</title></head></html>");
    m_server.page("/gone", gone, 404);
    m_server.page("/broken", "<title>Server error</title>", 500);
    EXPECT_EQ(ql::DownloadPage(m_server.url("/gone")), gone);
    EXPECT_EQ(ql::FetchPageText(m_server.url("/broken")), QStringLiteral("Server error"));
}

// A server that goes quiet ends the fetch after the limit, with what it sent until then; a server
// that keeps sending, however slowly, is waited for.
TEST_F(PageFetchTest, Download_StopsAfterTheLimitWithoutData)
{
    const QByteArray part("<html><head><title>Slow</title>");
    m_server.route("/silent", [](QTcpSocket &) {});
    m_server.route("/stalls",
        [&](QTcpSocket &socket) { socket.write(LocalWebServer::response(200, part, {}, 100000)); });
    const QList<QByteArray> pieces { "<html><head>", "<title>", "Trickle", "</title>", "</head></html>" };
    QByteArray whole;
    for (const QByteArray &piece : pieces)
        whole += piece;
    m_server.route("/trickles", [&](QTcpSocket &socket) {
        socket.write(LocalWebServer::response(200, {}, {}, whole.size()));
        for (int i = 0; i < pieces.size(); ++i)
            QTimer::singleShot(100 * (i + 1), &socket, [s = &socket, piece = pieces[i]] { s->write(piece); });
    });

    const ql::PageFetchLimits limits { 300ms, 8 * 1024 * 1024 };
    struct Case
    {
        const char *path;
        QByteArray expected;
    };
    const Case cases[] = { { "/silent", {} }, { "/stalls", part }, { "/trickles", whole } };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        QElapsedTimer elapsed;
        elapsed.start();
        EXPECT_EQ(ql::DownloadPage(m_server.url(c.path), limits), c.expected);
        EXPECT_LT(elapsed.elapsed(), 5000);
    }
    EXPECT_EQ(ql::ExtractPageText(part), QStringLiteral("Slow"));
}

// At most 8 MiB of a page are read, and they are searched.
TEST_F(PageFetchTest, Download_ReadsAtMost8MiB)
{
    const qint64 limit = 8 * 1024 * 1024;
    QByteArray huge = "<html><head><title>Big</title></head><body>";
    huge += QByteArray(limit + 1024 * 1024 - huge.size(), 'x');
    m_server.page("/huge", huge);
    const QByteArray page = ql::DownloadPage(m_server.url("/huge"));
    EXPECT_EQ(page.size(), limit);
    EXPECT_TRUE(huge.startsWith(page));
    EXPECT_EQ(ql::FetchPageText(m_server.url("/huge")), QStringLiteral("Big"));
}

// A port where nothing listens refuses at once.
TEST_F(PageFetchTest, Download_UnreachableServer_GivesNothing)
{
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    EXPECT_EQ(ql::DownloadPage(QStringLiteral("http://127.0.0.1:%1/page").arg(port)), QByteArray());
}

// An address on this machine is asked directly, whatever proxy the system names.
TEST_F(PageFetchTest, Download_LoopbackAddress_BypassesTheSystemProxy)
{
    QTcpServer proxy;
    ASSERT_TRUE(proxy.listen(QHostAddress::LocalHost));
    int proxied = 0;
    QObject::connect(&proxy, &QTcpServer::newConnection, &proxy, [&] { ++proxied; });
    const QByteArray address = "http://127.0.0.1:" + QByteArray::number(proxy.serverPort());
    const QByteArray previous = qgetenv("http_proxy");
    const bool wasSet = qEnvironmentVariableIsSet("http_proxy");
    qputenv("http_proxy", address);
    const QByteArray page = ql::DownloadPage(m_server.url("/page"));
    const QByteArray local = ql::DownloadPage(
        m_server.url("/page").replace(QLatin1String("127.0.0.1"), QLatin1String("localhost")));
    wasSet ? qputenv("http_proxy", previous) : qunsetenv("http_proxy");
    EXPECT_EQ(page, kPage);
    EXPECT_EQ(local, kPage);
    EXPECT_EQ(proxied, 0);
}

// Only http and https addresses are fetched; any other gives nothing and makes no request, also
// when a web page redirects to it.
TEST_F(PageFetchTest, Download_OnlyWebAddresses)
{
    const QString fixture = QStringLiteral(QUILLON_TEST_DATA "/pages/capital-title.html");
    const QString port = QString::number(QUrl(m_server.url("/")).port());
    const QString others[] = {
        QString(),
        QStringLiteral("   "),
        QStringLiteral("ftp://127.0.0.1:%1/page").arg(port),
        QStringLiteral("file://") + fixture,
        QStringLiteral("data:text/html,<title>Data</title>"),
        QStringLiteral("localhost:%1/page").arg(port),
        QStringLiteral("127.0.0.1:%1/page").arg(port),
        QStringLiteral("http:/page"),
    };
    for (const QString &address : others) {
        SCOPED_TRACE(address.toStdString());
        EXPECT_EQ(ql::DownloadPage(address), QByteArray());
        EXPECT_FALSE(ql::IsWebAddress(address));
    }
    EXPECT_EQ(m_server.connections(), 0);

    m_server.page("/to-file", "<title>Moved</title>", 302, "Location: file://" + fixture.toUtf8() + "\r\n");
    EXPECT_EQ(ql::DownloadPage(m_server.url("/to-file")), QByteArray());
    // The scheme is matched without regard to case.
    EXPECT_EQ(ql::DownloadPage(m_server.url("/page").replace(QLatin1String("http:"), QLatin1String("HTTP:"))),
        kPage);
}

class UrlDialogTest : public PageFetchTest
{
protected:
    void SetUp() override
    {
        PageFetchTest::SetUp();
        m_previousUi = ql::Ui::install(&m_ui);
        m_previousHook = ql::setModalHook({});
    }
    void TearDown() override
    {
        ql::setModalHook(std::move(m_previousHook));
        ql::Ui::install(m_previousUi);
        // No failure of a fetch shows a message.
        EXPECT_TRUE(m_ui.prompts().empty());
    }

    // Shows the dialog through the program's modal seam, with `drive` acting as the user.
    static int show(ql::TfrmURL &dialog, const std::function<void(ql::TfrmURL &)> &drive)
    {
        ql::setModalHook([&](QDialog &shown) {
            EXPECT_EQ(&shown, &dialog);
            drive(dialog);
            return shown.result();
        });
        return ql::showModal(dialog);
    }

    ql::ScriptedUi m_ui;
    ql::Ui *m_previousUi = nullptr;
    ql::ModalHook m_previousHook;
};

// The user types an address, presses the small button, sees the page's title and accepts: the caller
// gets the address exactly as typed. The dialog keeps both texts for the next showing.
TEST_F(UrlDialogTest, LinkToUrl_ShowsThePageTextAndHandsBackTheAddressAsTyped)
{
    ql::TfrmURL dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("URL"));
    const QString address = m_server.url("/page");
    const int result = show(dialog, [&](ql::TfrmURL &url) {
        url.edtURL->setText(address);
        url.SpeedButton1->click();
        EXPECT_EQ(url.edtText->text(), QStringLiteral(u"Café &amp; lists"));
        url.BitBtn1->click();
    });
    EXPECT_EQ(result, int(QDialog::Accepted));
    EXPECT_EQ(dialog.edtURL->text(), address);
    // The busy cursor was shown while the page was read, and is gone again.
    ASSERT_EQ(m_server.requests().size(), 1);
    EXPECT_TRUE(m_server.requests().front().busyCursor);
    EXPECT_EQ(m_server.requests().front().cursor, Qt::WaitCursor);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    const int again = show(dialog, [&](ql::TfrmURL &url) {
        EXPECT_EQ(url.edtURL->text(), address);
        EXPECT_EQ(url.edtText->text(), QStringLiteral(u"Café &amp; lists"));
        // The small button with an empty address empties the Text box, without a request.
        url.edtURL->clear();
        url.SpeedButton1->click();
        EXPECT_EQ(url.edtText->text(), QString());
        url.edtURL->setText(QStringLiteral("http://changed.invalid/"));
        url.BitBtn2->click();
    });
    EXPECT_EQ(again, int(QDialog::Rejected));
    EXPECT_EQ(m_server.requests().size(), 1);
}

// The dialog opens with the focus in the Text box, first in the tab order; an empty Text box that
// gets the focus fetches the page, one that holds text does not. Enter presses OK, Esc Cancel.
TEST_F(UrlDialogTest, TextBox_FetchesWhenItGetsTheFocusEmpty)
{
    ql::TfrmURL dialog;
    dialog.edtURL->setText(m_server.url("/page"));
    const QString title = QStringLiteral(u"Café &amp; lists");
    const int result = show(dialog, [&](ql::TfrmURL &url) {
        url.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&url));
        EXPECT_EQ(url.focusWidget(), url.edtText);
        EXPECT_TRUE(QTest::qWaitFor([&] { return url.edtText->text() == title; }));

        // Tab order: Text, URL, OK, Cancel; the small button takes no focus. Coming back to the Text
        // box, which holds text now, fetches nothing.
        QWidget *const order[] = { url.edtURL, url.BitBtn1, url.BitBtn2, url.edtText };
        for (QWidget *next : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            EXPECT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
        }
        QCoreApplication::processEvents();
        EXPECT_EQ(m_server.requests().size(), 1);

        // With the Text box empty: focus that comes back to it from its context menu, or with the
        // window after the user was in another one, fetches nothing; a click or Shift+Tab into it does.
        url.edtText->clear();
        QFocusEvent fromMenu(QEvent::FocusIn, Qt::PopupFocusReason);
        QApplication::sendEvent(url.edtText, &fromMenu);
        QCoreApplication::processEvents();
        EXPECT_EQ(m_server.requests().size(), 1);

        QWidget elsewhere;
        elsewhere.show();
        elsewhere.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&elsewhere));
        url.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&url));
        EXPECT_EQ(QApplication::focusWidget(), url.edtText);
        QCoreApplication::processEvents();
        EXPECT_EQ(m_server.requests().size(), 1);
        EXPECT_EQ(url.edtText->text(), QString());

        url.edtURL->setFocus(Qt::OtherFocusReason);
        QTest::mouseClick(url.edtText, Qt::LeftButton);
        QCoreApplication::processEvents();
        EXPECT_EQ(m_server.requests().size(), 2);
        EXPECT_EQ(url.edtText->text(), title);

        url.edtText->clear();
        url.edtURL->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(url.edtURL, Qt::Key_Backtab);
        QCoreApplication::processEvents();
        EXPECT_EQ(m_server.requests().size(), 3);
        EXPECT_EQ(url.edtText->text(), title);

        QTest::keyClick(url.edtURL, Qt::Key_Return);
    });
    EXPECT_EQ(result, int(QDialog::Accepted));
    EXPECT_FALSE(dialog.isVisible());

    const int cancelled = show(dialog, [&](ql::TfrmURL &url) {
        url.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&url));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    });
    EXPECT_EQ(cancelled, int(QDialog::Rejected));
}

} // namespace
