#pragma once

#include <memory>
#include <optional>
#include <vector>

#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QTimer>
#include <QUrl>

#include "engine/browser.h"
#include "engine/html/documentbuilder.h"
#include "engine/stylesheetfetches.h"

namespace pagrion {

class DownloadManager;
class PageDownload;
struct LoadResult;

// A browser without scripts or rendering: it fetches the page (http, https or
// a local file) through a DownloadManager, then decodes and parses it on a
// worker thread. Redirects and meta refreshes are followed, from the web to
// web addresses only. The time limit covers the load, the refreshes and the
// parsing, not the wait in the host's queue; a run that retries gives the
// try that succeeded the whole limit. Siblings share the download manager,
// so a run loading pages side by side keeps its policy per host.
//
// A page that cannot be fetched at all shows the engine's own error page,
// whose text contains "无法找到网页"; an HTTP error without content shows one
// that also names the status ("HTTP 404 - 无法找到文件"); an error page the
// server sends with content is shown as sent. failure() tells the reason in
// each case. No page ever opens a window.
class StaticBrowser final : public Browser
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StaticBrowser)

public:
    explicit StaticBrowser(QObject *parent = nullptr);
    ~StaticBrowser() override;

    EngineKind engine() const override { return EngineKind::Static; }
    void setLoadPolicy(const LoadPolicy &policy) override;
    // Starts loading the address as a user would type it ("example.com"
    // means http://example.com/). A load still pending is dropped silently.
    void Navigate(const QString &address) override;
    std::shared_ptr<const Document> document() const override { return m_document; }
    qint64 longestLoadMs() const override;

    // Where the document shown came from, after redirects.
    QUrl url() const { return m_url; }

    // The manager the pages are loaded through: one page at a time, no pause
    // and no second try unless a run sets another policy on it.
    DownloadManager &downloads() const { return *m_downloads; }

protected:
    std::unique_ptr<Browser> makeSibling() const override;

private:
    // A browser loading through another's manager.
    StaticBrowser(DownloadManager *downloads, std::shared_ptr<StyleSheetFetches> styleSheets);

    void load(const QUrl &url);
    void onLoaded();
    // The time limit spent since Navigate.
    qint64 spentMs() const;
    void onBuilt(BuiltPage page, const QUrl &url, const std::optional<LoadFailure> &failure);
    // Fetches the style sheets the built page links to or imports, and those
    // they import in turn, then has the page matched with them.
    void fetchStyleSheets(BuiltPage page, const QUrl &url, const std::optional<LoadFailure> &failure);
    // Asks for a sheet named by the page or by a sheet (`from`), `depth`
    // imports down.
    void wantStyleSheet(const QUrl &sheet, const QUrl &from, int depth);
    void takeStyleSheet(const QUrl &address, const StyleSheetFetches::Sheet &sheet, int depth);
    void restyle();
    void abortPending();
    void finish(std::shared_ptr<const Document> document, const QUrl &url,
                std::optional<LoadFailure> failure = std::nullopt);

    DownloadManager *m_downloads;
    std::unique_ptr<PageDownload> m_download;
    DocumentBuilder *m_builder;
    // Shared by the siblings of a run.
    std::shared_ptr<StyleSheetFetches> m_styleSheets;
    struct Styling
    {
        BuiltPage page;
        QUrl url;
        std::optional<LoadFailure> failure;
        PageLimits sheetLimits;        // the page's limits, with the time it has left
        QHash<QUrl, QByteArray> sheets; // the sheets at hand, fetched or kept by the run
        QSet<QUrl> asked;               // every sheet asked for, at hand or not
        std::vector<std::unique_ptr<StyleSheetFetches::Wait>> waits;
        int pending = 0; // the sheets not at hand yet
        int imports = 0; // the sheets asked for that sheets import
    };
    std::optional<Styling> m_styling; // a page waiting for its sheets
    QTimer m_buildLimit; // a page still being built when it fires has taken too long
    QUrl m_building;     // the address of the page being built
    // Counts navigations, so that work queued for a dropped load is ignored.
    quint64 m_generation = 0;
    QElapsedTimer m_clock; // since Navigate: refreshes share its time limit
    qint64 m_queuedMs = 0; // of that time, spent waiting in the host's queue
    int m_refreshes = 0;   // meta refreshes followed since Navigate
    std::shared_ptr<const Document> m_document;
    QUrl m_url;
};

} // namespace pagrion
