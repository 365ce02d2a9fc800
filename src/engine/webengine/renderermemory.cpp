#include "engine/webengine/renderermemory.h"

#include <unistd.h>

#include <map>

#include <QFile>
#include <QList>

namespace pagrion {

namespace {

// What a character of markup may cost the renderer at most: the DOM nodes,
// their styles and layout for a page of many small table cells.
constexpr qint64 BytesPerMarkupCharacter = 64;

// The renderer each watch last saw, to tell a renderer shared by pages.
std::map<const RendererMemoryWatch *, qint64> &watchedRenderers()
{
    static std::map<const RendererMemoryWatch *, qint64> renderers;
    return renderers;
}

bool sharedRenderer(const RendererMemoryWatch *watch, qint64 pid)
{
    for (const auto &[other, otherPid] : watchedRenderers()) {
        if (other != watch && otherPid == pid)
            return true;
    }
    return false;
}

} // namespace

qint64 residentBytes(qint64 pid)
{
    QFile statm(QStringLiteral("/proc/%1/statm").arg(pid));
    if (pid <= 0 || !statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readLine().simplified().split(' ');
    bool ok = false;
    const qint64 pages = fields.size() > 1 ? fields.at(1).toLongLong(&ok) : 0;
    return ok ? pages * qint64(sysconf(_SC_PAGESIZE)) : -1;
}

RendererMemoryWatch::~RendererMemoryWatch()
{
    watchedRenderers().erase(this);
}

void RendererMemoryWatch::restart(qint64 pid)
{
    m_pid = pid;
    m_baseBytes = residentBytes(pid);
    watchedRenderers()[this] = pid;
}

bool RendererMemoryWatch::overBodyLimit(qint64 pid, qint64 markupLength, qint64 scriptHeapBytes, qint64 bodyLimit)
{
    // A navigation to another site moves the page to another renderer.
    if (pid != m_pid || m_baseBytes < 0)
        restart(pid);
    if (m_baseBytes < 0 || bodyLimit <= 0 || sharedRenderer(this, pid))
        return false;
    const qint64 grown = residentBytes(pid) - m_baseBytes;
    // Twice the limit, for what no measure here covers: images, fonts, the
    // renderer's own caches.
    return grown > 2 * bodyLimit + markupLength * BytesPerMarkupCharacter + scriptHeapBytes;
}

} // namespace pagrion
