#pragma once

#include <optional>

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

#include "engine/loadresult.h"
#include "engine/networkconfig.h"

class QAuthenticator;
class QWebEngineCertificateError;
class QWebEngineLoadingInfo;
class QWebEnginePage;

namespace pagrion {

// Makes the configuration the way both engines reach the web, an empty
// User-Agent standing for the full browser's own. Call it before the first
// browser is made: Chromium reads its proxy switches once, as it starts.
void useNetworkConfig(NetworkConfig config);

// A page's dealings with the network, settled as the static engine settles
// them: a proxy that asks for a login gets the proxy's user and password,
// once a load; a certificate that Chromium does not trust is checked against
// the certificates the static engine trusts and accepted when they vouch for
// it. It belongs to the page and goes with it.
class PageNetwork final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PageNetwork)

public:
    explicit PageNetwork(QWebEnginePage *page);
    ~PageNetwork() override;

    // The page's, or null when it has none.
    static const PageNetwork *of(const QWebEnginePage *page);

    // Why the load failed, when the reason is one the network settings
    // explain: a certificate refused here, or the proxy the load went through.
    std::optional<LoadFailure> failureFor(const QWebEngineLoadingInfo &info) const;

private:
    void onCertificateError(const QWebEngineCertificateError &error);
    void onProxyLogin(QAuthenticator *authenticator, const QString &proxyHost);

    QHash<QString, LoadFailure> m_refusedCertificates; // by host key
    QSet<QString> m_proxyLogins; // proxies answered during the load under way
};

} // namespace pagrion
