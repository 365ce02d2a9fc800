#include "engine/webengine/webenginebrowser.h"

#include <atomic>
#include <limits>

#include <QEvent>
#include <QGuiApplication>
#include <QStringList>
#include <QWebEngineDownloadRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>
#include <QWindow>

#include "engine/cookiestore.h"
#include "engine/enginelog.h"
#include "engine/errorpages.h"
#include "engine/hostpace.h"
#include "engine/pageaddress.h"
#include "engine/webengine/webenginedocument.h"
#include "engine/webengine/webenginenetwork.h"
#include "engine/webengine/webengineprofile.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

// Pages are laid out as on an ordinary desktop screen, so layouts meant for
// narrow screens do not hide content.
constexpr QSize ViewSize(1280, 1024);
constexpr QSize PopupSize(1024, 768);
// How long a load that stopped by itself waits to learn that it became a download.
constexpr int DownloadSettleMs = 200;
// How often a page being loaded is measured against the body limit.
constexpr int SizeCheckMs = 500;

// A page that keeps quiet while nobody looks at it: its console stays out of
// the program's output, and the boxes a script opens are answered with
// Cancel unless its view is on screen.
class QuietPage final : public QWebEnginePage
{
public:
    QuietPage(QWebEngineProfile *profile, QObject *parent) : QWebEnginePage(profile, parent) { new PageNetwork(this); }

protected:
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString &, int, const QString &) override {}

    void javaScriptAlert(const QUrl &origin, const QString &message) override
    {
        if (shown())
            QWebEnginePage::javaScriptAlert(origin, message);
    }

    bool javaScriptConfirm(const QUrl &origin, const QString &message) override
    {
        return shown() && QWebEnginePage::javaScriptConfirm(origin, message);
    }

    bool javaScriptPrompt(const QUrl &origin, const QString &message, const QString &defaultValue,
                          QString *result) override
    {
        return shown() && QWebEnginePage::javaScriptPrompt(origin, message, defaultValue, result);
    }

    // What the user opens is loaded; a page itself leads only to the web.
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override
    {
        if (!isMainFrame || type == NavigationTypeTyped || type == NavigationTypeBackForward
            || type == NavigationTypeReload)
            return true;
        return type == NavigationTypeRedirect ? isWebAddress(url) : mayFollow(this->url(), url);
    }

private:
    bool shown() const
    {
        const QWebEngineView *view = QWebEngineView::forPage(this);
        return view && view->isVisible() && !view->testAttribute(Qt::WA_DontShowOnScreen);
    }
};

// Chromium's own error numbers for the failures a user can tell apart.
std::optional<LoadFailure> connectionFailure(int error, const QUrl &url, const QString &text)
{
    switch (error) {
    case -7:   // TIMED_OUT
    case -118: // CONNECTION_TIMED_OUT
        return LoadFailure::timeout();
    case -102: // CONNECTION_REFUSED
        return LoadFailure::connectionRefused();
    case -100: // CONNECTION_CLOSED
    case -101: // CONNECTION_RESET
    case -103: // CONNECTION_ABORTED
    case -324: // EMPTY_RESPONSE
        return LoadFailure::connectionReset();
    case -105: // NAME_NOT_RESOLVED
    case -137: // NAME_RESOLUTION_FAILED
        return LoadFailure::hostNotFound(url.host());
    case -310: // TOO_MANY_REDIRECTS
        return LoadFailure::tooManyRedirects(PageLimits::DefaultMaxRedirects);
    case -301: // DISALLOWED_URL_SCHEME
    case -302: // UNKNOWN_URL_SCHEME
        return LoadFailure::refusedScheme(url);
    case -311: // UNSAFE_REDIRECT: Chromium tells only the address that redirected
        return LoadFailure::refusedRedirect();
    case -330: // CONTENT_DECODING_FAILED
        return LoadFailure::decompression(text);
    case -354: // CONTENT_LENGTH_MISMATCH
    case -355: // INCOMPLETE_CHUNKED_ENCODING
        return LoadFailure::bodyCutShort();
    case -6: // FILE_NOT_FOUND
        return LoadFailure::network(u"找不到文件"_s);
    default:
        // The secure-connection errors lie between -107 and -199.
        if (error <= -107 && error >= -199)
            return LoadFailure::tls(text);
        return std::nullopt;
    }
}

LoadFailure loadFailure(const QWebEngineLoadingInfo &info, const QUrl &url)
{
    switch (info.errorDomain()) {
    case QWebEngineLoadingInfo::HttpStatusCodeDomain:
        return LoadFailure::httpStatus(info.errorCode());
    case QWebEngineLoadingInfo::CertificateErrorDomain:
        return LoadFailure::tls(info.errorString());
    default:
        return connectionFailure(info.errorCode(), url, info.errorString())
            .value_or(LoadFailure::network(info.errorString()));
    }
}

// Where windows reach a screen. The offscreen platform shows nothing, and
// cannot nest one native window in another either.
bool windowSystemShowsWindows()
{
    const QString platform = QGuiApplication::platformName();
    return platform == u"xcb" || platform.startsWith(u"wayland");
}

bool isLoadableScheme(const QString &scheme)
{
    // Chromium hands other schemes to other programs; here they lead nowhere.
    static const QStringList schemes{u"http"_s, u"https"_s, u"file"_s, u"about"_s, u"data"_s};
    return schemes.contains(scheme.toLower());
}

} // namespace

// Turns away the requests for what a page's text does not need.
class MediaFilter final : public QWebEngineUrlRequestInterceptor
{
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

    std::atomic<bool> blocks{false};

    void interceptRequest(QWebEngineUrlRequestInfo &info) override
    {
        if (!blocks)
            return;
        switch (info.resourceType()) {
        case QWebEngineUrlRequestInfo::ResourceTypeImage:
        case QWebEngineUrlRequestInfo::ResourceTypeFontResource:
        case QWebEngineUrlRequestInfo::ResourceTypeMedia:
        case QWebEngineUrlRequestInfo::ResourceTypeFavicon:
        case QWebEngineUrlRequestInfo::ResourceTypeObject:
        case QWebEngineUrlRequestInfo::ResourceTypePluginResource:
            info.block(true);
            break;
        default:
            break;
        }
    }
};

WebEngineBrowser::WebEngineBrowser(QObject *parent)
    : Browser(parent)
    , m_view(new QWebEngineView)
    , m_watchedView(m_view.data())
    , m_pace(std::make_shared<LocalHostPace>())
    , m_mediaFilter(new MediaFilter(this))
    , m_document(engineMadeDocument(QString()))
{
    if (windowSystemShowsWindows())
        m_parking = new QWindow;
    QWebEngineProfile *profile = browserProfile();
    profile->setHttpAcceptLanguage(u"zh-CN,zh;q=0.9,en;q=0.5"_s);
    m_page = new QuietPage(profile, this);
    // A page that names no encoding is read as UTF-8 unless the engine's
    // detector finds another (GBK, say), as in the static engine; Chromium
    // would otherwise fall back to Latin-1.
    m_page->settings()->setDefaultTextEncoding(u"utf-8"_s);
    m_page->setUrlRequestInterceptor(m_mediaFilter);
    m_view->setPage(m_page);
    m_view->resize(ViewSize);
    // Shown, but not on screen: a hidden page would have its timers throttled
    // and its animation frames withheld, and some pages build their content
    // in those. A window that takes the view shows it for real.
    m_view->setAttribute(Qt::WA_DontShowOnScreen);
    // Counted as shown, it would otherwise keep the program open after its last window.
    m_view->setAttribute(Qt::WA_QuitOnClose, false);
    m_view->setContextMenuPolicy(Qt::NoContextMenu);
    m_view->installEventFilter(this);
    m_view->show();

    connect(m_page, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo &info) {
        if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus)
            onLoadStarted();
        else
            onLoadEnded(info);
    });
    connect(m_page, &QWebEnginePage::newWindowRequested, this, &WebEngineBrowser::onNewWindow);
    connect(profile, &QWebEngineProfile::downloadRequested, this, &WebEngineBrowser::onDownload);

    m_timeLimit.setSingleShot(true);
    connect(&m_timeLimit, &QTimer::timeout, this, &WebEngineBrowser::onTimeLimit);
    m_sizeCheck.setInterval(SizeCheckMs);
    connect(&m_sizeCheck, &QTimer::timeout, this, &WebEngineBrowser::checkPageSize);
    m_settle.setSingleShot(true);
    connect(&m_settle, &QTimer::timeout, this,
            [this] { finish(engineMadeDocument(QString(), m_pendingUrl), m_pendingUrl, false); });
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &WebEngineBrowser::startAttempt);
    m_pause.setSingleShot(true);
    connect(&m_pause, &QTimer::timeout, this, &WebEngineBrowser::beginAttempt);
}

WebEngineBrowser::~WebEngineBrowser()
{
    // Answers that arrive while the page goes away belong to no load.
    ++m_generation;
    m_tracking = false;
    for (const QPointer<QWebEngineView> &popup : std::as_const(m_popups))
        delete popup;
    // The view goes before its page, wherever a window has put it.
    if (m_view)
        m_view->removeEventFilter(this);
    delete m_view;
    delete m_page;
    delete m_parking;
}

QWebEngineView *WebEngineBrowser::view() const
{
    return m_view;
}

std::unique_ptr<Browser> WebEngineBrowser::makeSibling() const
{
    auto browser = std::make_unique<WebEngineBrowser>();
    browser->m_pace = m_pace;
    return browser;
}

qint64 WebEngineBrowser::longestLoadMs() const
{
    const LoadPolicy &policy = loadPolicy();
    const qint64 attempts = qint64(std::max(policy.retries, 0)) + 1;
    // Each browser sharing the pace may have booked the host before this one.
    const qint64 pause = qint64(std::max(policy.delayMs, 0)) * m_pace.use_count();
    return attempts * (std::max(timeLimitMs(), 0) + pause)
        + (attempts - 1) * std::max<qint64>(policy.maxBackoffMs, 0);
}

void WebEngineBrowser::setLoadsMedia(bool loads)
{
    Browser::setLoadsMedia(loads);
    m_page->settings()->setAttribute(QWebEngineSettings::AutoLoadImages, loads);
    m_mediaFilter->blocks = !loads;
}

bool WebEngineBrowser::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_watchedView)
        return Browser::eventFilter(watched, event);
    // Taken into a window: from now on it is seen whenever that window is.
    if (event->type() == QEvent::ParentChange && m_view->parentWidget()) {
        m_view->setContextMenuPolicy(Qt::DefaultContextMenu);
        m_view->setAttribute(Qt::WA_DontShowOnScreen, false);
        m_view->show();
    }
    // The engine shows the view's native window whatever WA_DontShowOnScreen
    // says, and makes it anew when it starts drawing. Each time, the window is
    // parked inside one that is never shown: it draws, and its page counts as
    // visible, but no screen, window manager or task bar ever sees it.
    if (event->type() == QEvent::WinIdChange && m_parking && m_view->isWindow() && m_view->windowHandle())
        m_view->windowHandle()->setParent(m_parking);
    return Browser::eventFilter(watched, event);
}

void WebEngineBrowser::Navigate(const QString &address)
{
    ++m_generation;
    m_timeLimit.stop();
    m_sizeCheck.stop();
    m_settle.stop();
    m_retry.stop();
    m_pause.stop();
    m_downloaded = false;
    m_startedMeanwhile = false;
    m_attempts = 0;
    loadStarted();
    m_loadClock.start();
    const QUrl url = QUrl::fromUserInput(address);
    m_pendingUrl = url;
    m_tracking = false;

    if (!url.isValid() || !isLoadableScheme(url.scheme())) {
        endLater(engineMadeDocument(unreachablePageHtml(), url), url, false, LoadFailure::refusedScheme(url));
        return;
    }
    // A jump within the page shown loads nothing, so no end would be reported.
    if (m_showsPage && !m_pageLoading && url.hasFragment()
        && url.adjusted(QUrl::RemoveFragment) == m_page->url().adjusted(QUrl::RemoveFragment)) {
        m_page->load(url);
        endLater(liveDocument(m_page, readLimitMs(), limits().maxTextBytes), url, true);
        return;
    }

    startAttempt();
}

void WebEngineBrowser::startAttempt()
{
    ++m_attempts;
    const QString host = hostKey(m_pendingUrl);
    if (!pace().paces(host, loadPolicy().delayMs)) {
        beginAttempt();
        return;
    }
    // A pace shared with other processes may answer later, when this load
    // may have been given up for another.
    const quint64 generation = m_generation;
    pace().book(host, loadPolicy().delayMs, [self = QPointer(this), generation](qint64 wait) {
        if (!self || self->m_generation != generation)
            return;
        if (wait > 0)
            self->m_pause.start(int(std::min<qint64>(wait, std::numeric_limits<int>::max())));
        else
            self->beginAttempt();
    });
}

HostPace &WebEngineBrowser::pace() const
{
    return loadPolicy().sharedPace ? *loadPolicy().sharedPace : *m_pace;
}

void WebEngineBrowser::beginAttempt()
{
    m_tracking = true;
    m_awaitingStart = m_pageLoading;
    m_startedMeanwhile = false;
    m_downloaded = false;
    if (timeLimitMs() > 0)
        m_timeLimit.start(timeLimitMs());
    m_sizeCheck.start();
    m_rendererMemory.restart(m_page->renderProcessPid());
    // A login made meanwhile by another process is sent along.
    if (CookieStore *cookies = CookieStore::current())
        cookies->refresh();
    m_page->load(m_pendingUrl);
}

// Chromium reports a load from inside its own work, where a script's answer
// cannot arrive; so every end is handed to the event loop before the
// receivers of DownloadComplete, who read the page, hear of it.
void WebEngineBrowser::onLoadStarted()
{
    m_pageLoading = true;
    m_awaitingStart = false;
    if (m_tracking)
        return;
    if (Busy()) {
        // An end is on its way; this load is reported after it.
        m_startedMeanwhile = true;
        return;
    }
    beginPageLoad();
}

// The page moves on by itself: a script, a refresh or a click.
void WebEngineBrowser::beginPageLoad()
{
    ++m_generation;
    m_startedMeanwhile = false;
    m_downloaded = false;
    m_attempts = 0;
    loadStarted();
    m_loadClock.start();
    m_tracking = true;
    m_pendingUrl = m_page->requestedUrl();
    if (timeLimitMs() > 0)
        m_timeLimit.start(timeLimitMs());
    m_sizeCheck.start();
    m_rendererMemory.restart(m_page->renderProcessPid());
}

void WebEngineBrowser::onLoadEnded(const QWebEngineLoadingInfo &info)
{
    const bool replacedLoadEnded = m_awaitingStart && info.status() == QWebEngineLoadingInfo::LoadStoppedStatus;
    m_pageLoading = false;
    if (!m_tracking || replacedLoadEnded) {
        // A load that began meanwhile and is over already is not reported.
        m_startedMeanwhile = false;
        return;
    }
    m_tracking = false;

    const QUrl url = info.url().isEmpty() ? m_pendingUrl : info.url();
    switch (info.status()) {
    case QWebEngineLoadingInfo::LoadSucceededStatus:
        endLater(liveDocument(m_page, readLimitMs(), limits().maxTextBytes), url, true);
        break;
    case QWebEngineLoadingInfo::LoadFailedStatus:
        if (std::optional<LoadFailure> failure = PageNetwork::of(m_page)->failureFor(info))
            endLater(engineMadeDocument(unreachablePageHtml(), url), url, false, std::move(failure));
        else if (info.errorDomain() != QWebEngineLoadingInfo::HttpStatusCodeDomain)
            endLater(engineMadeDocument(unreachablePageHtml(), url), url, false, loadFailure(info, url));
        else if (info.isErrorPage())
            endLater(engineMadeDocument(httpErrorPageHtml(info.errorCode()), url), url, false,
                     LoadFailure::httpStatus(info.errorCode()));
        else
            endHttpError(info.errorCode(), url);
        break;
    case QWebEngineLoadingInfo::LoadStoppedStatus:
        // Not stopped by the time limit, which ends its load itself: a reply
        // without content (204) or one that turned into a download.
        if (m_downloaded)
            endLater(engineMadeDocument(u"<frameset></frameset>"_s, url), url, false);
        else
            m_settle.start(DownloadSettleMs);
        break;
    case QWebEngineLoadingInfo::LoadStartedStatus:
        break;
    }
}

// The server sent a page of its own with the error status. A page that is
// blank throughout is no page: the engine's error page stands in for it.
void WebEngineBrowser::endHttpError(int status, const QUrl &url)
{
    const quint64 generation = m_generation;
    m_page->runJavaScript(
        u"document.documentElement ? document.documentElement.outerHTML : ''"_s, QWebEngineScript::ApplicationWorld,
        [this, generation, status, url](const QVariant &html) {
            if (generation != m_generation)
                return;
            if (html.toString() == u"<html><head></head><body></body></html>")
                endLater(engineMadeDocument(httpErrorPageHtml(status), url), url, false, LoadFailure::httpStatus(status));
            else
                endLater(liveDocument(m_page, readLimitMs(), limits().maxTextBytes), url, true, LoadFailure::httpStatus(status));
        });
}

void WebEngineBrowser::onNewWindow(QWebEngineNewWindowRequest &request)
{
    bool cancel = false;
    Q_EMIT NewWindow2(&cancel);
    if (cancel)
        return; // left unopened, the request is refused
    auto *window = new QWebEngineView;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setAttribute(Qt::WA_QuitOnClose, false); // the program ends with its own windows
    window->setPage(new QuietPage(m_page->profile(), window));
    request.openIn(window->page());
    const QRect geometry = request.requestedGeometry();
    window->resize(geometry.isEmpty() ? PopupSize : geometry.size());
    window->show();
    m_popups.removeAll(nullptr);
    m_popups.append(window);
}

void WebEngineBrowser::onDownload(QWebEngineDownloadRequest *download)
{
    if (download->page() != m_page)
        return;
    // A file that is not a page is shown as a document without a body, as
    // the static engine does, and never saved.
    download->cancel();
    m_downloaded = true;
    if (m_settle.isActive()) {
        m_settle.stop();
        endLater(engineMadeDocument(u"<frameset></frameset>"_s, m_pendingUrl), m_pendingUrl, false);
    }
}

void WebEngineBrowser::onTimeLimit()
{
    abandonLoad(LoadFailure::timeout());
}

void WebEngineBrowser::checkPageSize()
{
    const qint64 limit = limits().maxBodyBytes;
    if (!m_tracking || !m_pageLoading || limit <= 0)
        return;
    const quint64 generation = m_generation;
    // The markup's length in characters (at most its size in bytes), and
    // what the page's scripts hold, which the renderer's growth may be.
    m_page->runJavaScript(u"[document.documentElement ? document.documentElement.outerHTML.length : 0,"
                          u" performance.memory ? performance.memory.usedJSHeapSize : 0]"_s,
                          QWebEngineScript::ApplicationWorld, [this, generation, limit](const QVariant &sizes) {
                              if (generation != m_generation || !m_tracking)
                                  return;
                              const QVariantList both = sizes.toList();
                              const qint64 markup = both.value(0).toLongLong();
                              const qint64 scripts = both.value(1).toLongLong();
                              if (markup > limit
                                  || m_rendererMemory.overBodyLimit(m_page->renderProcessPid(), markup, scripts, limit))
                                  abandonLoad(LoadFailure::bodyTooLarge(limit));
                          });
}

void WebEngineBrowser::abandonLoad(const LoadFailure &failure)
{
    // The end the stopped load still reports is ignored: the load ends here.
    m_tracking = false;
    m_sizeCheck.stop();
    if (m_pageLoading)
        m_page->triggerAction(QWebEnginePage::Stop);
    finish(engineMadeDocument(unreachablePageHtml(), m_pendingUrl), m_pendingUrl, false, failure);
}

void WebEngineBrowser::endLater(std::shared_ptr<const Document> document, const QUrl &url, bool showsPage,
                                std::optional<LoadFailure> failure)
{
    const quint64 generation = m_generation;
    QMetaObject::invokeMethod(
        this,
        [this, generation, document = std::move(document), url, showsPage, failure = std::move(failure)] {
            if (generation == m_generation)
                finish(document, url, showsPage, failure);
        },
        Qt::QueuedConnection);
}

void WebEngineBrowser::finish(std::shared_ptr<const Document> document, const QUrl &url, bool showsPage,
                              std::optional<LoadFailure> failure)
{
    ++m_generation;
    m_timeLimit.stop();
    m_sizeCheck.stop();
    m_settle.stop();
    m_tracking = false;
    // The page stays busy through the back-off; what it showed meanwhile is not reported.
    if (failure && failure->retryable() && m_attempts > 0 && m_attempts <= loadPolicy().retries) {
        m_retry.start(int(loadPolicy().backoffMs(m_attempts)));
        // The host that failed is left alone meanwhile by every load sharing the pace.
        pace().holdOff(hostKey(url), m_retry.interval());
        qCInfo(lcEngine).noquote() << u"完整浏览器"_s << retryLogText(url, m_attempts, failure->reason, m_retry.interval());
        return;
    }
    const auto ended = [&] {
        return u"完整浏览器 %1，%2 ms，尝试 %3 次"_s.arg(url.toDisplayString(), QString::number(m_loadClock.elapsed()),
                                                    QString::number(std::max(m_attempts, 1)));
    };
    if (failure)
        qCWarning(lcEngine).noquote() << ended() + u"，失败："_s + failure->reason;
    else
        qCInfo(lcEngine).noquote() << ended();
    m_document = std::move(document);
    m_showsPage = showsPage;
    m_url = url;
    loadEnded(std::move(failure));
    if (m_startedMeanwhile && m_pageLoading && !Busy())
        beginPageLoad();
}

int WebEngineBrowser::readLimitMs() const
{
    return timeLimitMs() > 0 ? timeLimitMs() : DefaultTimeLimitMs;
}

} // namespace pagrion
