#include "engine/pageaddress.h"

using namespace Qt::StringLiterals;

namespace pagrion {

bool isWebAddress(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == u"http" || scheme == u"https");
}

bool mayFollow(const QUrl &from, const QUrl &to)
{
    return isWebAddress(to) || (from.isLocalFile() && to.isLocalFile());
}

} // namespace pagrion
