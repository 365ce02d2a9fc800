#include "layout/layoutgrid.h"

#include <limits>

#include "core/textrules.h"

namespace pagrion {

void keepBlankLastRow(Grid &grid)
{
    if (!GetGridLastRowNull(grid))
        grid.setRows(grid.rows() + 1);
}

void removeGridRow(Grid &grid, int row)
{
    if (row < 0 || row >= grid.rows())
        return;
    for (int r = row; r + 1 < grid.rows(); ++r) {
        for (int c = 0; c < grid.cols(); ++c)
            grid.setText(r, c, grid.text(r + 1, c));
    }
    grid.setRows(grid.rows() - 1);
}

void clearGridRows(Grid &grid)
{
    grid.setRows(1);
    grid.setRows(2);
}

Layout layoutFromGrid(const Grid &grid)
{
    Layout layout;
    for (int r = 1; r <= grid.rows() - 2; ++r) {
        if (grid.cols() == 0 || trimSpaces(grid.text(r, 0)).isEmpty())
            continue;
        LayoutRow row;
        for (int c = 0; c < grid.cols(); ++c) {
            const QString value = trimSpaces(grid.text(r, c));
            row.append(value.isEmpty() ? std::nullopt : std::optional<QString>(value));
        }
        // Null columns at the end say nothing; leaving them out keeps the table narrow.
        while (!row.isEmpty() && !row.last())
            row.removeLast();
        layout.append(row);
    }
    return layout;
}

void loadLayoutIntoGrid(const Layout &layout, Grid &grid)
{
    int k = 0;
    for (const LayoutRow &record : layout) {
        for (int c = 0; c < record.size(); ++c) {
            const std::optional<QString> &value = record.at(c);
            if (!value || trimSpaces(*value).isEmpty())
                continue;
            if (grid.cols() < c + 1)
                grid.setCols(c + 1);
            // A record that wrote nothing added no row; the next one still needs its own.
            if (grid.rows() < k + 2)
                grid.setRows(k + 2);
            grid.setText(k + 1, c, *value);
        }
        ++k;
        keepBlankLastRow(grid);
    }
}

void insertRecordedCell(Grid &grid, int row, int col, const QString &recordedCell,
                        const std::function<bool(const QString &question)> &ask)
{
    if (recordedCell.isEmpty() || !grid.contains(row, col))
        return;
    const QString old = grid.text(row, col);
    if (old.isEmpty())
        grid.setText(row, col, recordedCell);
    else if (ask(QString::fromUtf16(AddReferenceQuestion)))
        grid.setText(row, col, old + u'|' + recordedCell);
    else if (ask(QString::fromUtf16(ReplaceReferenceQuestion)))
        grid.setText(row, col, recordedCell);
    keepBlankLastRow(grid);
}

void deleteLayoutRow(Grid &grid, int row)
{
    if (row < 1 || row >= grid.rows())
        return;
    if (row == 1) {
        clearGridRows(grid);
        return;
    }
    removeGridRow(grid, row);
    keepBlankLastRow(grid);
}

std::optional<int> countAfterAdding(int count, const QString &answer, int minimum)
{
    const std::optional<qint32> sum = roundToInt32(count + readNumber(answer));
    if (!sum || *sum < minimum || *sum > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return *sum;
}

} // namespace pagrion
