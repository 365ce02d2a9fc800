#include "engine/readbudget.h"

#include <atomic>

#include <QString>

#include "engine/document.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

std::atomic<unsigned> stopGeneration{0};
static_assert(std::atomic<unsigned>::is_always_lock_free, "stop requests come from signal handlers");

} // namespace

ReadBudget::ReadBudget(const PageLimits &limits)
    : m_deadline(limits.timeLimitMs > 0 ? QDeadlineTimer(limits.timeLimitMs) : QDeadlineTimer::Forever)
    , m_timeLimitMs(limits.timeLimitMs)
    , m_maxTextBytes(limits.maxTextBytes)
    , m_stopGeneration(stopGeneration.load(std::memory_order_relaxed))
{
}

void ReadBudget::check() const
{
    if (stopGeneration.load(std::memory_order_relaxed) != m_stopGeneration)
        throw DocumentError(u"读取网页时收到停止请求，没有读完。"_s.toStdString());
    if (m_deadline.hasExpired())
        throw DocumentError(u"网页太复杂，在 %1 秒内没有读完。"_s.arg(m_timeLimitMs / 1000.0).toStdString());
}

void ReadBudget::addText(qint64 bytes)
{
    m_textBytes += bytes;
    if (m_maxTextBytes > 0 && m_textBytes > m_maxTextBytes)
        throw DocumentError(u"网页的文字超过 %1 MB 的限制，没有读完。可以用设置提高这个限制。"_s
                                .arg(m_maxTextBytes / double(1 << 20))
                                .toStdString());
}

void interruptDocumentReads()
{
    stopGeneration.fetch_add(1, std::memory_order_relaxed);
}

} // namespace pagrion
