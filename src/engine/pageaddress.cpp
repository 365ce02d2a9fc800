#include "engine/pageaddress.h"

using namespace Qt::StringLiterals;

namespace pagrion {

bool isWebAddress(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == u"http" || scheme == u"https");
}

QString hostKey(const QUrl &url)
{
    if (!isWebAddress(url))
        return {};
    return url.scheme().toLower() + u"://"_s + url.host().toLower() + u':'
        + QString::number(url.port(url.scheme().compare(u"https"_s, Qt::CaseInsensitive) == 0 ? 443 : 80));
}

bool mayFollow(const QUrl &from, const QUrl &to)
{
    return isWebAddress(to) || (from.isLocalFile() && to.isLocalFile());
}

} // namespace pagrion
