#pragma once

#include "core/grid.h"
#include "core/result.h"

// The result table datalist: records appended from a grid, emptied on request.
namespace pagrion {

struct AppendOptions
{
    bool skipEmptyFirstField = false; // leave out rows whose first cell is blank once trimmed
};

// Appends rows 1 to rows - 2 of the grid (row 0 is the header, the last row
// the blank one) as records, column j into data column j + 1, each cell
// trimmed of spaces. All rows go in one transaction; if a row fails, the rows
// before it are committed and the error says what failed. Returns the number
// of records stored. A grid wider than the table widens it first.
Result<int> appendRecords(const Grid &grid, const AppendOptions &options);

// delete from datalist.
Status clearRecords();

// The save of a grid window: the table is emptied first when overwrite is
// set (that deletion stands even if appending fails), then the rows go in.
Result<int> saveGridRecords(const Grid &grid, bool overwrite, const AppendOptions &options);

} // namespace pagrion
