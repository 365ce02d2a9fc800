#include "engine/pageloader.h"

#include <algorithm>
#include <limits>

#include <QEventLoop>
#include <QTimer>

#include "engine/browser.h"

namespace pagrion {

PageLoader::PageLoader(Browser &browser, QObject *parent)
    : QObject(parent)
    , m_browser(browser)
{
    connect(&m_browser, &Browser::DownloadComplete, this, &PageLoader::onDownloadComplete);
    connect(&m_browser, &Browser::BusyChanged, this, &PageLoader::progress);
}

void PageLoader::navigate(const QString &address)
{
    m_browser.Navigate(address);
    m_pageLoaded = false;
    m_interrupted = false;
}

void PageLoader::onDownloadComplete()
{
    // A completion that finds the browser still busy belongs to a part of the
    // page (a frame, a redirect); only one that finds it idle ends the load.
    if (!m_browser.Busy()) {
        m_pageLoaded = true;
        Q_EMIT progress();
    }
}

PageLoader::WaitEnd PageLoader::waitUntilLoaded()
{
    return wait([this] { return m_pageLoaded; });
}

PageLoader::WaitEnd PageLoader::waitWhileBusy()
{
    return wait([this] { return !m_browser.Busy(); });
}

void PageLoader::interrupt()
{
    m_interrupted = true;
    if (m_loop)
        m_loop->quit();
    Q_EMIT interrupted();
}

PageLoader::WaitEnd PageLoader::wait(const std::function<bool()> &done)
{
    if (done())
        return WaitEnd::Loaded;
    if (m_interrupted)
        return WaitEnd::Interrupted;

    QEventLoop loop;
    QEventLoop *outer = m_loop;
    m_loop = &loop;
    bool timedOut = false;

    const auto checkDone = connect(this, &PageLoader::progress, &loop, [&] {
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
