#pragma once

#include <utility>

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>

class QTcpSocket;

namespace pagrion::test {

// A small HTTP/1.1 server on 127.0.0.1 and a free port, answering from
// routes the test registers. Every answer closes its connection and carries
// Content-Length. A request for a path without a route gets 404 with an empty
// body.
class TestHttpServer final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TestHttpServer)

public:
    struct Route
    {
        int status = 200;
        QList<std::pair<QByteArray, QByteArray>> headers;
        QByteArray body;
        // How long the server waits before it answers.
        int delayMs = 0;
        // When set, the answer is a redirect there (302 unless status is 3xx).
        QString redirectTo;
    };

    struct Request
    {
        QByteArray method;
        QString target; // path and query, as sent
        QHash<QByteArray, QByteArray> headers; // names in lower case
    };

    explicit TestHttpServer(QObject *parent = nullptr);

    bool isListening() const { return m_server.isListening(); }
    quint16 port() const { return m_server.serverPort(); }
    // The full address of a path on this server ("/a?b=1" gives http://127.0.0.1:port/a?b=1).
    QString url(const QString &path) const;

    // A route answers requests whose path and query equal `path`, or whose
    // path alone does when no route has the query too.
    void setRoute(const QString &path, Route route);
    void setPage(const QString &path, const QByteArray &body,
                 const QByteArray &contentType = QByteArrayLiteral("text/html; charset=utf-8"), int delayMs = 0);
    void setRedirect(const QString &path, const QString &target, int status = 302);

    // Requests for this path (with any query when the path has none).
    int requestCount(const QString &path) const;
    const QList<Request> &requests() const { return m_requests; }

Q_SIGNALS:
    void requestReceived(const QString &target);
    // An answer has been handed to its connection, which closes once it is sent.
    void answered(const QString &target);

private:
    void onNewConnection();
    struct Connection
    {
        QByteArray received;
        bool requestRead = false;
    };

    void readRequest(QTcpSocket *socket, Connection &connection);
    void answer(QTcpSocket *socket, const QString &target, Route route);
    const Route *routeFor(const QString &target) const;

    QTcpServer m_server;
    QHash<QString, Route> m_routes;
    QList<Request> m_requests;
};

} // namespace pagrion::test
