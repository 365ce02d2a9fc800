#pragma once

#include "core/result.h"
#include "store/export.h"

namespace pagrion {

class PgConnection;

// Writes the records of a run on a result server as exportDatalist writes
// datalist: a header (the run's column names, else "第1列", …), then every
// record in page-list order, whichever process stored it.
Result<ExportReport> exportServerRun(const ExportTarget &target, PgConnection &connection, qint64 run,
                                     Progress *progress = nullptr);

} // namespace pagrion
