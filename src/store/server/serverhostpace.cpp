#include "store/server/serverhostpace.h"

#include <QTimer>

#include "store/server/pgconnection.h"
#include "store/storelog.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

// A question not answered in this time is answered from the process's own
// pace: the server is then as good as away.
constexpr int AnswerWithinMs = 2'000;
// How long the process keeps its own pace before it asks the server again.
constexpr int AwayForMs = 30'000;

// The start booked is the host's next start as it was, or the end of its
// hold-off, or now, whichever is latest; the next start moves on by the
// pause. Every answer is a wait in whole milliseconds, rounded up.
const QString Book = u"insert into pagrion_pace as p (run, host, next_at) "
                     "values ($1, $2, now() + $3::integer * interval '1 millisecond') "
                     "on conflict (run, host) do update "
                     "set next_at = greatest(p.next_at, p.held_until, now()) + $3::integer * interval '1 millisecond' "
                     "returning greatest(0, ceil(extract(epoch from "
                     "(p.next_at - $3::integer * interval '1 millisecond' - now())) * 1000))::bigint"_s;
const QString Confirm = u"select coalesce(max(ceil(extract(epoch from (held_until - now())) * 1000)), 0)::bigint "
                        "from pagrion_pace where run = $1 and host = $2 and held_until > now()"_s;
const QString HoldOff = u"insert into pagrion_pace as p (run, host, next_at, held_until) "
                        "values ($1, $2, now(), now() + $3::bigint * interval '1 millisecond') "
                        "on conflict (run, host) do update set held_until = greatest(p.held_until, excluded.held_until) "
                        "returning 0"_s;

} // namespace

ServerHostPace::ServerHostPace(QString uri)
    : m_uri(std::move(uri))
    , m_thread([this] { work(); })
{
    m_clock.start();
}

ServerHostPace::~ServerHostPace()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
    // Loads still waiting for their start are not left waiting for ever.
    for (const Booking &booking : std::exchange(m_bookings, {}))
        booking.answer(m_known.waitMs(booking.host));
}

bool ServerHostPace::paces(const QString &host, int pauseMs) const
{
    return m_known.paces(host, pauseMs);
}

void ServerHostPace::book(const QString &host, int pauseMs, std::function<void(qint64)> answer)
{
    if (!m_run || host.isEmpty() || serverAway()) {
        answer(m_known.waitMs(host));
        return;
    }
    const quint64 booking = ++m_lastId;
    m_bookings.insert(booking, {host, std::max(pauseMs, 0), std::move(answer)});
    ask(Ask::Book, booking);
}

void ServerHostPace::holdOff(const QString &host, qint64 forMs)
{
    if (host.isEmpty() || forMs <= 0)
        return;
    m_known.holdOff(host, forMs);
    if (m_run && !serverAway())
        queue({Ask::HoldOff, 0, 0, *m_run, host, forMs, std::chrono::steady_clock::now()});
}

bool ServerHostPace::serverAway() const
{
    return m_awayUntilMs >= 0 && m_clock.elapsed() < m_awayUntilMs;
}

void ServerHostPace::ask(Ask ask, quint64 booking)
{
    Booking &asking = m_bookings[booking];
    asking.turn = ++m_lastId;
    queue({ask, booking, asking.turn, *m_run, asking.host, asking.pauseMs, std::chrono::steady_clock::now()});
    QTimer::singleShot(AnswerWithinMs, &m_receiver, [this, booking, turn = asking.turn] {
        if (const auto found = m_bookings.constFind(booking); found != m_bookings.cend() && found->turn == turn)
            leaveServer(u"%1 秒内没有回答"_s.arg(AnswerWithinMs / 1000));
    });
}

void ServerHostPace::queue(Job job)
{
    {
        const std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
    }
    m_wake.notify_one();
}

void ServerHostPace::work()
{
    std::unique_ptr<PgConnection> connection;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
        if (m_stopping)
            return;
        const Job job = std::move(m_jobs.front());
        m_jobs.pop_front();
        // One whose asker stopped waiting would book a start nobody takes.
        if (std::chrono::steady_clock::now() - job.asked > std::chrono::milliseconds(AnswerWithinMs))
            continue;
        lock.unlock();
        QString error;
        qint64 ms = 0;
        if (!connection) {
            if (auto opened = PgConnection::open(m_uri, true))
                connection = std::move(opened).value();
            else
                error = opened.error();
        }
        if (connection) {
            const QString &statement = job.ask == Ask::Book ? Book : job.ask == Ask::Confirm ? Confirm : HoldOff;
            const QVariantList values = job.ask == Ask::Confirm ? QVariantList{job.run, job.host}
                                                                : QVariantList{job.run, job.host, job.ms};
            if (const auto done = connection->exec(statement, values)) {
                ms = done.value().number(0, 0);
            } else {
                error = done.error();
                connection.reset();
            }
        }
        lock.lock();
        // Once stopping, the receiver may be going.
        if (m_stopping)
            return;
        if (!error.isEmpty()) {
            QMetaObject::invokeMethod(&m_receiver, [this, error] { leaveServer(error); }, Qt::QueuedConnection);
        } else if (job.booking != 0) {
            QMetaObject::invokeMethod(
                &m_receiver, [this, job, ms] { answered(job.ask, job.booking, job.turn, ms); }, Qt::QueuedConnection);
        }
    }
}

// A booked start that lies ahead is confirmed when it comes: a hold-off
// announced meanwhile sends the load back to book again, after it.
void ServerHostPace::answered(Ask question, quint64 booking, quint64 turn, qint64 ms)
{
    const auto found = m_bookings.find(booking);
    if (found == m_bookings.end() || found->turn != turn)
        return; // answered from the process's own pace meanwhile
    found->turn = 0;
    if (ms <= 0) {
        finish(booking, 0);
        return;
    }
    // While the host is held off or booked ahead, its loads here book too,
    // with or without a pause of their own.
    m_known.holdOff(found->host, ms);
    if (question == Ask::Confirm) {
        ask(Ask::Book, booking);
        return;
    }
    QTimer::singleShot(ms, Qt::PreciseTimer, &m_receiver, [this, booking] {
        if (m_bookings.contains(booking))
            ask(Ask::Confirm, booking);
    });
}

void ServerHostPace::finish(quint64 booking, qint64 waitMs)
{
    const Booking done = m_bookings.take(booking);
    done.answer(waitMs);
}

void ServerHostPace::leaveServer(const QString &why)
{
    if (!serverAway()) {
        qCWarning(lcStore).noquote()
            << u"结果服务器无法协调各进程对网站的访问间隔（%1），本进程暂时只按自己的请求保持间隔，%2 秒后再试。"_s.arg(why).arg(
                   AwayForMs / 1000);
    }
    m_awayUntilMs = m_clock.elapsed() + AwayForMs;
    for (const Booking &booking : std::exchange(m_bookings, {}))
        booking.answer(m_known.waitMs(booking.host));
}

} // namespace pagrion
