#include "core/ratemeter.h"

#include <cmath>

#include <QElapsedTimer>

namespace pagrion {

namespace {

qint64 monotonicMs()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return clock.elapsed();
}

} // namespace

RateMeter::RateMeter(Clock clock) : m_clock(clock ? std::move(clock) : Clock(&monotonicMs))
{
}

void RateMeter::start()
{
    m_started = true;
    m_done = 0;
    m_startMs = m_clock();
    m_samples = {{m_startMs, 0}};
}

void RateMeter::pageDone()
{
    if (!m_started)
        start();
    ++m_done;
    const qint64 now = m_clock();
    m_samples.push_back({now, m_done});
    while (m_samples.size() > 1 && now - m_samples[1].atMs >= WindowMs)
        m_samples.pop_front();
}

RunRate RateMeter::rate(int pagesLeft) const
{
    RunRate rate;
    if (!m_started)
        return rate;
    const qint64 now = m_clock();
    rate.elapsedMs = now - m_startMs;
    const Sample &oldest = m_samples.front();
    const qint64 spanMs = now - oldest.atMs;
    const int doneInSpan = m_done - oldest.done;
    if (spanMs > 0 && doneInSpan > 0)
        rate.pagesPerSecond = doneInSpan * 1000.0 / double(spanMs);
    if (pagesLeft <= 0)
        rate.remainingMs = 0;
    else if (rate.pagesPerSecond > 0)
        rate.remainingMs = qint64(std::llround(pagesLeft * 1000.0 / rate.pagesPerSecond));
    return rate;
}

} // namespace pagrion
