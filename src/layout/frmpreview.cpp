#include "layout/frmpreview.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QToolBar>
#include <QVBoxLayout>

#include "core/textrules.h"
#include "layout/frmsetfiled.h"
#include "layout/frmsetgrid.h"
#include "layout/gridclipboard.h"
#include "layout/recordoptions.h"
#include "layout/recordedcell.h"
#include "platform/current.h"
#include "platform/dialogs.h"
#include "platform/gridview.h"
#include "store/resultstore.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

bool isChecked(const QCheckBox *box)
{
    return box && box->isChecked();
}

// Shows a tool window, creating it on first use; it stays until the program ends.
template <typename Window>
void showTool(QPointer<Window> &window, QWidget *parent)
{
    if (!window)
        window = new Window(parent);
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

FrmPreview::FrmPreview(QWidget *parent)
    : GridToolWindow(u"FrmPreview"_s, u"表格预览"_s, {u"保存"_s, u"排版"_s, u"字段设置"_s, u"关闭"_s}, parent)
    , m_options(recordOptionsAbove(parent))
{
    MSFlexGrid1->setToolTip(u"排版时双击单元格纪录单元格坐标信息，[ctrl+C]为单元格信息复制功能键"_s);
    connect(MSFlexGrid1, &GridView::cellDoubleClicked, this, &FrmPreview::MSFlexGrid1_DblClick);
    connect(MSFlexGrid1, &GridView::keyDown, this, &FrmPreview::MSFlexGrid1_KeyDown);
    resize(720, 480);
}

FrmPreview::~FrmPreview() = default;

void FrmPreview::command1_Click()
{
    const auto stored = saveGridRecords(MSFlexGrid1->grid(), isChecked(m_options.Check2), {isChecked(m_options.Check3)});
    information(stored ? u"数据保存成功！"_s : stored.error());
}

void FrmPreview::ActiveBar21_ToolClick(const QString &caption)
{
    if (caption == u"保存")
        command1_Click();
    else if (caption == u"排版")
        showTool(m_setGrid, this);
    else if (caption == u"字段设置")
        showTool(m_setFiled, this);
    else if (caption == u"关闭")
        close();
}

FrmSetGrid *FrmPreview::setGridWindow() const
{
    return m_setGrid;
}

FrmsetFiled *FrmPreview::setFiledWindow() const
{
    return m_setFiled;
}

void FrmPreview::AutoSet()
{
    const int cols = MSFlexGrid1->grid().cols();
    if (cols == 0)
        return;
    const auto width = roundToInt32(double(MSFlexGrid1->widthTwips() - 500) / cols - 1);
    // A window too small for the columns keeps the widths it had.
    if (!width || *width < 0)
        return;
    for (int c = 0; c < cols; ++c)
        MSFlexGrid1->setColWidth(c, *width);
}

void FrmPreview::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    AutoSet();
}

void FrmPreview::MSFlexGrid1_DblClick(int row, int col)
{
    setRecordedCell(cellReference(row, col));
}

void FrmPreview::MSFlexGrid1_KeyDown(int keyCode, Qt::KeyboardModifiers modifiers)
{
    if (copiesOnKeyDown(keyCode, modifiers))
        copyFocusedToClipboard();
}

void FrmPreview::information(const QString &text)
{
    Current<Dialogs>::get().information(windowTitle(), text);
}

} // namespace pagrion
