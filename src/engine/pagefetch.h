#pragma once

#include <memory>
#include <optional>

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include "engine/httpresponseparser.h"
#include "engine/loadresult.h"
#include "engine/pagelimits.h"

class QAbstractSocket;
class QNetworkCookieJar;

namespace pagrion {

class BodyDecoder;
class ConnectionPool;

// One page to load and what loading it may cost.
struct PageRequest
{
    QUrl url;
    PageLimits limits;
};

// One attempt at a request: sends it, follows the redirects itself, reads
// and unpacks the body within the request's limits, and ends with exactly
// one result, always from the event loop. The time limit covers the whole
// attempt, redirects included.
//
// Web pages are read with our own HTTP/1.1 reader, which tells a whole body
// from one the connection cut short, whatever its framing. Redirects lead
// only to http and https addresses; the request itself may also be a local
// file.
class PageFetch final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PageFetch)

public:
    PageFetch(ConnectionPool &connections, QNetworkCookieJar &cookies, PageRequest request, QObject *parent = nullptr);
    // A fetch destroyed before its end is dropped without a result.
    ~PageFetch() override;

    void start();
    bool isFinished() const { return m_finished; }
    const LoadResult &result() const { return m_result; }

Q_SIGNALS:
    void finished();

private:
    // fresh: a new connection, when one kept from an earlier request failed.
    void send(const QUrl &url, bool fresh = false);
    void writeRequest();
    void onReadyRead();
    void onClosed();
    void onSocketError();
    // False when the head ended this exchange (a redirect, a failure).
    bool onHead();
    void followRedirect(const QByteArray &location);
    void complete();
    void readLocalFile(const QUrl &url);
    void dropSocket();
    void succeed();
    void fail(LoadFailure failure, bool keepAnswer = false);
    void end();

    ConnectionPool &m_connections;
    QNetworkCookieJar &m_cookies;
    PageRequest m_request;
    QUrl m_url; // the address of the exchange under way
    QPointer<QAbstractSocket> m_socket;
    bool m_reusedSocket = false;
    bool m_answerBegan = false;
    std::optional<HttpResponseParser> m_parser;
    std::unique_ptr<BodyDecoder> m_decoder;
    QTimer m_timeLimit;
    QHash<QUrl, int> m_visits; // addresses of this attempt's redirect chain
    int m_redirects = 0;
    bool m_finished = false;
    LoadResult m_result;
};

} // namespace pagrion
