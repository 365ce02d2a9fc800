#pragma once

#include "layout/editorwindow.h"

namespace pagrion {

// "表格排版": builds a layout from the cell references recorded in the
// preview window, saves it, loads it back and shows or stores what it makes
// of the previewed page.
class FrmSetGrid final : public EditorWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrmSetGrid)

public:
    explicit FrmSetGrid(QWidget *parent = nullptr);
    ~FrmSetGrid() override;

    void command1_Click() override; // 保存: the grid becomes the layout
    void AutoSet() override;
    void GetSaveInfor() override;
    void WriteHead();
    // 导入库: the grid's rows go into datalist as the preview window stores them.
    void SaveData();

protected:
    bool runOwnTool(const QString &caption) override;
    void deleteRow(int row) override;
};

} // namespace pagrion
