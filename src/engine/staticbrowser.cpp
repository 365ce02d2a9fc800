#include "engine/staticbrowser.h"

#include <QMimeDatabase>

#include "engine/downloadmanager.h"
#include "engine/errorpages.h"
#include "engine/htmldocument.h"
#include "engine/pageaddress.h"
#include "engine/textdecoding.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

// Pages that refresh to one another are followed this often per navigation.
constexpr int MaximumRefreshes = 5;

QByteArray mimeType(const QByteArray &contentType, const QByteArray &body, const QUrl &url)
{
    QByteArray mime = contentType.split(';').constFirst().trimmed().toLower();
    if (mime.isEmpty() && url.isLocalFile())
        mime = QMimeDatabase().mimeTypeForFileNameAndData(url.fileName(), body).name().toLatin1();
    // A server that names no type almost always sends a page.
    return mime.isEmpty() ? QByteArrayLiteral("text/html") : mime;
}

struct Loaded
{
    std::shared_ptr<const Document> document;
    std::optional<QUrl> refresh; // where the page sends its reader at once
};

// The one place where a loaded body becomes the document shown.
Loaded documentFor(const QByteArray &body, const QByteArray &contentType, const QUrl &url)
{
    const QByteArray mime = mimeType(contentType, body, url);
    if (mime == "text/html" || mime.contains("xml")) {
        const QString html = decodePage(body, contentType);
        return {parseHtmlDocument(html, url), metaRefreshTarget(html, url)};
    }
    if (mime.startsWith("text/") || mime == "application/json" || mime.contains("javascript")
        || mime.contains("ecmascript")) {
        // The line feed after <pre> is swallowed by the parser, so a text's
        // own first line feed survives.
        return {parseHtmlDocument(u"<pre>\n"_s + decodePage(body, contentType).toHtmlEscaped() + u"</pre>"_s, url), {}};
    }
    // Images, archives and the like are shown by viewers, not as a page: a
    // document without a body.
    return {parseHtmlDocument(u"<frameset></frameset>"_s, url), {}};
}

} // namespace

StaticBrowser::StaticBrowser(QObject *parent)
    : Browser(parent), m_downloads(new DownloadManager(this)), m_document(parseHtmlDocument(QString()))
{
}

StaticBrowser::~StaticBrowser() = default;

void StaticBrowser::Navigate(const QString &address)
{
    m_download.reset();
    ++m_generation;
    loadStarted();
    m_clock.start();
    m_refreshes = 0;
    const QUrl url = QUrl::fromUserInput(address);
    if (url.isValid() && url.scheme().compare(u"about"_s, Qt::CaseInsensitive) == 0 && url.path() == u"blank") {
        // Ends from the event loop all the same, never inside Navigate.
        QMetaObject::invokeMethod(
            this,
            [this, generation = m_generation, url] {
                if (generation == m_generation)
                    finish(parseHtmlDocument(QString(), url), url);
            },
            Qt::QueuedConnection);
        return;
    }
    load(url);
}

qint64 StaticBrowser::longestLoadMs() const
{
    return m_downloads->longestLoadMs(limits());
}

void StaticBrowser::load(const QUrl &url)
{
    PageRequest request{url, limits()};
    // Refreshes spend what is left of the navigation's time.
    if (request.limits.timeLimitMs > 0)
        request.limits.timeLimitMs = int(std::max<qint64>(1, request.limits.timeLimitMs - m_clock.elapsed()));
    m_download = m_downloads->download(request);
    connect(m_download.get(), &PageDownload::finished, this, &StaticBrowser::onLoaded);
}

void StaticBrowser::onLoaded()
{
    // Called from the download's own signal: it goes once that has returned.
    PageDownload *download = m_download.release();
    download->deleteLater();
    LoadResult result = download->takeResult();

    if (result.failure && result.failure->kind != LoadFailure::Kind::HttpStatus) {
        finish(parseHtmlDocument(unreachablePageHtml(), result.url), result.url, result.failure);
        return;
    }
    if (result.failure && result.body.trimmed().isEmpty()) {
        finish(parseHtmlDocument(httpErrorPageHtml(result.status, result.reasonPhrase), result.url), result.url, result.failure);
        return;
    }
    Loaded loaded = documentFor(result.body, result.header("Content-Type"), result.url);
    // A refresh elsewhere than to the web is not followed: the page stays, as in a browser.
    if (loaded.refresh && !result.failure && m_refreshes < MaximumRefreshes && mayFollow(result.url, *loaded.refresh)) {
        ++m_refreshes;
        load(*loaded.refresh);
        return;
    }
    finish(std::move(loaded.document), result.url, result.failure);
}

void StaticBrowser::finish(std::shared_ptr<const Document> document, const QUrl &url, std::optional<LoadFailure> failure)
{
    m_document = std::move(document);
    m_url = url;
    loadEnded(std::move(failure));
}

} // namespace pagrion
