#pragma once

#include <array>
#include <optional>

#include <QHash>
#include <QObject>
#include <QTimer>
#include <QUrl>

#include "engine/loadresult.h"
#include "engine/pagelimits.h"

typedef void CURL;

namespace pagrion {

class CurlMulti;

// One page to load and what loading it may cost.
struct PageRequest
{
    QUrl url;
    PageLimits limits;
};

// One attempt at a request: an exchange with the server for the address and
// one for each redirect, and exactly one result at the end, always from the
// event loop. The time limit covers the whole attempt, redirects and the
// waits before them included.
//
// The owner sends each exchange when the host's pace allows: first the
// request's address, then, after redirected(), the redirect's. Redirects lead
// only to http and https addresses; the request itself may also be a local
// file, which is read at once.
class PageFetch final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PageFetch)

public:
    PageFetch(CurlMulti &transfers, PageRequest request, QObject *parent = nullptr);
    // A fetch destroyed before its end is dropped without a result.
    ~PageFetch() override;

    // The address of the exchange to send next.
    const QUrl &nextUrl() const { return m_next; }
    void sendNext();
    bool isFinished() const { return m_finished; }
    const LoadResult &result() const { return m_result; }

    // The most the heads of one exchange may take together, interim answers
    // (100 Continue and the like) included.
    static constexpr qint64 MaxHeadBytes = 256 * 1024;

Q_SIGNALS:
    // The request of the exchange under way is going out to the server.
    // Told while libcurl is at work: a receiver must not call it back.
    void sent();
    // The server sent the reader on to nextUrl(), which waits for sendNext().
    void redirected();
    void finished();

private:
    friend struct FetchCallbacks;
    bool onHeaderLine(QByteArrayView line);
    bool onBody(QByteArrayView bytes);
    void onDone(int code);
    void followRedirect();
    void useProxy(const QUrl &proxy);
    LoadFailure failureFor(int code) const;
    std::optional<LoadFailure> failureOfProxy(int code, const QString &detail) const;
    void readLocalFile(const QUrl &url);
    void stopTransfer();
    void succeed();
    void fail(LoadFailure failure, bool keepAnswer = false);
    void end();

    CurlMulti &m_transfers;
    PageRequest m_request;
    QUrl m_next;
    QUrl m_proxy; // the proxy of the exchange under way; empty for none
    CURL *m_easy = nullptr;
    bool m_transferring = false;
    std::array<char, 256> m_errorText{}; // libcurl's own words for a failure
    QTimer m_timeLimit;
    QHash<QUrl, int> m_visits; // addresses of this attempt's redirect chain
    int m_redirects = 0;
    // The exchange under way.
    qint64 m_headBytes = 0;
    qint64 m_bodyBytes = 0;
    QByteArray m_location; // where a redirect leads, once its head is complete
    std::optional<LoadFailure> m_abort; // why a callback stopped the transfer
    bool m_finished = false;
    LoadResult m_result;
};

} // namespace pagrion
