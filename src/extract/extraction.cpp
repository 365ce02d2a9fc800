#include "extract/extraction.h"

#include "extract/classlist.h"
#include "extract/elementmode.h"
#include "extract/tablemode.h"

namespace pagrion {

QString extractionText(const Document &document, const ExtractionSettings &settings, Progress *progress)
{
    if (settings.tableNames.isEmpty())
        return {};
    if (settings.classValue == TableClass)
        return tableExtractionText(document, settings.tableNames, settings.rowFilter);
    return elementListText(document, settings.classValue, settings.rowFilter, progress);
}

} // namespace pagrion
