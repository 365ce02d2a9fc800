#pragma once

class QWidget;

namespace pagrion {

class GridView;

// Fits each column of the grid to its widest text as the window measures it
// in the window's own font, plus 300 twips; a text with line breaks counts by
// its widest line. The grid's font becomes 10 points, its cells left aligned.
// A grid beyond the 16-bit row or column range cannot be fitted: the user is
// told, and the widths set so far stay.
void fitColumns(GridView &grid, const QWidget &window);

// Widens every column whose caption (row 0) needs more room than the column
// has, measured as fitColumns measures; the other widths stay. For captions
// written after a fitting.
void widenToCaptions(GridView &grid, const QWidget &window);

} // namespace pagrion
