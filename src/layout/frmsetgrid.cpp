#include "layout/frmsetgrid.h"

#include <QCheckBox>
#include <QRadioButton>

#include "extract/writers.h"
#include "layout/layoutgrid.h"
#include "layout/layouts.h"
#include "platform/gridview.h"
#include "store/resultstore.h"

using namespace Qt::StringLiterals;

namespace pagrion {

FrmSetGrid::FrmSetGrid(QWidget *parent)
    : EditorWindow(u"FrmSetGrid"_s, u"表格排版"_s,
                   {u"保存信息"_s, u"增加行"_s, u"增加列"_s, u"预览效果"_s, u"调入保存值"_s, u"导入库"_s, u"关闭"_s},
                   parent)
{
    grid().setRows(10);
    grid().setCols(20);
    showGrid();
    AutoSet();
}

FrmSetGrid::~FrmSetGrid() = default;

void FrmSetGrid::command1_Click()
{
    if (grid().rows() < 3) {
        information(u"无保存信息！"_s);
        return;
    }
    const Status saved = saveLayout(layoutFromGrid(grid()));
    information(saved ? u"数据保存成功！"_s : saved.error());
}

void FrmSetGrid::AutoSet()
{
    fitColumns();
    WriteHead();
}

void FrmSetGrid::WriteHead()
{
    writeColumnHeads(grid());
    showGrid();
}

void FrmSetGrid::GetSaveInfor()
{
    const Result<Layout> layout = readLayout();
    if (!layout) {
        information(layout.error());
        return;
    }
    loadLayoutIntoGrid(layout.value(), grid());
    showGrid();
}

void FrmSetGrid::SaveData()
{
    const bool overwrite = links().options.Check2 && links().options.Check2->isChecked();
    const bool skipEmpty = links().options.Check3 && links().options.Check3->isChecked();
    const Result<int> stored = saveGridRecords(grid(), overwrite, {.skipEmptyFirstField = skipEmpty});
    information(stored ? u"数据保存成功！"_s : stored.error());
}

bool FrmSetGrid::runOwnTool(const QString &caption)
{
    if (caption == u"保存信息") {
        command1_Click();
        if (links().options.Option6)
            links().options.Option6->setChecked(true);
    } else if (caption == u"导入库") {
        SaveData();
    } else {
        return false;
    }
    return true;
}

void FrmSetGrid::deleteRow(int row)
{
    deleteLayoutRow(grid(), row);
}

} // namespace pagrion
