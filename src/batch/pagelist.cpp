#include "batch/pagelist.h"

#include "core/textrules.h"

using namespace Qt::StringLiterals;

namespace pagrion {

QString rangeProblemMessage(RangeProblem problem)
{
    switch (problem) {
    case RangeProblem::NoValues:
        return u"没有定义参数值！"_s;
    case RangeProblem::EndBeforeStart:
        return u"结束值不能小于初始值！"_s;
    case RangeProblem::OutOfRange:
        return u"参数值超出范围，起始值和结束值必须在-2147483648到2147483647之间！"_s;
    case RangeProblem::TooManyPages:
        return u"参数范围太大，一次最多采集32767个页面！"_s;
    }
    return {};
}

RangeCheck checkParameterRange(const QString &fromText, const QString &toText)
{
    if (fromText.isEmpty() || toText.isEmpty())
        return {RangeProblem::NoValues, {}};
    const double from = readNumber(fromText);
    const double to = readNumber(toText);
    if (from > to)
        return {RangeProblem::EndBeforeStart, {}};
    const auto first = roundToInt32(from);
    const auto last = roundToInt32(to);
    if (!first || !last)
        return {RangeProblem::OutOfRange, {}};
    if (qint64(*last) - qint64(*first) + 1 > MaxPages)
        return {RangeProblem::TooManyPages, {}};
    return {std::nullopt, {*first, *last}};
}

QStringList parameterPages(const QString &pattern, const ParameterRange &range)
{
    QStringList pages;
    pages.reserve(qsizetype(qint64(range.to) - range.from + 1));
    for (qint64 i = range.from; i <= range.to; ++i) {
        QString address = pattern;
        pages << trimSpaces(address.replace(Wildcard, QString::number(i)));
    }
    return pages;
}

} // namespace pagrion
