#pragma once

#include <QString>

#include "engine/proxyrules.h"

namespace pagrion {

// How this process reaches the web: the proxies both engines go through and
// the User-Agent they send.
struct NetworkConfig
{
    ProxyRules proxy;
    QString userAgent; // none is sent when empty
};

// Set as the program starts, before the first page loads: the full browser
// reads it only once, as it starts itself.
void setNetworkConfig(const NetworkConfig &config);
// What was set; straight to every site and no User-Agent until then.
const NetworkConfig &networkConfig();

// The User-Agent the full browser sends by itself; the static engine sends
// it too unless the user sets another, so that a site sends both the same page.
QString webEngineUserAgent();

} // namespace pagrion
