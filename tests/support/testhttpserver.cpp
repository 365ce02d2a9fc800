#include "support/testhttpserver.h"

#include <memory>

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
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

QString pathOf(const QString &target)
{
    return target.left(target.indexOf(u'?'));
}

} // namespace

TestHttpServer::TestHttpServer(QObject *parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &TestHttpServer::onNewConnection);
    // Batch tests open hundreds of pages; a deep backlog keeps bursts from being refused.
    m_server.setListenBacklogSize(256);
    m_server.listen(QHostAddress::LocalHost, 0);
}

QString TestHttpServer::url(const QString &path) const
{
    const QString rooted = path.startsWith(u'/') ? path : u'/' + path;
    return u"http://127.0.0.1:%1%2"_s.arg(port()).arg(rooted);
}

void TestHttpServer::setRoute(const QString &path, Route route)
{
    m_routes.insert(path, std::move(route));
}

void TestHttpServer::setPage(const QString &path, const QByteArray &body, const QByteArray &contentType, int delayMs)
{
    Route route;
    route.headers.append({QByteArrayLiteral("Content-Type"), contentType});
    route.body = body;
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
    const bool withQuery = path.contains(u'?');
    int count = 0;
    for (const Request &request : m_requests) {
        if (request.target == path || (!withQuery && pathOf(request.target) == path))
            ++count;
    }
    return count;
}

void TestHttpServer::onNewConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        auto connection = std::make_shared<Connection>();
        connect(socket, &QTcpSocket::readyRead, this,
                [this, socket, connection] { readRequest(socket, *connection); });
    }
}

// Requests may arrive in pieces: nothing is answered before the header and
// any announced body are complete, and one request per connection is read.
void TestHttpServer::readRequest(QTcpSocket *socket, Connection &connection)
{
    if (connection.requestRead) {
        socket->readAll();
        return;
    }
    QByteArray &buffer = connection.received;
    buffer.append(socket->readAll());
    const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return;

    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    const QList<QByteArray> requestLine = lines.constFirst().trimmed().split(' ');
    Request request;
    request.method = requestLine.value(0);
    request.target = QString::fromLatin1(requestLine.value(1));
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines.at(i).indexOf(':');
        if (colon > 0)
            request.headers.insert(lines.at(i).left(colon).trimmed().toLower(), lines.at(i).mid(colon + 1).trimmed());
    }
    const qsizetype bodyLength = request.headers.value("content-length").toLongLong();
    if (buffer.size() < headerEnd + 4 + bodyLength)
        return;

    connection.requestRead = true;
    buffer.clear();
    m_requests.append(request);
    Q_EMIT requestReceived(request.target);

    Route route;
    if (const Route *found = routeFor(request.target))
        route = *found;
    else
        route.status = 404;
    if (route.delayMs > 0) {
        // The socket is the timer's context: a client that gives up in the
        // meantime closes it, and nothing is answered.
        QTimer::singleShot(route.delayMs, socket,
                           [this, socket, target = request.target, route] { answer(socket, target, route); });
    } else {
        answer(socket, request.target, std::move(route));
    }
}

void TestHttpServer::answer(QTcpSocket *socket, const QString &target, Route route)
{
    if (!route.redirectTo.isEmpty()) {
        if (route.status < 300 || route.status >= 400)
            route.status = 302;
        route.headers.append({QByteArrayLiteral("Location"), route.redirectTo.toUtf8()});
    }
    QByteArray response = "HTTP/1.1 " + QByteArray::number(route.status) + ' ' + reasonPhrase(route.status) + "\r\n";
    for (const auto &[name, value] : std::as_const(route.headers))
        response += name + ": " + value + "\r\n";
    response += "Content-Length: " + QByteArray::number(route.body.size()) + "\r\nConnection: close\r\n\r\n";
    response += route.body;
    socket->write(response);
    socket->disconnectFromHost();
    Q_EMIT answered(target);
}

const TestHttpServer::Route *TestHttpServer::routeFor(const QString &target) const
{
    if (const auto exact = m_routes.constFind(target); exact != m_routes.cend())
        return &*exact;
    if (const auto byPath = m_routes.constFind(pathOf(target)); byPath != m_routes.cend())
        return &*byPath;
    return nullptr;
}

} // namespace pagrion::test
