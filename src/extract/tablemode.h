#pragma once

#include <QString>

namespace pagrion {

class Document;
class Progress;
class WorkBudget;

// The reading text of the table analysis: for every table its element name
// on a line of its own, then each row's trimmed cell texts separated by "｜",
// each row ended by "<rows>" and CR LF. Reports one progress step per table.
QString tableAnalysisText(const Document &document, Progress *progress = nullptr);

// Row text of the named tables' rows that the row filter keeps. An empty cell
// is written as two spaces so no cell is an empty string; a row that is blank
// once trimmed of spaces is left out.
QString tableExtractionText(const Document &document, const QString &tableNames, const QString &rowFilter,
                            const WorkBudget *budget = nullptr);

} // namespace pagrion
