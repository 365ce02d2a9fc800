#include "extract/elementmode.h"

#include "core/progress.h"
#include "core/textrules.h"
#include "core/workbudget.h"
#include "extract/rowtext.h"
#include "engine/document.h"

namespace pagrion {

QString elementListText(const Document &document, const QString &tagName, const QString &rowFilter,
                        Progress *progress, const WorkBudget *budget)
{
    QString text;
    if (tagName.isEmpty())
        return text;
    const QStringList elements = document.elementTexts(tagName);
    if (elements.isEmpty())
        return text;
    const NameList filter(rowFilter);
    const QString element = elementName(1);
    if (progress)
        progress->start(int(elements.size()));
    for (qsizetype i = 0; i < elements.size(); ++i) {
        checkWork(budget);
        if (progress)
            progress->setValue(int(i) + 1);
        if (GetTableRows(rowName(element, int(i)), filter))
            text += trimSpaces(elements[i]) + RowEnd;
    }
    if (progress)
        progress->finish();
    return text;
}

} // namespace pagrion
