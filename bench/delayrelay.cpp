#include "bench/delayrelay.h"

#include <algorithm>
#include <deque>
#include <functional>

#include <QTcpSocket>
#include <QTimer>

namespace pagrion::bench {

namespace {

// A timer fires on a whole millisecond; what is due by then goes with it.
constexpr qint64 EarlyNs = 500'000;

// One direction of a relayed connection: what `from` sends reaches `to` once
// its time has come, in the order it came, and `from` closing closes `to`
// after the bytes before it.
class DelayedDirection final : public QObject
{
public:
    DelayedDirection(QTcpSocket *from, QTcpSocket *to, const QElapsedTimer &clock, qint64 delayNs,
                     qint64 notBeforeNs, QObject *parent)
        : QObject(parent)
        , m_from(from)
        , m_to(to)
        , m_clock(clock)
        , m_delayNs(delayNs)
        , m_notBeforeNs(notBeforeNs)
    {
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, &DelayedDirection::deliverDue);
        connect(from, &QTcpSocket::readyRead, this, &DelayedDirection::take);
        connect(from, &QTcpSocket::stateChanged, this, [this](QAbstractSocket::SocketState state) {
            if (state == QAbstractSocket::UnconnectedState)
                takeEnd();
        });
    }

    bool delivered() const { return m_delivered; }
    std::function<void()> onDelivered;

private:
    struct Piece
    {
        qint64 dueNs;
        QByteArray bytes; // null: the sender's end
    };

    void take()
    {
        if (const QByteArray bytes = m_from->readAll(); !bytes.isEmpty())
            queue(bytes);
    }

    void takeEnd()
    {
        if (m_ended)
            return;
        m_ended = true;
        take();
        queue(QByteArray());
    }

    void queue(const QByteArray &bytes)
    {
        m_pieces.push_back({std::max(m_clock.nsecsElapsed(), m_notBeforeNs) + m_delayNs, bytes});
        if (m_pieces.size() == 1)
            schedule();
    }

    void schedule()
    {
        const qint64 waitNs = m_pieces.front().dueNs - m_clock.nsecsElapsed();
        m_timer.start(int(std::max<qint64>(0, (waitNs + 999'999) / 1'000'000)));
    }

    void deliverDue()
    {
        const qint64 now = m_clock.nsecsElapsed();
        while (!m_pieces.empty() && m_pieces.front().dueNs <= now + EarlyNs) {
            const Piece piece = std::move(m_pieces.front());
            m_pieces.pop_front();
            if (piece.bytes.isNull()) {
                m_to->disconnectFromHost(); // after what is still buffered for it
                m_delivered = true;
                if (onDelivered)
                    onDelivered();
                return;
            }
            m_to->write(piece.bytes);
        }
        if (!m_pieces.empty())
            schedule();
    }

    QTcpSocket *m_from;
    QTcpSocket *m_to;
    const QElapsedTimer &m_clock;
    qint64 m_delayNs;
    qint64 m_notBeforeNs;
    std::deque<Piece> m_pieces;
    QTimer m_timer;
    bool m_ended = false;
    bool m_delivered = false;
};

} // namespace

DelayRelay::DelayRelay(quint16 targetPort, int oneWayMs, QObject *parent)
    : QObject(parent)
    , m_targetPort(targetPort)
    , m_oneWayNs(qint64(oneWayMs) * 1'000'000)
{
    m_clock.start();
    connect(&m_server, &QTcpServer::newConnection, this, &DelayRelay::onNewConnection);
    m_server.listen(QHostAddress::LocalHost);
}

void DelayRelay::onNewConnection()
{
    while (QTcpSocket *client = m_server.nextPendingConnection()) {
        // The connection owns both sockets and goes once both ends have closed.
        auto *connection = new QObject(this);
        client->setParent(connection);
        auto *server = new QTcpSocket(connection);
        // Bytes go out as soon as they are due, not when Nagle's algorithm lets them.
        client->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(server, &QTcpSocket::connected, server,
                [server] { server->setSocketOption(QAbstractSocket::LowDelayOption, 1); });
        const qint64 handshakeDone = m_clock.nsecsElapsed() + 2 * m_oneWayNs;
        auto *up = new DelayedDirection(client, server, m_clock, m_oneWayNs, handshakeDone, connection);
        auto *down = new DelayedDirection(server, client, m_clock, m_oneWayNs, 0, connection);
        const auto closeWhenDone = [connection, up, down] {
            if (up->delivered() && down->delivered())
                connection->deleteLater();
        };
        up->onDelivered = closeWhenDone;
        down->onDelivered = closeWhenDone;
        // Written while it connects, bytes wait in the socket's buffer.
        server->connectToHost(QHostAddress::LocalHost, m_targetPort);
    }
}

} // namespace pagrion::bench
