#pragma once

#include <QPointer>

#include "layout/gridtoolwindow.h"
#include "layout/recordoptions.h"

namespace pagrion {

class FrmSetGrid;
class FrmsetFiled;
class GridView;

// "表格预览": the extracted rows of the current page as a grid. Double-clicking
// a cell records its reference for the editors; the rows can be stored in
// datalist directly. Opened by the main window, whose check boxes 2 and 3 say
// how rows are stored.
class FrmPreview final : public GridToolWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrmPreview)

public:
    explicit FrmPreview(QWidget *parent = nullptr);
    ~FrmPreview() override;

    void command1_Click() override; // 保存
    void ActiveBar21_ToolClick(const QString &caption) override;
    // Spreads the columns evenly over the grid's width.
    void AutoSet();

    // The editors, once a tool opened them.
    FrmSetGrid *setGridWindow() const;
    FrmsetFiled *setFiledWindow() const;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void MSFlexGrid1_DblClick(int row, int col);
    void MSFlexGrid1_KeyDown(int keyCode, Qt::KeyboardModifiers modifiers);
    void information(const QString &text);

    RecordOptions m_options; // the main window's, when it opened this window
    QPointer<FrmSetGrid> m_setGrid;
    QPointer<FrmsetFiled> m_setFiled;
};

} // namespace pagrion
