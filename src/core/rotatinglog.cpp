#include "core/rotatinglog.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace pagrion {

RotatingLogFile::RotatingLogFile(QString path, qint64 maxBytes, int kept)
    : m_path(std::move(path)), m_maxBytes(maxBytes), m_kept(kept)
{
}

void RotatingLogFile::write(const QByteArray &line)
{
    const QMutexLocker lock(&m_mutex);
    if (!m_file.isOpen() && !open())
        return;
    // A file left by an earlier start counts too; a line longer than the cap
    // gets a file of its own rather than being lost.
    if (m_file.size() > 0 && m_file.size() + line.size() > m_maxBytes) {
        rotate();
        if (!open())
            return;
    }
    m_file.write(line);
    m_file.flush();
}

bool RotatingLogFile::open()
{
    if (m_unwritable)
        return false;
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    m_file.setFileName(m_path);
    m_unwritable = !m_file.open(QIODevice::WriteOnly | QIODevice::Append);
    return !m_unwritable;
}

void RotatingLogFile::rotate()
{
    m_file.close();
    const auto numbered = [this](int n) { return u"%1.%2"_s.arg(m_path).arg(n); };
    QFile::remove(numbered(m_kept));
    for (int n = m_kept - 1; n >= 1; --n)
        QFile::rename(numbered(n), numbered(n + 1));
    if (m_kept > 0)
        QFile::rename(m_path, numbered(1));
    else
        QFile::remove(m_path);
}

} // namespace pagrion
