#include "extract/tablemode.h"

#include "core/progress.h"
#include "core/textrules.h"
#include "core/workbudget.h"
#include "extract/rowtext.h"
#include "engine/document.h"

namespace pagrion {

QString tableAnalysisText(const Document &document, Progress *progress)
{
    const QList<HtmlTable> tables = document.tables();
    QString text;
    if (tables.isEmpty())
        return text;
    if (progress)
        progress->start(int(tables.size()));
    for (qsizetype t = 0; t < tables.size(); ++t) {
        if (progress)
            progress->setValue(int(t) + 1);
        text += u"\r\n" + elementName(int(t)) + u"\r\n";
        for (const QStringList &cells : tables[t].rows) {
            for (const QString &cell : cells)
                text += trimSpaces(cell) + u'｜';
            // Drops the last "｜"; for a row without cells, the line feed
            // before it, which is how the analysis has always shown such rows.
            text.chop(1);
            text += RowEnd;
        }
    }
    if (progress)
        progress->finish();
    return text;
}

QString tableExtractionText(const Document &document, const QString &tableNames, const QString &rowFilter,
                            const WorkBudget *budget)
{
    QString text;
    if (tableNames.isEmpty())
        return text;
    const NameList names(tableNames);
    const NameList filter(rowFilter);
    const QList<HtmlTable> tables = document.tables();
    for (qsizetype t = 0; t < tables.size(); ++t) {
        const QString element = elementName(int(t));
        if (!GetTableName(element, names))
            continue;
        const QList<QStringList> &rows = tables[t].rows;
        for (qsizetype r = 0; r < rows.size(); ++r) {
            checkWork(budget);
            if (!GetTableRows(rowName(element, int(r)), filter))
                continue;
            QString line;
            for (const QString &cell : rows[r]) {
                const QString trimmed = trimSpaces(cell);
                line += (trimmed.isEmpty() ? QStringLiteral("  ") : trimmed) + CellSeparator;
            }
            if (trimSpaces(line).isEmpty())
                continue;
            line.chop(1);
            text += line + RowEnd;
        }
    }
    return text;
}

} // namespace pagrion
