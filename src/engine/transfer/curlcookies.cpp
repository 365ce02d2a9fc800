#include "engine/transfer/curlcookies.h"

#include <curl/curl.h>

#include "engine/cookiestore.h"

namespace pagrion {

CurlCookies::CurlCookies(CURLSH *share, CookieStore &store)
    : m_store(&store), m_handle(curl_easy_init()), m_seen(store.generation() - 1)
{
    curl_easy_setopt(m_handle, CURLOPT_SHARE, share);
}

CurlCookies::~CurlCookies()
{
    giveToStore();
    curl_easy_cleanup(m_handle);
}

void CurlCookies::takeFromStore()
{
    if (!m_store)
        return;
    m_store->refresh();
    if (m_store->generation() == m_seen)
        return;
    giveToStore();
    m_seen = m_store->generation();
    if (m_store->cookies() == m_synced)
        return;
    // A jar takes cookies one by one and has no way to drop one: it is filled anew.
    curl_easy_setopt(m_handle, CURLOPT_COOKIELIST, "ALL");
    for (const StoredCookie &cookie : m_store->cookies())
        curl_easy_setopt(m_handle, CURLOPT_COOKIELIST, cookieLine(cookie).constData());
    // What libcurl holds: a cookie it refused is not taken for one removed.
    m_synced = jar();
}

void CurlCookies::giveToStore()
{
    if (!m_store)
        return;
    const QHash<QByteArray, StoredCookie> now = jar();
    QList<StoredCookie> changed;
    QByteArrayList removed;
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        const auto before = m_synced.constFind(it.key());
        if (before == m_synced.cend() || *before != it.value())
            changed << it.value();
    }
    for (auto it = m_synced.cbegin(); it != m_synced.cend(); ++it) {
        if (!now.contains(it.key()))
            removed << it.key();
    }
    m_synced = now;
    if (changed.isEmpty() && removed.isEmpty())
        return;
    // The jar still agrees with the store when nobody else changed it meanwhile.
    const bool agreed = m_store->generation() == m_seen;
    m_store->update(changed, removed);
    if (agreed)
        m_seen = m_store->generation();
}

QHash<QByteArray, StoredCookie> CurlCookies::jar() const
{
    QHash<QByteArray, StoredCookie> cookies;
    curl_slist *lines = nullptr;
    curl_easy_getinfo(m_handle, CURLINFO_COOKIELIST, &lines);
    for (const curl_slist *line = lines; line; line = line->next) {
        if (std::optional<StoredCookie> cookie = parseCookieLine(line->data))
            cookies.insert(cookie->key(), std::move(*cookie));
    }
    curl_slist_free_all(lines);
    return cookies;
}

} // namespace pagrion
