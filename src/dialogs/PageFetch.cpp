#include "dialogs/PageFetch.h"

#include "dialogs/PageText.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>
#include <memory>

namespace ql {

namespace {

const QByteArray kAgentName("Quillon");

bool isWebScheme(const QString &scheme)
{
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

// The system's proxy configuration, for this manager's requests only (the application-wide proxy
// setting stays as it is). An address on this machine is always asked directly: a proxy elsewhere
// cannot reach it, and has no business seeing what is asked of it.
class SystemProxies final : public QNetworkProxyFactory
{
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery &query) override
    {
        const QString host = query.url().host();
        if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0
            || QHostAddress(host).isLoopback())
            return { QNetworkProxy(QNetworkProxy::NoProxy) };
        return systemProxyForQuery(query);
    }
};

// One fetch: reads the reply's body as it arrives, within the limits, in a local event loop.
class PageReader final
{
public:
    PageReader(const QUrl &url, const PageFetchLimits &limits)
        : m_limits(limits)
    {
        m_manager.setProxyFactory(new SystemProxies);
        // Redirections are followed to http and https addresses only (Qt refuses any other scheme),
        // and never from https down to http.
        m_manager.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);

        QNetworkRequest request(url);
        request.setHeader(QNetworkRequest::UserAgentHeader, kAgentName);
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
        request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
        m_reply.reset(m_manager.get(request));

        m_stall.setSingleShot(true);
        m_stall.setInterval(m_limits.stallTimeout);
        QObject::connect(&m_stall, &QTimer::timeout, m_reply.get(), &QNetworkReply::abort);
        QObject::connect(
            m_reply.get(), &QNetworkReply::metaDataChanged, &m_stall, qOverload<>(&QTimer::start));
        QObject::connect(m_reply.get(), &QNetworkReply::readyRead, m_reply.get(), [this] { take(); });
        QObject::connect(m_reply.get(), &QNetworkReply::redirected, &m_stall, qOverload<>(&QTimer::start));
        QObject::connect(m_reply.get(), &QNetworkReply::finished, &m_loop, &QEventLoop::quit);
    }

    QByteArray read()
    {
        m_stall.start();
        // User input waits until the page is read: the window stays painted, but no command of the
        // dialog (or of the window behind it) can run in the middle of the fetch.
        if (!m_reply->isFinished())
            m_loop.exec(QEventLoop::ExcludeUserInputEvents);
        take();
        m_stall.stop();
        return m_page;
    }

private:
    void take()
    {
        // After an abort the reply is closed and holds nothing more.
        if (m_full || !m_reply->isOpen())
            return;
        m_page += m_reply->read(m_limits.maxBytes - m_page.size());
        m_stall.start();
        if (m_page.size() >= m_limits.maxBytes) {
            m_full = true;
            m_reply->abort();
        }
    }

    PageFetchLimits m_limits;
    QNetworkAccessManager m_manager;
    std::unique_ptr<QNetworkReply> m_reply;
    QTimer m_stall;
    QEventLoop m_loop;
    QByteArray m_page;
    bool m_full = false;
};

} // namespace

bool IsWebAddress(const QString &address)
{
    const QUrl url(address);
    return url.isValid() && isWebScheme(url.scheme()) && !url.host().isEmpty();
}

QByteArray DownloadPage(const QString &address, const PageFetchLimits &limits)
{
    if (!IsWebAddress(address))
        return {};
    PageReader reader(QUrl(address), limits);
    return reader.read();
}

QString FetchPageText(const QString &address, const PageFetchLimits &limits)
{
    return ExtractPageText(DownloadPage(address, limits));
}

} // namespace ql
