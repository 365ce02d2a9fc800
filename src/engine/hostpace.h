#pragma once

#include <functional>

#include <QElapsedTimer>
#include <QHash>
#include <QString>

namespace pagrion {

// When requests may go to each host, for every load that holds the same
// pace: the browsers of one process, or every process of a run shared
// through a result server. A request books its start, which keeps the starts
// to a host a pause apart; a failure the host asks to wait out holds the host
// off for everyone.
class HostPace
{
public:
    virtual ~HostPace() = default;

    // Whether a request to the host need book its start at all: it need
    // when there is a pause to keep or a hold-off is known to be in force.
    virtual bool paces(const QString &host, int pauseMs) const = 0;
    // Books the next start for the host, at least pauseMs after the start
    // booked before it and not before a hold-off ends. answer receives the
    // wait from now, at once or later from the event loop; it is always
    // called, once.
    virtual void book(const QString &host, int pauseMs, std::function<void(qint64 waitMs)> answer) = 0;
    // Nothing is to go to the host for the next forMs: a Retry-After, or the
    // back-off after a failure that is retried.
    virtual void holdOff(const QString &host, qint64 forMs) = 0;
};

// The pace of the loads of one process, answered at once.
class LocalHostPace final : public HostPace
{
public:
    LocalHostPace() { m_clock.start(); }

    bool paces(const QString &host, int pauseMs) const override;
    void book(const QString &host, int pauseMs, std::function<void(qint64 waitMs)> answer) override;
    void holdOff(const QString &host, qint64 forMs) override;

    // The wait the next start to the host would have, without booking it.
    qint64 waitMs(const QString &host) const;

private:
    static constexpr qsizetype SweepAtHosts = 1024;

    QElapsedTimer m_clock;
    QHash<QString, qint64> m_next; // the earliest next start per host, on m_clock
    qsizetype m_sweepAtHosts = SweepAtHosts;
};

} // namespace pagrion
