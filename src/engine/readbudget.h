#pragma once

#include <QString>

#include "core/workbudget.h"
#include "engine/pagelimits.h"

namespace pagrion {

// What one read of a document may cost: it ends within the page's time
// limit, builds no more text than the limit allows, and gives up when a stop
// is requested (interruptWork()). A read that passes a limit raises
// DocumentError.
class ReadBudget final
{
public:
    explicit ReadBudget(const PageLimits &limits);

    // Cheap enough to call every few thousand steps of a walk.
    void check() const;
    // Counts text the read has built.
    void addText(qint64 bytes);

private:
    WorkBudget m_work;
    qint64 m_maxTextBytes;
    qint64 m_textBytes = 0;
};

// Why a read that would build more text than the limit gave up.
QString textOverLimitReason(qint64 maxTextBytes);

} // namespace pagrion
