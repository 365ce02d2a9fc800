#include "engine/downloadmanager.h"

#include <algorithm>

#include <QDateTime>
#include <QRegularExpression>

#include "engine/curlmulti.h"
#include "engine/pageaddress.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

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

} // namespace

PageDownload::PageDownload(DownloadManager &manager, PageRequest request, QString hostKey)
    : m_manager(&manager), m_request(std::move(request)), m_hostKey(std::move(hostKey))
{
    m_backoff.setSingleShot(true);
    m_created.start();
}

PageDownload::~PageDownload()
{
    if (m_manager)
        m_manager->forget(this);
}

DownloadManager::DownloadManager(QObject *parent)
    : QObject(parent), m_transfers(new CurlMulti(this))
{
    m_clock.start();
}

DownloadManager::~DownloadManager()
{
    // The transfers under way go with the manager.
    for (PageDownload *download : std::as_const(m_downloads))
        download->m_fetch.reset();
}

void DownloadManager::setPolicy(const LoadPolicy &policy)
{
    m_policy = policy;
    const QStringList hosts = m_hosts.keys();
    for (const QString &host : hosts)
        pump(host);
}

std::unique_ptr<PageDownload> DownloadManager::download(const PageRequest &request)
{
    std::unique_ptr<PageDownload> download(new PageDownload(*this, request, hostKey(request.url)));
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
        startAttempt(download);
        return;
    }
    HostQueue &queue = m_hosts[download->m_hostKey];
    if (atFront)
        queue.waiting.push_front(download);
    else
        queue.waiting.push_back(download);
    pump(download->m_hostKey);
}

void DownloadManager::pump(const QString &hostKey)
{
    const auto found = m_hosts.find(hostKey);
    if (found == m_hosts.end())
        return;
    HostQueue &queue = *found;
    const int concurrency = std::max(m_policy.concurrency, 1);
    while (!queue.waiting.empty() && queue.running < concurrency) {
        if (m_policy.delayMs > 0 && queue.lastStartMs >= 0) {
            const qint64 wait = queue.lastStartMs + m_policy.delayMs - m_clock.elapsed();
            if (wait > 0) {
                if (!queue.wakeScheduled) {
                    queue.wakeScheduled = true;
                    QTimer::singleShot(wait, this, [this, hostKey] {
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
        queue.lastStartMs = m_clock.elapsed();
        startAttempt(next);
    }
    // An idle host is forgotten once its pause is over; until then it
    // remembers when its last request started.
    const bool paused = m_policy.delayMs > 0 && queue.lastStartMs >= 0
        && m_clock.elapsed() - queue.lastStartMs < m_policy.delayMs;
    if (queue.waiting.empty() && queue.running == 0 && !queue.wakeScheduled && !paused)
        m_hosts.erase(found);
}

void DownloadManager::startAttempt(PageDownload *download)
{
    if (++download->m_attempts == 1)
        download->m_queuedMs = download->m_created.elapsed();
    download->m_fetch = std::make_unique<PageFetch>(*m_transfers, download->m_request);
    PageFetch *fetch = download->m_fetch.get();
    connect(fetch, &PageFetch::redirected, fetch, &PageFetch::sendNext);
    connect(fetch, &PageFetch::finished, download, [this, download] { onAttemptFinished(download); });
    fetch->sendNext();
}

void DownloadManager::onAttemptFinished(PageDownload *download)
{
    LoadResult result = download->m_fetch->result();
    // Called from the fetch's own signal: it goes once that has returned.
    download->m_fetch.release()->deleteLater();
    result.attempts = download->m_attempts;
    release(download->m_hostKey);

    if (result.failure && download->m_attempts <= m_policy.retries && !download->m_hostKey.isEmpty()
        && result.failure->retryable()) {
        const qint64 wait = retryWaitMs(*download, result);
        if (wait >= 0) {
            download->m_backoff.start(int(wait));
            return;
        }
    }
    download->m_result = std::move(result);
    download->m_finished = true;
    Q_EMIT download->finished();
}

void DownloadManager::release(const QString &hostKey)
{
    if (hostKey.isEmpty())
        return;
    if (const auto found = m_hosts.find(hostKey); found != m_hosts.end()) {
        --found->running;
        pump(hostKey);
    }
}

void DownloadManager::forget(PageDownload *download)
{
    m_downloads.remove(download);
    if (download->m_fetch) {
        download->m_fetch.reset();
        release(download->m_hostKey);
        return;
    }
    if (const auto found = m_hosts.find(download->m_hostKey); found != m_hosts.end()) {
        std::erase(found->waiting, download);
        pump(download->m_hostKey);
    }
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
