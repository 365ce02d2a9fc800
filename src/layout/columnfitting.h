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

} // namespace pagrion
