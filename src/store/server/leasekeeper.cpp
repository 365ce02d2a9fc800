#include "store/server/leasekeeper.h"

#include <chrono>
#include <memory>

#include "store/server/pgconnection.h"

using namespace Qt::StringLiterals;

namespace pagrion {

LeaseKeeper::LeaseKeeper(QString uri, QString owner, int leaseMs)
    : m_uri(std::move(uri))
    , m_owner(std::move(owner))
    , m_leaseMs(leaseMs)
    , m_thread([this] { keep(); })
{
}

LeaseKeeper::~LeaseKeeper()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void LeaseKeeper::keep()
{
    std::unique_ptr<PgConnection> connection;
    const auto every = std::chrono::milliseconds(std::max(m_leaseMs / 3, 100));
    std::unique_lock lock(m_mutex);
    while (!m_wake.wait_for(lock, every, [this] { return m_stopping; })) {
        lock.unlock();
        // A connection that failed is simply opened again at the next turn:
        // the lease is long enough to miss one.
        if (!connection) {
            if (auto opened = PgConnection::open(m_uri))
                connection = std::move(opened).value();
        }
        if (connection) {
            const auto renewed = connection->exec(
                u"update pagrion_page set lease_until = now() + $2 * interval '1 millisecond' "
                "where lease_owner = $1 and state = 'pending'"_s,
                {m_owner, m_leaseMs});
            const auto seen = connection->exec(
                u"insert into pagrion_worker (id, host, pid) values ($1, split_part($1, ':', 1), split_part($1, ':', 2)::integer) "
                "on conflict (id) do update set seen = now()"_s,
                {m_owner});
            if (!renewed || !seen)
                connection.reset();
        }
        lock.lock();
    }
}

} // namespace pagrion
