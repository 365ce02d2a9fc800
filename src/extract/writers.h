#pragma once

#include <QString>

#include "core/grid.h"
#include "core/workbudget.h"

// The writers that turn row text into grid cells: text row i lands in grid
// row i + 1 (row 0 is the header), cell j in column j, or the other way round
// for the transposing writers. Every writer keeps one blank row at the end of
// the grid, into which the next text row goes, and makes sure the row it
// writes into exists, so an all-empty text row never shifts the rows after it.
namespace pagrion {

enum class EmptyPiece {
    KeepRow, // an empty text row keeps a blank grid row (the preview grid)
    NoRow,   // nothing is done for it (the main grid, prepared with spare rows)
};

// Straight layout. The column count always equals the widest row seen so far
// in this call. A text without rows leaves the grid as it was.
void writeRowText(Grid &grid, const QString &rowText, EmptyPiece emptyPiece, const WorkBudget *budget = nullptr);

// Transposed layout: cell j of text row i goes to grid row j + 1, column i.
// Returns false when the text held no rows (nothing was written).
bool writeRowTextTransposed(Grid &grid, const QString &rowText, const WorkBudget *budget = nullptr);

// Header row 0: "第1列", "第2列", ... for every column.
void writeColumnHeads(Grid &grid);

// The main grid as a batch run fills it for one page: reset to 100 blank rows
// and columns, then written straight or, with swap, transposed.
void writeBatchPageGrid(Grid &grid, const QString &rowText, bool swap, const WorkBudget *budget = nullptr);

} // namespace pagrion
