#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "core/result.h"
#include "core/workbudget.h"
#include "store/recordchoice.h"

namespace pagrion {

class Document;
struct ExtractionSettings;
struct HtmlTable;

// A table laid out as the HTML table model does: a cell that spans rows or
// columns fills every position it covers, so the columns of every row line
// up. Positions no cell covers are empty.
struct AlignedTable
{
    QList<QStringList> rows;  // one per row of the table, up to its last covered position
    QList<bool> headerRows;   // the row's own cells are all <th>
    int width = 0;            // of the widest row
};

// At most this many columns are laid out: far more than a record holds, so
// only a hostile colspan is cut.
inline constexpr int MaxAlignedColumns = 1000;

// A budget ends the work on a long table with WorkEnded.
AlignedTable alignTable(const HtmlTable &table, const WorkBudget *budget = nullptr);

// The records 逐行记录 makes of one page.
struct RowRecords
{
    QStringList names;          // column names from the first table with a header
    QList<QStringList> records; // in page order
    QString emptyReason;        // why there is no record, when there is none
};

// In table mode every row of the named tables that the row filter keeps, is
// not blank and is not a header row becomes a record, its cells trimmed of
// spaces and lined up as alignTable does, then cut to the chosen columns.
// With an element class every element the filter keeps is a record: its
// text, and for a elements the address it links to. Fails, with the message
// the user is shown, when a chosen column is not in a table.
Result<RowRecords> everyRowRecords(const Document &document, const ExtractionSettings &extraction,
                                   const EveryRowOptions &options, const WorkBudget *budget = nullptr);

} // namespace pagrion
