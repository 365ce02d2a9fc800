#include "engine/proxyrules.h"

#include <initializer_list>

#include <QHostAddress>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

const QStringList ProxySchemes{u"http"_s, u"https"_s, u"socks5"_s, u"socks5h"_s};

// The proxy named by the first of the variables that is set. One set to
// nothing means none, and the variables after it are not read.
Result<QUrl> proxyFromVariables(std::initializer_list<const char *> names)
{
    for (const char *name : names) {
        if (!qEnvironmentVariableIsSet(name))
            continue;
        const QString value = qEnvironmentVariable(name).trimmed();
        if (value.isEmpty())
            return QUrl();
        const Result<QUrl> proxy = proxyFromText(value);
        if (!proxy)
            return Error{u"环境变量 %1：%2"_s.arg(QString::fromLatin1(name), proxy.error())};
        return proxy;
    }
    return QUrl();
}

QString withoutBrackets(const QString &host)
{
    return host.startsWith(u'[') && host.endsWith(u']') ? host.mid(1, host.size() - 2) : host;
}

// An address or a network ("10.0.0.0/8") rather than a name.
bool isAddressEntry(const QString &entry)
{
    return entry.contains(u'/') ? QHostAddress::parseSubnet(entry).first.protocol() != QAbstractSocket::UnknownNetworkLayerProtocol
                                : !QHostAddress(withoutBrackets(entry)).isNull();
}

QString chromiumProxy(const QUrl &proxy)
{
    // Chromium's SOCKS5 always leaves the names to the proxy: it knows no socks5h.
    const QString scheme = proxy.scheme() == u"socks5h" ? u"socks5"_s : proxy.scheme();
    return scheme + u"://"_s + proxyName(proxy);
}

} // namespace

Result<QUrl> proxyFromText(const QString &text)
{
    const QString typed = text.trimmed();
    const QString form = u"应为 [协议://][用户名:密码@]主机[:端口]，协议为 http、https、socks5 或 socks5h"_s;
    if (typed.isEmpty())
        return Error{u"没有填写代理服务器的地址，%1。"_s.arg(form)};
    QUrl url(typed.contains(u"://"_s) ? typed : u"http://"_s + typed, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || !(url.path().isEmpty() || url.path() == u"/")
        || url.hasQuery() || url.hasFragment())
        return Error{u"代理服务器的地址无效，%1。"_s.arg(form)};
    url.setScheme(url.scheme().toLower());
    if (!ProxySchemes.contains(url.scheme()))
        return Error{u"代理服务器的协议 %1 不受支持，只能是 http、https、socks5 或 socks5h。"_s.arg(url.scheme())};
    url.setPath(QString());
    if (url.port() < 0)
        url.setPort(url.scheme() == u"https" ? 443 : 1080);
    return url;
}

QString proxyName(const QUrl &proxy)
{
    const QString host = proxy.host();
    return (host.contains(u':') ? u'[' + host + u']' : host) + u':' + QString::number(proxy.port());
}

Result<ProxyRules> ProxyRules::fromEnvironment()
{
    ProxyRules rules;
    const Result<QUrl> http = proxyFromVariables({"http_proxy", "all_proxy", "ALL_PROXY"});
    if (!http)
        return Error{http.error()};
    const Result<QUrl> https = proxyFromVariables({"https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"});
    if (!https)
        return Error{https.error()};
    rules.http = http.value();
    rules.https = https.value();
    const QString noProxy = qEnvironmentVariableIsSet("no_proxy") ? qEnvironmentVariable("no_proxy")
                                                                   : qEnvironmentVariable("NO_PROXY");
    for (const QString &entry : noProxy.split(QRegularExpression(u"[,\\s]+"_s), Qt::SkipEmptyParts))
        rules.bypass << entry;
    return rules;
}

QUrl ProxyRules::proxyFor(const QUrl &address) const
{
    const QString scheme = address.scheme().toLower();
    const QUrl proxy = scheme == u"http" ? http : scheme == u"https" ? https : QUrl();
    if (proxy.isEmpty() || bypasses(address.host()))
        return {};
    return proxy;
}

// As curl matches no_proxy: a name covers itself and its subdomains, a
// leading dot changes nothing; an address matches an equal one or its network.
bool ProxyRules::bypasses(const QString &host) const
{
    if (bypass == QStringList{u"*"_s})
        return true;
    QString name = withoutBrackets(host);
    if (name.endsWith(u'.'))
        name.chop(1);
    const QHostAddress address(name);
    for (const QString &entry : bypass) {
        if (!address.isNull()) {
            if (entry.contains(u'/') ? address.isInSubnet(QHostAddress::parseSubnet(entry))
                                     : address.isEqual(QHostAddress(withoutBrackets(entry))))
                return true;
            continue;
        }
        const QString domain = entry.startsWith(u'.') ? entry.mid(1) : entry;
        if (!domain.isEmpty()
            && (name.compare(domain, Qt::CaseInsensitive) == 0
                || name.endsWith(u'.' + domain, Qt::CaseInsensitive)))
            return true;
    }
    return false;
}

QStringList ProxyRules::chromiumSwitches() const
{
    QStringList servers;
    if (!http.isEmpty())
        servers << u"http="_s + chromiumProxy(http);
    if (!https.isEmpty())
        servers << u"https="_s + chromiumProxy(https);
    if (servers.isEmpty() || bypass == QStringList{u"*"_s})
        return {u"--no-proxy-server"_s};
    QStringList rules{u"<-loopback>"_s};
    for (const QString &entry : bypass) {
        if (isAddressEntry(entry)) {
            const bool bareIpv6 = !entry.contains(u'/') && !entry.startsWith(u'[') && entry.contains(u':');
            rules << (bareIpv6 ? u'[' + entry + u']' : entry);
        } else if (const QString domain = entry.startsWith(u'.') ? entry.mid(1) : entry; !domain.isEmpty()) {
            rules << domain << u"*."_s + domain;
        }
    }
    return {u"--proxy-server="_s + servers.join(u';'), u"--proxy-bypass-list="_s + rules.join(u';')};
}

} // namespace pagrion
