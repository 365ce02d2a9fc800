#include "platform/connectioncheck.h"

#include <QNetworkInformation>
#include <QNetworkInterface>

namespace pagrion {

namespace {

bool hasUsableInterface()
{
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &interface : interfaces) {
        const auto flags = interface.flags();
        if (flags.testFlag(QNetworkInterface::IsLoopBack) || !flags.testFlag(QNetworkInterface::IsUp)
            || !flags.testFlag(QNetworkInterface::IsRunning))
            continue;
        if (!interface.addressEntries().isEmpty())
            return true;
    }
    return false;
}

} // namespace

bool SystemConnectionCheck::IsConnected()
{
    // Loading a backend is cheap after the first time; Qt keeps one instance.
    if (QNetworkInformation::instance() || QNetworkInformation::loadDefaultBackend()) {
        QNetworkInformation *information = QNetworkInformation::instance();
        if (information->supports(QNetworkInformation::Feature::Reachability)
            && information->reachability() != QNetworkInformation::Reachability::Unknown)
            return information->reachability() != QNetworkInformation::Reachability::Disconnected;
    }
    return hasUsableInterface();
}

} // namespace pagrion
