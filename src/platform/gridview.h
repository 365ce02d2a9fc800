#pragma once

#include <QList>
#include <QTableView>

#include "core/grid.h"

namespace pagrion {

class GridModel;

// Sizes of the program's windows and grids are given in twips.
inline constexpr int TwipsPerPixel = 15;

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
    // Redraws after the grid was changed; columns that remain keep their widths.
    void gridChanged();

    // The current cell, in grid coordinates (-1 when there is none).
    int currentRow() const;
    int currentCol() const;
    void setCurrentCell(int row, int col);
    // The text of the current cell as the grid holds it; empty when there is none.
    QString currentText() const;

    // Column widths in twips: the value last set is read back as it was set,
    // until the user drags the column to another width.
    int colWidth(int col) const;
    void setColWidth(int col, int twips);
    int widthTwips() const { return width() * TwipsPerPixel; }

    void setColAlignment(int col, Qt::Alignment alignment);

    // Windows' virtual-key code of a key: letters as upper-case ASCII, digits
    // as ASCII, Ctrl 17, Delete 46 and so on; 0 for keys without one.
    static int keyCode(int qtKey, Qt::KeyboardModifiers modifiers);

Q_SIGNALS:
    void cellDoubleClicked(int row, int col);
    // Every key pressed on the grid, Ctrl counted as held while Ctrl itself is down.
    void keyDown(int keyCode, Qt::KeyboardModifiers modifiers);
    // A key that types a character (control characters such as Enter included).
    void keyPress(QChar character);
    void gotFocus();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void keyboardSearch(const QString &search) override;

private:
    void applyColWidth(int col);

    Grid m_grid;
    GridModel *m_model;
    QList<int> m_colTwips; // -1: the view's default width
    QList<Qt::Alignment> m_alignments;
    bool m_resetting = false;
};

} // namespace pagrion
