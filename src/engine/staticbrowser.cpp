#include "engine/staticbrowser.h"

#include <algorithm>

#include "engine/enginelog.h"
#include "engine/errorpages.h"
#include "engine/html/htmldocument.h"
#include "engine/html/stylesheet.h"
#include "engine/pageaddress.h"
#include "engine/transfer/downloadmanager.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

// Pages that refresh to one another are followed this often per navigation.
constexpr int MaximumRefreshes = 5;

} // namespace

StaticBrowser::StaticBrowser(QObject *parent)
    : StaticBrowser(nullptr, nullptr)
{
    setParent(parent);
}

StaticBrowser::StaticBrowser(DownloadManager *downloads, std::shared_ptr<StyleSheetFetches> styleSheets)
    : m_downloads(downloads ? downloads : new DownloadManager(this))
    , m_builder(new DocumentBuilder(this))
    , m_styleSheets(styleSheets ? std::move(styleSheets) : std::make_shared<StyleSheetFetches>(*m_downloads))
    , m_document(engineMadeDocument(QString()))
{
    m_buildLimit.setSingleShot(true);
    connect(&m_buildLimit, &QTimer::timeout, this, [this] {
        abortPending();
        // The transfer has been logged as ended: the log must say the parsing did not.
        qCWarning(lcEngine).noquote() << u"静态引擎 %1 在时间限制内没有解析完，失败：%2"_s.arg(
            m_building.toDisplayString(), LoadFailure::timeout().reason);
        finish(engineMadeDocument(unreachablePageHtml(), m_building), m_building, LoadFailure::timeout());
    });
}

StaticBrowser::~StaticBrowser()
{
    abortPending();
}

std::unique_ptr<Browser> StaticBrowser::makeSibling() const
{
    return std::unique_ptr<Browser>(new StaticBrowser(m_downloads, m_styleSheets));
}

void StaticBrowser::setLoadPolicy(const LoadPolicy &policy)
{
    Browser::setLoadPolicy(policy);
    m_downloads->setPolicy(policy);
}

void StaticBrowser::Navigate(const QString &address)
{
    abortPending();
    ++m_generation;
    loadStarted();
    m_clock.start();
    m_queuedMs = 0;
    m_refreshes = 0;
    const QUrl url = QUrl::fromUserInput(address);
    if (url.isValid() && url.scheme().compare(u"about"_s, Qt::CaseInsensitive) == 0 && url.path() == u"blank") {
        // Ends from the event loop all the same, never inside Navigate.
        QMetaObject::invokeMethod(
            this,
            [this, generation = m_generation, url] {
                if (generation == m_generation)
                    finish(engineMadeDocument(QString(), url), url);
            },
            Qt::QueuedConnection);
        return;
    }
    load(url);
}

qint64 StaticBrowser::longestLoadMs() const
{
    // A retried load may still parse for a whole limit after its last try.
    const qint64 parsing = m_downloads->policy().retries > 0 ? std::max(timeLimitMs(), 0) : 0;
    return m_downloads->longestLoadMs(limits()) + parsing;
}

void StaticBrowser::load(const QUrl &url)
{
    PageRequest request{url, limits()};
    // Refreshes spend what is left of the navigation's time.
    if (request.limits.timeLimitMs > 0)
        request.limits.timeLimitMs = int(std::max<qint64>(1, request.limits.timeLimitMs - spentMs()));
    m_download = m_downloads->download(request);
    connect(m_download.get(), &PageDownload::finished, this, &StaticBrowser::onLoaded);
}

void StaticBrowser::onLoaded()
{
    // Called from the download's own signal: it goes once that has returned.
    PageDownload *download = m_download.release();
    download->deleteLater();
    LoadResult result = download->takeResult();
    m_queuedMs += download->queuedMs();

    if (result.failure && result.failure->kind != LoadFailure::Kind::HttpStatus) {
        finish(engineMadeDocument(unreachablePageHtml(), result.url), result.url, result.failure);
        return;
    }
    if (result.failure && result.body.trimmed().isEmpty()) {
        finish(engineMadeDocument(httpErrorPageHtml(result.status, result.reasonPhrase), result.url), result.url,
               result.failure);
        return;
    }

    if (timeLimitMs() > 0) {
        const qint64 left = result.attempts > 1 ? timeLimitMs() : timeLimitMs() - spentMs();
        m_buildLimit.start(int(std::max<qint64>(1, left)));
    }
    m_building = result.url;
    m_builder->build(result.body, result.header("Content-Type"), result.url, limits(),
                     [this, url = result.url, failure = result.failure](BuiltPage page) {
                         m_buildLimit.stop();
                         onBuilt(std::move(page), url, failure);
                     });
}

qint64 StaticBrowser::spentMs() const
{
    return m_clock.elapsed() - m_queuedMs;
}

void StaticBrowser::onBuilt(BuiltPage page, const QUrl &url, const std::optional<LoadFailure> &failure)
{
    // A refresh elsewhere than to the web is not followed: the page stays, as in a browser.
    if (page.refresh && !failure && m_refreshes < MaximumRefreshes && mayFollow(url, *page.refresh)) {
        ++m_refreshes;
        load(*page.refresh);
        return;
    }
    if (limits().linkedStyleSheets && !linkedStyleSheets(*page.document).isEmpty()) {
        fetchStyleSheets(std::move(page), url, failure);
        return;
    }
    finish(std::move(page.document), url, failure);
}

void StaticBrowser::fetchStyleSheets(BuiltPage page, const QUrl &url, const std::optional<LoadFailure> &failure)
{
    const QList<QUrl> sheets = linkedStyleSheets(*page.document);
    m_styling = Styling{std::move(page), url, failure, limits(), {}, {}, {}, 0, 0};
    if (m_styling->sheetLimits.timeLimitMs > 0) {
        const qint64 left = std::max<qint64>(1, timeLimitMs() - spentMs());
        m_styling->sheetLimits.timeLimitMs = int(left);
        m_buildLimit.start(int(left));
    }
    for (const QUrl &sheet : sheets)
        wantStyleSheet(sheet, url, 0);
    if (m_styling->pending == 0)
        restyle();
}

void StaticBrowser::wantStyleSheet(const QUrl &sheet, const QUrl &from, int depth)
{
    // From the web only to the web, as for every address a page names.
    if (!mayFollow(from, sheet) || depth > html::MaxImportDepth || m_styling->asked.contains(sheet)
        || (depth > 0 && m_styling->imports >= html::MaxImportedSheets))
        return;
    m_styling->asked.insert(sheet);
    if (depth > 0)
        ++m_styling->imports;
    if (const std::optional<StyleSheetFetches::Sheet> kept = m_styleSheets->cached(sheet)) {
        takeStyleSheet(sheet, *kept, depth);
        return;
    }
    ++m_styling->pending;
    m_styling->waits.push_back(
        m_styleSheets->fetch(sheet, m_styling->sheetLimits, [this, sheet, depth](const StyleSheetFetches::Sheet &fetched) {
            --m_styling->pending;
            takeStyleSheet(sheet, fetched, depth);
            if (m_styling->pending == 0)
                restyle();
        }));
}

void StaticBrowser::takeStyleSheet(const QUrl &address, const StyleSheetFetches::Sheet &sheet, int depth)
{
    m_styling->sheets.insert(address, sheet.css);
    for (const QUrl &imported : sheet.imports)
        wantStyleSheet(imported, address, depth + 1);
}

void StaticBrowser::restyle()
{
    // Sheets that all failed or are empty leave the page as it was built.
    const bool anyRules = std::any_of(m_styling->sheets.cbegin(), m_styling->sheets.cend(),
                                      [](const QByteArray &css) { return !css.trimmed().isEmpty(); });
    if (!anyRules) {
        m_buildLimit.stop();
        Styling styling = std::move(*m_styling);
        m_styling.reset();
        finish(std::move(styling.page.document), styling.url, styling.failure);
        return;
    }
    m_builder->restyle(m_styling->page, m_styling->sheets, [this, url = m_styling->url, failure = m_styling->failure](BuiltPage page) {
        m_buildLimit.stop();
        m_styling.reset();
        finish(std::move(page.document), url, failure);
    });
}

void StaticBrowser::abortPending()
{
    m_download.reset();
    m_styling.reset();
    m_buildLimit.stop();
    m_builder->cancel();
}

void StaticBrowser::finish(std::shared_ptr<const Document> document, const QUrl &url, std::optional<LoadFailure> failure)
{
    qCDebug(lcEngine).noquote() << u"静态引擎 %1 结束，%2 ms%3"_s.arg(url.toDisplayString(),
                                                                  QString::number(m_clock.elapsed()),
                                                                  failure ? u"，失败："_s + failure->reason : QString());
    m_document = std::move(document);
    m_url = url;
    loadEnded(std::move(failure));
}

} // namespace pagrion
