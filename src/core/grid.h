#pragma once

#include <vector>

#include <QString>

namespace pagrion {

// A table of text cells, rows and columns counted from 0. Every grid of the
// program is one of these; a window that shows a grid shows it through a view.
//
// A grid keeps only the cells that were written: its memory follows the text
// it holds, not rows × columns, so a page with one very wide row and many
// short ones stays small, and resizing a grid touches only written cells.
class Grid final
{
public:
    Grid() = default;
    Grid(int rows, int cols);

    int rows() const { return m_rows; }
    int cols() const { return m_cols; }

    // Changing a count keeps the cells that remain and adds blank ones.
    void setRows(int rows);
    void setCols(int cols);

    bool contains(int row, int col) const;

    // Both throw std::out_of_range for a cell outside the grid.
    const QString &text(int row, int col) const;
    void setText(int row, int col, QString text);

    // Every cell of the row from this column on is blank: a walk over the
    // row's text can stop here. At most cols().
    int writtenCols(int row) const;

    bool operator==(const Grid &other) const;

private:
    using Row = std::vector<QString>;

    int m_rows = 0;
    int m_cols = 0;
    // Rows up to the last one written, each up to its last written cell;
    // every cell beyond them is blank.
    std::vector<Row> m_cells;
};

// True when every cell of the last row is the empty string, compared exactly
// (a cell of spaces is not blank). A grid without columns counts as blank.
bool GetGridLastRowNull(const Grid &grid);

} // namespace pagrion
