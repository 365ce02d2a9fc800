#include "platform/gridview.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPalette>
#include <QToolTip>

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

// The first cell of every extracted row begins with a line break; shown as it
// is, the cell's one visible line would be that empty first line.
QString shownText(const QString &text)
{
    qsizetype start = 0;
    while (start < text.size() && (text.at(start) == u'\r' || text.at(start) == u'\n'))
        ++start;
    return start == 0 ? text : text.mid(start);
}

} // namespace

class GridModel final : public QAbstractTableModel
{
public:
    GridModel(const Grid &grid, const QList<Qt::Alignment> &alignments, QObject *parent)
        : QAbstractTableModel(parent)
        , m_grid(grid)
        , m_alignments(alignments)
    {
    }

    int rowCount(const QModelIndex &parent) const override { return parent.isValid() ? 0 : m_grid.rows(); }
    int columnCount(const QModelIndex &parent) const override { return parent.isValid() ? 0 : m_grid.cols(); }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || !m_grid.contains(index.row(), index.column()))
            return {};
        switch (role) {
        case Qt::DisplayRole:
            return shownText(m_grid.text(index.row(), index.column()));
        case Qt::ToolTipRole:
            return m_grid.text(index.row(), index.column());
        case Qt::TextAlignmentRole:
            if (index.column() < m_alignments.size())
                return QVariant::fromValue(m_alignments.at(index.column()));
            return {};
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
    const QList<Qt::Alignment> &m_alignments;
};

GridView::GridView(QWidget *parent)
    : QTableView(parent)
    , m_model(new GridModel(m_grid, m_alignments, this))
{
    setModel(m_model);
    horizontalHeader()->hide();
    verticalHeader()->hide();
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    connect(this, &QTableView::doubleClicked, this,
            [this](const QModelIndex &index) { Q_EMIT cellDoubleClicked(index.row(), index.column()); });
    // A column the user drags to another width reads back that width.
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int col, int, int pixels) {
        if (!m_resetting && col < m_colTwips.size() && m_colTwips.at(col) >= 0
            && qRound(double(m_colTwips.at(col)) / TwipsPerPixel) != pixels)
            m_colTwips[col] = pixels * TwipsPerPixel;
    });
}

GridView::~GridView() = default;

void GridView::gridChanged()
{
    const int row = currentRow();
    const int col = currentCol();
    m_colTwips.resize(m_grid.cols(), -1);
    m_alignments.resize(m_grid.cols(), Qt::AlignLeft | Qt::AlignVCenter);
    m_resetting = true;
    m_model->reset();
    m_resetting = false;
    for (int c = 0; c < m_grid.cols(); ++c)
        applyColWidth(c);
    // A reset forgets the current cell; the grid keeps it while it exists.
    if (m_grid.contains(row, col))
        setCurrentCell(row, col);
}

int GridView::currentRow() const
{
    return currentIndex().isValid() ? currentIndex().row() : -1;
}

int GridView::currentCol() const
{
    return currentIndex().isValid() ? currentIndex().column() : -1;
}

void GridView::setCurrentCell(int row, int col)
{
    if (m_grid.contains(row, col))
        setCurrentIndex(m_model->index(row, col));
}

QString GridView::currentText() const
{
    const int row = currentRow();
    const int col = currentCol();
    return m_grid.contains(row, col) ? m_grid.text(row, col) : QString();
}

int GridView::colWidth(int col) const
{
    if (col < 0 || col >= m_grid.cols())
        return 0;
    if (col < m_colTwips.size() && m_colTwips.at(col) >= 0)
        return m_colTwips.at(col);
    return columnWidth(col) * TwipsPerPixel;
}

void GridView::setColWidth(int col, int twips)
{
    if (col < 0 || col >= m_grid.cols() || twips < 0)
        return;
    m_colTwips.resize(m_grid.cols(), -1);
    m_colTwips[col] = twips;
    applyColWidth(col);
}

void GridView::applyColWidth(int col)
{
    if (col < m_colTwips.size() && m_colTwips.at(col) >= 0)
        setColumnWidth(col, qRound(double(m_colTwips.at(col)) / TwipsPerPixel));
}

void GridView::setColAlignment(int col, Qt::Alignment alignment)
{
    if (col < 0 || col >= m_grid.cols())
        return;
    m_alignments.resize(m_grid.cols(), Qt::AlignLeft | Qt::AlignVCenter);
    m_alignments[col] = alignment;
    viewport()->update();
}

int GridView::keyCode(int qtKey, Qt::KeyboardModifiers modifiers)
{
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)) {
        if (modifiers & Qt::KeypadModifier && qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
            return 96 + (qtKey - Qt::Key_0);
        return qtKey; // Qt numbers these keys by their ASCII codes, as Windows does
    }
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return 112 + (qtKey - Qt::Key_F1);
    switch (qtKey) {
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab: case Qt::Key_Backtab: return 9;
    case Qt::Key_Return: case Qt::Key_Enter: return 13;
    case Qt::Key_Shift: return 16;
    case Qt::Key_Control: return 17;
    case Qt::Key_Alt: return 18;
    case Qt::Key_Pause: return 19;
    case Qt::Key_CapsLock: return 20;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Space: return 32;
    case Qt::Key_PageUp: return 33;
    case Qt::Key_PageDown: return 34;
    case Qt::Key_End: return 35;
    case Qt::Key_Home: return 36;
    case Qt::Key_Left: return 37;
    case Qt::Key_Up: return 38;
    case Qt::Key_Right: return 39;
    case Qt::Key_Down: return 40;
    case Qt::Key_Insert: return 45;
    case Qt::Key_Delete: return 46;
    case Qt::Key_Semicolon: return 186;
    case Qt::Key_Equal: return 187;
    case Qt::Key_Comma: return 188;
    case Qt::Key_Minus: return 189;
    case Qt::Key_Period: return 190;
    case Qt::Key_Slash: return 191;
    case Qt::Key_QuoteLeft: return 192;
    case Qt::Key_BracketLeft: return 219;
    case Qt::Key_Backslash: return 220;
    case Qt::Key_BracketRight: return 221;
    case Qt::Key_Apostrophe: return 222;
    default: return 0;
    }
}

void GridView::keyPressEvent(QKeyEvent *event)
{
    Qt::KeyboardModifiers modifiers = event->modifiers();
    // Some systems report the Ctrl key's own press without the Ctrl modifier.
    if (event->key() == Qt::Key_Control)
        modifiers |= Qt::ControlModifier;
    Q_EMIT keyDown(keyCode(event->key(), event->modifiers()), modifiers);
    if (!event->text().isEmpty())
        Q_EMIT keyPress(event->text().at(0));
    // Copying belongs to the windows; the view's own copy would take the shown
    // text rather than the cell's.
    if (event->matches(QKeySequence::Copy)) {
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void GridView::focusInEvent(QFocusEvent *event)
{
    QTableView::focusInEvent(event);
    Q_EMIT gotFocus();
}

bool GridView::viewportEvent(QEvent *event)
{
    // A tooltip set on the grid explains the grid; it wins over the cell's text.
    if (event->type() == QEvent::ToolTip && !toolTip().isEmpty()) {
        QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), toolTip(), viewport());
        return true;
    }
    return QTableView::viewportEvent(event);
}

void GridView::keyboardSearch(const QString &search)
{
    // Typing on a grid never jumps to a matching cell: the windows give typed
    // characters their own meaning.
    Q_UNUSED(search);
}

} // namespace pagrion
