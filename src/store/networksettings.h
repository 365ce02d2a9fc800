#pragma once

#include <QString>

#include "core/result.h"
#include "engine/networkconfig.h"

namespace pagrion {

class Database;

// How the program reaches the web, as the settings window shows it: the proxy
// and the User-Agent, kept in the table NetworkSetting of the configuration
// database, one row per setting. A database without the table, or a row
// missing, gives the setting's default. Both engines take them as the program
// starts.
struct NetworkSettings
{
    enum class ProxySource {
        Environment, // http_proxy, https_proxy, all_proxy and no_proxy, as curl reads them
        None,        // every site directly, whatever the environment says
        Given,       // every site through the proxy below
    };

    ProxySource proxySource = ProxySource::Environment;
    QString proxy;         // as typed: "socks5h://proxy.lan:1080"
    QString proxyUser;     // when given, in place of the user in the address
    QString proxyPassword;
    QString userAgent;     // empty: the full browser's own

    // The proxies these settings lead to; an error names what is wrong with
    // the proxy given or with the environment's.
    Result<ProxyRules> proxyRules() const;
    // The whole of it, for setNetworkConfig().
    Result<NetworkConfig> config() const;

    friend bool operator==(const NetworkSettings &, const NetworkSettings &) = default;
};

// The stored settings; an error only when the database cannot be read.
Result<NetworkSettings> readNetworkSettings();

// Makes the settings the contents of NetworkSetting, creating the table in an
// older database, within the transaction the caller holds on db.
Status writeNetworkSettings(Database &db, const NetworkSettings &settings);

} // namespace pagrion
