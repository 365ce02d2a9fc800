#pragma once

#include <QString>

namespace pagrion {

class Document;
class Progress;
class WorkBudget;

// What the extract command needs to know about a site.
struct ExtractionSettings
{
    QString classValue; // "table" or a tag name
    QString tableNames; // table-name list
    QString rowFilter;  // row filter list
};

// The row text the extract command produces for a page: the named tables'
// rows in table mode, the tag's elements otherwise. An empty table-name list
// extracts nothing. A budget ends a long extraction with WorkEnded.
QString extractionText(const Document &document, const ExtractionSettings &settings, Progress *progress = nullptr,
                       const WorkBudget *budget = nullptr);

// Why extraction gives a page no rows, for the user: the named tables are
// not on the page ("网页中没有表格 TableName3"), the page has no element of
// the tag, or every row was left out ("过滤后没有行").
QString noRowsReason(const Document &document, const ExtractionSettings &settings);
// The same for table mode, from the number of tables on the page.
QString noTableRowsReason(const QString &tableNames, qsizetype tableCount);

} // namespace pagrion
