#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>

class QAbstractSocket;

namespace pagrion {

// The connections of one download manager. A connection whose answer was
// read whole, and which the server keeps open, waits here for the next
// request to the same host, which then needs no new connection or TLS
// handshake.
class ConnectionPool final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ConnectionPool)

public:
    struct Lease
    {
        QAbstractSocket *socket = nullptr; // the caller's from now on
        bool reused = false;               // connected already; otherwise still connecting
    };

    using QObject::QObject;
    ~ConnectionPool() override;

    // A connection to the address's host: a waiting one unless fresh is asked
    // for, otherwise a new one that is being opened (with TLS for https).
    Lease take(const QUrl &url, bool fresh = false);
    // Keeps a connection for the next request to that host.
    void giveBack(const QUrl &url, QAbstractSocket *socket);

    // A connection kept longer than this is closed rather than used.
    static constexpr int IdleLimitMs = 30'000;
    static constexpr int IdlePerHost = 8;

private:
    struct Idle
    {
        QPointer<QAbstractSocket> socket;
        QElapsedTimer since;
    };

    void forget(QAbstractSocket *socket);

    QHash<QString, QList<Idle>> m_idle;
};

} // namespace pagrion
