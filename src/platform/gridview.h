#pragma once

#include <QTableView>

#include "core/grid.h"

namespace pagrion {

class GridModel;

// Shows a Grid the way the program's grids look: row 0 is the fixed header
// row, drawn like a header; every cell is addressed by the grid's own row and
// column. Code changes the grid through grid() and then calls gridChanged().
class GridView final : public QTableView
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GridView)

public:
    explicit GridView(QWidget *parent = nullptr);
    ~GridView() override;

    Grid &grid() { return m_grid; }
    const Grid &grid() const { return m_grid; }
    // Redraws after the grid was changed.
    void gridChanged();

    // The current cell, in grid coordinates (-1 when there is none).
    int currentRow() const;
    int currentCol() const;

Q_SIGNALS:
    void cellDoubleClicked(int row, int col);

private:
    Grid m_grid;
    GridModel *m_model;
};

} // namespace pagrion
