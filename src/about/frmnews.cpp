#include "about/frmnews.h"

#include <QLabel>
#include <QVBoxLayout>

#include "about/programversion.h"
#include "frame/skinnedframe.h"

using namespace Qt::StringLiterals;

namespace pagrion {

FrmNews::FrmNews(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , Label2(new QLabel(u"当前版本："_s + programVersion(), this))
    , Label3(new QLabel(u"检测新版本需要连接软件开发商的服务器，本程序不访问网络，请到开发商的网站查看最新版本。"_s, this))
{
    setObjectName(u"FrmNews"_s);
    setWindowTitle(u"版本检测"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    Label2->setObjectName(u"Label2"_s);
    Label3->setObjectName(u"Label3"_s);
    Label3->setWordWrap(true);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label2);
    layout->addWidget(Label3);
    layout->addStretch();
    resize(360, 200);

    SkinnedFrame::install(this);
}

} // namespace pagrion
