#include "core/grid.h"

#include <stdexcept>

namespace pagrion {

Grid::Grid(int rows, int cols)
{
    setCols(cols);
    setRows(rows);
}

void Grid::setRows(int rows)
{
    m_rows = std::max(rows, 0);
    m_cells.resize(m_rows, std::vector<QString>(m_cols));
}

void Grid::setCols(int cols)
{
    cols = std::max(cols, 0);
    if (cols == m_cols)
        return;
    m_cols = cols;
    for (auto &row : m_cells)
        row.resize(m_cols);
}

bool Grid::contains(int row, int col) const
{
    return row >= 0 && row < m_rows && col >= 0 && col < m_cols;
}

const QString &Grid::text(int row, int col) const
{
    if (!contains(row, col))
        throw std::out_of_range("grid cell out of range");
    return m_cells[row][col];
}

void Grid::setText(int row, int col, const QString &text)
{
    if (!contains(row, col))
        throw std::out_of_range("grid cell out of range");
    m_cells[row][col] = text;
}

bool GetGridLastRowNull(const Grid &grid)
{
    if (grid.rows() == 0)
        return true;
    const int last = grid.rows() - 1;
    for (int col = 0; col < grid.cols(); ++col) {
        if (!grid.text(last, col).isEmpty())
            return false;
    }
    return true;
}

} // namespace pagrion
