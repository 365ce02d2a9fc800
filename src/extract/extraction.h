#pragma once

#include <QString>

namespace pagrion {

class Document;
class Progress;

// What the extract command needs to know about a site.
struct ExtractionSettings
{
    QString classValue; // "table" or a tag name
    QString tableNames; // table-name list
    QString rowFilter;  // row filter list
};

// The row text the extract command produces for a page: the named tables'
// rows in table mode, the tag's elements otherwise. An empty table-name list
// extracts nothing.
QString extractionText(const Document &document, const ExtractionSettings &settings, Progress *progress = nullptr);

} // namespace pagrion
