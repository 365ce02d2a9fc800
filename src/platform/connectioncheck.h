#pragma once

namespace pagrion {

// Whether the machine reports a usable network connection.
class ConnectionCheck
{
public:
    virtual ~ConnectionCheck() = default;
    virtual bool IsConnected() = 0;
};

// Asks the system: QNetworkInformation where a backend reports reachability,
// otherwise whether some non-loopback interface is up, running and addressed.
class SystemConnectionCheck final : public ConnectionCheck
{
public:
    bool IsConnected() override;
};

} // namespace pagrion
