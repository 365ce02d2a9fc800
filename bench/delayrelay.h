#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTcpServer>

namespace pagrion::bench {

// A TCP relay on 127.0.0.1 to a local port that holds every byte for a fixed
// time on its way in either direction, standing in for the network between a
// user and a distant site: the kernel here cannot delay packets itself. The
// bytes a new connection sends first also wait a round trip more, the one
// TCP's handshake costs on a real network (here the kernel answers it at
// once). It runs in this process's event loop.
class DelayRelay final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DelayRelay)

public:
    DelayRelay(quint16 targetPort, int oneWayMs, QObject *parent = nullptr);

    bool isListening() const { return m_server.isListening(); }
    quint16 port() const { return m_server.serverPort(); }

private:
    void onNewConnection();

    quint16 m_targetPort;
    qint64 m_oneWayNs;
    QElapsedTimer m_clock;
    QTcpServer m_server;
};

} // namespace pagrion::bench
