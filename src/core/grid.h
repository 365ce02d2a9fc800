#pragma once

#include <vector>

#include <QString>

namespace pagrion {

// A table of text cells, rows and columns counted from 0. Every grid of the
// program is one of these; a window that shows a grid shows it through a view.
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
    void setText(int row, int col, const QString &text);

    bool operator==(const Grid &other) const = default;

private:
    int m_rows = 0;
    int m_cols = 0;
    std::vector<std::vector<QString>> m_cells; // m_rows rows of m_cols cells
};

// True when every cell of the last row is the empty string, compared exactly
// (a cell of spaces is not blank). A grid without columns counts as blank.
bool GetGridLastRowNull(const Grid &grid);

} // namespace pagrion
