#pragma once

#include <optional>

#include <QByteArrayList>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include "core/result.h"
#include "engine/cookiefile.h"

namespace pagrion {

// The cookies of the whole program, logins above all: both engines read and
// write them, and so does every process that uses the same file (the window
// and pagrion-cli with one data folder). The file is a Netscape cookie file,
// session cookies included, so a login survives a restart and goes along
// with a copied folder.
//
// Changes made here reach the file shortly after (at once for clear() and
// import()), merged under a file lock into what other processes wrote
// meanwhile, so no process loses another's cookies. What they wrote comes in
// with refresh(), which the engines call before they load a page.
class CookieStore final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CookieStore)

public:
    // The store of this file; with an empty path one kept in memory for this
    // process only. It is the program's store, current(), until destroyed.
    explicit CookieStore(const QString &filePath, QObject *parent = nullptr);
    // Writes what is still pending.
    ~CookieStore() override;

    // The store the engines use; null when there is none, and each engine
    // then keeps its cookies for itself while it lives.
    static CookieStore *current();

    const QString &filePath() const { return m_path; }
    // By StoredCookie::key(); none expired as of their last change.
    const QHash<QByteArray, StoredCookie> &cookies() const { return m_cookies; }
    // Counts the changes of cookies(), whoever made them.
    quint64 generation() const { return m_generation; }

    // Takes in what other processes wrote to the file since it was read;
    // costs one look at the file's attributes when nothing changed.
    void refresh();
    // Adds or replaces these cookies (an expired one removes its key) and
    // removes those of these keys.
    void update(const QList<StoredCookie> &cookies, const QByteArrayList &removedKeys = {});
    void set(const StoredCookie &cookie) { update({cookie}); }
    // Forgets every cookie, in the file too.
    Status clear();
    // Adds the cookies of a Netscape cookie file (as curl and browsers'
    // export tools write them) and writes them at once; how many it took.
    Result<int> importFile(const QString &cookieFile);
    // Writes the changes made here into the file now. On failure they stay
    // pending for the next write.
    Status write();

Q_SIGNALS:
    // cookies() changed, here or in the file.
    void changed();

private:
    // What identifies the file's content without reading it: the file is
    // replaced by a new one at each write.
    struct Stamp
    {
        quint64 inode = 0;
        qint64 modifiedNs = -1;
        qint64 size = -1;
        friend bool operator==(const Stamp &, const Stamp &) = default;
    };
    // A change not yet written: a cookie set, a key removed, or all forgotten.
    struct Change
    {
        std::optional<StoredCookie> cookie;
        QByteArray removedKey;
        bool forgetsAll = false;
    };

    Stamp stampOfFile() const;
    Result<QHash<QByteArray, StoredCookie>> readFile() const;
    QHash<QByteArray, StoredCookie> withPending(QHash<QByteArray, StoredCookie> cookies) const;
    void show(QHash<QByteArray, StoredCookie> cookies);

    QString m_path;
    QHash<QByteArray, StoredCookie> m_cookies;
    QHash<QByteArray, StoredCookie> m_inFile; // as last read or written
    Stamp m_stamp;
    QList<Change> m_pending;
    quint64 m_generation = 0;
    QTimer m_writeLater;
    CookieStore *m_previous;
};

} // namespace pagrion
