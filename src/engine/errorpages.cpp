#include "engine/errorpages.h"

#include "engine/html/htmldocument.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

QString httpStatusText(int status, const QString &reasonPhrase)
{
    switch (status) {
    case 400: return u"错误的请求"_s;
    case 401: return u"未经授权"_s;
    case 403: return u"禁止访问"_s;
    case 404: return u"无法找到文件"_s;
    case 405: return u"不允许此方法"_s;
    case 410: return u"文件已不存在"_s;
    case 500: return u"内部服务器错误"_s;
    case 501: return u"未实现"_s;
    case 502: return u"网关错误"_s;
    case 503: return u"服务不可用"_s;
    case 504: return u"网关超时"_s;
    default: return reasonPhrase.isEmpty() ? u"错误"_s : reasonPhrase.toHtmlEscaped();
    }
}

} // namespace

QString unreachablePageHtml()
{
    return u"<html><head><title>无法找到网页</title></head><body>"
           u"<h1>无法找到网页</h1>"
           u"<p>您要查看的网页当前不可用：地址可能有误，网站可能暂时无法访问，或者网络没有联接。</p>"
           u"</body></html>"_s;
}

// The 404 page names the usual causes; every page names the status.
QString httpErrorPageHtml(int status, const QString &reasonPhrase)
{
    const QString statusLine = u"HTTP %1 - %2"_s.arg(status).arg(httpStatusText(status, reasonPhrase));
    if (status == 404) {
        return u"<html><head><title>无法找到网页</title></head><body>"
               u"<h1>无法找到网页</h1>"
               u"<p>您正在搜索的网页可能已经删除、更名或暂时不可用。</p>"
               u"<p>请检查其拼写是否正确，或者单击后退按钮，尝试其他链接。</p>"
               u"<p>"_s
            + statusLine + u"</p></body></html>"_s;
    }
    return u"<html><head><title>无法显示网页</title></head><body>"
           u"<h1>无法显示网页</h1>"
           u"<p>服务器没有送回这个网页的内容。请单击后退按钮，尝试其他链接。</p>"
           u"<p>"_s
        + statusLine + u"</p></body></html>"_s;
}

std::shared_ptr<const Document> engineMadeDocument(const QString &html, const QUrl &url)
{
    return parseHtmlDocument(html, url);
}

} // namespace pagrion
