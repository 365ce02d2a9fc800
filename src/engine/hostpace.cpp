#include "engine/hostpace.h"

#include <algorithm>

namespace pagrion {

bool LocalHostPace::paces(const QString &host, int pauseMs) const
{
    return !host.isEmpty() && (pauseMs > 0 || waitMs(host) > 0);
}

void LocalHostPace::book(const QString &host, int pauseMs, std::function<void(qint64)> answer)
{
    if (host.isEmpty()) {
        answer(0);
        return;
    }
    const qint64 now = m_clock.elapsed();
    const qint64 start = std::max(now, m_next.value(host, now));
    m_next.insert(host, start + std::max(pauseMs, 0));
    // Hosts whose next start has passed are forgotten now and then, so that
    // a run over many sites stays small.
    if (m_next.size() > m_sweepAtHosts) {
        m_next.removeIf([now](const auto &entry) { return entry.value() <= now; });
        m_sweepAtHosts = std::max<qsizetype>(SweepAtHosts, 2 * m_next.size());
    }
    answer(start - now);
}

void LocalHostPace::holdOff(const QString &host, qint64 forMs)
{
    if (host.isEmpty() || forMs <= 0)
        return;
    const qint64 until = m_clock.elapsed() + forMs;
    m_next.insert(host, std::max(m_next.value(host, until), until));
}

qint64 LocalHostPace::waitMs(const QString &host) const
{
    return std::max<qint64>(0, m_next.value(host, 0) - m_clock.elapsed());
}

} // namespace pagrion
