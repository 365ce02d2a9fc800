#include "engine/cookiestore.h"

#include <algorithm>

#include <sys/stat.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

// Changes made in a burst (a page that sets several cookies, a run's pages)
// go out in one write.
constexpr int WriteDelayMs = 200;
// Another process holds the lock only while it merges its changes.
constexpr int LockWaitMs = 5'000;
// A folder that cannot be written now is tried again now and then.
constexpr int RetryWriteMs = 10'000;

CookieStore *&currentStore()
{
    static CookieStore *store = nullptr;
    return store;
}

qint64 now()
{
    return QDateTime::currentSecsSinceEpoch();
}

QString nativePath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

CookieStore::CookieStore(const QString &filePath, QObject *parent)
    : QObject(parent), m_path(filePath), m_previous(currentStore())
{
    currentStore() = this;
    m_writeLater.setSingleShot(true);
    m_writeLater.setInterval(WriteDelayMs);
    connect(&m_writeLater, &QTimer::timeout, this, [this] { (void)write(); });
    refresh();
}

CookieStore::~CookieStore()
{
    (void)write();
    if (currentStore() == this)
        currentStore() = m_previous;
}

CookieStore *CookieStore::current()
{
    return currentStore();
}

void CookieStore::refresh()
{
    if (m_path.isEmpty())
        return;
    const Stamp stamp = stampOfFile();
    if (stamp == m_stamp)
        return;
    // A file that cannot be read now keeps what was read before.
    Result<QHash<QByteArray, StoredCookie>> inFile = readFile();
    if (!inFile)
        return;
    m_stamp = stamp;
    m_inFile = std::move(inFile).value();
    show(withPending(m_inFile));
}

void CookieStore::update(const QList<StoredCookie> &cookies, const QByteArrayList &removedKeys)
{
    QHash<QByteArray, StoredCookie> updated = m_cookies;
    const qint64 time = now();
    for (const StoredCookie &cookie : cookies) {
        const QByteArray key = cookie.key();
        const bool expired = cookie.isExpired(time);
        const auto found = updated.constFind(key);
        const bool present = found != updated.cend();
        if (expired ? !present : present && *found == cookie)
            continue;
        if (expired) {
            updated.remove(key);
            m_pending.append({std::nullopt, key});
        } else {
            updated.insert(key, cookie);
            m_pending.append({cookie, {}});
        }
    }
    for (const QByteArray &key : removedKeys) {
        if (updated.remove(key))
            m_pending.append({std::nullopt, key});
    }
    if (!m_pending.isEmpty() && !m_writeLater.isActive())
        m_writeLater.start();
    show(std::move(updated));
}

Status CookieStore::clear()
{
    m_pending = {{std::nullopt, {}, true}};
    show({});
    return write();
}

Result<int> CookieStore::importFile(const QString &cookieFile)
{
    QFile file(cookieFile);
    if (!file.open(QIODevice::ReadOnly))
        return Error{u"无法读取 cookie 文件 %1：%2"_s.arg(nativePath(cookieFile), file.errorString())};
    const QByteArray text = file.readAll();
    QList<StoredCookie> cookies = parseCookieFile(text);
    if (cookies.isEmpty() && !hasCookieFileHeader(text))
        return Error{u"%1 不是 Netscape 格式的 cookie 文件（curl 和浏览器的导出工具写的 cookies.txt）。"_s.arg(
            nativePath(cookieFile))};
    const qint64 time = now();
    cookies.removeIf([time](const StoredCookie &cookie) { return cookie.isExpired(time); });
    update(cookies);
    if (Status written = write(); !written)
        return Error{written.error()};
    return int(cookies.size());
}

Status CookieStore::write()
{
    m_writeLater.stop();
    m_writeLater.setInterval(WriteDelayMs);
    if (m_path.isEmpty())
        m_pending.clear();
    if (m_pending.isEmpty())
        return success();
    const auto failed = [this](const QString &reason) -> Status {
        m_writeLater.start(RetryWriteMs);
        return Error{u"无法保存网站登录信息（%1）：%2"_s.arg(nativePath(m_path), reason)};
    };
    QLockFile lock(m_path + u".lock"_s);
    if (!lock.tryLock(LockWaitMs))
        return failed(lock.error() == QLockFile::LockFailedError ? u"文件正被另一个程序使用"_s
                                                                  : u"无法创建锁文件"_s);
    Result<QHash<QByteArray, StoredCookie>> inFile = readFile();
    if (!inFile)
        return failed(inFile.error());
    QHash<QByteArray, StoredCookie> merged = withPending(std::move(inFile).value());
    const qint64 time = now();
    merged.removeIf([time](const auto &entry) { return entry.value().isExpired(time); });
    QList<StoredCookie> lines = merged.values();
    std::sort(lines.begin(), lines.end(),
              [](const StoredCookie &a, const StoredCookie &b) { return a.key() < b.key(); });

    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        return failed(file.errorString());
    // Logins are secrets: only the user may read them.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(cookieFileText(lines));
    if (!file.commit())
        return failed(file.errorString());
    m_pending.clear();
    m_inFile = merged;
    m_stamp = stampOfFile();
    show(std::move(merged));
    return success();
}

CookieStore::Stamp CookieStore::stampOfFile() const
{
    struct stat status{};
    if (::stat(QFile::encodeName(m_path).constData(), &status) != 0)
        return {};
    return {quint64(status.st_ino), qint64(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec,
            qint64(status.st_size)};
}

Result<QHash<QByteArray, StoredCookie>> CookieStore::readFile() const
{
    QFile file(m_path);
    if (!file.exists())
        return QHash<QByteArray, StoredCookie>();
    if (!file.open(QIODevice::ReadOnly))
        return Error{file.errorString()};
    QHash<QByteArray, StoredCookie> cookies;
    for (StoredCookie &cookie : parseCookieFile(file.readAll()))
        cookies.insert(cookie.key(), std::move(cookie));
    return cookies;
}

QHash<QByteArray, StoredCookie> CookieStore::withPending(QHash<QByteArray, StoredCookie> cookies) const
{
    for (const Change &change : m_pending) {
        if (change.forgetsAll)
            cookies.clear();
        else if (change.cookie)
            cookies.insert(change.cookie->key(), *change.cookie);
        else
            cookies.remove(change.removedKey);
    }
    return cookies;
}

void CookieStore::show(QHash<QByteArray, StoredCookie> cookies)
{
    if (cookies == m_cookies)
        return;
    m_cookies = std::move(cookies);
    ++m_generation;
    Q_EMIT changed();
}

} // namespace pagrion
