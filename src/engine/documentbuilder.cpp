#include "engine/documentbuilder.h"

#include <QLatin1StringView>
#include <QMimeDatabase>
#include <QThread>

#include "engine/htmldocument.h"
#include "engine/textdecoding.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

QByteArray mimeType(const QByteArray &contentType, const QByteArray &body, const QUrl &url)
{
    QByteArray mime = contentType.split(';').constFirst().trimmed().toLower();
    if (mime.isEmpty() && url.isLocalFile())
        mime = QMimeDatabase().mimeTypeForFileNameAndData(url.fileName(), body).name().toLatin1();
    // A server that names no type almost always sends a page.
    return mime.isEmpty() ? QByteArrayLiteral("text/html") : mime;
}

std::optional<QUrl> refreshOf(const QByteArray &utf8, const QUrl &url)
{
    // Reading the whole page as text is only worth it for pages that may refresh.
    if (!QLatin1StringView(utf8).contains("refresh"_L1, Qt::CaseInsensitive))
        return std::nullopt;
    return metaRefreshTarget(QString::fromUtf8(utf8), url);
}

} // namespace

BuiltPage buildPage(const QByteArray &body, const QByteArray &contentType, const QUrl &url,
                    const PageLimits &limits)
{
    const QByteArray mime = mimeType(contentType, body, url);
    if (mime == "text/html" || mime.contains("xml")) {
        const QByteArray utf8 = decodePageToUtf8(body, contentType);
        return {parseHtmlDocument(utf8, url, limits), refreshOf(utf8, url)};
    }
    if (mime.startsWith("text/") || mime == "application/json" || mime.contains("javascript")
        || mime.contains("ecmascript")) {
        // The line feed after <pre> is swallowed by the parser, so a text's
        // own first line feed survives.
        const QString text = u"<pre>\n"_s + decodePage(body, contentType).toHtmlEscaped() + u"</pre>"_s;
        return {parseHtmlDocument(text, url, limits), {}};
    }
    // Images, archives and the like are shown by viewers, not as a page: a
    // document without a body.
    return {parseHtmlDocument(u"<frameset></frameset>"_s, url, limits), {}};
}

DocumentBuilder::DocumentBuilder(QObject *parent) : QObject(parent) {}

DocumentBuilder::~DocumentBuilder()
{
    cancel();
}

void DocumentBuilder::build(const QByteArray &body, const QByteArray &contentType, const QUrl &url,
                            const PageLimits &limits, Done done)
{
    const quint64 build = ++m_builds;
    m_current = build;
    auto page = std::make_shared<BuiltPage>();
    QThread *worker = QThread::create([page, body, contentType, url, limits] {
        *page = buildPage(body, contentType, url, limits);
    });
    // The worker outlives a dropped build, and even this builder: it deletes
    // itself once it is done.
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    connect(worker, &QThread::finished, this, [this, build, page, done = std::move(done)] {
        if (build != m_current)
            return;
        m_current = 0;
        done(std::move(*page));
    });
    worker->start();
}

void DocumentBuilder::cancel()
{
    m_current = 0;
}

} // namespace pagrion
