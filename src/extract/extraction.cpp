#include "extract/extraction.h"

#include "extract/classlist.h"
#include "extract/elementmode.h"
#include "extract/rowtext.h"
#include "extract/tablemode.h"
#include "core/textrules.h"
#include "engine/document.h"

using namespace Qt::StringLiterals;

namespace pagrion {

QString extractionText(const Document &document, const ExtractionSettings &settings, Progress *progress,
                       const WorkBudget *budget)
{
    if (settings.tableNames.isEmpty())
        return {};
    if (settings.classValue == TableClass)
        return tableExtractionText(document, settings.tableNames, settings.rowFilter, budget);
    return elementListText(document, settings.classValue, settings.rowFilter, progress, budget);
}

QString noTableRowsReason(const QString &tableNames, qsizetype tableCount)
{
    QStringList missing;
    bool anyThere = false;
    for (const QString &typed : tableNames.split(CellSeparator)) {
        const QString name = trimSpaces(typed);
        if (name.isEmpty())
            continue;
        bool there = false;
        for (qsizetype t = 0; t < tableCount && !there; ++t)
            there = sameName(name, elementName(int(t)));
        if (there)
            anyThere = true;
        else
            missing << name;
    }
    if (anyThere || missing.isEmpty())
        return u"过滤后没有行"_s;
    return u"网页中没有表格 %1"_s.arg(missing.join(u"、"_s));
}

QString noRowsReason(const Document &document, const ExtractionSettings &settings)
{
    if (settings.classValue == TableClass)
        return noTableRowsReason(settings.tableNames, document.tables().size());
    if (document.elementTexts(settings.classValue).isEmpty())
        return u"网页中没有 %1 元素"_s.arg(settings.classValue);
    return u"过滤后没有行"_s;
}

} // namespace pagrion
