#pragma once

#include <functional>

#include <QObject>
#include <QString>

class QEventLoop;

namespace pagrion {

class Browser;

// The page-load protocol of a window that owns a browser: navigating clears
// the window's PageLoaded flag, and a DownloadComplete that finds the browser
// idle raises it again. The waits run a local event loop so the window stays
// alive, and every wait ends at the latest a little after the longest load
// the browser allows, so no command can hang on a browser that never answers.
class PageWaiter final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PageWaiter)

public:
    enum class WaitEnd { Loaded, Interrupted, TimedOut };

    explicit PageWaiter(Browser &browser, QObject *parent = nullptr);

    Browser &browser() const { return m_browser; }
    bool PageLoaded() const { return m_pageLoaded; }

    // Navigate, then clear PageLoaded: the browser reports nothing from
    // inside Navigate, so no completion of this load can be missed.
    void navigate(const QString &address);

    // Runs events until PageLoaded is true, interrupt() is called or the
    // deadline passes.
    WaitEnd waitUntilLoaded();
    // Runs events while the browser is busy, with the same exits.
    WaitEnd waitWhileBusy();

    // Ends the wait under way and any wait that follows before the next
    // navigation (the stop button's way in: a stopped load is not waited for).
    void interrupt();

    // Time a wait allows beyond the browser's longest load.
    static constexpr int GraceMs = 2'000;

Q_SIGNALS:
    // Something a waiter may care about changed (the flag or Busy).
    void progress();
    // interrupt() was called: loads beside this one end their waits too.
    void interrupted();

private:
    void onDownloadComplete();
    WaitEnd wait(const std::function<bool()> &done);

    Browser &m_browser;
    bool m_pageLoaded = false;
    bool m_interrupted = false;
    QEventLoop *m_loop = nullptr;
};

} // namespace pagrion
