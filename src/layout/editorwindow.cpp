#include "layout/editorwindow.h"


#include "layout/columnfitting.h"
#include "layout/frmpreview.h"
#include "layout/gridclipboard.h"
#include "layout/layoutgrid.h"
#include "layout/layouts.h"
#include "layout/recordedcell.h"
#include "platform/current.h"
#include "platform/dialogs.h"
#include "platform/gridview.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

const auto NoSavedLayout = u"无保存信息系统不能识别！"_s;

EditorLinks linksFromParent(QWidget *parent)
{
    EditorLinks links;
    auto *preview = qobject_cast<FrmPreview *>(parent);
    if (!preview)
        return links;
    links.previewGrid = preview->MSFlexGrid1;
    links.options = recordOptionsAbove(preview);
    return links;
}

} // namespace

EditorWindow::EditorWindow(const QString &name, const QString &caption, const QStringList &tools,
                           QWidget *parent)
    : GridToolWindow(name, caption, tools, parent)
    , m_links(linksFromParent(parent))
{
    setAttribute(Qt::WA_DeleteOnClose);
    resize(760, 460);
    connect(MSFlexGrid1, &GridView::cellDoubleClicked, this,
            [this](int row, int col) { insertRecordedCell(row, col); });
    connect(MSFlexGrid1, &GridView::keyDown, this, [this](int keyCode, Qt::KeyboardModifiers modifiers) {
        if (copiesOnKeyDown(keyCode, modifiers))
            copyFocusedToClipboard();
        if (keyCode == 46) {
            deleteRow(MSFlexGrid1->currentRow());
            showGrid();
        }
    });
}

EditorWindow::~EditorWindow() = default;

void EditorWindow::ActiveBar21_ToolClick(const QString &caption)
{
    if (caption == u"关闭") {
        close();
        return;
    }
    if (caption == u"增加行")
        addRows();
    else if (caption == u"增加列")
        addCols();
    else if (caption == u"预览效果")
        reloadGrid([this] { GetDataInfor(); });
    else if (caption == u"调入保存值")
        reloadGrid([this] { GetSaveInfor(); });
    else if (!runOwnTool(caption))
        return;
    AutoSet();
}

void EditorWindow::GetDataInfor()
{
    const Result<Layout> layout = readLayout();
    if (!layout) {
        information(layout.error());
        return;
    }
    if (layout.value().isEmpty()) {
        information(NoSavedLayout);
        return;
    }
    const Status applied = applyLayout(layout.value(), previewGrid(), grid());
    showGrid();
    if (!applied)
        information(applied.error());
}

Grid &EditorWindow::grid()
{
    return MSFlexGrid1->grid();
}

const Grid &EditorWindow::previewGrid() const
{
    static const Grid none;
    return m_links.previewGrid ? m_links.previewGrid->grid() : none;
}

void EditorWindow::showGrid()
{
    const int row = MSFlexGrid1->currentRow();
    const int col = MSFlexGrid1->currentCol();
    m_restoringCurrent = true;
    MSFlexGrid1->gridChanged();
    // A removed last row takes the current cell with it; stay on the row above.
    if (MSFlexGrid1->currentRow() < 0 && row >= 0 && col >= 0)
        MSFlexGrid1->setCurrentCell(std::min(row, grid().rows() - 1), std::min(col, grid().cols() - 1));
    m_restoringCurrent = false;
}

void EditorWindow::fitColumns()
{
    pagrion::fitColumns(*MSFlexGrid1, *this);
}

void EditorWindow::information(const QString &text) const
{
    Current<Dialogs>::get().information(windowTitle(), text);
}

void EditorWindow::reloadGrid(const std::function<void()> &load)
{
    clearGridRows(grid());
    showGrid();
    load();
    showGrid();
    fitColumns();
}

void EditorWindow::addRows()
{
    const QString answer = Current<Dialogs>::get().input(windowTitle(), u"输入增加的行数"_s).value_or(QString());
    if (const std::optional<int> rows = countAfterAdding(grid().rows(), answer, 2)) {
        grid().setRows(*rows);
        showGrid();
    }
    AutoSet();
}

void EditorWindow::addCols()
{
    const QString answer = Current<Dialogs>::get().input(windowTitle(), u"输入增加的列数"_s).value_or(QString());
    if (const std::optional<int> cols = countAfterAdding(grid().cols(), answer, 1)) {
        grid().setCols(*cols);
        showGrid();
    }
    AutoSet();
}

void EditorWindow::insertRecordedCell(int row, int col)
{
    // The header row is fixed: it is never a layout cell.
    if (row < 1)
        return;
    pagrion::insertRecordedCell(grid(), row, col, recordedCell(), [this](const QString &question) {
        return Current<Dialogs>::get().question(windowTitle(), question);
    });
    showGrid();
}

void EditorWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    AutoSet();
}

} // namespace pagrion
