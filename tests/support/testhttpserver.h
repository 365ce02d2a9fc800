#pragma once

#include <functional>
#include <memory>
#include <utility>

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>

class QSslConfiguration;

class QTcpSocket;

namespace pagrion::test {

// A small HTTP/1.1 server on 127.0.0.1 and a free port, answering from
// routes the test registers. Every answer closes its connection, unless the
// server is told to keep connections, and carries Content-Length unless its
// route sends the body chunked. A request for a
// path without a route gets 404 with an empty body. Routes can also play a
// hostile server: a body without end, a byte at a time, or cut short. It
// speaks TLS when given a certificate.
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
        // The body goes out in chunks (Transfer-Encoding: chunked).
        bool chunked = false;
        // The body is sent this many times over; 0 sends it without end
        // (chunked) until the client closes the connection.
        int repeat = 1;
        // The body goes out one byte at a time, this many milliseconds apart.
        int dripMs = 0;
        // The connection closes after this many bytes of the body, short of
        // what the header announced.
        qint64 cutAfter = -1;
        // The connection closes without any answer.
        bool noAnswer = false;
        // Sent again and again instead of an answer, until the client leaves:
        // interim answers or blank lines that never come to a status line.
        QByteArray endlessPreamble;
    };

    struct Request
    {
        QByteArray method;
        QString target; // path and query, as sent
        QHash<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;
        int connection = 0;     // the connection it came over, counted from 1
        qint64 receivedMs = 0;  // when the request was complete, on the server's clock
        qint64 answeredMs = -1; // when the answer began; -1 before then
    };

    explicit TestHttpServer(QObject *parent = nullptr);
    // The same over TLS with this configuration's certificate and key.
    explicit TestHttpServer(const QSslConfiguration &tls, QObject *parent = nullptr);
    ~TestHttpServer() override;

    bool isListening() const { return m_server->isListening(); }
    quint16 port() const { return m_server->serverPort(); }
    // The full address of a path on this server ("/a?b=1" gives http://127.0.0.1:port/a?b=1,
    // or https: over TLS).
    QString url(const QString &path) const;

    // An answer with this body and status.
    static Route page(const QByteArray &body, int status = 200,
                      const QByteArray &contentType = QByteArrayLiteral("text/html; charset=utf-8"));

    // A route answers requests whose path and query equal `path`, or whose
    // path alone does when no route has the query too.
    void setRoute(const QString &path, Route route);
    void setPage(const QString &path, const QByteArray &body,
                 const QByteArray &contentType = QByteArrayLiteral("text/html; charset=utf-8"), int delayMs = 0);
    void setRedirect(const QString &path, const QString &target, int status = 302);
    // The n-th request for the path gets the n-th route; the last answers all later ones.
    void setRoutes(const QString &path, QList<Route> routes);
    // Requests for the path (with any query) are answered from what they
    // carry: their cookies, a form's fields. Before any route of the path.
    using Responder = std::function<Route(const Request &request)>;
    void setResponder(const QString &path, Responder responder);
    // Keeps connections open for further requests; after answersPerConnection
    // answers (0: no end) a connection closes at its next request, unanswered.
    void setKeepAlive(bool keepAlive, int answersPerConnection = 0);

    // Requests for this path (with any query when the path has none).
    int requestCount(const QString &path) const;
    const QList<Request> &requests() const { return m_requests; }
    // The requests for a path (as requestCount counts them), in the order they came.
    QList<Request> requestsFor(const QString &path) const;
    // The most of these requests that were waiting for their answers at one moment.
    static int mostAtOnce(const QList<Request> &requests);

Q_SIGNALS:
    void requestReceived(const QString &target);
    // An answer has been handed to its connection, which closes once it is sent.
    void answered(const QString &target);

private:
    TestHttpServer(std::unique_ptr<QTcpServer> server, QObject *parent);
    void onNewConnection();
    struct Connection
    {
        int id = 0;
        QByteArray received;
        bool busy = false; // a request is being answered
        int answers = 0;
    };

    void readRequest(QTcpSocket *socket, const std::shared_ptr<Connection> &connection);
    void answer(QTcpSocket *socket, qsizetype request, Route route, const std::shared_ptr<Connection> &connection);
    Route routeFor(const Request &request);

    std::unique_ptr<QTcpServer> m_server;
    QElapsedTimer m_clock;
    QHash<QString, QList<Route>> m_routes;
    QHash<QString, Responder> m_responders;
    QHash<QString, int> m_answers; // requests answered per route key
    QList<Request> m_requests;
    bool m_keepAlive = false;
    int m_answersPerConnection = 0;
    int m_connectionCount = 0;
};

} // namespace pagrion::test
