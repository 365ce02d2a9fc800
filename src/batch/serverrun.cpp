#include "batch/serverrun.h"

#include "batch/batchresume.h"
#include "store/server/pgconnection.h"
#include "store/server/serverhostpace.h"
#include "store/server/serversession.h"
#include "store/server/serverstore.h"

namespace pagrion {

namespace {

// A process that lost the server tries again this long before it gives up.
constexpr int ReconnectForMs = 10 * 60'000;

} // namespace

void shareRun(BatchSettings &settings, const std::shared_ptr<ServerStore> &store, const QString &uri, int leaseMs,
              std::optional<qint64> run, const std::function<bool()> &interrupted)
{
    store->connection().setReconnect(ReconnectForMs, interrupted);
    // Every process of the run keeps the pauses and hold-offs with its hosts together.
    const auto pace = std::make_shared<ServerHostPace>(uri);
    settings.policy.sharedPace = pace;
    settings.runStore = [=] {
        return std::make_unique<ServerSession>(store, ServerWork{uri, leaseMs, run, interrupted, pace});
    };
}

Status publishOnServer(BatchSettings &settings, const std::shared_ptr<ServerStore> &store, const QString &uri,
                       int leaseMs, const std::function<Result<int>()> &storedHeadLength,
                       const std::function<bool()> &interrupted)
{
    if (Status embedded = embedStoredJob(settings, storedHeadLength); !embedded)
        return embedded;
    shareRun(settings, store, uri, leaseMs, std::nullopt, interrupted);
    return success();
}

} // namespace pagrion
