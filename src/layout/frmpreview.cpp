#include "layout/frmpreview.h"

#include <QVBoxLayout>

#include "platform/gridview.h"

using namespace Qt::StringLiterals;

namespace pagrion {

FrmPreview::FrmPreview(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , MSFlexGrid1(new GridView(this))
{
    setObjectName(u"FrmPreview"_s);
    setWindowTitle(u"表格预览"_s);
    MSFlexGrid1->setObjectName(u"MSFlexGrid1"_s);
    // Laid out as the grid is designed: two rows, two columns, one fixed row.
    MSFlexGrid1->grid().setRows(2);
    MSFlexGrid1->grid().setCols(2);
    MSFlexGrid1->gridChanged();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(MSFlexGrid1);
    resize(720, 480);
}

FrmPreview::~FrmPreview() = default;

} // namespace pagrion
