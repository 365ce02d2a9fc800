#include "engine/networkconfig.h"

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

} // namespace pagrion
