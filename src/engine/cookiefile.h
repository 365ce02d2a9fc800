#pragma once

#include <optional>

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace pagrion {

// One cookie as a Netscape cookie file keeps it: the format curl reads and
// writes (COOKIEFILE, COOKIEJAR, COOKIELIST) and browsers' export tools
// produce.
struct StoredCookie
{
    // The host in lower case, with a leading dot when the cookie goes to its
    // subdomains too.
    QByteArray domain;
    QByteArray path = QByteArrayLiteral("/");
    QByteArray name;
    QByteArray value;
    qint64 expires = 0; // seconds since 1970 (UTC); 0 for a session cookie
    bool secure = false;
    bool httpOnly = false;

    // Cookies of one key are one cookie: a new one replaces the old.
    QByteArray key() const;
    // The host without the leading dot.
    QByteArray host() const;
    bool isExpired(qint64 now) const { return expires > 0 && expires <= now; }

    friend bool operator==(const StoredCookie &, const StoredCookie &) = default;
};

// The cookie's line, as curl writes it: domain, TRUE when it goes to
// subdomains, path, TRUE when only sent over https, expiry, name, value,
// separated by tabs; "#HttpOnly_" before the domain of an HttpOnly cookie.
QByteArray cookieLine(const StoredCookie &cookie);
// The cookie of a line; nullopt for a comment, a blank line or a line that
// holds no cookie.
std::optional<StoredCookie> parseCookieLine(QByteArrayView line);

// Every cookie of a file's text, in its order; lines that hold none are passed over.
QList<StoredCookie> parseCookieFile(QByteArrayView text);
// Whether the text starts as a cookie file does, even one without cookies.
bool hasCookieFileHeader(QByteArrayView text);
// A whole file: the header curl and browsers recognise, then a line per cookie.
QByteArray cookieFileText(const QList<StoredCookie> &cookies);

} // namespace pagrion
