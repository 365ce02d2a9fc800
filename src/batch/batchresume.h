#pragma once

#include <optional>

#include <QString>

#include "batch/batchrun.h"
#include "store/batchjournal.h"

namespace pagrion {

// The settings a run is recorded under: what decides its pages and its
// records. Runs with the same text are the same run; the pace of the loads
// and the emptying of the results play no part.
QString recordedSettings(const BatchSettings &settings);

// The newest unfinished run with these settings, so the window can ask
// whether to go on with it; nullopt also when the results cannot be read
// (the run itself then tells why).
std::optional<UnfinishedRun> unfinishedRun(const BatchSettings &settings);

} // namespace pagrion
