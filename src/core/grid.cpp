#include "core/grid.h"

#include <algorithm>
#include <stdexcept>

namespace pagrion {

namespace {

const QString Blank;

} // namespace

Grid::Grid(int rows, int cols)
{
    setCols(cols);
    setRows(rows);
}

void Grid::setRows(int rows)
{
    m_rows = std::max(rows, 0);
    if (m_cells.size() > size_t(m_rows))
        m_cells.resize(m_rows);
}

void Grid::setCols(int cols)
{
    const int before = m_cols;
    m_cols = std::max(cols, 0);
    // Rows never hold cells past the count, so only a narrower grid has
    // any to cut: a writer widening row by row stays linear.
    if (m_cols >= before)
        return;
    for (Row &row : m_cells) {
        if (row.size() > size_t(m_cols))
            row.resize(m_cols);
    }
}

bool Grid::contains(int row, int col) const
{
    return row >= 0 && row < m_rows && col >= 0 && col < m_cols;
}

const QString &Grid::text(int row, int col) const
{
    if (!contains(row, col))
        throw std::out_of_range("grid cell out of range");
    return col < writtenCols(row) ? m_cells[row][col] : Blank;
}

void Grid::setText(int row, int col, QString text)
{
    if (!contains(row, col))
        throw std::out_of_range("grid cell out of range");
    if (col >= writtenCols(row)) {
        if (text.isEmpty())
            return; // already blank
        if (m_cells.size() <= size_t(row))
            m_cells.resize(row + 1);
        m_cells[row].resize(col + 1);
    }
    m_cells[row][col] = std::move(text);
}

int Grid::writtenCols(int row) const
{
    return row >= 0 && size_t(row) < m_cells.size() ? int(m_cells[row].size()) : 0;
}

bool Grid::operator==(const Grid &other) const
{
    if (m_rows != other.m_rows || m_cols != other.m_cols)
        return false;
    const int rows = int(std::max(m_cells.size(), other.m_cells.size()));
    for (int row = 0; row < rows; ++row) {
        const int cols = std::max(writtenCols(row), other.writtenCols(row));
        for (int col = 0; col < cols; ++col) {
            if (text(row, col) != other.text(row, col))
                return false;
        }
    }
    return true;
}

bool GetGridLastRowNull(const Grid &grid)
{
    if (grid.rows() == 0)
        return true;
    const int last = grid.rows() - 1;
    for (int col = 0; col < grid.writtenCols(last); ++col) {
        if (!grid.text(last, col).isEmpty())
            return false;
    }
    return true;
}

} // namespace pagrion
