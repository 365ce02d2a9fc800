#pragma once

#include <QLoggingCategory>
#include <QString>

#include "batch/batchrun.h"
#include "engine/enginekind.h"

namespace pagrion {

// Batch runs: their start and totals, and each page that failed or gave no records.
Q_DECLARE_LOGGING_CATEGORY(lcBatch)

// The run's first line: how it finds its pages and how it loads them.
QString batchStartLogText(const BatchSettings &settings, EngineKind engine);
// Its last: how it ended, its totals and why pages failed, the most frequent reason first.
QString batchEndLogText(BatchRun::End end, const BatchStats &stats);

} // namespace pagrion
