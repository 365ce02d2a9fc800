#include "engine/connectionpool.h"

#include <QSslSocket>
#include <QTcpSocket>

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

bool isSecure(const QUrl &url)
{
    return url.scheme().compare(u"https"_s, Qt::CaseInsensitive) == 0;
}

QString keyOf(const QUrl &url)
{
    return url.scheme().toLower() + u"://"_s + url.host().toLower() + u':'
        + QString::number(url.port(isSecure(url) ? 443 : 80));
}

void close(QAbstractSocket *socket)
{
    socket->disconnect();
    socket->abort();
    socket->deleteLater();
}

} // namespace

ConnectionPool::~ConnectionPool()
{
    for (const QList<Idle> &idle : std::as_const(m_idle)) {
        for (const Idle &connection : idle) {
            if (connection.socket)
                close(connection.socket);
        }
    }
}

ConnectionPool::Lease ConnectionPool::take(const QUrl &url, bool fresh)
{
    const auto waiting = fresh ? m_idle.end() : m_idle.find(keyOf(url));
    while (waiting != m_idle.end() && !waiting->isEmpty()) {
        const Idle connection = waiting->takeLast();
        if (!connection.socket)
            continue;
        if (connection.socket->state() != QAbstractSocket::ConnectedState
            || connection.since.hasExpired(IdleLimitMs) || connection.socket->bytesAvailable() > 0) {
            close(connection.socket);
            continue;
        }
        connection.socket->disconnect(this);
        connection.socket->setParent(nullptr);
        return {connection.socket, true};
    }

    const QString host = url.host(QUrl::FullyEncoded);
    if (isSecure(url)) {
        auto *socket = new QSslSocket;
        socket->connectToHostEncrypted(host, quint16(url.port(443)));
        return {socket, false};
    }
    auto *socket = new QTcpSocket;
    socket->connectToHost(host, quint16(url.port(80)));
    return {socket, false};
}

void ConnectionPool::giveBack(const QUrl &url, QAbstractSocket *socket)
{
    socket->disconnect();
    QList<Idle> &idle = m_idle[keyOf(url)];
    if (idle.size() >= IdlePerHost || socket->state() != QAbstractSocket::ConnectedState) {
        close(socket);
        return;
    }
    socket->setParent(this);
    // A server that closes a waiting connection, or says anything on it, ends its wait.
    connect(socket, &QAbstractSocket::disconnected, this, [this, socket] { forget(socket); });
    connect(socket, &QAbstractSocket::readyRead, this, [this, socket] { forget(socket); });
    Idle connection{socket, {}};
    connection.since.start();
    idle.append(connection);
}

void ConnectionPool::forget(QAbstractSocket *socket)
{
    for (QList<Idle> &idle : m_idle)
        idle.removeIf([socket](const Idle &connection) { return connection.socket == socket; });
    close(socket);
}

} // namespace pagrion
