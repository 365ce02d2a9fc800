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

// The same for the newest run on the server at uri, as the window exports
// when a result server is set; an error, with no file written, when the
// server cannot be reached or holds no run.
Result<ExportReport> exportNewestServerRun(const ExportTarget &target, const QString &uri, Progress *progress = nullptr);

} // namespace pagrion
