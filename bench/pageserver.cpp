#include "bench/pageserver.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace pagrion::bench {

PageServer::PageServer(Pages pages, int delayMs, QObject *parent)
    : QObject(parent)
    , m_pages(std::move(pages))
    , m_delayMs(delayMs)
{
    connect(&m_server, &QTcpServer::newConnection, this, &PageServer::onNewConnection);
    m_server.listen(QHostAddress::LocalHost);
}

QString PageServer::url(const QString &path) const
{
    return u"http://127.0.0.1:%1%2"_s.arg(m_server.serverPort()).arg(path);
}

void PageServer::onNewConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            QByteArray received = socket->property("received").toByteArray() + socket->readAll();
            if (!received.contains("\r\n\r\n")) {
                socket->setProperty("received", received);
                return;
            }
            socket->setProperty("received", QByteArray());
            Q_EMIT requestReceived(++m_requests);
            const QList<QByteArray> requestLine = received.left(received.indexOf("\r\n")).split(' ');
            const QByteArray page = requestLine.size() >= 2 ? m_pages(requestLine[1]) : QByteArray();
            const QByteArray status = page.isNull() ? "404 Not Found" : "200 OK";
            const QByteArray answer = "HTTP/1.1 " + status
                + "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " + QByteArray::number(page.size())
                + "\r\nConnection: close\r\n\r\n" + page;
            QTimer::singleShot(m_delayMs, socket, [socket, answer] {
                socket->write(answer);
                socket->disconnectFromHost();
            });
        });
    }
}

} // namespace pagrion::bench
