#include "store/recordchoice.h"

using namespace Qt::StringLiterals;

namespace pagrion {

QString recordSourceName(RecordSource source)
{
    switch (source) {
    case RecordSource::Layout:
        return u"layout"_s;
    case RecordSource::Fields:
        return u"fields"_s;
    case RecordSource::EveryRow:
        return u"rows"_s;
    }
    return {};
}

QString recordSourceCaption(RecordSource source)
{
    switch (source) {
    case RecordSource::Layout:
        return u"调用排版"_s;
    case RecordSource::Fields:
        return u"调用字段"_s;
    case RecordSource::EveryRow:
        return u"逐行记录"_s;
    }
    return {};
}

std::optional<RecordSource> recordSourceFromName(const QString &name)
{
    for (const RecordSource source : {RecordSource::Layout, RecordSource::Fields, RecordSource::EveryRow}) {
        if (recordSourceName(source).compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return source;
    }
    return std::nullopt;
}

std::optional<int> headerRowsFromText(const QString &text)
{
    const QString given = text.trimmed();
    if (given.isEmpty() || given == u"自动"_s || given.compare(u"auto"_s, Qt::CaseInsensitive) == 0)
        return EveryRowOptions::AutoHeaderRows;
    bool ok = false;
    const int rows = given.toInt(&ok);
    if (!ok || rows < 0 || rows > 2)
        return std::nullopt;
    return rows;
}

QString headerRowsText(int headerRows)
{
    return headerRows == EveryRowOptions::AutoHeaderRows ? u"自动"_s : QString::number(headerRows);
}

} // namespace pagrion
