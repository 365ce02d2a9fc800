#include "engine/transfer/curlmulti.h"

#include <initializer_list>
#include <limits>

#include <curl/curl.h>

#include <QSocketNotifier>

#include "engine/cookiestore.h"
#include "engine/networkconfig.h"
#include "engine/transfer/curlcookies.h"

namespace pagrion {

namespace {

// Cookies the answers set reach the program's store this soon after: a
// burst of pages is handed over at once.
constexpr int CookieHandOverMs = 100;

void initialiseCurl()
{
    static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    Q_UNUSED(initialised);
}

} // namespace

struct CurlCallbacks
{
    static int onSocket(CURL *, curl_socket_t socket, int what, void *self, void *)
    {
        static_cast<CurlMulti *>(self)->watch(qintptr(socket), what);
        return 0;
    }
    // libcurl may not be called back from here: the timer calls it.
    static int onTimer(CURLM *, long timeoutMs, void *self)
    {
        QTimer &timer = static_cast<CurlMulti *>(self)->m_timer;
        if (timeoutMs < 0)
            timer.stop();
        else
            timer.start(int(std::min<long>(timeoutMs, std::numeric_limits<int>::max())));
        return 0;
    }
};

CurlMulti::CurlMulti(QObject *parent)
    : QObject(parent)
    , m_multi((initialiseCurl(), curl_multi_init()))
    , m_share(curl_share_init())
    , m_headers(nullptr)
    , m_trusted(TrustedCertificates::overrides())
{
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETFUNCTION, &CurlCallbacks::onSocket);
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERFUNCTION, &CurlCallbacks::onTimer);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERDATA, this);
    curl_multi_setopt(m_multi, CURLMOPT_PIPELINING, long(CURLPIPE_MULTIPLEX));
    curl_multi_setopt(m_multi, CURLMOPT_MAXCONNECTS, KeptConnections);

    // Handles come and go with each page, so what outlives one lives here.
    // Everything runs on one thread: the share needs no locks.
    for (const curl_lock_data data : {CURL_LOCK_DATA_COOKIE, CURL_LOCK_DATA_DNS, CURL_LOCK_DATA_SSL_SESSION})
        curl_share_setopt(m_share, CURLSHOPT_SHARE, data);

    for (const char *header : {"Accept: text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8",
                               "Accept-Language: zh-CN,zh;q=0.9,en;q=0.5"})
        m_headers = curl_slist_append(m_headers, header);

    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] { act(qintptr(CURL_SOCKET_TIMEOUT), 0); });

    if (CookieStore *store = CookieStore::current()) {
        m_cookies = std::make_unique<CurlCookies>(m_share, *store);
        m_handOverCookies.setSingleShot(true);
        m_handOverCookies.setInterval(CookieHandOverMs);
        connect(&m_handOverCookies, &QTimer::timeout, this, [this] { m_cookies->giveToStore(); });
    }
}

CurlMulti::~CurlMulti()
{
    for (auto it = m_running.cbegin(); it != m_running.cend(); ++it)
        curl_multi_remove_handle(m_multi, it.key());
    m_watches.clear();
    m_cookies.reset(); // its handle is attached to the share
    curl_multi_cleanup(m_multi);
    curl_share_cleanup(m_share);
    curl_slist_free_all(m_headers);
}

CURL *CurlMulti::newHandle() const
{
    CURL *easy = curl_easy_init();
    curl_easy_setopt(easy, CURLOPT_SHARE, m_share);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    // Each redirect is a request of its own, which the host's pace governs.
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_2TLS));
    // Every coding this libcurl unpacks: gzip, deflate, br, zstd.
    curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
    // Cookies a site sets are sent back to it, as a browser would; some
    // sites show nothing without. They live in the share's jar.
    curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
    if (const QString &userAgent = networkConfig().userAgent; !userAgent.isEmpty())
        curl_easy_setopt(easy, CURLOPT_USERAGENT, userAgent.toUtf8().constData());
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, m_headers);
    // The system's certificates, unless the user names others as for curl and
    // OpenSSL; the same for a proxy reached over TLS.
    if (!m_trusted.file.isEmpty()) {
        curl_easy_setopt(easy, CURLOPT_CAINFO, m_trusted.file.constData());
        curl_easy_setopt(easy, CURLOPT_PROXY_CAINFO, m_trusted.file.constData());
    }
    if (!m_trusted.folder.isEmpty()) {
        curl_easy_setopt(easy, CURLOPT_CAPATH, m_trusted.folder.constData());
        curl_easy_setopt(easy, CURLOPT_PROXY_CAPATH, m_trusted.folder.constData());
    }
    return easy;
}

void CurlMulti::start(CURL *easy, Done done)
{
    if (m_cookies)
        m_cookies->takeFromStore();
    m_running.insert(easy, std::move(done));
    curl_multi_add_handle(m_multi, easy);
}

void CurlMulti::stop(CURL *easy)
{
    if (m_running.remove(easy))
        curl_multi_remove_handle(m_multi, easy);
}

void CurlMulti::watch(qintptr socket, int what)
{
    if (what == CURL_POLL_REMOVE) {
        // The notifier may be the one whose signal is being handled.
        if (const auto found = m_watches.find(socket); found != m_watches.end()) {
            for (std::unique_ptr<QSocketNotifier> *notifier : {&found->second.read, &found->second.write}) {
                if (*notifier) {
                    (*notifier)->setEnabled(false);
                    notifier->release()->deleteLater();
                }
            }
            m_watches.erase(found);
        }
        return;
    }
    Watch &watch = m_watches[socket];
    const auto follow = [this, socket](std::unique_ptr<QSocketNotifier> &notifier, QSocketNotifier::Type type,
                                       bool wanted, int event) {
        if (!notifier && wanted) {
            notifier = std::make_unique<QSocketNotifier>(socket, type);
            connect(notifier.get(), &QSocketNotifier::activated, this, [this, socket, event] { act(socket, event); });
        }
        if (notifier)
            notifier->setEnabled(wanted);
    };
    follow(watch.read, QSocketNotifier::Read, what & CURL_POLL_IN, CURL_CSELECT_IN);
    follow(watch.write, QSocketNotifier::Write, what & CURL_POLL_OUT, CURL_CSELECT_OUT);
}

void CurlMulti::act(qintptr socket, int events)
{
    int running = 0;
    curl_multi_socket_action(m_multi, curl_socket_t(socket), events, &running);
    collectDone();
}

void CurlMulti::collectDone()
{
    int left = 0;
    while (CURLMsg *message = curl_multi_info_read(m_multi, &left)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        CURL *easy = message->easy_handle;
        const CURLcode code = message->data.result;
        const auto found = m_running.find(easy);
        if (found == m_running.end())
            continue;
        const Done done = std::move(*found);
        m_running.erase(found);
        curl_multi_remove_handle(m_multi, easy);
        if (m_cookies && !m_handOverCookies.isActive())
            m_handOverCookies.start();
        done(code);
    }
}

} // namespace pagrion
