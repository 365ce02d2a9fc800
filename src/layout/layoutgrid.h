#pragma once

#include <functional>
#include <optional>

#include <QString>

#include "core/grid.h"
#include "layout/layouts.h"

// What the layout editor does to its grid, apart from showing it. Row 0 is the
// header, rows 1 and up are layout rows, and the grid keeps a blank last row.
namespace pagrion {

// Adds one row when the last row holds anything.
void keepBlankLastRow(Grid &grid);

// Removes one row; the rows below move up by one.
void removeGridRow(Grid &grid, int row);

// Empties every row below the header at once, leaving one blank row.
void clearGridRows(Grid &grid);

// The saved form of the grid: rows 1 to rows - 2 whose first cell is not
// blank, every cell trimmed of spaces, a blank cell stored as null.
Layout layoutFromGrid(const Grid &grid);

// Puts a saved layout back: record k into row k + 1, each non-blank value as
// stored, the grid widened when a record is wider.
void loadLayoutIntoGrid(const Layout &layout, Grid &grid);

// The two questions of inserting a recorded cell into a cell that already
// holds references.
inline constexpr char16_t AddReferenceQuestion[] = u"是否在该单元格添加多个原单元格信息！";
inline constexpr char16_t ReplaceReferenceQuestion[] = u"是否修改该单元格信息！";

// Puts the recorded cell reference into cell (row, col): an empty cell takes
// it; otherwise ask() decides whether to add it after a "|" or, failing that,
// to replace the cell. ask gets the question and answers true for OK.
void insertRecordedCell(Grid &grid, int row, int col, const QString &recordedCell,
                        const std::function<bool(const QString &question)> &ask);

// The Delete key on a layout row: on row 1 it empties the whole layout,
// elsewhere it removes that row.
void deleteLayoutRow(Grid &grid, int row);

// The count after adding the number typed into an input box (read leniently,
// the sum rounded half to even); nullopt when the sum is below minimum or
// above what the grid's 16-bit indexes reach, so the grid is left as it is.
std::optional<int> countAfterAdding(int count, const QString &answer, int minimum);

} // namespace pagrion
