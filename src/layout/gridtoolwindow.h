#pragma once

#include <QStringList>
#include <QWidget>

class QPushButton;
class QToolBar;

namespace pagrion {

class GridView;

// The frame the preview window and the two editors share: a toolbar
// dispatched by caption, the grid in Picture1, and the buttons 保存 and 关闭.
class GridToolWindow : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GridToolWindow)

public:
    ~GridToolWindow() override;

    virtual void command1_Click() = 0; // 保存
    void command2_Click();             // 关闭
    virtual void ActiveBar21_ToolClick(const QString &caption) = 0;

    QWidget *Picture1;
    GridView *MSFlexGrid1;
    QPushButton *command1;
    QPushButton *command2;
    QToolBar *ActiveBar21;

protected:
    GridToolWindow(const QString &name, const QString &caption, const QStringList &tools, QWidget *parent);
};

} // namespace pagrion
