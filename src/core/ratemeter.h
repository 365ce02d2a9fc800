#pragma once

#include <deque>
#include <functional>
#include <optional>

#include <QtGlobal>

namespace pagrion {

// How fast a run goes and how long it still needs.
struct RunRate
{
    qint64 elapsedMs = 0;
    double pagesPerSecond = 0; // 0 until a page is done
    std::optional<qint64> remainingMs; // unknown until a page is done
};

// Measures the rate of a run from the moments its pages are done. The rate
// is taken over the last half minute (over the whole run until then), so a
// site that slows down shows in the time left soon, and a stalled run's
// rate falls while it waits.
class RateMeter final
{
public:
    // Milliseconds from any fixed moment; tests give a clock of their own.
    using Clock = std::function<qint64()>;

    static constexpr qint64 WindowMs = 30'000;

    explicit RateMeter(Clock clock = {});

    // The run starts now; the pages done so far are forgotten.
    void start();
    bool started() const { return m_started; }
    void pageDone();
    // The rate now, for a run with pagesLeft pages still to do.
    RunRate rate(int pagesLeft) const;

private:
    struct Sample
    {
        qint64 atMs;
        int done;
    };

    Clock m_clock;
    bool m_started = false;
    int m_done = 0;
    qint64 m_startMs = 0;
    // The oldest kept sample is the newest one at least WindowMs old.
    std::deque<Sample> m_samples;
};

} // namespace pagrion
