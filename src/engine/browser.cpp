#include "engine/browser.h"

namespace pagrion {

std::unique_ptr<Browser> Browser::sibling() const
{
    std::unique_ptr<Browser> browser = makeSibling();
    if (browser) {
        browser->setLimits(m_limits);
        browser->setLoadPolicy(m_policy);
        browser->setLoadsMedia(m_loadsMedia);
    }
    return browser;
}

void Browser::loadStarted()
{
    if (m_busy)
        return;
    m_busy = true;
    QMetaObject::invokeMethod(this, &Browser::reportBusy, Qt::QueuedConnection);
}

void Browser::loadEnded(std::optional<LoadFailure> failure)
{
    m_failure = std::move(failure);
    m_busy = false;
    if (m_reportedBusy) {
        m_reportedBusy = false;
        Q_EMIT BusyChanged(false);
    }
    Q_EMIT DownloadComplete();
}

void Browser::reportBusy()
{
    if (m_busy != m_reportedBusy) {
        m_reportedBusy = m_busy;
        Q_EMIT BusyChanged(m_busy);
    }
}

} // namespace pagrion
