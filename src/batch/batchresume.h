#pragma once

#include <functional>
#include <optional>

#include <QString>

#include "batch/batchrun.h"
#include "store/batchjournal.h"

namespace pagrion {

// The settings a run is recorded under: what decides its pages and its
// records. Runs with the same text are the same run; the pace of the loads
// and the emptying of the results play no part.
QString recordedSettings(const BatchSettings &settings);

// The settings of a recorded text that holds its whole job (a run published
// on a result server): what a process with no settings of its own works
// with. nullopt when the text is not such a record.
std::optional<BatchSettings> settingsFromRecorded(const QString &recorded);

// Puts what the run would read from the configuration database into the
// settings (the stored layout, or the stored field list and head length), so
// that they hold the whole job and a process without that database can run
// it. An error when what the record choice needs cannot be read.
Status embedStoredJob(BatchSettings &settings, const std::function<Result<int>()> &storedHeadLength);

// The newest unfinished run with these settings, so the window can ask
// whether to go on with it; nullopt also when the results cannot be read
// (the run itself then tells why).
std::optional<UnfinishedRun> unfinishedRun(const BatchSettings &settings);

// What the pages of a recorded run had come to before it was taken up again.
BatchStats recordedTotals(const QList<RecordedPage> &pages);

} // namespace pagrion
