#pragma once

#include <QStringList>
#include <QUrl>

#include "core/result.h"

namespace pagrion {

// A proxy as users of curl and browsers write it:
// "[scheme://][user[:password]@]host[:port]". The scheme is http (the
// default), https (TLS to the proxy), socks5 (names resolved here) or socks5h
// (names resolved by the proxy); a missing port is curl's default, 1080, or
// 443 for https. An error says what is wrong with the text.
Result<QUrl> proxyFromText(const QString &text);

// The proxy as a failure names it: "127.0.0.1:3128".
QString proxyName(const QUrl &proxy);

// Which proxy the requests for each scheme go through, and the hosts that are
// reached directly: one decision, which both engines are given so that they
// take the same way to every site.
struct ProxyRules
{
    QUrl http;  // for http: addresses; empty: straight to the site
    QUrl https; // for https: addresses
    // Hosts reached directly, as no_proxy lists them: "example.com" also
    // covers its subdomains, "10.0.0.0/8" a network, a lone "*" every host.
    QStringList bypass;

    // Every request through this proxy, whatever the environment says.
    static ProxyRules through(const QUrl &proxy) { return {proxy, proxy, {}}; }
    // The environment as curl reads it: http_proxy (lower case only),
    // https_proxy or HTTPS_PROXY, then all_proxy or ALL_PROXY for either
    // scheme; no_proxy or NO_PROXY. A variable set to nothing means no
    // proxy. A value that is no proxy is an error that names its variable.
    static Result<ProxyRules> fromEnvironment();

    // The proxy a request for this address goes through; empty for none.
    QUrl proxyFor(const QUrl &address) const;
    bool bypasses(const QString &host) const;

    // The same rules as Chromium's switches. Chromium by itself sends
    // loopback addresses around any proxy; curl does not, and neither do
    // these rules.
    QStringList chromiumSwitches() const;

    friend bool operator==(const ProxyRules &, const ProxyRules &) = default;
};

} // namespace pagrion
