#include "core/workbudget.h"

#include <atomic>

namespace pagrion {

namespace {

std::atomic<unsigned> stopGeneration{0};
static_assert(std::atomic<unsigned>::is_always_lock_free, "stop requests come from signal handlers");

constexpr qint64 AskEveryMs = 100;

} // namespace

WorkBudget::WorkBudget(int timeLimitMs, std::function<bool()> stopAsked)
    : m_deadline(timeLimitMs > 0 ? QDeadlineTimer(timeLimitMs) : QDeadlineTimer(QDeadlineTimer::Forever))
    , m_timeLimitMs(timeLimitMs)
    , m_stopGeneration(stopGeneration.load(std::memory_order_relaxed))
    , m_stopAsked(std::move(stopAsked))
{
    m_lastAsked.start();
}

std::optional<WorkBudget::End> WorkBudget::ended() const
{
    if (stopGeneration.load(std::memory_order_relaxed) != m_stopGeneration)
        return End::Stopped;
    if (m_stopAsked && m_lastAsked.elapsed() >= AskEveryMs) {
        m_lastAsked.restart();
        if (m_stopAsked())
            return End::Stopped;
    }
    if (m_deadline.hasExpired())
        return End::TimedOut;
    return std::nullopt;
}

void WorkBudget::check() const
{
    if (const std::optional<End> end = ended())
        throw WorkEnded(*end);
}

void interruptWork()
{
    stopGeneration.fetch_add(1, std::memory_order_relaxed);
}

} // namespace pagrion
