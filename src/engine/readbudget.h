#pragma once

#include <QDeadlineTimer>

#include "engine/pagelimits.h"

namespace pagrion {

// What one read of a document may cost: it ends within the page's time
// limit, builds no more text than the limit allows, and gives up when a stop
// is requested. A read that passes a limit raises DocumentError.
class ReadBudget final
{
public:
    explicit ReadBudget(const PageLimits &limits);

    // Cheap enough to call every few thousand steps of a walk.
    void check() const;
    // Counts text the read has built.
    void addText(qint64 bytes);

private:
    QDeadlineTimer m_deadline;
    int m_timeLimitMs;
    qint64 m_maxTextBytes;
    qint64 m_textBytes = 0;
    unsigned m_stopGeneration;
};

// Ends every document read under way, from any thread; safe to call from a
// signal handler. Reads that start afterwards are not affected.
void interruptDocumentReads();

} // namespace pagrion
