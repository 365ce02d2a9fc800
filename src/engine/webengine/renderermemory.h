#pragma once

#include <QtGlobal>

namespace pagrion {

// Watches the memory of the renderer process showing one page, for a body
// the page never shows. Chromium tells nothing of the bytes it receives, and
// a body that decodes to what the parser drops (a compressed run of zeros)
// leaves the page's markup empty while the renderer grows by gigabytes. The
// growth the page's own markup cannot explain is taken as that body.
class RendererMemoryWatch final
{
public:
    RendererMemoryWatch() = default;
    ~RendererMemoryWatch();
    Q_DISABLE_COPY_MOVE(RendererMemoryWatch)

    // A new load: memory is measured from what the renderer holds now.
    void restart(qint64 pid);

    // Whether the renderer has grown past twice the body limit beyond what
    // markup of the given length and the page's script heap take. A renderer
    // that shows other pages too is never judged: their growth is not this
    // page's.
    bool overBodyLimit(qint64 pid, qint64 markupLength, qint64 scriptHeapBytes, qint64 bodyLimit);

private:
    qint64 m_pid = 0;
    qint64 m_baseBytes = -1; // unknown until measured
};

// The resident bytes of a process, or -1 when they cannot be read.
qint64 residentBytes(qint64 pid);

} // namespace pagrion
