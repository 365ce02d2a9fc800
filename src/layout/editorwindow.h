#pragma once

#include <functional>

#include <QPointer>
#include <QStringList>
#include <QWidget>

#include "core/grid.h"
#include "layout/gridtoolwindow.h"
#include "layout/recordoptions.h"
#include "platform/gridview.h"

namespace pagrion {

// The controls of other windows the editors work with: the preview grid is
// the source of "预览效果" and "自动取值"; the main window's options say which
// definition a batch run uses and how "导入库" stores rows.
struct EditorLinks
{
    QPointer<GridView> previewGrid = {}; // FrmPreview::MSFlexGrid1
    RecordOptions options = {};
};

// The frame the layout editor and the field editor share: a grid in Picture1,
// the buttons 保存 and 关闭, a toolbar dispatched by caption, the double-click
// that inserts the recorded cell, Ctrl copying and the Delete key.
class EditorWindow : public GridToolWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EditorWindow)

public:
    ~EditorWindow() override;

    // Opened from the preview window (the usual parent), the editor finds the
    // preview grid and the main window's controls by itself.
    void setLinks(const EditorLinks &links) { m_links = links; }
    const EditorLinks &links() const { return m_links; }

    // Runs the toolbar tool with this caption, then AutoSet.
    void ActiveBar21_ToolClick(const QString &caption) override;

    // The layout application with the preview grid as source and this grid
    // as target; "无保存信息系统不能识别！" when no layout is saved.
    void GetDataInfor();

    virtual void AutoSet() = 0;
    virtual void GetSaveInfor() = 0;

protected:
    EditorWindow(const QString &name, const QString &caption, const QStringList &tools, QWidget *parent);

    // The tools only this window has; false when the caption is not one of them.
    virtual bool runOwnTool(const QString &caption) = 0;
    virtual void deleteRow(int row) = 0;

    Grid &grid();
    const Grid &previewGrid() const;
    // Redraws the grid after a change, keeping the current cell.
    void showGrid();
    void fitColumns();
    void information(const QString &text) const;
    // Empties the grid's rows, runs load, redraws and fits the columns.
    void reloadGrid(const std::function<void()> &load);
    // Sets the row or column count from an input box, then AutoSet; a count
    // that would leave fewer than 2 rows or 1 column is refused. The command
    // runs AutoSet once more after it, and that fitting measures the
    // captions the first one wrote into new columns.
    void addRows();
    void addCols();

    void resizeEvent(QResizeEvent *event) override;

    // Set while showGrid restores the current cell, whose change is not the user's.
    bool m_restoringCurrent = false;

private:
    void insertRecordedCell(int row, int col);

    EditorLinks m_links;
};

} // namespace pagrion
