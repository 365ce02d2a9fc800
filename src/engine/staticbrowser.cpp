#include "engine/staticbrowser.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include "engine/errorpages.h"
#include "engine/htmldocument.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

constexpr int MaximumRedirects = 20;
// Pages that refresh to one another are followed this often per navigation.
constexpr int MaximumRefreshes = 5;

} // namespace

StaticBrowser::StaticBrowser(QObject *parent)
    : Browser(parent)
    , m_network(new QNetworkAccessManager(this))
    , m_builder(new DocumentBuilder(this))
    , m_document(parseHtmlDocument(QString()))
{
    m_network->setRedirectPolicy(QNetworkRequest::UserVerifiedRedirectPolicy);
    m_timeLimit.setSingleShot(true);
    connect(&m_timeLimit, &QTimer::timeout, this, [this] {
        abortPending();
        fail(m_pendingUrl);
    });
}

StaticBrowser::~StaticBrowser()
{
    abortPending();
}

void StaticBrowser::Navigate(const QString &address)
{
    abortPending();
    ++m_generation;
    loadStarted();
    m_pendingUrl = QUrl::fromUserInput(address);
    m_refreshes = 0;
    start(m_pendingUrl);
}

void StaticBrowser::start(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    const quint64 generation = m_generation;
    // Loads that need no network still end from the event loop, never
    // inside Navigate.
    if (url.isValid() && scheme == u"about" && url.path() == u"blank") {
        QMetaObject::invokeMethod(
            this,
            [this, generation, url] {
                if (generation == m_generation)
                    finish(parseHtmlDocument(QString(), url), url);
            },
            Qt::QueuedConnection);
        return;
    }
    if (!url.isValid() || (scheme != u"http" && scheme != u"https" && scheme != u"file")) {
        QMetaObject::invokeMethod(
            this,
            [this, generation, url] {
                if (generation == m_generation)
                    fail(url);
            },
            Qt::QueuedConnection);
        return;
    }

    QNetworkRequest request(url);
    request.setMaximumRedirectsAllowed(MaximumRedirects);
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      u"Mozilla/5.0 (Windows NT 10.0; Win64; x64) Pagrion/1.0"_s);
    request.setRawHeader("Accept", "text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8");
    request.setRawHeader("Accept-Language", "zh-CN,zh;q=0.9,en;q=0.5");
    QNetworkReply *reply = m_network->get(request);
    m_reply = reply;
    // Browsers follow every redirect the server asks for, https to http included.
    connect(reply, &QNetworkReply::redirected, this, [reply] { Q_EMIT reply->redirectAllowed(); });
    connect(reply, &QNetworkReply::finished, this, &StaticBrowser::onReplyFinished);
    if (timeLimitMs() > 0)
        m_timeLimit.start(timeLimitMs());
}

void StaticBrowser::onReplyFinished()
{
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    if (!reply)
        return;
    reply->deleteLater();

    const QUrl url = reply->url();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const int statusCode = status.isValid() ? status.toInt() : 0;
    // A redirect that could not be followed is a page that cannot be reached.
    const bool serverAnswered = statusCode > 0 && (statusCode < 300 || statusCode >= 400);
    if (!serverAnswered && reply->error() != QNetworkReply::NoError) {
        m_timeLimit.stop();
        fail(url);
        return;
    }

    const QByteArray body = reply->readAll();
    if (statusCode >= 400 && body.trimmed().isEmpty()) {
        m_timeLimit.stop();
        const QString reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        finish(parseHtmlDocument(httpErrorPageHtml(statusCode, reason), url), url);
        return;
    }
    // Parsing counts against the time limit, which keeps running meanwhile.
    m_builder->build(body, reply->rawHeader("Content-Type"), url, limits(), [this, statusCode, url](BuiltPage page) {
        m_timeLimit.stop();
        if (page.refresh && statusCode < 400 && m_refreshes < MaximumRefreshes) {
            ++m_refreshes;
            m_pendingUrl = *page.refresh;
            start(m_pendingUrl);
            return;
        }
        finish(std::move(page.document), url);
    });
}

void StaticBrowser::abortPending()
{
    m_timeLimit.stop();
    m_builder->cancel();
    if (!m_reply)
        return;
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
}

void StaticBrowser::fail(const QUrl &url)
{
    finish(parseHtmlDocument(unreachablePageHtml(), url), url);
}

void StaticBrowser::finish(std::shared_ptr<const Document> document, const QUrl &url)
{
    m_document = std::move(document);
    m_url = url;
    loadEnded();
}

} // namespace pagrion
