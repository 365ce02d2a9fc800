#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QString>

#include "batch/batchrun.h"
#include "core/result.h"

namespace pagrion {

class ServerStore;

// Lets the run be kept on the server: published there with its whole job,
// or joined when a run with the same settings is there, its pages claimed
// by this process a few at a time, its requests to each host paced together
// with the run's other processes. interrupted ends waits for the server,
// which is tried again for minutes when the network drops.
void shareRun(BatchSettings &settings, const std::shared_ptr<ServerStore> &store, const QString &uri, int leaseMs,
              std::optional<qint64> run, const std::function<bool()> &interrupted);

// Sets the run up to be published on the server with the job the
// configuration database holds, so that processes elsewhere need nothing of
// this one's, and to be worked on as shareRun lets it. An error when the job
// cannot be read.
Status publishOnServer(BatchSettings &settings, const std::shared_ptr<ServerStore> &store, const QString &uri,
                       int leaseMs, const std::function<Result<int>()> &storedHeadLength,
                       const std::function<bool()> &interrupted);

} // namespace pagrion
