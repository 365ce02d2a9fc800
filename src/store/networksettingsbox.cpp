#include "store/networksettingsbox.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "engine/webengine/webenginenetwork.h"
#include "platform/widgetnames.h"

using namespace Qt::StringLiterals;

namespace pagrion {

using Source = NetworkSettings::ProxySource;

NetworkSettingsBox::NetworkSettingsBox(QWidget *parent)
    : QGroupBox(u"代理服务器与 User-Agent（重新启动程序后生效）"_s, parent)
    , Label17(named(new QLabel(u"代理服务器"_s, this), u"Label17"_s))
    , Label18(named(new QLabel(u"地址"_s, this), u"Label18"_s))
    , Label19(named(new QLabel(u"用户名"_s, this), u"Label19"_s))
    , Label20(named(new QLabel(u"密码"_s, this), u"Label20"_s))
    , Label21(named(new QLabel(u"User-Agent"_s, this), u"Label21"_s))
    , Combo1(named(new QComboBox(this), u"Combo1"_s))
    , Text11(named(new QLineEdit(this), u"Text11"_s))
    , Text12(named(new QLineEdit(this), u"Text12"_s))
    , Text13(named(new QLineEdit(this), u"Text13"_s))
    , Text14(named(new QLineEdit(this), u"Text14"_s))
{
    Combo1->addItems({u"按环境变量（http_proxy、https_proxy、all_proxy、no_proxy）"_s, u"不使用代理服务器"_s,
                      u"使用下面的代理服务器"_s});
    Combo1->setToolTip(u"两种引擎都经过这里选定的代理服务器打开网页。"_s);
    Text11->setPlaceholderText(u"例如 http://10.0.0.1:3128 或 socks5h://127.0.0.1:1080"_s);
    Text11->setToolTip(u"[协议://]主机[:端口]，协议为 http（默认）、https、socks5 或 socks5h；"
                       u"socks5h 和 http 由代理服务器解析网址，只有代理服务器能找到的网站也能打开。"_s);
    Text12->setToolTip(u"代理服务器要求登录时的用户名；也可以写在地址中（用户名:密码@主机）。"_s);
    Text13->setEchoMode(QLineEdit::Password);
    Text13->setToolTip(u"代理服务器要求登录时的密码，以明文保存在 data/system.dll 中。"_s);
    Text14->setPlaceholderText(webEngineUserAgent());
    Text14->setToolTip(u"打开网页时发送的 User-Agent；不填时两种引擎都发送完整浏览器自己的，网站给两种引擎的网页就相同。"_s);

    auto *layout = new QGridLayout(this);
    layout->addWidget(Label17, 0, 0);
    layout->addWidget(Combo1, 0, 1, 1, 3);
    layout->addWidget(Label18, 1, 0);
    layout->addWidget(Text11, 1, 1, 1, 3);
    layout->addWidget(Label19, 2, 0);
    layout->addWidget(Text12, 2, 1);
    layout->addWidget(Label20, 2, 2);
    layout->addWidget(Text13, 2, 3);
    layout->addWidget(Label21, 3, 0);
    layout->addWidget(Text14, 3, 1, 1, 3);
    layout->setColumnStretch(1, 1);
    layout->setColumnStretch(3, 1);

    connect(Combo1, &QComboBox::currentIndexChanged, this, &NetworkSettingsBox::enableProxyBoxes);
    enableProxyBoxes();
}

NetworkSettingsBox::~NetworkSettingsBox() = default;

void NetworkSettingsBox::showSettings(const NetworkSettings &settings)
{
    Combo1->setCurrentIndex(int(settings.proxySource));
    Text11->setText(settings.proxy);
    Text12->setText(settings.proxyUser);
    Text13->setText(settings.proxyPassword);
    Text14->setText(settings.userAgent);
}

Result<NetworkSettings> NetworkSettingsBox::settings()
{
    NetworkSettings settings;
    settings.proxySource = Source(Combo1->currentIndex());
    settings.proxy = Text11->text().trimmed();
    settings.proxyUser = Text12->text();
    settings.proxyPassword = Text13->text();
    settings.userAgent = Text14->text().trimmed();
    if (settings.proxySource == Source::Given) {
        if (const Result<ProxyRules> rules = settings.proxyRules(); !rules) {
            Text11->setFocus();
            Text11->selectAll();
            return Error{rules.error()};
        }
    }
    return settings;
}

// The address and its login count only for a proxy given here; they are kept
// while another choice is made, for the next time.
void NetworkSettingsBox::enableProxyBoxes()
{
    const bool given = Source(Combo1->currentIndex()) == Source::Given;
    for (QWidget *widget : {static_cast<QWidget *>(Label18), static_cast<QWidget *>(Text11),
                            static_cast<QWidget *>(Label19), static_cast<QWidget *>(Text12),
                            static_cast<QWidget *>(Label20), static_cast<QWidget *>(Text13)})
        widget->setEnabled(given);
}

} // namespace pagrion
