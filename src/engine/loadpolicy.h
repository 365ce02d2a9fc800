#pragma once

#include <algorithm>
#include <memory>

#include <QtGlobal>

namespace pagrion {

class HostPace;

// How the loads of one run share the sites they visit. Each is a setting
// with the default below: one request at a time, no pause, no second try,
// as a single page is opened; a batch run sets its own.
struct LoadPolicy
{
    static constexpr int DefaultFirstBackoffMs = 1'000;
    static constexpr int DefaultMaxBackoffMs = 60'000;

    int concurrency = 1; // requests in flight per host
    int delayMs = 0;     // least time between the starts of two requests to one host
    // Further attempts after a failure that often passes by itself: HTTP 429,
    // 500, 502, 503, 504, a timeout, a broken connection.
    int retries = 0;
    // The wait before retry n is firstBackoffMs * 2^(n-1), at most maxBackoffMs,
    // or the server's Retry-After when that is longer. A server that asks for
    // a longer wait than maxBackoffMs is not tried again.
    int firstBackoffMs = DefaultFirstBackoffMs;
    int maxBackoffMs = DefaultMaxBackoffMs;
    // The pauses and hold-offs kept together with other processes (those of
    // a run shared through a result server); unset, each process keeps its own.
    std::shared_ptr<HostPace> sharedPace = nullptr;

    // The back-off before the retry that follows attempt number `attempt` (from 1).
    qint64 backoffMs(int attempt) const
    {
        const int shift = std::clamp(attempt - 1, 0, 30);
        return std::min<qint64>(qint64(std::max(firstBackoffMs, 0)) << shift, std::max(maxBackoffMs, 0));
    }
    // The longest wait between two attempts, Retry-After included.
    qint64 longestWaitMs() const { return std::max(maxBackoffMs, 0); }
};

} // namespace pagrion
