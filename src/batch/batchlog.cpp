#include "batch/batchlog.h"

#include "batch/batchprogress.h"

using namespace Qt::StringLiterals;

namespace pagrion {

Q_LOGGING_CATEGORY(lcBatch, "pagrion.batch", QtWarningMsg)

namespace {

QString endWords(BatchRun::End end)
{
    switch (end) {
    case BatchRun::End::Refused:
        return u"没有开始"_s;
    case BatchRun::End::Finished:
        return u"完成"_s;
    case BatchRun::End::Stopped:
        return u"被停止"_s;
    case BatchRun::End::DefinitionFailed:
        return u"没有可用的排版或字段"_s;
    case BatchRun::End::PageFailed:
        return u"起始网页无法读取"_s;
    case BatchRun::End::StoreFailed:
        return u"结果数据库无法读写"_s;
    }
    return {};
}

} // namespace

QString batchStartLogText(const BatchSettings &settings, EngineKind engine)
{
    QString text = u"批量采集开始："_s;
    switch (settings.mode) {
    case BatchSettings::Mode::Parameter:
        text += u"参数调用 %1，从 %2 至 %3"_s.arg(settings.address, settings.from, settings.to);
        break;
    case BatchSettings::Mode::Links:
        text += u"网页URL %1"_s.arg(settings.address);
        break;
    case BatchSettings::Mode::NextPage:
        text += u"下一页 %1"_s.arg(settings.address);
        break;
    }
    text += u"，引擎 %1，同一网站同时请求 %2 个，间隔 %3 ms，重试 %4 次，超时 %5 ms"_s.arg(
        engineName(engine), QString::number(settings.policy.concurrency), QString::number(settings.policy.delayMs),
        QString::number(settings.policy.retries), QString::number(settings.limits.timeLimitMs));
    return settings.resume ? text + u"，继续上次的采集"_s : text;
}

QString batchEndLogText(BatchRun::End end, const BatchStats &stats)
{
    QString text = u"批量采集结束（%1）：%2"_s.arg(endWords(end), runTotals(stats));
    if (const QString reasons = failureReasons(stats); !reasons.isEmpty())
        text += u"；失败原因："_s + QString(reasons.trimmed()).replace(u'\n', u"；"_s);
    return text;
}

} // namespace pagrion
