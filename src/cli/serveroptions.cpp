#include "cli/serveroptions.h"

#include "cli/cliterminal.h"
#include "core/textrules.h"
#include "store/server/pgconnection.h"
#include "store/server/serverhostpace.h"
#include "store/server/serversession.h"
#include "store/server/serverstore.h"

using namespace Qt::StringLiterals;

namespace pagrion::cli {

namespace {

// A worker that lost the server tries again this long before it gives up.
constexpr int ReconnectForMs = 10 * 60'000;

} // namespace

ServerOptions::ServerOptions()
    : server(u"server"_s,
             u"结果服务器：PostgreSQL 的连接 URI，如 postgresql://用户@主机:5432/数据库。密码按 libpq 的规则取自 URI、"
             u"环境变量 PGPASSWORD 或 ~/.pgpass，sslmode 等也写在 URI 中。"_s,
             u"URI"_s)
    , lease(u"lease"_s,
            u"认领网页的租期秒数（默认 60）：进程在这段时间内没有续租（被强行结束、机器断网），它认领的网页就由其他进程接手。"_s,
            u"秒数"_s)
{
}

void ServerOptions::addTo(QCommandLineParser &parser, bool withLease) const
{
    parser.addOption(server);
    if (withLease)
        parser.addOption(lease);
}

int ServerOptions::leaseMs(const QCommandLineParser &parser) const
{
    if (!parser.isSet(lease))
        return ServerWork::DefaultLeaseMs;
    bool ok = false;
    const double seconds = parser.value(lease).toDouble(&ok);
    if (!ok || seconds < 1 || seconds > 3600)
        fail(ExitCode::Usage, u"--lease：租期是 1 到 3600 之间的秒数。"_s);
    return int(seconds * 1000);
}

std::shared_ptr<ServerStore> openServer(const QString &uri)
{
    if (trimSpaces(uri).isEmpty())
        fail(ExitCode::Usage, u"--server：请给出结果服务器的连接 URI，如 postgresql://用户@主机:5432/数据库。"_s);
    auto opened = ServerStore::open(uri);
    if (!opened)
        fail(ExitCode::Database, opened.error());
    return std::shared_ptr<ServerStore>(std::move(opened).value());
}

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

} // namespace pagrion::cli
