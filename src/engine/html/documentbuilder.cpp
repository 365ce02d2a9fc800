#include "engine/html/documentbuilder.h"

#include <algorithm>
#include <atomic>
#include <mutex>

#include <QLatin1StringView>
#include <QMimeDatabase>
#include <QThread>
#include <QThreadPool>

#include "engine/html/htmldocument.h"
#include "engine/html/textdecoding.h"

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

struct DocumentBuilder::Build
{
    std::atomic<bool> wanted = true;
    std::atomic<bool> started = false;
    std::atomic<bool> ended = false;
};

// Shared by a builder and its builds under way: a finished build hands its
// page over only while the builder is there to take it.
struct DocumentBuilder::Handover
{
    std::mutex mutex;
    DocumentBuilder *builder = nullptr;
};

namespace {

// A batch builds a page every millisecond or so: starting a thread for each
// would cost as much as a small page's parse, so the threads are kept. There
// is one for every core: the event thread mostly waits on the network and
// the store, and on large pages parsing is most of the work. The pool is
// never destroyed, so a parse still running while the program ends does not
// hold the exit up.
QThreadPool &buildThreads()
{
    static QThreadPool *const pool = [] {
        auto *threads = new QThreadPool;
        threads->setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
        return threads;
    }();
    return *pool;
}

} // namespace

DocumentBuilder::DocumentBuilder(QObject *parent) : QObject(parent), m_handover(std::make_shared<Handover>())
{
    m_handover->builder = this;
}

DocumentBuilder::~DocumentBuilder()
{
    cancel();
    // Answers already queued to this builder go with it.
    const std::lock_guard lock(m_handover->mutex);
    m_handover->builder = nullptr;
}

void DocumentBuilder::build(const QByteArray &body, const QByteArray &contentType, const QUrl &url,
                            const PageLimits &limits, Done done)
{
    start([body, contentType, url, limits] { return buildPage(body, contentType, url, limits); }, std::move(done));
}

void DocumentBuilder::restyle(const BuiltPage &page, const QHash<QUrl, QByteArray> &sheets, Done done)
{
    start(
        [page, sheets] {
            applyLinkedStyleSheets(*page.document, sheets);
            return page;
        },
        std::move(done));
}

void DocumentBuilder::start(std::function<BuiltPage()> make, Done done)
{
    cancel();
    auto build = std::make_shared<Build>();
    m_build = build;
    const std::function<void()> work = [handover = m_handover, build, make = std::move(make), done] {
        if (!build->wanted)
            return;
        build->started = true;
        const BuiltPage page = make();
        build->ended = true;
        const std::lock_guard lock(handover->mutex);
        if (DocumentBuilder *builder = handover->builder) {
            QMetaObject::invokeMethod(
                builder, [builder, build, page, done] { builder->deliver(build, page, done); },
                Qt::QueuedConnection);
        }
    };
    // A page left for another while it was being parsed (a large one, most
    // likely) must not hold the next page up: that one gets a thread of its own.
    std::erase_if(m_dropped, [](const auto &dropped) { return dropped->ended || !dropped->started; });
    if (m_dropped.empty()) {
        buildThreads().start(work);
        return;
    }
    QThread *worker = QThread::create(work);
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    worker->start();
}

void DocumentBuilder::deliver(const std::shared_ptr<Build> &build, const BuiltPage &page, const Done &done)
{
    if (build != m_build)
        return;
    m_build.reset();
    done(page);
}

void DocumentBuilder::cancel()
{
    if (!m_build)
        return;
    m_build->wanted = false;
    m_dropped.push_back(std::move(m_build));
    m_build.reset();
}

} // namespace pagrion
