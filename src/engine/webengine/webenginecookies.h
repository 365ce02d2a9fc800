#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QTimer>

#include "engine/cookiefile.h"

class QNetworkCookie;
class QWebEngineCookieStore;

namespace pagrion {

class CookieStore;

// Keeps the cookies of a full-browser profile in step with the program's
// cookie store: the profile starts with the store's cookies, what its pages
// set or remove goes into the store, and what others change in the store
// (the fast engine, another process, forgetting the logins) comes into the
// profile.
//
// The engine tells of every change, ours included, only later; what we
// asked for is told apart from what a page did by what is still on its way.
class WebEngineCookies final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WebEngineCookies)

public:
    WebEngineCookies(QWebEngineCookieStore *cookies, CookieStore &store, QObject *parent = nullptr);

private:
    void onAdded(const QNetworkCookie &added);
    void onRemoved(const QNetworkCookie &removed);
    void takeFromStore();
    void handOverRemovals();

    QWebEngineCookieStore *m_cookies;
    QPointer<CookieStore> m_store;
    // What the engine holds, as far as it has told.
    QHash<QByteArray, StoredCookie> m_known;
    // Set in the engine, not yet told back.
    QHash<QByteArray, StoredCookie> m_sent;
    // Deleted in the engine, not yet told back.
    QSet<QByteArray> m_deleting;
    // Removed by the engine, not yet from the store: a cookie replaced is
    // told as removed, then as added.
    QSet<QByteArray> m_removing;
    QTimer m_handOverRemovals;
    // The store is being changed from here: its news is our own.
    bool m_updating = false;
};

} // namespace pagrion
