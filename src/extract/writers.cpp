#include "extract/writers.h"

#include "extract/rowtext.h"

namespace pagrion {

namespace {

void ensureRow(Grid &grid, int row)
{
    if (grid.rows() <= row)
        grid.setRows(row + 1);
}

void keepBlankLastRow(Grid &grid)
{
    if (!GetGridLastRowNull(grid))
        grid.setRows(grid.rows() + 1);
}

} // namespace

void writeRowText(Grid &grid, const QString &rowText, EmptyPiece emptyPiece, const WorkBudget *budget)
{
    const QList<QList<QStringView>> rows = readRowText(rowText);
    qsizetype widest = 0;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        checkWork(budget);
        const QList<QStringView> &cells = rows[i];
        widest = std::max(widest, cells.size());
        grid.setCols(int(widest));
        const int target = int(i) + 1;
        if (!cells.isEmpty())
            ensureRow(grid, target);
        for (qsizetype j = 0; j < cells.size(); ++j)
            grid.setText(target, int(j), cells[j].toString());
        if (cells.isEmpty() && emptyPiece == EmptyPiece::KeepRow)
            grid.setRows(grid.rows() + 1);
        keepBlankLastRow(grid);
    }
}

bool writeRowTextTransposed(Grid &grid, const QString &rowText, const WorkBudget *budget)
{
    const QList<QList<QStringView>> rows = readRowText(rowText);
    if (rows.isEmpty())
        return false;
    grid.setCols(int(rows.size()));
    for (qsizetype i = 0; i < rows.size(); ++i) {
        checkWork(budget);
        const QList<QStringView> &cells = rows[i];
        for (qsizetype j = 0; j < cells.size(); ++j) {
            ensureRow(grid, int(j) + 1);
            grid.setText(int(j) + 1, int(i), cells[j].toString());
            keepBlankLastRow(grid);
        }
    }
    return true;
}

void writeColumnHeads(Grid &grid)
{
    if (grid.rows() == 0)
        return;
    for (int col = 0; col < grid.cols(); ++col)
        grid.setText(0, col, u"第" + QString::number(col + 1) + u"列");
}

void writeBatchPageGrid(Grid &grid, const QString &rowText, bool swap, const WorkBudget *budget)
{
    // Going down to one row and column first blanks every cell the previous
    // page wrote (row 0, the header, is never written).
    grid.setRows(1);
    grid.setRows(100);
    grid.setCols(1);
    grid.setCols(100);
    if (swap)
        writeRowTextTransposed(grid, rowText, budget);
    else
        writeRowText(grid, rowText, EmptyPiece::NoRow, budget);
}

} // namespace pagrion
