#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

#include <QElapsedTimer>
#include <QHash>
#include <QObject>

#include "engine/hostpace.h"

namespace pagrion {

// The pace of a run on a result server, kept by every process working on it
// together: a host's next start and hold-off are a row of the server's,
// moved on in one statement and read on the server's clock, so that the
// machines' own clocks do not matter. A start booked ahead is confirmed when
// it comes, so that a hold-off announced meanwhile by any process still
// holds it back. The server is asked on a thread and a connection of the
// pace's own, and only when there is a pause or a hold-off to keep. A
// server that does not answer in time leaves each process to its own pace
// for a while, which the log says.
class ServerHostPace final : public HostPace
{
public:
    explicit ServerHostPace(QString uri);
    ~ServerHostPace() override;
    Q_DISABLE_COPY_MOVE(ServerHostPace)

    // The run whose pace this is; until it is known, the process keeps its own.
    void useRun(qint64 run) { m_run = run; }

    bool paces(const QString &host, int pauseMs) const override;
    // Answers once the start has come: with no wait, or with this process's
    // own wait when the server is away.
    void book(const QString &host, int pauseMs, std::function<void(qint64 waitMs)> answer) override;
    void holdOff(const QString &host, qint64 forMs) override;

private:
    // What the thread takes to the server: each answers with milliseconds.
    enum class Ask { Book, Confirm, HoldOff };
    struct Job
    {
        Ask ask = Ask::Book;
        quint64 booking = 0;
        quint64 turn = 0;
        qint64 run = 0;
        QString host;
        qint64 ms = 0; // the pause of a booking, the length of a hold-off
        std::chrono::steady_clock::time_point asked;
    };
    struct Booking
    {
        QString host;
        int pauseMs = 0;
        std::function<void(qint64)> answer;
        quint64 turn = 0; // the question out for it, 0 while none is
    };

    bool serverAway() const;
    void ask(Ask ask, quint64 booking);
    void queue(Job job);
    void work();
    void answered(Ask question, quint64 booking, quint64 turn, qint64 ms);
    void finish(quint64 booking, qint64 waitMs);
    // Answers every booking waiting from this process's own pace.
    void leaveServer(const QString &why);

    const QString m_uri;
    std::optional<qint64> m_run;
    // The hold-offs this process knows of: its own and those the server
    // answered with; all of its pace while the server is away.
    LocalHostPace m_known;
    QElapsedTimer m_clock;
    qint64 m_awayUntilMs = -1; // on m_clock
    quint64 m_lastId = 0;   // of bookings and questions alike
    QHash<quint64, Booking> m_bookings; // not answered yet
    QObject m_receiver; // the thread's answers come to this one's through it

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Job> m_jobs;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace pagrion
