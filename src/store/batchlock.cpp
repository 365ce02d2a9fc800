#include "store/batchlock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <tuple>
#include <utility>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "store/programfolder.h"

using namespace Qt::StringLiterals;

namespace pagrion {

BatchLock::~BatchLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

BatchLock::BatchLock(BatchLock &&other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

BatchLock &BatchLock::operator=(BatchLock &&other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

Result<BatchLock> BatchLock::acquire()
{
    const QString path = QFileInfo(programFolder().resultDatabasePath()).dir().filePath(u"batch.lock"_s);
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return Error{u"无法建立批量采集的锁文件：%1"_s.arg(QDir::toNativeSeparators(path))};
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        char holder[32] = {};
        const ssize_t read = ::pread(fd, holder, sizeof holder - 1, 0);
        ::close(fd);
        const QString pid = QString::fromLatin1(holder, std::max<ssize_t>(read, 0)).trimmed();
        return Error{u"另一个程序（进程 %1）正在用这个数据文件夹进行批量采集。同一个数据文件夹一次只能进行一个批量采集，"
                     u"请等它结束或停止它后再试。"_s.arg(pid.isEmpty() ? u"?"_s : pid)};
    }
    // Whoever finds the lock held can tell the user which process holds it.
    const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
    if (::ftruncate(fd, 0) == 0)
        std::ignore = ::pwrite(fd, pid.constData(), size_t(pid.size()), 0);
    return BatchLock(fd);
}

} // namespace pagrion
