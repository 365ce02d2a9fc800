#pragma once

#include <QWidget>

namespace pagrion {

class GridView;

// "表格预览": the extracted rows of the current page as a grid.
class FrmPreview final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrmPreview)

public:
    explicit FrmPreview(QWidget *parent = nullptr);
    ~FrmPreview() override;

    GridView *MSFlexGrid1;
};

} // namespace pagrion
