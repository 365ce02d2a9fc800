#include "support/testproxy.h"

#include <QHostAddress>
#include <QtEndian>
#include <QTcpSocket>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace pagrion::test {

namespace {

const QByteArray BadGateway = "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";

QByteArray socksReply(char code)
{
    return QByteArray("\x05", 1) + code + QByteArray("\x00\x01\x00\x00\x00\x00\x00\x00", 8);
}

} // namespace

struct TestProxy::Client
{
    enum class Stage { Http, SocksGreeting, SocksLogin, SocksRequest, Passing };
    QTcpSocket *socket = nullptr;
    QTcpSocket *server = nullptr; // the way on, once it is open
    QByteArray received;
    Stage stage = Stage::Http;
};

TestProxy::TestProxy(QObject *parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::pendingConnectionAvailable, this, &TestProxy::onNewConnection);
    m_server.listen(QHostAddress::LocalHost, 0);
}

TestProxy::~TestProxy() = default;

QString TestProxy::url(const QString &scheme) const
{
    return u"%1://127.0.0.1:%2"_s.arg(scheme).arg(port());
}

void TestProxy::setCredentials(const QByteArray &user, const QByteArray &password)
{
    m_login = user + ':' + password;
}

QStringList TestProxy::passedTargets() const
{
    QStringList targets;
    for (const Passage &passage : m_passages) {
        if (passage.answer == 200)
            targets << passage.target;
    }
    return targets;
}

void TestProxy::onNewConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        auto client = std::make_shared<Client>();
        client->socket = socket;
        connect(socket, &QTcpSocket::readyRead, this, [this, client] {
            client->received += client->socket->readAll();
            if (client->server) {
                client->server->write(client->received);
                client->received.clear();
            } else {
                read(client);
            }
        });
    }
}

void TestProxy::read(const std::shared_ptr<Client> &client)
{
    if (client->stage == Client::Stage::Http && client->received.startsWith('\x05'))
        client->stage = Client::Stage::SocksGreeting;
    while (client->stage != Client::Stage::Passing
           && (client->stage == Client::Stage::Http ? readHttp(client) : readSocks(client))) {
    }
}

// True when a request was answered and the client may send another.
bool TestProxy::readHttp(const std::shared_ptr<Client> &client)
{
    const qsizetype end = client->received.indexOf("\r\n\r\n");
    if (end < 0)
        return false;
    const QList<QByteArray> lines = client->received.left(end).split('\n');
    client->received.remove(0, end + 4);
    const QList<QByteArray> requestLine = lines.constFirst().trimmed().split(' ');
    Passage passage{requestLine.value(0), QString::fromLatin1(requestLine.value(1)), {}, 0};
    QByteArray forwarded;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        const QByteArray name = line.left(line.indexOf(':')).trimmed().toLower();
        passage.headers.insert(name, line.mid(line.indexOf(':') + 1).trimmed());
        if (!name.startsWith("proxy-") && name != "connection" && name != "keep-alive")
            forwarded += line + "\r\n";
    }
    QTcpSocket *socket = client->socket;
    if (!m_login.isEmpty() && passage.headers.value("proxy-authorization") != "Basic " + m_login.toBase64()) {
        passage.answer = 407;
        record(passage);
        socket->write("HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic realm=\"test\"\r\n"
                      "Content-Length: 0\r\n\r\n");
        return true;
    }
    client->stage = Client::Stage::Passing;
    if (m_refusing) {
        passage.answer = 403;
        record(passage);
        socket->write("HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        socket->disconnectFromHost();
        return false;
    }
    if (passage.method == "CONNECT") {
        const QUrl authority(u"//"_s + passage.target);
        open(client, record(passage), authority.host(), quint16(authority.port()),
             "HTTP/1.1 200 Connection established\r\n\r\n", {}, BadGateway);
        return false;
    }
    // The server gets the request as if it came straight from the client,
    // and closes the connection after its answer, which ends the client's too.
    const QUrl address(passage.target);
    const QByteArray request = passage.method + ' ' + address.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority)
        + " HTTP/1.1\r\n" + forwarded + "Connection: close\r\n\r\n";
    open(client, record(passage), address.host(), quint16(address.port(80)), {}, request, BadGateway);
    return false;
}

// True when a step of the exchange was complete.
bool TestProxy::readSocks(const std::shared_ptr<Client> &client)
{
    QByteArray &in = client->received;
    QTcpSocket *socket = client->socket;
    const auto byteAt = [&](qsizetype i) { return quint8(in.at(i)); };
    switch (client->stage) {
    case Client::Stage::SocksGreeting: {
        if (in.size() < 2 || in.size() < 2 + byteAt(1))
            return false;
        const char wanted = m_login.isEmpty() ? '\x00' : '\x02';
        const bool offered = in.mid(2, byteAt(1)).contains(wanted);
        in.remove(0, 2 + byteAt(1));
        socket->write(QByteArray("\x05", 1) + (offered ? wanted : '\xff'));
        if (!offered) {
            record({"SOCKS5", QString(), {}, 407});
            socket->disconnectFromHost();
            client->stage = Client::Stage::Passing;
            return false;
        }
        client->stage = m_login.isEmpty() ? Client::Stage::SocksRequest : Client::Stage::SocksLogin;
        return true;
    }
    case Client::Stage::SocksLogin: {
        if (in.size() < 2 || in.size() < 3 + byteAt(1) || in.size() < 3 + byteAt(1) + byteAt(2 + byteAt(1)))
            return false;
        const int userLength = byteAt(1);
        const int passwordLength = byteAt(2 + userLength);
        const QByteArray login = in.mid(2, userLength) + ':' + in.mid(3 + userLength, passwordLength);
        in.remove(0, 3 + userLength + passwordLength);
        const bool accepted = login == m_login;
        socket->write(accepted ? QByteArray("\x01\x00", 2) : QByteArray("\x01\x01", 2));
        if (!accepted) {
            record({"SOCKS5", QString(), {}, 407});
            socket->disconnectFromHost();
            client->stage = Client::Stage::Passing;
            return false;
        }
        client->stage = Client::Stage::SocksRequest;
        return true;
    }
    default:
        break;
    }
    // VER CMD RSV ATYP, then the address (4 bytes, a name after its length,
    // or 16 bytes) and the port.
    if (in.size() < 5)
        return false;
    const int addressType = byteAt(3);
    const qsizetype addressLength = addressType == 1 ? 4 : addressType == 4 ? 16 : 1 + byteAt(4);
    if (in.size() < 4 + addressLength + 2)
        return false;
    QString host;
    if (addressType == 3)
        host = QString::fromLatin1(in.mid(5, byteAt(4)));
    else if (addressType == 1)
        host = QHostAddress(qFromBigEndian<quint32>(in.constData() + 4)).toString();
    else
        host = QHostAddress(reinterpret_cast<const quint8 *>(in.constData() + 4)).toString();
    const quint16 port = qFromBigEndian<quint16>(in.constData() + 4 + addressLength);
    in.remove(0, 4 + addressLength + 2);
    client->stage = Client::Stage::Passing;
    Passage passage{"SOCKS5", u"%1:%2"_s.arg(host).arg(port), {}, 0};
    if (m_refusing) {
        passage.answer = 403;
        record(passage);
        socket->write(socksReply('\x02'));
        socket->disconnectFromHost();
        return false;
    }
    open(client, record(passage), host, port, socksReply('\x00'), {}, socksReply('\x04'));
    return false;
}

void TestProxy::open(const std::shared_ptr<Client> &client, qsizetype passage, const QString &host, quint16 port,
                     const QByteArray &greeting, const QByteArray &forward, const QByteArray &failure)
{
    QTcpSocket *socket = client->socket;
    const QHostAddress address = m_hosts.contains(host.toLower()) || host.compare(u"localhost"_s, Qt::CaseInsensitive) == 0
        ? QHostAddress(QHostAddress::LocalHost)
        : QHostAddress(host);
    const auto fail = [this, socket, passage, failure] {
        m_passages[passage].answer = 502;
        socket->write(failure);
        socket->disconnectFromHost();
    };
    if (address.isNull()) {
        fail();
        return;
    }
    // A child of the client's socket, it goes with that.
    auto *server = new QTcpSocket(socket);
    connect(server, &QTcpSocket::errorOccurred, socket, [server, fail] {
        if (server->property("open").toBool())
            return;
        fail();
    });
    connect(server, &QTcpSocket::connected, socket, [this, client, server, passage, greeting, forward] {
        server->setProperty("open", true);
        m_passages[passage].answer = 200;
        client->socket->write(greeting);
        server->write(forward + client->received);
        client->received.clear();
        client->server = server;
        connect(server, &QTcpSocket::readyRead, client->socket, [client] { client->socket->write(client->server->readAll()); });
        connect(server, &QTcpSocket::disconnected, client->socket, [client] { client->socket->disconnectFromHost(); });
        connect(client->socket, &QTcpSocket::disconnected, server, [server] { server->disconnectFromHost(); });
    });
    server->connectToHost(address, port);
}

qsizetype TestProxy::record(Passage passage)
{
    m_passages.append(std::move(passage));
    return m_passages.size() - 1;
}

} // namespace pagrion::test
