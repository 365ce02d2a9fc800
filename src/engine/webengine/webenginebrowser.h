#pragma once

#include <memory>

#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include "engine/browser.h"
#include "engine/webengine/renderermemory.h"

class QWebEngineDownloadRequest;
class QWebEngineLoadingInfo;
class QWebEngineNewWindowRequest;
class QWebEnginePage;
class QWebEngineView;
class QWindow;

namespace pagrion {

class MediaFilter;
class HostPace;
class LocalHostPace;

// The full browser: Chromium, through QtWebEngine. Pages run their scripts
// and are laid out in a desktop-sized view before they are read, and the
// document reads the live DOM, so what a script writes into a page is seen.
//
// A page that cannot be loaded, or an HTTP error without content, shows the
// same error pages as the static engine. Loads the page starts itself (a
// script or meta refresh moving on, a click in a shown view) report Busy and
// DownloadComplete like loads started by Navigate. A page's request for a new
// window is put to NewWindow2; unless a receiver cancels it, the page opens
// in a window of its own. A page leads its main frame only to web addresses
// (redirects, refreshes, scripts, links); what Navigate is given still opens.
//
// The load policy applies to what Navigate opens: a failure worth another
// try is tried again after the back-off (the engine does not show the
// server's Retry-After), and loads to one host, siblings' included, start
// at least the policy's pause apart. Without media, pages fetch no images,
// fonts, audio or video.
class WebEngineBrowser final : public Browser
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WebEngineBrowser)

public:
    explicit WebEngineBrowser(QObject *parent = nullptr);
    ~WebEngineBrowser() override;

    EngineKind engine() const override { return EngineKind::Browser; }
    qint64 longestLoadMs() const override;
    void setLoadsMedia(bool loads) override;
    // Starts loading the address as a user would type it. A load still
    // pending is replaced.
    void Navigate(const QString &address) override;
    std::shared_ptr<const Document> document() const override { return m_document; }

    // Where the document shown came from, after redirects.
    QUrl url() const { return m_url; }

    // The view that shows the pages. The browser keeps it off screen and out
    // of the task bar, where it still gives the pages a desktop's size to lay
    // out in and draws their animation frames; a window that
    // displays the pages puts it in its layout and so takes it over (null
    // once that window is gone).
    QWebEngineView *view() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    std::unique_ptr<Browser> makeSibling() const override;

private:
    // One try at the address Navigate was given, once the host's pause allows.
    void startAttempt();
    void beginAttempt();
    HostPace &pace() const;
    void onLoadStarted();
    void beginPageLoad();
    void onLoadEnded(const QWebEngineLoadingInfo &info);
    void onNewWindow(QWebEngineNewWindowRequest &request);
    void onDownload(QWebEngineDownloadRequest *download);
    void onTimeLimit();
    // Chromium reads a page of any size; a page over the body limit (an
    // endless one, a compression bomb) is stopped once it is seen to be.
    void checkPageSize();
    // Stops the load under way and ends it with this failure.
    void abandonLoad(const LoadFailure &failure);
    void endHttpError(int status, const QUrl &url);
    // Ends the load from the event loop unless another has begun meanwhile.
    void endLater(std::shared_ptr<const Document> document, const QUrl &url, bool showsPage,
                  std::optional<LoadFailure> failure = std::nullopt);
    // showsPage: the document reads the page itself, not an error page in its place.
    void finish(std::shared_ptr<const Document> document, const QUrl &url, bool showsPage,
                std::optional<LoadFailure> failure = std::nullopt);
    int readLimitMs() const;

    QPointer<QWebEngineView> m_view;
    // The view as the event filter knows it: events still come while the view
    // is being destroyed, when it can no longer be read as a view.
    const QObject *m_watchedView;
    // Never shown: holds the view's native window while the view is the browser's own.
    QWindow *m_parking = nullptr;
    QWebEnginePage *m_page;
    QList<QPointer<QWebEngineView>> m_popups;
    QTimer m_timeLimit;
    QTimer m_sizeCheck;
    RendererMemoryWatch m_rendererMemory;
    QTimer m_settle;
    QTimer m_retry; // the back-off before another try
    QTimer m_pause; // the host's pause before a try
    QElapsedTimer m_loadClock; // since the load began, for the log
    // When loads to each host may start, shared with the siblings unless
    // the load policy brings a pace shared wider.
    std::shared_ptr<LocalHostPace> m_pace;
    MediaFilter *m_mediaFilter;
    // Tries of the load Navigate started; 0 for a load the page began itself.
    int m_attempts = 0;
    // Counts loads, so that work queued for an earlier one is ignored.
    quint64 m_generation = 0;
    // Waiting for the end of a load: Navigate's, or one the page began itself.
    bool m_tracking = false;
    // Between the page's loadStarted and its end, as the page reported them.
    bool m_pageLoading = false;
    // Navigate replaced a load whose end has not been reported yet; until the
    // new load starts, a stopped end is that old load's.
    bool m_awaitingStart = false;
    bool m_showsPage = false;
    // The load under way turned into a download.
    bool m_downloaded = false;
    // The page began another load while the end of the last was on its way.
    bool m_startedMeanwhile = false;
    QUrl m_pendingUrl;
    std::shared_ptr<const Document> m_document;
    QUrl m_url;
};

} // namespace pagrion
