#pragma once

#include <functional>
#include <memory>
#include <unordered_map>

#include <QHash>
#include <QObject>
#include <QTimer>

#include "engine/certificatetrust.h"

class QSocketNotifier;

typedef void CURL;
typedef void CURLM;
typedef void CURLSH;
struct curl_slist;

namespace pagrion {

class CurlCookies;

// The transfers of one download manager, on one libcurl multi handle driven
// by the Qt event loop: a socket notifier for each socket libcurl watches and
// one timer for its timeouts, both calling curl_multi_socket_action. The
// handles made here share the run's connections, TLS sessions, DNS answers
// and cookies, so a host's pages reuse kept connections and multiplex over
// HTTP/2 where the server offers it. With a program cookie store, the shared
// cookies are the store's.
class CurlMulti final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CurlMulti)

public:
    // How a transfer ended: a CURLcode.
    using Done = std::function<void(int code)>;

    // Connections kept open for later requests, across all hosts. Above the
    // widest run (64 per host) so that no host's width loses its connections.
    static constexpr long KeptConnections = 256;

    explicit CurlMulti(QObject *parent = nullptr);
    // Every handle must have been cleaned up before.
    ~CurlMulti() override;

    // A new easy handle with the options every page request shares; the
    // caller cleans it up, after stop() when it was started.
    CURL *newHandle() const;
    // Starts the transfer; `done` is called once, from the event loop, after
    // the handle has left the multi handle again.
    void start(CURL *easy, Done done);
    // Drops a transfer under way; its `done` is not called.
    void stop(CURL *easy);

private:
    struct Watch
    {
        std::unique_ptr<QSocketNotifier> read;
        std::unique_ptr<QSocketNotifier> write;
    };

    friend struct CurlCallbacks;
    void watch(qintptr socket, int what);
    void act(qintptr socket, int events);
    void collectDone();

    CURLM *m_multi;
    CURLSH *m_share;
    curl_slist *m_headers;
    TrustedCertificates m_trusted; // the user's override of the system's certificates
    QTimer m_timer;
    std::unique_ptr<CurlCookies> m_cookies;
    QTimer m_handOverCookies;
    std::unordered_map<qintptr, Watch> m_watches;
    QHash<CURL *, Done> m_running;
};

} // namespace pagrion
