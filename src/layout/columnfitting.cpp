#include "layout/columnfitting.h"

#include <algorithm>
#include <limits>

#include <QFontMetrics>
#include <QWidget>

#include "platform/current.h"
#include "platform/dialogs.h"
#include "platform/gridview.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

// Rows and columns are counted in 16 bits here; a larger grid cannot be fitted.
constexpr int MaxIndex = std::numeric_limits<qint16>::max();

int widestLine(const QFontMetrics &metrics, QString text)
{
    text.replace(u"\r\n"_s, u"\n"_s).replace(u'\r', u'\n');
    int widest = 0;
    for (const QString &line : text.split(u'\n'))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    return widest;
}

// The width, in twips, of a column whose widest text is this many pixels wide.
int columnWidth(int widestPixels)
{
    return widestPixels * TwipsPerPixel + 300;
}

void tellCannotFit()
{
    Current<Dialogs>::get().information(u"提示"_s, u"由于您没有安装打印机系统无法自动调整宽度！"_s);
}

} // namespace

void fitColumns(GridView &grid, const QWidget &window)
{
    QFont font = grid.font();
    font.setPointSize(10);
    grid.setFont(font);
    const Grid &cells = grid.grid();
    for (int c = 0; c < cells.cols(); ++c)
        grid.setColAlignment(c, Qt::AlignLeft | Qt::AlignVCenter);

    if (cells.rows() - 1 > MaxIndex) {
        tellCannotFit();
        return;
    }
    // Blank cells are as narrow as can be, so only written cells are measured.
    const QFontMetrics metrics(window.font());
    QList<int> widest(std::min(cells.cols(), MaxIndex + 1), 0);
    for (int r = 0; r < cells.rows(); ++r) {
        const int written = std::min(cells.writtenCols(r), int(widest.size()));
        for (int c = 0; c < written; ++c)
            widest[c] = std::max(widest[c], widestLine(metrics, cells.text(r, c)));
    }
    for (int c = 0; c < cells.cols(); ++c) {
        if (c > MaxIndex) {
            tellCannotFit();
            return;
        }
        grid.setColWidth(c, columnWidth(widest[c]));
    }
}

void widenToCaptions(GridView &grid, const QWidget &window)
{
    const Grid &cells = grid.grid();
    if (cells.rows() == 0)
        return;
    const QFontMetrics metrics(window.font());
    for (int c = 0; c < cells.cols(); ++c)
        grid.setColWidth(c, std::max(grid.colWidth(c), columnWidth(widestLine(metrics, cells.text(0, c)))));
}

} // namespace pagrion
