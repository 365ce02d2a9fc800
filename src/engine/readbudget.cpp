#include "engine/readbudget.h"

#include <QString>

#include "engine/document.h"

using namespace Qt::StringLiterals;

namespace pagrion {

ReadBudget::ReadBudget(const PageLimits &limits) : m_work(limits.timeLimitMs), m_maxTextBytes(limits.maxTextBytes)
{
}

void ReadBudget::check() const
{
    const std::optional<WorkBudget::End> end = m_work.ended();
    if (!end)
        return;
    switch (*end) {
    case WorkBudget::End::Stopped:
        throw DocumentError(u"读取网页时收到停止请求，没有读完。"_s.toStdString());
    case WorkBudget::End::TimedOut:
        throw DocumentError(u"网页太复杂，在 %1 秒内没有读完。"_s.arg(m_work.timeLimitMs() / 1000.0).toStdString());
    }
}

void ReadBudget::addText(qint64 bytes)
{
    m_textBytes += bytes;
    if (m_maxTextBytes > 0 && m_textBytes > m_maxTextBytes)
        throw DocumentError(textOverLimitReason(m_maxTextBytes).toStdString());
}

QString textOverLimitReason(qint64 maxTextBytes)
{
    return u"网页的文字超过 %1 MB 的限制，没有读完。可以用设置提高这个限制。"_s.arg(maxTextBytes / double(1 << 20));
}

} // namespace pagrion
