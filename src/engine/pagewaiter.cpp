#include "engine/pagewaiter.h"

#include <algorithm>
#include <limits>

#include <QEventLoop>
#include <QTimer>

#include "engine/browser.h"

namespace pagrion {

PageWaiter::PageWaiter(Browser &browser, QObject *parent)
    : QObject(parent)
    , m_browser(browser)
{
    connect(&m_browser, &Browser::DownloadComplete, this, &PageWaiter::onDownloadComplete);
    connect(&m_browser, &Browser::BusyChanged, this, &PageWaiter::progress);
}

void PageWaiter::navigate(const QString &address)
{
    m_browser.Navigate(address);
    m_pageLoaded = false;
    m_interrupted = false;
}

void PageWaiter::onDownloadComplete()
{
    // A completion that finds the browser still busy belongs to a part of the
    // page (a frame, a redirect); only one that finds it idle ends the load.
    if (!m_browser.Busy()) {
        m_pageLoaded = true;
        Q_EMIT progress();
    }
}

PageWaiter::WaitEnd PageWaiter::waitUntilLoaded()
{
    return wait([this] { return m_pageLoaded; });
}

PageWaiter::WaitEnd PageWaiter::waitWhileBusy()
{
    return wait([this] { return !m_browser.Busy(); });
}

void PageWaiter::interrupt()
{
    m_interrupted = true;
    if (m_loop)
        m_loop->quit();
    Q_EMIT interrupted();
}

PageWaiter::WaitEnd PageWaiter::wait(const std::function<bool()> &done)
{
    if (done())
        return WaitEnd::Loaded;
    if (m_interrupted)
        return WaitEnd::Interrupted;

    QEventLoop loop;
    QEventLoop *outer = m_loop;
    m_loop = &loop;
    bool timedOut = false;

    const auto checkDone = connect(this, &PageWaiter::progress, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    deadline.start(int(std::min<qint64>(m_browser.longestLoadMs() + GraceMs, std::numeric_limits<int>::max())));

    loop.exec();

    disconnect(checkDone);
    m_loop = outer;
    if (done())
        return WaitEnd::Loaded;
    if (m_interrupted)
        return WaitEnd::Interrupted;
    return timedOut ? WaitEnd::TimedOut : WaitEnd::Interrupted;
}

} // namespace pagrion
