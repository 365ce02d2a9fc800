#include "support/testhttpserver.h"

#include <algorithm>
#include <functional>
#include <memory>

#include <QSslServer>
#include <QTcpSocket>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace pagrion::test {

namespace {

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 307: return "Temporary Redirect";
    case 308: return "Permanent Redirect";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 429: return "Too Many Requests";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

QString pathOf(const QString &target)
{
    return target.left(target.indexOf(u'?'));
}

// Keeps a slow reader from piling an endless body up in memory.
constexpr qint64 HighWater = 256 * 1024;
constexpr qint64 PieceSize = 64 * 1024;

// A body on its way out over one connection.
struct Transfer
{
    TestHttpServer::Route route;
    bool chunked = false;
    qint64 total = -1; // -1: without end
    qint64 sent = 0;
    bool done = false;
    std::function<void()> whenSent; // the whole answer has been handed to the socket
};

void sendBody(QTcpSocket *socket, const std::shared_ptr<Transfer> &transfer)
{
    Transfer &t = *transfer;
    const QByteArray &body = t.route.body;
    while (!t.done && socket->bytesToWrite() < HighWater) {
        const qint64 left = t.total < 0 ? PieceSize : t.total - t.sent;
        if (t.route.cutAfter >= 0 && t.sent >= t.route.cutAfter) {
            t.done = true; // no final chunk, no rest of the announced length
            socket->disconnectFromHost();
            return;
        }
        if (left == 0) {
            if (t.chunked)
                socket->write("0\r\n\r\n");
            t.done = true;
            t.whenSent();
            return;
        }
        const qint64 offset = t.sent % body.size();
        const qint64 size = t.route.dripMs > 0 ? 1 : std::min({PieceSize, left, body.size() - offset});
        // A cut falls inside the piece: a chunk is announced whole but not sent whole.
        const qint64 sending = t.route.cutAfter >= 0 ? std::min(size, t.route.cutAfter - t.sent) : size;
        const QByteArray piece = body.mid(offset, sending);
        if (t.chunked)
            socket->write(QByteArray::number(size, 16) + "\r\n" + piece + (sending == size ? "\r\n" : ""));
        else
            socket->write(piece);
        t.sent += sending;
        if (t.route.dripMs > 0) {
            QTimer::singleShot(t.route.dripMs, socket, [socket, transfer] { sendBody(socket, transfer); });
            return;
        }
    }
}

} // namespace

TestHttpServer::TestHttpServer(QObject *parent) : TestHttpServer(std::make_unique<QTcpServer>(), parent) {}

TestHttpServer::TestHttpServer(const QSslConfiguration &tls, QObject *parent)
    : TestHttpServer(
          [&] {
              auto server = std::make_unique<QSslServer>();
              server->setSslConfiguration(tls);
              return server;
          }(),
          parent)
{
}

TestHttpServer::TestHttpServer(std::unique_ptr<QTcpServer> server, QObject *parent)
    : QObject(parent), m_server(std::move(server))
{
    // A TLS connection is handed over once its handshake is done.
    connect(m_server.get(), &QTcpServer::pendingConnectionAvailable, this, &TestHttpServer::onNewConnection);
    // Batch tests open hundreds of pages; a deep backlog keeps bursts from being refused.
    m_server->setListenBacklogSize(256);
    m_server->listen(QHostAddress::LocalHost, 0);
    m_clock.start();
}

TestHttpServer::~TestHttpServer() = default;

QString TestHttpServer::url(const QString &path) const
{
    const QString rooted = path.startsWith(u'/') ? path : u'/' + path;
    const QString scheme = qobject_cast<QSslServer *>(m_server.get()) ? u"https"_s : u"http"_s;
    return u"%1://127.0.0.1:%2%3"_s.arg(scheme).arg(port()).arg(rooted);
}

void TestHttpServer::setRoute(const QString &path, Route route)
{
    setRoutes(path, {std::move(route)});
}

void TestHttpServer::setRoutes(const QString &path, QList<Route> routes)
{
    m_routes.insert(path, std::move(routes));
    m_answers.remove(path);
}

TestHttpServer::Route TestHttpServer::page(const QByteArray &body, int status, const QByteArray &contentType)
{
    Route route;
    route.status = status;
    route.headers.append({QByteArrayLiteral("Content-Type"), contentType});
    route.body = body;
    return route;
}

void TestHttpServer::setPage(const QString &path, const QByteArray &body, const QByteArray &contentType, int delayMs)
{
    Route route = page(body, 200, contentType);
    route.delayMs = delayMs;
    setRoute(path, std::move(route));
}

void TestHttpServer::setRedirect(const QString &path, const QString &target, int status)
{
    Route route;
    route.status = status;
    route.redirectTo = target;
    setRoute(path, std::move(route));
}

int TestHttpServer::requestCount(const QString &path) const
{
    return int(requestsFor(path).size());
}

QList<TestHttpServer::Request> TestHttpServer::requestsFor(const QString &path) const
{
    const bool withQuery = path.contains(u'?');
    QList<Request> found;
    for (const Request &request : m_requests) {
        if (request.target == path || (!withQuery && pathOf(request.target) == path))
            found << request;
    }
    return found;
}

int TestHttpServer::mostAtOnce(const QList<Request> &requests)
{
    int most = 0;
    for (const Request &request : requests) {
        int atOnce = 0;
        for (const Request &other : requests)
            atOnce += other.receivedMs <= request.receivedMs && other.answeredMs > request.receivedMs;
        most = std::max(most, atOnce);
    }
    return most;
}

void TestHttpServer::setResponder(const QString &path, Responder responder)
{
    m_responders.insert(path, std::move(responder));
}

void TestHttpServer::setKeepAlive(bool keepAlive, int answersPerConnection)
{
    m_keepAlive = keepAlive;
    m_answersPerConnection = answersPerConnection;
}

void TestHttpServer::onNewConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        auto connection = std::make_shared<Connection>();
        connection->id = ++m_connectionCount;
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, connection] {
            connection->received.append(socket->readAll());
            readRequest(socket, connection);
        });
    }
}

// Requests may arrive in pieces: nothing is answered before the header and
// any announced body are complete. A connection reads its next request only
// once the answer to the last one is out, and only when it is kept alive.
void TestHttpServer::readRequest(QTcpSocket *socket, const std::shared_ptr<Connection> &connection)
{
    if (connection->busy)
        return;
    QByteArray &buffer = connection->received;
    const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return;

    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    const QList<QByteArray> requestLine = lines.constFirst().trimmed().split(' ');
    Request request;
    request.method = requestLine.value(0);
    request.target = QString::fromLatin1(requestLine.value(1));
    request.connection = connection->id;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines.at(i).indexOf(':');
        if (colon > 0)
            request.headers.insert(lines.at(i).left(colon).trimmed().toLower(), lines.at(i).mid(colon + 1).trimmed());
    }
    const qsizetype bodyLength = request.headers.value("content-length").toLongLong();
    if (buffer.size() < headerEnd + 4 + bodyLength)
        return;

    connection->busy = true;
    request.body = buffer.mid(headerEnd + 4, bodyLength);
    buffer.remove(0, headerEnd + 4 + bodyLength);
    request.receivedMs = m_clock.elapsed();
    m_requests.append(request);
    const qsizetype index = m_requests.size() - 1;
    Q_EMIT requestReceived(request.target);

    if (m_answersPerConnection > 0 && connection->answers >= m_answersPerConnection) {
        socket->disconnectFromHost(); // as a server does that closes a kept connection
        return;
    }
    ++connection->answers;
    Route route = routeFor(request);
    if (route.delayMs > 0) {
        // The socket is the timer's context: a client that gives up in the
        // meantime closes it, and nothing is answered.
        QTimer::singleShot(route.delayMs, socket,
                           [this, socket, index, route, connection] { answer(socket, index, route, connection); });
    } else {
        answer(socket, index, std::move(route), connection);
    }
}

void TestHttpServer::answer(QTcpSocket *socket, qsizetype request, Route route,
                            const std::shared_ptr<Connection> &connection)
{
    m_requests[request].answeredMs = m_clock.elapsed();
    const QString target = m_requests.at(request).target;
    if (route.noAnswer) {
        socket->disconnectFromHost();
        Q_EMIT answered(target);
        return;
    }
    if (!route.endlessPreamble.isEmpty()) {
        const QByteArray piece = route.endlessPreamble.repeated(std::max<qsizetype>(1, PieceSize / route.endlessPreamble.size()));
        const auto more = [socket, piece] {
            while (socket->bytesToWrite() < HighWater)
                socket->write(piece);
        };
        connect(socket, &QTcpSocket::bytesWritten, socket, more);
        more();
        Q_EMIT answered(target);
        return;
    }
    if (!route.redirectTo.isEmpty()) {
        if (route.status < 300 || route.status >= 400)
            route.status = 302;
        route.headers.append({QByteArrayLiteral("Location"), route.redirectTo.toUtf8()});
    }
    QByteArray response = "HTTP/1.1 " + QByteArray::number(route.status) + ' ' + reasonPhrase(route.status) + "\r\n";
    for (const auto &[name, value] : std::as_const(route.headers))
        response += name + ": " + value + "\r\n";
    auto transfer = std::make_shared<Transfer>();
    transfer->chunked = route.chunked || route.repeat <= 0;
    transfer->total = route.body.isEmpty() ? 0 : route.repeat > 0 ? route.body.size() * route.repeat : -1;
    transfer->route = std::move(route);
    if (m_keepAlive) {
        transfer->whenSent = [this, socket, connection] {
            connection->busy = false;
            QMetaObject::invokeMethod(socket, [this, socket, connection] { readRequest(socket, connection); },
                                      Qt::QueuedConnection);
        };
    } else {
        transfer->whenSent = [socket] { socket->disconnectFromHost(); };
    }
    if (transfer->chunked)
        response += "Transfer-Encoding: chunked\r\n";
    else
        response += "Content-Length: " + QByteArray::number(transfer->total) + "\r\n";
    socket->write(response + (m_keepAlive ? "\r\n" : "Connection: close\r\n\r\n"));
    if (transfer->route.dripMs <= 0)
        connect(socket, &QTcpSocket::bytesWritten, socket, [socket, transfer] { sendBody(socket, transfer); });
    sendBody(socket, transfer);
    Q_EMIT answered(target);
}

TestHttpServer::Route TestHttpServer::routeFor(const Request &request)
{
    const QString &target = request.target;
    if (const auto responder = m_responders.constFind(pathOf(target)); responder != m_responders.cend())
        return (*responder)(request);
    QString key = target;
    auto found = m_routes.constFind(key);
    if (found == m_routes.cend()) {
        key = pathOf(target);
        found = m_routes.constFind(key);
    }
    if (found == m_routes.cend()) {
        Route missing;
        missing.status = 404;
        return missing;
    }
    const int answered = m_answers[key]++;
    return found->at(std::min<qsizetype>(answered, found->size() - 1));
}

} // namespace pagrion::test
