#pragma once

#include <memory>

#include <QObject>
#include <QString>

#include "engine/document.h"
#include "engine/pagelimits.h"

namespace pagrion {

// The embedded browser every page is loaded through.
//
// Navigate starts a load and returns at once; the events of that load are
// delivered later, from the event loop, never inside Navigate. When a load
// ends (successfully, with an error page, or at the time limit) Busy() turns
// false and DownloadComplete is emitted. A page that cannot be loaded is shown
// as the engine's own error document, so callers always find a document.
class Browser : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Browser)

public:
    static constexpr int DefaultTimeLimitMs = PageLimits::DefaultTimeLimitMs;

    using QObject::QObject;
    ~Browser() override = default;

    virtual void Navigate(const QString &address) = 0;
    virtual bool Busy() const { return m_busy; }
    // The document last loaded; an empty document before the first load.
    virtual std::shared_ptr<const Document> document() const = 0;

    // What one load may cost before it ends as failed.
    const PageLimits &limits() const { return m_limits; }
    void setLimits(const PageLimits &limits) { m_limits = limits; }
    int timeLimitMs() const { return m_limits.timeLimitMs; }
    void setTimeLimitMs(int limit) { m_limits.timeLimitMs = limit; }

Q_SIGNALS:
    void DownloadComplete();
    // A page asks for a new window; a receiver sets *cancel to true to refuse it.
    void NewWindow2(bool *cancel);
    // Busy() changed; lets waiters sleep on the event loop instead of polling.
    void BusyChanged(bool busy);

protected:
    // For engines: a load has begun. Busy() is true at once; BusyChanged(true)
    // follows from the event loop, so nothing is emitted inside Navigate.
    void loadStarted();
    // The load has ended: Busy() turns false, BusyChanged(false) is emitted
    // if BusyChanged(true) was, then DownloadComplete.
    void loadEnded();

private:
    void reportBusy();

    PageLimits m_limits;
    bool m_busy = false;
    bool m_reportedBusy = false;
};

} // namespace pagrion
