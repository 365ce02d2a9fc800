#pragma once

#include <deque>
#include <memory>

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QTimer>

#include "engine/loadpolicy.h"
#include "engine/loadresult.h"
#include "engine/transfer/pagefetch.h"

namespace pagrion {

class CurlMulti;
class HostPace;
class DownloadManager;

// One load handed to the manager. It ends once with finished(), from the
// event loop; destroying it drops the load, queued or under way. One that
// outlives its manager never ends.
class PageDownload final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PageDownload)

public:
    ~PageDownload() override;

    bool isFinished() const { return m_finished; }
    // The outcome, once finished.
    const LoadResult &result() const { return m_result; }
    // The same, handed over without copying the body.
    LoadResult takeResult() { return std::move(m_result); }
    // How long it waited in its host's queue before its first attempt
    // started (so far, while it still waits).
    qint64 queuedMs() const { return m_queuedMs >= 0 ? m_queuedMs : m_created.elapsed(); }

Q_SIGNALS:
    void finished();

private:
    friend class DownloadManager;
    PageDownload(DownloadManager &manager, PageRequest request);

    // Where a request stands with its host's queue.
    enum class Stage { Waiting, Sending, Sent, Idle };

    QPointer<DownloadManager> m_manager;
    PageRequest m_request;
    QString m_hostKey; // the host of the next exchange: the address's, then a redirect's
    Stage m_stage = Stage::Idle;
    std::unique_ptr<PageFetch> m_fetch;
    QTimer m_backoff;
    QElapsedTimer m_created;
    qint64 m_queuedMs = -1;
    int m_attempts = 0;
    bool m_finished = false;
    LoadResult m_result;
};

// The one way from an address to a page's bytes. Requests wait in a queue per
// host, which lets at most `concurrency` of them run at once and sends them
// at least `delayMs` apart, redirects and retries alike: a redirect and a
// failure worth retrying (after its back-off) go back to the head of the
// queue. Every request ends in exactly one result. A pace the policy shares
// with other processes spaces the requests of them all: a request then books
// its start there too, and the wait before a retry holds the host off for all.
//
// A run that looks ahead submits the next pages of its list and takes the
// results in its own order, each from its PageDownload; those it no longer
// wants it destroys.
class DownloadManager final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DownloadManager)

public:
    explicit DownloadManager(QObject *parent = nullptr);
    ~DownloadManager() override;

    // Applies to every request from now on, queued ones included.
    void setPolicy(const LoadPolicy &policy);
    const LoadPolicy &policy() const { return m_policy; }

    std::unique_ptr<PageDownload> download(const PageRequest &request);

    // The longest a request with these limits can take once it has started,
    // retries and their waits included.
    qint64 longestLoadMs(const PageLimits &limits) const;

private:
    friend class PageDownload;
    struct HostQueue
    {
        std::deque<PageDownload *> waiting;
        int running = 0;
        int sending = 0; // running requests not sent yet
        bool wakeScheduled = false;
    };

    void enqueue(PageDownload *download, bool atFront);
    void pump(const QString &hostKey);
    void bookThenSend(HostPace &pace, PageDownload *download);
    void send(PageDownload *download);
    void onSent(PageDownload *download);
    void onRedirected(PageDownload *download);
    void onAttemptFinished(PageDownload *download);
    // Takes the download out of its host's queue, waiting or running.
    void leaveQueue(PageDownload *download);
    void markSent(const QString &hostKey);
    void forget(PageDownload *download);
    qint64 retryWaitMs(const PageDownload &download, const LoadResult &result) const;

    // How many hosts' last requests are remembered before those older than
    // any pause are forgotten.
    static constexpr qsizetype SweepAtHosts = 1024;

    CurlMulti *m_transfers;
    LoadPolicy m_policy;
    QHash<QString, HostQueue> m_hosts;
    // When the last request to each host went out, kept past a change of
    // policy: a pause asked for counts from requests sent before it.
    QHash<QString, qint64> m_lastSentNs;
    qsizetype m_sweepAtHosts;
    qint64 m_longestDelayMs = 0;
    QSet<PageDownload *> m_downloads; // every download not yet destroyed
    QElapsedTimer m_clock;
};

} // namespace pagrion
