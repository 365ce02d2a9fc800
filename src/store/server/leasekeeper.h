#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

#include <QString>

namespace pagrion {

// Renews this process's claims on a thread and a connection of its own, a
// third of the lease at a time, so a page that takes long to handle keeps
// its claim while the process lives, and loses it a lease after the process
// died or lost the server. The thread also tells the server the process is
// working, for the count of active workers.
class LeaseKeeper final
{
public:
    LeaseKeeper(QString uri, QString owner, int leaseMs);
    // Stops renewing at once; the claims are given back by their store.
    ~LeaseKeeper();
    LeaseKeeper(const LeaseKeeper &) = delete;
    LeaseKeeper &operator=(const LeaseKeeper &) = delete;

private:
    void keep();

    const QString m_uri;
    const QString m_owner;
    const int m_leaseMs;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace pagrion
