#pragma once

#include <memory>
#include <optional>

#include <QObject>
#include <QString>

#include "engine/document.h"
#include "engine/enginekind.h"
#include "engine/loadpolicy.h"
#include "engine/loadresult.h"
#include "engine/pagelimits.h"

namespace pagrion {

// The embedded browser every page is loaded through.
//
// Navigate starts a load and returns at once; the events of that load are
// delivered later, from the event loop, never inside Navigate. When a load
// ends (successfully, with an error page, or at the time limit) Busy() turns
// false and DownloadComplete is emitted. A page that cannot be loaded is shown
// as the engine's own error document, so callers always find a document;
// failure() tells beside it that the load failed and why.
class Browser : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Browser)

public:
    static constexpr int DefaultTimeLimitMs = PageLimits::DefaultTimeLimitMs;

    using QObject::QObject;
    ~Browser() override = default;

    virtual EngineKind engine() const = 0;
    virtual void Navigate(const QString &address) = 0;
    virtual bool Busy() const { return m_busy; }
    // The document last loaded; an empty document before the first load.
    virtual std::shared_ptr<const Document> document() const = 0;
    // Why the last load failed ("HTTP 404", "超时"); nullopt when it loaded.
    // An HTTP error still shows a document: the page the server sent with
    // it, or the engine's error page when it sent none.
    const std::optional<LoadFailure> &failure() const { return m_failure; }
    // The longest a load may take before the browser ends it itself.
    virtual qint64 longestLoadMs() const { return m_limits.timeLimitMs; }

    // What one load may cost before it ends as failed.
    const PageLimits &limits() const { return m_limits; }
    void setLimits(const PageLimits &limits) { m_limits = limits; }
    int timeLimitMs() const { return m_limits.timeLimitMs; }
    void setTimeLimitMs(int limit) { m_limits.timeLimitMs = limit; }

    // How loads share the sites they visit: requests at once per host, the
    // pause between them, second tries. A single page keeps the default.
    const LoadPolicy &loadPolicy() const { return m_policy; }
    virtual void setLoadPolicy(const LoadPolicy &policy) { m_policy = policy; }
    // Whether pages fetch their images, fonts and media. A table's text
    // needs none of them, and a page waits for those it cannot reach.
    bool loadsMedia() const { return m_loadsMedia; }
    virtual void setLoadsMedia(bool loads) { m_loadsMedia = loads; }

    // A browser of the same engine with this one's settings, for loading
    // pages beside it: it shares the network state (cookies, connections,
    // the per-host queues that hold the policy). It must go before this
    // browser does. Null when the engine cannot load pages side by side.
    std::unique_ptr<Browser> sibling() const;

Q_SIGNALS:
    void DownloadComplete();
    // A page asks for a new window; a receiver sets *cancel to true to refuse it.
    void NewWindow2(bool *cancel);
    // Busy() changed; lets waiters sleep on the event loop instead of polling.
    void BusyChanged(bool busy);

protected:
    // For engines: a new browser for sibling(), which then gives it this
    // one's settings; null by default.
    virtual std::unique_ptr<Browser> makeSibling() const { return nullptr; }
    // For engines: a load has begun. Busy() is true at once; BusyChanged(true)
    // follows from the event loop, so nothing is emitted inside Navigate.
    void loadStarted();
    // The load has ended, failed when a failure is given: Busy() turns false,
    // BusyChanged(false) is emitted if BusyChanged(true) was, then DownloadComplete.
    void loadEnded(std::optional<LoadFailure> failure = std::nullopt);

private:
    void reportBusy();

    PageLimits m_limits;
    LoadPolicy m_policy;
    bool m_loadsMedia = true;
    std::optional<LoadFailure> m_failure;
    bool m_busy = false;
    bool m_reportedBusy = false;
};

} // namespace pagrion
