#include "engine/cookiefile.h"

#include <algorithm>

namespace pagrion {

namespace {

constexpr QByteArrayView HttpOnlyPrefix = "#HttpOnly_";

std::optional<bool> flag(QByteArrayView field)
{
    if (field.compare("TRUE", Qt::CaseInsensitive) == 0)
        return true;
    if (field.compare("FALSE", Qt::CaseInsensitive) == 0)
        return false;
    return std::nullopt;
}

// Whole seconds; some export tools write fractions, and anything below 1
// means a session cookie.
std::optional<qint64> expiry(QByteArrayView field)
{
    const qsizetype dot = field.indexOf('.');
    bool ok = false;
    const qint64 seconds = (dot < 0 ? field : field.first(dot)).toLongLong(&ok);
    return ok ? std::optional<qint64>(std::max<qint64>(seconds, 0)) : std::nullopt;
}

} // namespace

QByteArray StoredCookie::key() const
{
    return domain + '\t' + path + '\t' + name;
}

QByteArray StoredCookie::host() const
{
    return domain.startsWith('.') ? domain.mid(1) : domain;
}

QByteArray cookieLine(const StoredCookie &cookie)
{
    const auto truth = [](bool value) { return value ? QByteArrayLiteral("TRUE") : QByteArrayLiteral("FALSE"); };
    return (cookie.httpOnly ? HttpOnlyPrefix.toByteArray() : QByteArray()) + cookie.domain + '\t'
        + truth(cookie.domain.startsWith('.')) + '\t' + cookie.path + '\t' + truth(cookie.secure) + '\t'
        + QByteArray::number(cookie.expires) + '\t' + cookie.name + '\t' + cookie.value;
}

std::optional<StoredCookie> parseCookieLine(QByteArrayView line)
{
    while (line.endsWith('\r') || line.endsWith('\n'))
        line.chop(1);
    StoredCookie cookie;
    if (line.startsWith(HttpOnlyPrefix)) {
        cookie.httpOnly = true;
        line = line.sliced(HttpOnlyPrefix.size());
    } else if (line.startsWith('#')) {
        return std::nullopt;
    }
    const QList<QByteArray> fields = line.toByteArray().split('\t');
    // The value may be missing altogether, as curl allows.
    if (fields.size() < 6 || fields.size() > 7)
        return std::nullopt;
    QByteArray host = fields.at(0).trimmed().toLower();
    while (host.startsWith('.'))
        host.remove(0, 1);
    const std::optional<bool> subdomains = flag(fields.at(1).trimmed());
    const std::optional<bool> secure = flag(fields.at(3).trimmed());
    const std::optional<qint64> expires = expiry(fields.at(4).trimmed());
    if (host.isEmpty() || !subdomains || !secure || !expires || fields.at(5).isEmpty())
        return std::nullopt;
    cookie.domain = *subdomains ? '.' + host : host;
    if (!fields.at(2).isEmpty())
        cookie.path = fields.at(2);
    cookie.secure = *secure;
    cookie.expires = *expires;
    cookie.name = fields.at(5);
    cookie.value = fields.value(6);
    return cookie;
}

QList<StoredCookie> parseCookieFile(QByteArrayView text)
{
    QList<StoredCookie> cookies;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        if (std::optional<StoredCookie> cookie = parseCookieLine(text.sliced(start, end - start)))
            cookies << std::move(*cookie);
        start = end + 1;
    }
    return cookies;
}

bool hasCookieFileHeader(QByteArrayView text)
{
    return text.startsWith("# Netscape HTTP Cookie File") || text.startsWith("# HTTP Cookie File");
}

QByteArray cookieFileText(const QList<StoredCookie> &cookies)
{
    QByteArray text = "# Netscape HTTP Cookie File\n"
                      "# Pagrion 保存的网站登录信息（cookie），浏览器引擎和快速引擎共用。\n\n";
    for (const StoredCookie &cookie : cookies)
        text += cookieLine(cookie) + '\n';
    return text;
}

} // namespace pagrion
