#include "engine/transfer/downloadmanager.h"

#include <algorithm>

#include <QDateTime>
#include <QRegularExpression>

#include "engine/enginelog.h"
#include "engine/hostpace.h"
#include "engine/pageaddress.h"
#include "engine/transfer/curlmulti.h"
#include "engine/transfer/transferlog.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

// Pauses are counted in nanoseconds: whole milliseconds would round some short.
constexpr qint64 NsPerMs = 1'000'000;

// An HTTP date in its three forms: "Mon, 07 Dec 2026 06:15:59 GMT", the
// obsolete "Monday, 07-Dec-26 06:15:59 GMT" and asctime's
// "Mon Dec  7 06:15:59 2026". Qt's own reader refuses the "GMT" of the first two.
QDateTime httpDate(const QString &text)
{
    static const QRegularExpression dated(
        u"^[A-Za-z]+, (\\d{1,2})[ -]([A-Za-z]{3})[ -](\\d{2}|\\d{4}) (\\d{2}):(\\d{2}):(\\d{2}) GMT$"_s);
    const QRegularExpressionMatch parts = dated.match(text);
    if (!parts.hasMatch()) {
        const QDateTime numbered = QDateTime::fromString(text, Qt::RFC2822Date); // "+0000" for the zone
        return numbered.isValid() ? numbered : QDateTime::fromString(text, Qt::TextDate).toUTC();
    }
    static const QStringList months{u"Jan"_s, u"Feb"_s, u"Mar"_s, u"Apr"_s, u"May"_s, u"Jun"_s,
                                    u"Jul"_s, u"Aug"_s, u"Sep"_s, u"Oct"_s, u"Nov"_s, u"Dec"_s};
    const int month = int(months.indexOf(parts.captured(2))) + 1;
    int year = parts.captured(3).toInt();
    // A two-digit year that would lie more than 50 years ahead is of the last century.
    if (parts.captured(3).size() == 2)
        year += year > QDate::currentDate().year() % 100 + 50 ? 1900 : 2000;
    const QDate date(year, month, parts.captured(1).toInt());
    const QTime time(parts.captured(4).toInt(), parts.captured(5).toInt(), parts.captured(6).toInt());
    return QDateTime(date, time, Qt::UTC);
}

// Retry-After gives seconds or an HTTP date; nullopt when it gives neither.
// Seconds too many for a number are as good as for ever.
std::optional<qint64> retryAfterMs(const QByteArray &value)
{
    const QByteArray text = value.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    if (std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        bool fits = false;
        const qint64 seconds = text.toLongLong(&fits);
        return fits ? std::min(seconds, qint64(1) << 31) * 1000 : (qint64(1) << 31) * 1000;
    }
    const QDateTime when = httpDate(QString::fromLatin1(text));
    if (!when.isValid())
        return std::nullopt;
    return std::max<qint64>(0, QDateTime::currentDateTimeUtc().msecsTo(when));
}

// What the log says of a load that ended: "<address> HTTP 404，512 字节，
// 3 ms，尝试 2 次，失败：HTTP 404", the address where the answer came from
// after it when a redirect led elsewhere.
QString endedText(const QUrl &asked, const LoadResult &result, qint64 ms)
{
    QString text = asked.toDisplayString() + u' '
        + (result.status > 0 ? u"HTTP %1"_s.arg(result.status) : u"无 HTTP 状态"_s)
        + u"，%1 字节，%2 ms，尝试 %3 次"_s.arg(result.body.size()).arg(ms).arg(result.attempts);
    if (!result.url.isEmpty() && result.url != asked)
        text += u"，来自 "_s + result.url.toDisplayString();
    if (result.failure)
        text += u"，失败："_s + result.failure->reason;
    return text;
}

} // namespace

PageDownload::PageDownload(DownloadManager &manager, PageRequest request)
    : m_manager(&manager), m_request(std::move(request)), m_hostKey(hostKey(m_request.url))
{
    m_backoff.setSingleShot(true);
    m_backoff.setTimerType(Qt::PreciseTimer);
    m_created.start();
}

PageDownload::~PageDownload()
{
    if (m_manager)
        m_manager->forget(this);
}

DownloadManager::DownloadManager(QObject *parent)
    : QObject(parent), m_transfers(new CurlMulti(this)), m_sweepAtHosts(SweepAtHosts)
{
    m_clock.start();
}

DownloadManager::~DownloadManager()
{
    // The transfers under way go with the manager, and a start the shared
    // pace answers later finds nothing to send.
    for (PageDownload *download : std::as_const(m_downloads)) {
        download->m_fetch.reset();
        download->m_stage = PageDownload::Stage::Idle;
    }
}

void DownloadManager::setPolicy(const LoadPolicy &policy)
{
    m_policy = policy;
    m_longestDelayMs = std::max<qint64>(m_longestDelayMs, policy.delayMs);
    const QStringList hosts = m_hosts.keys();
    for (const QString &host : hosts)
        pump(host);
}

std::unique_ptr<PageDownload> DownloadManager::download(const PageRequest &request)
{
    std::unique_ptr<PageDownload> download(new PageDownload(*this, request));
    PageDownload *raw = download.get();
    m_downloads.insert(raw);
    connect(&raw->m_backoff, &QTimer::timeout, this, [this, raw] { enqueue(raw, true); });
    enqueue(raw, false);
    return download;
}

qint64 DownloadManager::longestLoadMs(const PageLimits &limits) const
{
    const qint64 attempts = qint64(std::max(m_policy.retries, 0)) + 1;
    return attempts * (std::max(limits.timeLimitMs, 0) + std::max(m_policy.delayMs, 0))
        + (attempts - 1) * m_policy.longestWaitMs();
}

void DownloadManager::enqueue(PageDownload *download, bool atFront)
{
    // Local files and addresses that are refused at once wait for nobody.
    if (download->m_hostKey.isEmpty()) {
        send(download);
        return;
    }
    HostQueue &queue = m_hosts[download->m_hostKey];
    if (atFront)
        queue.waiting.push_front(download);
    else
        queue.waiting.push_back(download);
    download->m_stage = PageDownload::Stage::Waiting;
    pump(download->m_hostKey);
}

// The pause between two requests to a host counts from the moment the first
// went out, so a request waits while the one before it is still connecting;
// a timer that fires early finds the pause not over and is set again.
void DownloadManager::pump(const QString &hostKey)
{
    const auto found = m_hosts.find(hostKey);
    if (found == m_hosts.end())
        return;
    HostQueue &queue = *found;
    const int concurrency = std::max(m_policy.concurrency, 1);
    while (!queue.waiting.empty() && queue.running < concurrency) {
        if (m_policy.delayMs > 0) {
            if (queue.sending > 0)
                return;
            const auto last = m_lastSentNs.constFind(hostKey);
            const qint64 waitNs = last == m_lastSentNs.cend()
                ? 0
                : *last + qint64(m_policy.delayMs) * NsPerMs - m_clock.nsecsElapsed();
            if (waitNs > 0) {
                const qint64 wait = (waitNs + NsPerMs - 1) / NsPerMs;
                if (!queue.wakeScheduled) {
                    queue.wakeScheduled = true;
                    QTimer::singleShot(wait, Qt::PreciseTimer, this, [this, hostKey] {
                        if (const auto again = m_hosts.find(hostKey); again != m_hosts.end()) {
                            again->wakeScheduled = false;
                            pump(hostKey);
                        }
                    });
                }
                return;
            }
        }
        PageDownload *next = queue.waiting.front();
        queue.waiting.pop_front();
        ++queue.running;
        ++queue.sending;
        next->m_stage = PageDownload::Stage::Sending;
        if (HostPace *pace = m_policy.sharedPace.get(); pace && pace->paces(hostKey, m_policy.delayMs))
            bookThenSend(*pace, next);
        else
            send(next);
    }
    if (queue.waiting.empty() && queue.running == 0 && !queue.wakeScheduled)
        m_hosts.erase(found);
}

// The request holds its host's turn in this process while the shared pace
// (other processes' requests counted) finds it a start.
void DownloadManager::bookThenSend(HostPace &pace, PageDownload *download)
{
    const auto ready = [download = QPointer(download)] {
        return download && download->m_manager && download->m_stage == PageDownload::Stage::Sending;
    };
    pace.book(download->m_hostKey, m_policy.delayMs, [this, download, ready](qint64 waitMs) {
        if (!ready())
            return;
        if (waitMs <= 0) {
            send(download);
            return;
        }
        QTimer::singleShot(waitMs, Qt::PreciseTimer, download, [this, download, ready] {
            if (ready())
                send(download);
        });
    });
}

void DownloadManager::send(PageDownload *download)
{
    if (!download->m_fetch) {
        if (++download->m_attempts == 1) {
            download->m_queuedMs = download->m_created.elapsed();
            qCDebug(lcTransfer).noquote() << download->m_request.url.toDisplayString()
                                          << u"开始，排队 %1 ms"_s.arg(download->m_queuedMs);
        }
        download->m_fetch = std::make_unique<PageFetch>(*m_transfers, download->m_request);
        PageFetch *fetch = download->m_fetch.get();
        connect(fetch, &PageFetch::sent, download, [this, download] { onSent(download); });
        connect(fetch, &PageFetch::redirected, download, [this, download] { onRedirected(download); });
        connect(fetch, &PageFetch::finished, download, [this, download] { onAttemptFinished(download); });
    }
    download->m_fetch->sendNext();
}

// Called while libcurl is at work: the queue moves on from the event loop.
void DownloadManager::onSent(PageDownload *download)
{
    const QString host = download->m_hostKey;
    markSent(host);
    if (download->m_stage != PageDownload::Stage::Sending)
        return; // libcurl sent the request again over a new connection
    download->m_stage = PageDownload::Stage::Sent;
    if (const auto found = m_hosts.find(host); found != m_hosts.end())
        --found->sending;
    QMetaObject::invokeMethod(this, [this, host] { pump(host); }, Qt::QueuedConnection);
}

// The redirect's request waits its turn at the head of its host's queue.
void DownloadManager::onRedirected(PageDownload *download)
{
    const QString from = download->m_hostKey;
    qCDebug(lcTransfer).noquote() << download->m_fetch->result().url.toDisplayString() << u"重定向到"_s
                                  << download->m_fetch->nextUrl().toDisplayString();
    leaveQueue(download);
    download->m_hostKey = hostKey(download->m_fetch->nextUrl());
    enqueue(download, true);
    if (from != download->m_hostKey)
        pump(from);
}

void DownloadManager::onAttemptFinished(PageDownload *download)
{
    LoadResult result = download->m_fetch->result();
    // Called from the fetch's own signal: it goes once that has returned.
    download->m_fetch.release()->deleteLater();
    result.attempts = download->m_attempts;
    const QString host = download->m_hostKey;
    leaveQueue(download);
    // A retry starts again from the address asked for.
    download->m_hostKey = hostKey(download->m_request.url);
    const qint64 retryWait = result.failure && download->m_attempts <= m_policy.retries
            && !download->m_hostKey.isEmpty() && result.failure->retryable()
        ? retryWaitMs(*download, result)
        : -1;
    // Other processes sharing the pace would meet the same refusal; told
    // before the next request of this one goes.
    if (retryWait >= 0 && m_policy.sharedPace)
        m_policy.sharedPace->holdOff(host, retryWait);
    pump(host);

    if (retryWait >= 0) {
        qCInfo(lcTransfer).noquote()
            << retryLogText(download->m_request.url, download->m_attempts, result.failure->reason, retryWait);
        download->m_backoff.start(int(retryWait));
        return;
    }
    const auto ended = [&] {
        return endedText(download->m_request.url, result, download->m_created.elapsed() - download->m_queuedMs);
    };
    if (result.failure)
        qCWarning(lcTransfer).noquote() << ended();
    else
        qCInfo(lcTransfer).noquote() << ended();
    download->m_result = std::move(result);
    download->m_finished = true;
    Q_EMIT download->finished();
}

void DownloadManager::leaveQueue(PageDownload *download)
{
    const auto found = m_hosts.find(download->m_hostKey);
    if (found != m_hosts.end()) {
        switch (download->m_stage) {
        case PageDownload::Stage::Waiting:
            std::erase(found->waiting, download);
            break;
        case PageDownload::Stage::Sending:
            --found->sending;
            --found->running;
            break;
        case PageDownload::Stage::Sent:
            --found->running;
            break;
        case PageDownload::Stage::Idle:
            break;
        }
    }
    download->m_stage = PageDownload::Stage::Idle;
}

// Hosts whose last request is older than any pause this manager was asked
// for are forgotten, now and then, so that a run over many sites stays small.
void DownloadManager::markSent(const QString &hostKey)
{
    const qint64 now = m_clock.nsecsElapsed();
    m_lastSentNs.insert(hostKey, now);
    if (m_lastSentNs.size() <= m_sweepAtHosts)
        return;
    m_lastSentNs.removeIf([&](const auto &entry) { return now - entry.value() >= m_longestDelayMs * NsPerMs; });
    m_sweepAtHosts = std::max<qsizetype>(SweepAtHosts, 2 * m_lastSentNs.size());
}

void DownloadManager::forget(PageDownload *download)
{
    m_downloads.remove(download);
    download->m_fetch.reset();
    leaveQueue(download);
    pump(download->m_hostKey);
}

// -1 when the server asks for a longer wait than a run puts up with.
qint64 DownloadManager::retryWaitMs(const PageDownload &download, const LoadResult &result) const
{
    const qint64 backoff = m_policy.backoffMs(download.m_attempts);
    const std::optional<qint64> asked = retryAfterMs(result.header("Retry-After"));
    if (asked && *asked > m_policy.longestWaitMs())
        return -1;
    return std::max(backoff, asked.value_or(0));
}

} // namespace pagrion
