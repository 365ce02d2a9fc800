#include "engine/loadresult.h"

using namespace Qt::StringLiterals;

namespace pagrion {

bool LoadFailure::retryable() const
{
    switch (kind) {
    case Kind::HttpStatus:
        return status == 429 || status == 500 || status == 502 || status == 503 || status == 504;
    case Kind::Timeout:
    case Kind::ConnectionReset:
    case Kind::BodyCutShort:
        return true;
    default:
        return false;
    }
}

LoadFailure LoadFailure::httpStatus(int status)
{
    return {Kind::HttpStatus, u"HTTP %1"_s.arg(status), status};
}

LoadFailure LoadFailure::timeout()
{
    return {Kind::Timeout, u"超时"_s};
}

LoadFailure LoadFailure::connectionRefused()
{
    return {Kind::ConnectionRefused, u"连接被拒绝"_s};
}

LoadFailure LoadFailure::connectionReset()
{
    return {Kind::ConnectionReset, u"连接被重置"_s};
}

LoadFailure LoadFailure::bodyCutShort()
{
    return {Kind::BodyCutShort, u"网页内容不完整：连接在传送完之前断开"_s};
}

LoadFailure LoadFailure::hostNotFound(const QString &host)
{
    return {Kind::HostNotFound, u"找不到服务器 %1"_s.arg(host)};
}

LoadFailure LoadFailure::tls(const QString &detail)
{
    return {Kind::Tls, u"TLS 安全连接出错：%1"_s.arg(detail)};
}

LoadFailure LoadFailure::bodyTooLarge(qint64 limitBytes)
{
    const QString limit = limitBytes >= (qint64(1) << 20) && limitBytes % (qint64(1) << 20) == 0
        ? u"%1 MB"_s.arg(limitBytes >> 20)
        : u"%1 字节"_s.arg(limitBytes);
    return {Kind::BodyTooLarge, u"网页超过大小上限（%1）"_s.arg(limit)};
}

LoadFailure LoadFailure::tooManyRedirects(int limit)
{
    return {Kind::TooManyRedirects, u"重定向超过 %1 次"_s.arg(limit)};
}

LoadFailure LoadFailure::redirectLoop()
{
    return {Kind::RedirectLoop, u"重定向循环"_s};
}

LoadFailure LoadFailure::decompression(const QString &detail)
{
    return {Kind::Decompression, u"网页内容解压失败（%1）"_s.arg(detail)};
}

LoadFailure LoadFailure::refusedScheme(const QUrl &url)
{
    const QString scheme = url.scheme().isEmpty() ? url.toString().left(40) : url.scheme() + u':';
    return {Kind::RefusedScheme, u"不打开这种地址：%1"_s.arg(scheme)};
}

LoadFailure LoadFailure::refusedRedirect()
{
    return {Kind::RefusedScheme, u"不打开重定向到的地址：网页只能转到 http 和 https 网址"_s};
}

LoadFailure LoadFailure::proxyUnreachable(const QString &proxy)
{
    return {Kind::Proxy, u"无法连接代理服务器 %1"_s.arg(proxy)};
}

LoadFailure LoadFailure::proxyRefused(const QString &proxy, const QString &detail)
{
    return {Kind::Proxy, u"代理服务器 %1 没有转发这个网页（%2）"_s.arg(proxy, detail)};
}

LoadFailure LoadFailure::proxyLogin(const QString &proxy)
{
    return {Kind::Proxy, u"代理服务器 %1 拒绝登录：需要正确的用户名和密码"_s.arg(proxy)};
}

LoadFailure LoadFailure::network(const QString &detail)
{
    return {Kind::Network, u"网络错误：%1"_s.arg(detail)};
}

QByteArray LoadResult::header(const QByteArray &name) const
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

} // namespace pagrion
