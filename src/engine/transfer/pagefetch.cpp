#include "engine/transfer/pagefetch.h"

#include <cerrno>

#include <curl/curl.h>

#include <QFile>
#include <QFileInfo>

#include "engine/certificatetrust.h"
#include "engine/networkconfig.h"
#include "engine/pageaddress.h"
#include "engine/transfer/curlmulti.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

static_assert(CURL_ERROR_SIZE == 256);

// OpenSSL's result for a certificate it trusts.
constexpr long X509VerifyOk = 0;

// A chain that comes back to an address a third time goes round in circles;
// twice is allowed, since sites send a reader away to set a cookie and back.
constexpr int LoopVisits = 3;

bool isRedirectStatus(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// A failure to unpack names the coding: one libcurl does not know, or the one
// whose data was wrong.
LoadFailure decodingFailure(const QByteArray &contentEncoding)
{
    static const QByteArrayList known{"gzip", "x-gzip", "deflate", "br", "zstd", "identity"};
    const QByteArray codings = contentEncoding.trimmed().toLower();
    for (const QByteArray &coding : codings.split(',')) {
        if (!known.contains(coding.trimmed()))
            return LoadFailure::decompression(u"不支持的压缩方式 %1"_s.arg(QString::fromLatin1(coding.trimmed().left(40))));
    }
    return LoadFailure::decompression(u"%1 数据有误"_s.arg(QString::fromLatin1(codings.left(40))));
}

} // namespace

// libcurl calls these while it reads; they may not call libcurl back.
struct FetchCallbacks
{
    static size_t onHeader(char *data, size_t size, size_t count, void *self)
    {
        return static_cast<PageFetch *>(self)->onHeaderLine(QByteArrayView(data, qsizetype(size * count)))
            ? size * count
            : 0;
    }
    static size_t onBody(char *data, size_t size, size_t count, void *self)
    {
        return static_cast<PageFetch *>(self)->onBody(QByteArrayView(data, qsizetype(size * count))) ? size * count
                                                                                                     : 0;
    }
    static int onSending(void *self, char *, char *, int, int)
    {
        Q_EMIT static_cast<PageFetch *>(self)->sent();
        return CURL_PREREQFUNC_OK;
    }
};

PageFetch::PageFetch(CurlMulti &transfers, PageRequest request, QObject *parent)
    : QObject(parent), m_transfers(transfers), m_request(std::move(request)), m_next(m_request.url)
{
    m_timeLimit.setSingleShot(true);
    connect(&m_timeLimit, &QTimer::timeout, this, [this] { fail(LoadFailure::timeout()); });
}

PageFetch::~PageFetch()
{
    stopTransfer();
    if (m_easy)
        curl_easy_cleanup(m_easy);
}

void PageFetch::sendNext()
{
    if (m_finished)
        return;
    const QUrl url = m_next;
    m_result.url = url;
    if (!m_easy) {
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
        m_easy = m_transfers.newHandle();
        curl_easy_setopt(m_easy, CURLOPT_HEADERFUNCTION, &FetchCallbacks::onHeader);
        curl_easy_setopt(m_easy, CURLOPT_HEADERDATA, this);
        curl_easy_setopt(m_easy, CURLOPT_WRITEFUNCTION, &FetchCallbacks::onBody);
        curl_easy_setopt(m_easy, CURLOPT_WRITEDATA, this);
        curl_easy_setopt(m_easy, CURLOPT_PREREQFUNCTION, &FetchCallbacks::onSending);
        curl_easy_setopt(m_easy, CURLOPT_PREREQDATA, this);
        curl_easy_setopt(m_easy, CURLOPT_ERRORBUFFER, m_errorText.data());
        // A body whose announced length is over the limit is not read at all.
        if (m_request.limits.maxBodyBytes > 0)
            curl_easy_setopt(m_easy, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(m_request.limits.maxBodyBytes));
    }
    m_result.status = 0;
    m_result.reasonPhrase.clear();
    m_result.headers.clear();
    m_result.body.clear();
    m_headBytes = 0;
    m_bodyBytes = 0;
    m_location.clear();
    m_errorText[0] = '\0';
    curl_easy_setopt(m_easy, CURLOPT_URL, url.toEncoded(QUrl::RemoveFragment).constData());
    useProxy(networkConfig().proxy.proxyFor(url));
    // Over TLS a request waits for a connection being opened to its host,
    // which may turn out to carry several at once (HTTP/2); plain HTTP never
    // does, so waiting would only put its requests in a row.
    curl_easy_setopt(m_easy, CURLOPT_PIPEWAIT, long(url.scheme().compare(u"https"_s, Qt::CaseInsensitive) == 0));
    m_transferring = true;
    m_transfers.start(m_easy, [this](int code) { onDone(code); });
}

// Which way a request takes is decided for both engines alike, so libcurl
// is told the proxy for each exchange and reads no proxy from the
// environment, no_proxy included.
void PageFetch::useProxy(const QUrl &proxy)
{
    m_proxy = proxy;
    curl_easy_setopt(m_easy, CURLOPT_PROXY, proxy.isEmpty() ? "" : proxy.toEncoded(QUrl::RemoveUserInfo).constData());
    curl_easy_setopt(m_easy, CURLOPT_NOPROXY, "");
    const QByteArray user = proxy.userName(QUrl::FullyDecoded).toUtf8();
    const QByteArray password = proxy.password(QUrl::FullyDecoded).toUtf8();
    curl_easy_setopt(m_easy, CURLOPT_PROXYUSERNAME, user.isEmpty() ? nullptr : user.constData());
    curl_easy_setopt(m_easy, CURLOPT_PROXYPASSWORD, user.isEmpty() ? nullptr : password.constData());
    curl_easy_setopt(m_easy, CURLOPT_PROXYAUTH, CURLAUTH_ANY);
}

// libcurl hands over every line of every head, interim answers (1xx) and
// trailers included; the answer kept is the last one.
bool PageFetch::onHeaderLine(QByteArrayView line)
{
    m_headBytes += line.size();
    if (m_headBytes > MaxHeadBytes) {
        m_abort = LoadFailure::network(u"服务器的响应头过大"_s);
        return false;
    }
    const QByteArrayView text = line.trimmed();
    if (line.startsWith("HTTP/")) {
        const QList<QByteArray> parts = text.toByteArray().split(' ');
        m_result.status = parts.value(1).toInt();
        m_result.reasonPhrase = QString::fromLatin1(parts.mid(2).join(' '));
        m_result.headers.clear();
        m_location.clear();
    } else if (text.isEmpty()) {
        if (isRedirectStatus(m_result.status))
            m_location = m_result.header("Location").trimmed();
    } else if ((line.startsWith(' ') || line.startsWith('\t')) && !m_result.headers.isEmpty()) {
        m_result.headers.last().second += ' ' + text.toByteArray(); // a folded line goes on with the last value
    } else if (const qsizetype colon = text.indexOf(':'); colon > 0) {
        m_result.headers.append({text.first(colon).trimmed().toByteArray(), text.sliced(colon + 1).trimmed().toByteArray()});
    }
    return true;
}

// The body arrives unpacked; the limit holds for what it unpacks to.
bool PageFetch::onBody(QByteArrayView bytes)
{
    m_bodyBytes += bytes.size();
    // A redirect's own body is not wanted: a long one is left unread.
    if (!m_location.isEmpty())
        return m_bodyBytes <= MaxHeadBytes;
    const qint64 maxBytes = m_request.limits.maxBodyBytes;
    if (maxBytes > 0 && m_bodyBytes > maxBytes) {
        m_abort = LoadFailure::bodyTooLarge(maxBytes);
        return false;
    }
    m_result.body.append(bytes);
    return true;
}

void PageFetch::onDone(int code)
{
    m_transferring = false;
    if (m_abort)
        fail(*m_abort);
    else if (!m_location.isEmpty())
        followRedirect(); // whatever became of the redirect's body
    else if (code != CURLE_OK)
        fail(failureFor(code));
    else if (m_result.status == 407 && !m_proxy.isEmpty())
        fail(LoadFailure::proxyLogin(proxyName(m_proxy)));
    else if (m_result.status >= 400)
        fail(LoadFailure::httpStatus(m_result.status), true);
    else
        succeed();
}

void PageFetch::followRedirect()
{
    const QUrl target = m_result.url.resolved(QUrl(QString::fromUtf8(m_location), QUrl::TolerantMode));
    if (!isWebAddress(target)) {
        fail(LoadFailure::refusedScheme(target));
    } else if (++m_visits[target.adjusted(QUrl::RemoveFragment)] >= LoopVisits) {
        fail(LoadFailure::redirectLoop());
    } else if (++m_redirects > m_request.limits.maxRedirects) {
        fail(LoadFailure::tooManyRedirects(m_request.limits.maxRedirects));
    } else {
        m_next = target;
        Q_EMIT redirected();
    }
}

LoadFailure PageFetch::failureFor(int code) const
{
    const QString detail = m_errorText[0] ? QString::fromLocal8Bit(m_errorText.data()).trimmed()
                                          : QString::fromLatin1(curl_easy_strerror(CURLcode(code)));
    if (const std::optional<LoadFailure> proxyFailure = failureOfProxy(code, detail))
        return *proxyFailure;
    switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
        return LoadFailure::timeout();
    case CURLE_COULDNT_RESOLVE_HOST:
        return LoadFailure::hostNotFound(m_result.url.host());
    case CURLE_COULDNT_CONNECT: {
        long osError = 0;
        curl_easy_getinfo(m_easy, CURLINFO_OS_ERRNO, &osError);
        return osError == ECONNREFUSED ? LoadFailure::connectionRefused() : LoadFailure::network(detail);
    }
    case CURLE_PEER_FAILED_VERIFICATION: {
        long verifyResult = 0;
        curl_easy_getinfo(m_easy, CURLINFO_SSL_VERIFYRESULT, &verifyResult);
        return certificateFailure(verifyResult, m_result.url.host());
    }
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        return LoadFailure::tls(detail);
    case CURLE_PARTIAL_FILE:
        return LoadFailure::bodyCutShort();
    case CURLE_GOT_NOTHING:
        return LoadFailure::connectionReset();
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
        return m_result.status > 0 ? LoadFailure::bodyCutShort() : LoadFailure::connectionReset();
    case CURLE_BAD_CONTENT_ENCODING:
        return decodingFailure(m_result.header("Content-Encoding"));
    case CURLE_WRITE_ERROR: // not from our callbacks, which say why they stop: from libcurl's unpacking
        return m_result.header("Content-Encoding").isEmpty() ? LoadFailure::network(detail)
                                                             : decodingFailure(m_result.header("Content-Encoding"));
    case CURLE_FILESIZE_EXCEEDED:
        return LoadFailure::bodyTooLarge(m_request.limits.maxBodyBytes);
    case CURLE_UNSUPPORTED_PROTOCOL: // a first line that is no status line, read as HTTP/0.9
    case CURLE_WEIRD_SERVER_REPLY:
        return LoadFailure::network(u"服务器的回答不是 HTTP"_s);
    default:
        return LoadFailure::network(detail);
    }
}

// The proxy's own failures name it: one that cannot be reached, refuses the
// login or does not pass the request on.
std::optional<LoadFailure> PageFetch::failureOfProxy(int code, const QString &detail) const
{
    if (m_proxy.isEmpty())
        return std::nullopt;
    const QString name = proxyName(m_proxy);
    long tunnelStatus = 0;
    curl_easy_getinfo(m_easy, CURLINFO_HTTP_CONNECTCODE, &tunnelStatus);
    if (tunnelStatus == 407)
        return LoadFailure::proxyLogin(name);
    if (tunnelStatus >= 300)
        return LoadFailure::proxyRefused(name, u"HTTP %1"_s.arg(tunnelStatus));
    switch (code) {
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT: // with a proxy, the connection is the proxy's
        return LoadFailure::proxyUnreachable(name);
    case CURLE_PEER_FAILED_VERIFICATION: {
        long proxyVerifyResult = X509VerifyOk;
        curl_easy_getinfo(m_easy, CURLINFO_PROXY_SSL_VERIFYRESULT, &proxyVerifyResult);
        if (m_proxy.scheme() != u"https" || proxyVerifyResult == X509VerifyOk)
            return std::nullopt; // the site's certificate, not the proxy's
        return LoadFailure::proxyRefused(name, certificateFailure(proxyVerifyResult, m_proxy.host()).reason);
    }
    case CURLE_PROXY: {
        long proxyCode = CURLPX_OK;
        curl_easy_getinfo(m_easy, CURLINFO_PROXY_ERROR, &proxyCode);
        switch (proxyCode) {
        case CURLPX_USER_REJECTED:
        case CURLPX_NO_AUTH:
            return LoadFailure::proxyLogin(name);
        case CURLPX_RESOLVE_HOST: // socks5 leaves the name to this side
            return LoadFailure::hostNotFound(m_result.url.host());
        case CURLPX_REPLY_NOT_ALLOWED:
            return LoadFailure::proxyRefused(name, u"不允许访问"_s);
        case CURLPX_REPLY_CONNECTION_REFUSED:
            return LoadFailure::proxyRefused(name, u"连接被拒绝"_s);
        case CURLPX_REPLY_HOST_UNREACHABLE:
        case CURLPX_REPLY_NETWORK_UNREACHABLE:
            return LoadFailure::proxyRefused(name, u"连不上网站"_s);
        default:
            return LoadFailure::proxyRefused(name, detail);
        }
    }
    default:
        return std::nullopt;
    }
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

void PageFetch::stopTransfer()
{
    if (m_transferring) {
        m_transferring = false;
        m_transfers.stop(m_easy);
    }
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
        m_result.status = 0;
        m_result.reasonPhrase.clear();
        m_result.headers.clear();
        m_result.body.clear();
    }
    m_result.failure = std::move(failure);
    end();
}

// Ends the attempt at once; the result is told from the event loop, so a
// failure found inside sendNext() reaches a receiver connected after it.
void PageFetch::end()
{
    m_finished = true;
    m_timeLimit.stop();
    stopTransfer();
    if (m_easy) {
        curl_easy_cleanup(m_easy);
        m_easy = nullptr;
    }
    QMetaObject::invokeMethod(this, &PageFetch::finished, Qt::QueuedConnection);
}

} // namespace pagrion
