#include "platform/gridview.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QPalette>

namespace pagrion {

class GridModel final : public QAbstractTableModel
{
public:
    GridModel(const Grid &grid, QObject *parent) : QAbstractTableModel(parent), m_grid(grid) {}

    int rowCount(const QModelIndex &parent) const override { return parent.isValid() ? 0 : m_grid.rows(); }
    int columnCount(const QModelIndex &parent) const override { return parent.isValid() ? 0 : m_grid.cols(); }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || !m_grid.contains(index.row(), index.column()))
            return {};
        switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return m_grid.text(index.row(), index.column());
        case Qt::BackgroundRole:
            if (index.row() == 0)
                return QPalette().brush(QPalette::Button);
            return {};
        default:
            return {};
        }
    }

    void reset()
    {
        beginResetModel();
        endResetModel();
    }

private:
    const Grid &m_grid;
};

GridView::GridView(QWidget *parent)
    : QTableView(parent)
    , m_model(new GridModel(m_grid, this))
{
    setModel(m_model);
    horizontalHeader()->hide();
    verticalHeader()->hide();
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    connect(this, &QTableView::doubleClicked, this,
            [this](const QModelIndex &index) { Q_EMIT cellDoubleClicked(index.row(), index.column()); });
}

GridView::~GridView() = default;

void GridView::gridChanged()
{
    m_model->reset();
}

int GridView::currentRow() const
{
    return currentIndex().isValid() ? currentIndex().row() : -1;
}

int GridView::currentCol() const
{
    return currentIndex().isValid() ? currentIndex().column() : -1;
}

} // namespace pagrion
