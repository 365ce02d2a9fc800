#pragma once

#include <QHash>
#include <QPointer>

#include "engine/cookiefile.h"

typedef void CURL;
typedef void CURLSH;

namespace pagrion {

class CookieStore;

// The cookie jar of a libcurl share kept in step with the program's cookie
// store: what the store holds is in the jar before a transfer starts, and
// what the transfers' answers set or remove goes into the store.
class CurlCookies final
{
    Q_DISABLE_COPY_MOVE(CurlCookies)

public:
    CurlCookies(CURLSH *share, CookieStore &store);
    // Hands over what the transfers changed since the last time.
    ~CurlCookies();

    // Before a transfer starts: brings in what others put into the store.
    void takeFromStore();
    // After transfers ended: hands over what their answers changed.
    void giveToStore();

private:
    QHash<QByteArray, StoredCookie> jar() const;

    QPointer<CookieStore> m_store;
    // Attached to the share only, never sent: reads and fills the shared jar.
    CURL *m_handle;
    // The jar as it was after the last exchange with the store.
    QHash<QByteArray, StoredCookie> m_synced;
    // The store's generation the jar last agreed with.
    quint64 m_seen;
};

} // namespace pagrion
