#include "engine/webengine/webengineprofile.h"

#include <memory>

#include <QFileInfo>
#include <QLockFile>
#include <QPointer>
#include <QWebEngineProfile>

#include "engine/cookiestore.h"
#include "engine/webengine/webenginecookies.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

// Enough for the pages of a site or two; the data folder is not a browser's.
constexpr int CacheBytes = 100 * 1024 * 1024;

// Holds the profile's folder for this process while the profile lives.
class FolderLock final : public QObject
{
public:
    FolderLock(std::unique_ptr<QLockFile> lock, QObject *parent) : QObject(parent), m_lock(std::move(lock)) {}

private:
    std::unique_ptr<QLockFile> m_lock;
};

QWebEngineProfile *makeProfile(CookieStore &store)
{
    std::unique_ptr<QLockFile> lock;
    QString folder;
    if (!store.filePath().isEmpty()) {
        folder = QFileInfo(store.filePath()).absolutePath() + u"/browser"_s;
        lock = std::make_unique<QLockFile>(folder + u".lock"_s);
        if (!lock->tryLock(0))
            lock.reset();
    }
    // A profile without a storage name keeps nothing on disk. It lives as
    // long as the store its cookies follow.
    auto *profile = new QWebEngineProfile(lock ? u"Pagrion"_s : QString(), &store);
    if (lock) {
        profile->setPersistentStoragePath(folder);
        profile->setCachePath(folder + u"/cache"_s);
        profile->setHttpCacheMaximumSize(CacheBytes);
        new FolderLock(std::move(lock), profile);
    }
    // The store keeps the cookies, session cookies too; the profile's own
    // copy would be a second truth, and one process's alone.
    profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    new WebEngineCookies(profile->cookieStore(), store, profile);
    return profile;
}

} // namespace

QWebEngineProfile *browserProfile()
{
    static QPointer<QWebEngineProfile> profile;
    CookieStore *store = CookieStore::current();
    if (!store)
        return QWebEngineProfile::defaultProfile();
    if (!profile || profile->parent() != store)
        profile = makeProfile(*store);
    return profile;
}

} // namespace pagrion
