#pragma once

#include <QGroupBox>

#include "core/result.h"
#include "store/networksettings.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace pagrion {

// The part of "系统设置" that sets how the program reaches the web: where the
// proxy comes from (the environment, none, or the one typed here with its
// login) and the User-Agent. They take effect at the next start.
class NetworkSettingsBox final : public QGroupBox
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NetworkSettingsBox)

public:
    explicit NetworkSettingsBox(QWidget *parent = nullptr);
    ~NetworkSettingsBox() override;

    void showSettings(const NetworkSettings &settings);
    // The settings in the boxes, or the message about a proxy that is no
    // proxy (its box gets the focus).
    Result<NetworkSettings> settings();

    QLabel *Label17, *Label18, *Label19, *Label20, *Label21;
    QComboBox *Combo1; // where the proxy comes from, in the order of NetworkSettings::ProxySource
    QLineEdit *Text11; // the proxy's address
    QLineEdit *Text12; // its user
    QLineEdit *Text13; // its password
    QLineEdit *Text14; // the User-Agent; empty for the full browser's own

private:
    void enableProxyBoxes();
};

} // namespace pagrion
