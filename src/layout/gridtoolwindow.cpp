#include "layout/gridtoolwindow.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QToolBar>
#include <QVBoxLayout>

#include "platform/gridview.h"
#include "platform/widgetnames.h"

using namespace Qt::StringLiterals;

namespace pagrion {

GridToolWindow::GridToolWindow(const QString &name, const QString &caption, const QStringList &tools,
                               QWidget *parent)
    : QWidget(parent, Qt::Window)
    , Picture1(named(new QWidget(this), u"Picture1"_s))
    , MSFlexGrid1(named(new GridView(Picture1), u"MSFlexGrid1"_s))
    , command1(named(new QPushButton(u"保存"_s, this), u"command1"_s))
    , command2(named(new QPushButton(u"关闭"_s, this), u"command2"_s))
    , ActiveBar21(named(new QToolBar(this), u"ActiveBar21"_s))
{
    setObjectName(name);
    setWindowTitle(caption);
    for (const QString &tool : tools)
        ActiveBar21->addAction(tool);

    auto *picture = new QVBoxLayout(Picture1);
    picture->setContentsMargins(0, 0, 0, 0);
    picture->addWidget(MSFlexGrid1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(command1);
    buttons->addWidget(command2);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(ActiveBar21);
    layout->addWidget(Picture1, 1);
    layout->addLayout(buttons);

    // Designed with two rows, two columns and the fixed header row.
    MSFlexGrid1->grid().setRows(2);
    MSFlexGrid1->grid().setCols(2);
    MSFlexGrid1->gridChanged();

    connect(command1, &QPushButton::clicked, this, [this] { command1_Click(); });
    connect(command2, &QPushButton::clicked, this, &GridToolWindow::command2_Click);
    connect(ActiveBar21, &QToolBar::actionTriggered, this,
            [this](QAction *tool) { ActiveBar21_ToolClick(tool->text()); });
}

GridToolWindow::~GridToolWindow() = default;

void GridToolWindow::command2_Click()
{
    close();
}

} // namespace pagrion
