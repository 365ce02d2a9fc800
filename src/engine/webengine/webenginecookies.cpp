#include "engine/webengine/webenginecookies.h"

#include <QDateTime>
#include <QNetworkCookie>
#include <QUrl>
#include <QWebEngineCookieStore>

#include "engine/cookiestore.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

// How long a removal waits for the cookie that replaces it.
constexpr int RemovalSettleMs = 50;

StoredCookie storedCookie(const QNetworkCookie &cookie)
{
    StoredCookie stored;
    stored.domain = cookie.domain().toLower().toUtf8();
    if (!cookie.path().isEmpty())
        stored.path = cookie.path().toUtf8();
    stored.name = cookie.name();
    stored.value = cookie.value();
    stored.expires = cookie.isSessionCookie() ? 0 : cookie.expirationDate().toSecsSinceEpoch();
    stored.secure = cookie.isSecure();
    stored.httpOnly = cookie.isHttpOnly();
    return stored;
}

QNetworkCookie networkCookie(const StoredCookie &stored)
{
    QNetworkCookie cookie(stored.name, stored.value);
    // Without a domain the cookie is the origin's host's alone.
    if (stored.domain.startsWith('.'))
        cookie.setDomain(QString::fromUtf8(stored.domain));
    cookie.setPath(QString::fromUtf8(stored.path));
    cookie.setSecure(stored.secure);
    cookie.setHttpOnly(stored.httpOnly);
    if (stored.expires > 0)
        cookie.setExpirationDate(QDateTime::fromSecsSinceEpoch(stored.expires, Qt::UTC));
    return cookie;
}

// The address the cookie is set for: a secure cookie only comes from https.
QUrl originOf(const StoredCookie &stored)
{
    QUrl origin;
    origin.setScheme(stored.secure ? u"https"_s : u"http"_s);
    origin.setHost(QString::fromUtf8(stored.host()));
    origin.setPath(QString::fromUtf8(stored.path));
    return origin;
}

} // namespace

WebEngineCookies::WebEngineCookies(QWebEngineCookieStore *cookies, CookieStore &store, QObject *parent)
    : QObject(parent), m_cookies(cookies), m_store(&store)
{
    m_handOverRemovals.setSingleShot(true);
    m_handOverRemovals.setInterval(RemovalSettleMs);
    connect(&m_handOverRemovals, &QTimer::timeout, this, &WebEngineCookies::handOverRemovals);
    connect(cookies, &QWebEngineCookieStore::cookieAdded, this, &WebEngineCookies::onAdded);
    connect(cookies, &QWebEngineCookieStore::cookieRemoved, this, &WebEngineCookies::onRemoved);
    connect(&store, &CookieStore::changed, this, [this] {
        if (!m_updating)
            takeFromStore();
    });
    takeFromStore();
}

void WebEngineCookies::onAdded(const QNetworkCookie &added)
{
    const StoredCookie cookie = storedCookie(added);
    const QByteArray key = cookie.key();
    m_known.insert(key, cookie);
    m_removing.remove(key);
    if (!m_store)
        return;
    if (const auto sent = m_sent.constFind(key); sent != m_sent.cend() && *sent == cookie) {
        m_sent.erase(sent);
        // The store may have moved on while ours was on its way.
        if (m_store->cookies().value(key) != cookie)
            takeFromStore();
        return;
    }
    m_updating = true;
    m_store->set(cookie);
    m_updating = false;
}

void WebEngineCookies::onRemoved(const QNetworkCookie &removed)
{
    const QByteArray key = storedCookie(removed).key();
    m_known.remove(key);
    if (m_deleting.remove(key))
        return;
    m_removing.insert(key);
    m_handOverRemovals.start();
}

void WebEngineCookies::handOverRemovals()
{
    if (!m_store || m_removing.isEmpty())
        return;
    const QByteArrayList keys(m_removing.cbegin(), m_removing.cend());
    m_removing.clear();
    m_updating = true;
    m_store->update({}, keys);
    m_updating = false;
}

void WebEngineCookies::takeFromStore()
{
    if (!m_store)
        return;
    const QHash<QByteArray, StoredCookie> &stored = m_store->cookies();
    for (auto it = stored.cbegin(); it != stored.cend(); ++it) {
        const auto known = m_known.constFind(it.key());
        const auto sent = m_sent.constFind(it.key());
        // A cookie the engine removed is on its way out of the store.
        if (m_removing.contains(it.key()) || (sent != m_sent.cend() && *sent == it.value())
            || (known != m_known.cend() && *known == it.value() && !m_deleting.contains(it.key())))
            continue;
        m_cookies->setCookie(networkCookie(it.value()), originOf(it.value()));
        m_sent.insert(it.key(), it.value());
    }
    for (auto it = m_known.cbegin(); it != m_known.cend(); ++it) {
        if (stored.contains(it.key()) || m_deleting.contains(it.key()))
            continue;
        m_cookies->deleteCookie(networkCookie(it.value()), originOf(it.value()));
        m_deleting.insert(it.key());
    }
}

} // namespace pagrion
