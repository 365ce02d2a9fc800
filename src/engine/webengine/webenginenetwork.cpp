#include "engine/webengine/webenginenetwork.h"

#include <QAuthenticator>
#include <QWebEngineCertificateError>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include "engine/certificatetrust.h"
#include "engine/pageaddress.h"
#include "engine/webengine/webenginesetup.h"

using namespace Qt::StringLiterals;

namespace pagrion {

void useNetworkConfig(NetworkConfig config)
{
    if (config.userAgent.isEmpty())
        config.userAgent = webEngineUserAgent();
    for (const QString &flag : config.proxy.chromiumSwitches())
        addChromiumFlag(flag.toUtf8());
    setNetworkConfig(config);
}

PageNetwork::PageNetwork(QWebEnginePage *page) : QObject(page)
{
    if (const QString &userAgent = networkConfig().userAgent; !userAgent.isEmpty())
        page->profile()->setHttpUserAgent(userAgent);
    connect(page, &QWebEnginePage::certificateError, this, &PageNetwork::onCertificateError);
    connect(page, &QWebEnginePage::proxyAuthenticationRequired, this,
            [this](const QUrl &, QAuthenticator *authenticator, const QString &proxyHost) {
                onProxyLogin(authenticator, proxyHost);
            });
    connect(page, &QWebEnginePage::loadStarted, this, [this] { m_proxyLogins.clear(); });
}

PageNetwork::~PageNetwork() = default;

const PageNetwork *PageNetwork::of(const QWebEnginePage *page)
{
    return page->findChild<PageNetwork *>(QString(), Qt::FindDirectChildrenOnly);
}

std::optional<LoadFailure> PageNetwork::failureFor(const QWebEngineLoadingInfo &info) const
{
    if (info.errorDomain() == QWebEngineLoadingInfo::CertificateErrorDomain) {
        const auto refused = m_refusedCertificates.constFind(hostKey(info.url()));
        return refused == m_refusedCertificates.cend() ? std::nullopt : std::optional(*refused);
    }
    const QUrl proxy = networkConfig().proxy.proxyFor(info.url());
    if (proxy.isEmpty())
        return std::nullopt;
    const QString name = proxyName(proxy);
    if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain)
        return info.errorCode() == 407 ? std::optional(LoadFailure::proxyLogin(name)) : std::nullopt;
    // Chromium's own error numbers.
    switch (info.errorCode()) {
    case -130: // PROXY_CONNECTION_FAILED
        return LoadFailure::proxyUnreachable(name);
    case -111: // TUNNEL_CONNECTION_FAILED
        return LoadFailure::proxyRefused(name, u"没有建立隧道"_s);
    case -120: // SOCKS_CONNECTION_FAILED
        // Chromium has no way to log in to a SOCKS proxy.
        return LoadFailure::proxyRefused(name, proxy.userName().isEmpty() ? u"SOCKS 连接失败"_s
                                                                          : u"完整浏览器无法登录 SOCKS 代理服务器"_s);
    case -121: // SOCKS_CONNECTION_HOST_UNREACHABLE
        return LoadFailure::proxyRefused(name, u"连不上网站"_s);
    case -115: // PROXY_AUTH_UNSUPPORTED
    case -127: // PROXY_AUTH_REQUESTED
        return LoadFailure::proxyLogin(name);
    case -136: // PROXY_CERTIFICATE_INVALID
        return LoadFailure::proxyRefused(name, u"代理服务器的证书不受信任"_s);
    default:
        return std::nullopt;
    }
}

// Only the error of an unknown issuer is Chromium's own: its store is not the
// program's. Every other it finds stands.
void PageNetwork::onCertificateError(const QWebEngineCertificateError &error)
{
    QWebEngineCertificateError answer = error;
    const std::optional<LoadFailure> refusal = checkServerCertificates(error.certificateChain(), error.url().host());
    if (!refusal && error.type() == QWebEngineCertificateError::CertificateAuthorityInvalid) {
        answer.acceptCertificate();
        return;
    }
    m_refusedCertificates.insert(hostKey(error.url()),
                                 refusal.value_or(LoadFailure::tls(u"服务器的证书不受信任（%1）"_s.arg(error.description()))));
    answer.rejectCertificate();
}

// A proxy that asks again within one load has refused the login; answering
// once more would only go round in circles.
void PageNetwork::onProxyLogin(QAuthenticator *authenticator, const QString &proxyHost)
{
    const ProxyRules &rules = networkConfig().proxy;
    for (const QUrl &proxy : {rules.http, rules.https}) {
        const bool thisProxy = proxy.host().compare(proxyHost, Qt::CaseInsensitive) == 0 || proxyName(proxy) == proxyHost;
        if (thisProxy && !proxy.userName().isEmpty() && !m_proxyLogins.contains(proxyHost)) {
            m_proxyLogins.insert(proxyHost);
            authenticator->setUser(proxy.userName(QUrl::FullyDecoded));
            authenticator->setPassword(proxy.password(QUrl::FullyDecoded));
            return;
        }
    }
    *authenticator = QAuthenticator();
}

} // namespace pagrion
