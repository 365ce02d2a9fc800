#include "batch/batchprogress.h"

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

QString rateText(const RunRate &rate)
{
    if (rate.pagesPerSecond <= 0)
        return u"-- 页/秒"_s;
    // A slow, polite run still shows a rate that is not 0.0.
    const int decimals = rate.pagesPerSecond < 1 ? 2 : 1;
    return u"%1 页/秒"_s.arg(rate.pagesPerSecond, 0, 'f', decimals);
}

QString remainingText(const RunRate &rate)
{
    return u"剩余 "_s + (rate.remainingMs ? durationText(*rate.remainingMs) : u"--"_s);
}

} // namespace

QString durationText(qint64 ms)
{
    const qint64 seconds = std::llround(double(std::max<qint64>(ms, 0)) / 1000.0);
    const qint64 hours = seconds / 3600;
    const qint64 minutes = seconds / 60 % 60;
    if (hours > 0)
        return u"%1:%2:%3"_s.arg(hours).arg(minutes, 2, 10, QChar(u'0')).arg(seconds % 60, 2, 10, QChar(u'0'));
    return u"%1:%2"_s.arg(minutes).arg(seconds % 60, 2, 10, QChar(u'0'));
}

QString progressBarText(int position, int total, const RunRate &rate)
{
    return u"%1/%2  "_s.arg(position).arg(total) + rateText(rate) + u"  "_s + remainingText(rate);
}

QString progressFigures(int done, int total, const BatchStats &stats, const RunRate &rate, const QString &separator)
{
    return QStringList{u"%1/%2 页"_s.arg(done).arg(total), u"记录 %1"_s.arg(stats.records),
                       u"跳过 %1"_s.arg(stats.skipped), u"失败 %1"_s.arg(stats.failed), rateText(rate),
                       u"已用 "_s + durationText(rate.elapsedMs), remainingText(rate)}
        .join(separator);
}

QString runTotals(const BatchStats &stats)
{
    return u"共 %1 页，%2 条记录，跳过 %3 页，失败 %4 页"_s.arg(stats.pages)
        .arg(stats.records)
        .arg(stats.skipped)
        .arg(stats.failed);
}

QString failureReasons(const BatchStats &stats, int lines)
{
    QList<std::pair<int, QString>> reasons;
    for (auto it = stats.failures.cbegin(); it != stats.failures.cend(); ++it)
        reasons.append({it.value(), it.key()});
    std::stable_sort(reasons.begin(), reasons.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
    QStringList text;
    for (qsizetype i = 0; i < reasons.size(); ++i) {
        if (i == lines) {
            text << u"……另有 %1 种原因"_s.arg(reasons.size() - lines);
            break;
        }
        text << u"%1 页：%2"_s.arg(reasons[i].first).arg(reasons[i].second);
    }
    return text.join(u'\n');
}

} // namespace pagrion
