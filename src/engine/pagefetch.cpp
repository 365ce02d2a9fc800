#include "engine/pagefetch.h"

#include <QFile>
#include <QFileInfo>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QSslSocket>
#include <QTcpSocket>

#include "engine/bodydecoder.h"
#include "engine/connectionpool.h"
#include "engine/pageaddress.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

// A chain that comes back to an address a third time goes round in circles;
// twice is allowed, since sites send a reader away to set a cookie and back.
constexpr int LoopVisits = 3;

bool isRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

QByteArray requestHead(const QUrl &url, QNetworkCookieJar &cookies)
{
    QByteArray target = url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
    if (!target.startsWith('/'))
        target.prepend('/');
    QByteArray head = "GET " + target + " HTTP/1.1\r\nHost: "
        + url.adjusted(QUrl::RemoveUserInfo).authority(QUrl::FullyEncoded).toLatin1()
        + "\r\nUser-Agent: Mozilla/5.0 (Windows NT 10.0; Win64; x64) Pagrion/1.0"
          "\r\nAccept: text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8"
          "\r\nAccept-Language: zh-CN,zh;q=0.9,en;q=0.5"
          "\r\nAccept-Encoding: gzip, deflate\r\n";
    QByteArrayList pairs;
    for (const QNetworkCookie &cookie : cookies.cookiesForUrl(url))
        pairs << cookie.toRawForm(QNetworkCookie::NameAndValueOnly);
    if (!pairs.isEmpty())
        head += "Cookie: " + pairs.join("; ") + "\r\n";
    if (!url.userName().isEmpty()) {
        const QByteArray credentials = url.userName().toUtf8() + ':' + url.password().toUtf8();
        head += "Authorization: Basic " + credentials.toBase64() + "\r\n";
    }
    return head + "Connection: keep-alive\r\n\r\n";
}

} // namespace

PageFetch::PageFetch(ConnectionPool &connections, QNetworkCookieJar &cookies, PageRequest request, QObject *parent)
    : QObject(parent), m_connections(connections), m_cookies(cookies), m_request(std::move(request))
{
    m_timeLimit.setSingleShot(true);
    connect(&m_timeLimit, &QTimer::timeout, this, [this] { fail(LoadFailure::timeout()); });
}

PageFetch::~PageFetch()
{
    dropSocket();
}

void PageFetch::start()
{
    const QUrl &url = m_request.url;
    m_result.url = url;
    if (url.isValid() && url.isLocalFile()) {
        readLocalFile(url);
        return;
    }
    if (!isWebAddress(url)) {
        fail(url.isValid() && !url.scheme().isEmpty() ? LoadFailure::refusedScheme(url)
                                                      : LoadFailure::network(u"地址无效"_s));
        return;
    }
    if (m_request.limits.timeLimitMs > 0)
        m_timeLimit.start(m_request.limits.timeLimitMs);
    m_visits.insert(url.adjusted(QUrl::RemoveFragment), 1);
    send(url);
}

void PageFetch::send(const QUrl &url, bool fresh)
{
    dropSocket();
    m_url = url;
    m_result.url = url;
    m_parser.emplace();
    m_decoder.reset();
    m_answerBegan = false;

    const ConnectionPool::Lease lease = m_connections.take(url, fresh);
    m_socket = lease.socket;
    m_reusedSocket = lease.reused;
    lease.socket->setParent(this);
    connect(lease.socket, &QAbstractSocket::readyRead, this, &PageFetch::onReadyRead);
    connect(lease.socket, &QAbstractSocket::disconnected, this, &PageFetch::onClosed);
    connect(lease.socket, &QAbstractSocket::errorOccurred, this, &PageFetch::onSocketError);
    if (lease.reused) {
        writeRequest();
    } else if (auto *secure = qobject_cast<QSslSocket *>(lease.socket)) {
        connect(secure, &QSslSocket::encrypted, this, &PageFetch::writeRequest);
        connect(secure, &QSslSocket::sslErrors, this, [this](const QList<QSslError> &errors) {
            fail(LoadFailure::tls(errors.isEmpty() ? QString() : errors.constFirst().errorString()));
        });
    } else {
        connect(lease.socket, &QAbstractSocket::connected, this, &PageFetch::writeRequest);
    }
}

void PageFetch::writeRequest()
{
    if (m_socket)
        m_socket->write(requestHead(m_url, m_cookies));
}

void PageFetch::onReadyRead()
{
    if (!m_socket || m_finished)
        return;
    const QByteArray bytes = m_socket->readAll();
    m_answerBegan = m_answerBegan || !bytes.isEmpty();
    QByteArray body;
    const bool headBefore = m_parser->headComplete();
    if (!m_parser->feed(bytes, body)) {
        fail(LoadFailure::network(m_parser->error()));
        return;
    }
    if (!headBefore && m_parser->headComplete() && !onHead())
        return;
    if (!body.isEmpty() && !m_decoder->add(body)) {
        fail(*m_decoder->failure());
        return;
    }
    if (m_parser->complete())
        complete();
}

void PageFetch::onClosed()
{
    if (!m_socket || m_finished)
        return;
    const QAbstractSocket *socket = m_socket;
    if (m_socket->bytesAvailable() > 0)
        onReadyRead();
    if (m_socket != socket || m_finished)
        return;
    if (m_parser->finishAtClose()) {
        complete();
        return;
    }
    // A kept connection the server had closed meanwhile: the request goes
    // again, once, over a new one.
    if (m_reusedSocket && !m_answerBegan) {
        send(m_url, true);
        return;
    }
    fail(m_parser->headComplete() ? LoadFailure::bodyCutShort() : LoadFailure::connectionReset());
}

void PageFetch::onSocketError()
{
    if (!m_socket || m_finished)
        return;
    const QAbstractSocket::SocketError error = m_socket->error();
    if (error == QAbstractSocket::RemoteHostClosedError) {
        onClosed();
        return;
    }
    if (m_reusedSocket && !m_answerBegan) {
        send(m_url, true);
        return;
    }
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        fail(LoadFailure::connectionRefused());
        break;
    case QAbstractSocket::HostNotFoundError:
        fail(LoadFailure::hostNotFound(m_url.host()));
        break;
    case QAbstractSocket::SocketTimeoutError:
        fail(LoadFailure::timeout());
        break;
    case QAbstractSocket::SslHandshakeFailedError:
    case QAbstractSocket::SslInternalError:
    case QAbstractSocket::SslInvalidUserDataError:
        fail(LoadFailure::tls(m_socket->errorString()));
        break;
    default:
        fail(m_answerBegan ? LoadFailure::bodyCutShort() : LoadFailure::network(m_socket->errorString()));
    }
}

bool PageFetch::onHead()
{
    const HttpResponseParser &parser = *m_parser;
    for (const QByteArray &value : parser.headerValues("Set-Cookie"))
        m_cookies.setCookiesFromUrl(QNetworkCookie::parseCookies(value), m_url);

    const QByteArray location = parser.header("Location").trimmed();
    if (isRedirect(parser.status()) && !location.isEmpty()) {
        followRedirect(location);
        return false;
    }
    const qint64 maxBytes = m_request.limits.maxBodyBytes;
    if (maxBytes > 0 && parser.framing() == HttpResponseParser::Framing::Length && parser.contentLength() > maxBytes) {
        fail(LoadFailure::bodyTooLarge(maxBytes));
        return false;
    }
    std::optional<LoadFailure> failure;
    m_decoder = BodyDecoder::forEncoding(parser.header("Content-Encoding"), maxBytes, failure);
    if (failure) {
        fail(*failure);
        return false;
    }
    return true;
}

void PageFetch::followRedirect(const QByteArray &location)
{
    const QUrl target = m_url.resolved(QUrl(QString::fromUtf8(location), QUrl::TolerantMode));
    if (!isWebAddress(target))
        fail(LoadFailure::refusedScheme(target));
    else if (++m_visits[target.adjusted(QUrl::RemoveFragment)] >= LoopVisits)
        fail(LoadFailure::redirectLoop());
    else if (++m_redirects > m_request.limits.maxRedirects)
        fail(LoadFailure::tooManyRedirects(m_request.limits.maxRedirects));
    else
        send(target); // the redirect's own body is never read
}

void PageFetch::complete()
{
    if (!m_decoder->finish()) {
        fail(*m_decoder->failure());
        return;
    }
    const HttpResponseParser &parser = *m_parser;
    m_result.status = parser.status();
    m_result.reasonPhrase = QString::fromLatin1(parser.reasonPhrase());
    m_result.headers = parser.headers();
    m_result.body = m_decoder->takeBody();
    if (parser.keepsConnection() && m_socket) {
        QAbstractSocket *socket = m_socket;
        m_socket = nullptr;
        socket->disconnect(this);
        m_connections.giveBack(m_url, socket);
    }
    if (parser.status() >= 400)
        fail(LoadFailure::httpStatus(parser.status()), true);
    else
        succeed();
}

// Only ordinary files: a device or a pipe could give bytes without end or
// keep the reader waiting for ever.
void PageFetch::readLocalFile(const QUrl &url)
{
    const QFileInfo info(url.toLocalFile());
    QFile file(info.filePath());
    if (!info.exists()) {
        fail(LoadFailure::network(u"找不到文件"_s));
        return;
    }
    if (!info.isFile() || !file.open(QIODevice::ReadOnly)) {
        fail(LoadFailure::network(u"无法读取文件"_s));
        return;
    }
    const qint64 maxBytes = m_request.limits.maxBodyBytes;
    if (maxBytes > 0 && file.size() > maxBytes) {
        fail(LoadFailure::bodyTooLarge(maxBytes));
        return;
    }
    m_result.body = file.readAll();
    succeed();
}

void PageFetch::dropSocket()
{
    if (!m_socket)
        return;
    QAbstractSocket *socket = m_socket;
    m_socket = nullptr;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

void PageFetch::succeed()
{
    m_result.failure.reset();
    end();
}

void PageFetch::fail(LoadFailure failure, bool keepAnswer)
{
    if (m_finished)
        return;
    if (!keepAnswer) {
        m_result.headers.clear();
        m_result.body.clear();
    }
    m_result.failure = std::move(failure);
    end();
}

// Ends the attempt at once; the result is told from the event loop, so a
// failure found inside start() reaches a receiver connected after it.
void PageFetch::end()
{
    m_finished = true;
    m_timeLimit.stop();
    dropSocket();
    m_decoder.reset();
    QMetaObject::invokeMethod(this, &PageFetch::finished, Qt::QueuedConnection);
}

} // namespace pagrion
