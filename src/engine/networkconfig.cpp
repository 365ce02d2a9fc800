#include "engine/networkconfig.h"

#include <sys/utsname.h>

#include "engine/webengineversion.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

NetworkConfig &current()
{
    static NetworkConfig config;
    return config;
}

} // namespace

void setNetworkConfig(const NetworkConfig &config)
{
    current() = config;
}

const NetworkConfig &networkConfig()
{
    return current();
}

// As Chromium writes it from the machine, the engine's version and its own.
QString webEngineUserAgent()
{
    utsname system{};
    ::uname(&system);
    return u"Mozilla/5.0 (X11; %1 %2) AppleWebKit/537.36 (KHTML, like Gecko) QtWebEngine/%3 Chrome/%4 Safari/537.36"_s
        .arg(QString::fromLatin1(system.sysname), QString::fromLatin1(system.machine),
             QString::fromLatin1(PAGRION_QTWEBENGINE_VERSION), QString::fromLatin1(PAGRION_CHROMIUM_VERSION));
}

} // namespace pagrion
