#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "store/runstore.h"

namespace pagrion {

class LeaseKeeper;
class ServerHostPace;
class ServerStore;

// How a process works on a result server.
struct ServerWork
{
    static constexpr int DefaultLeaseMs = 60'000;

    QString uri;                         // libpq connection string
    int leaseMs = DefaultLeaseMs;        // how long a claim holds unrenewed
    std::optional<qint64> run;           // the run to work on, whatever its settings
    std::function<bool()> interrupted;   // a stop, which ends waiting for the server
    std::shared_ptr<ServerHostPace> pace; // the loads' pace, told the run once it is known
};

// A batch run kept on a result server: publishing the run (or joining the
// one with the same settings), claiming its pages a few at a time and
// storing each page under its claim. The claims are renewed while the
// session lives and given back when it ends, so a stop hands the pages this
// process had not finished to the others at once.
class ServerSession final : public RunStore
{
public:
    ServerSession(std::shared_ptr<ServerStore> store, ServerWork work);
    ~ServerSession() override;
    Q_DISABLE_COPY_MOVE(ServerSession)

    // A fresh run replaces those with its settings, records and all.
    Status clearRecords() override;
    Result<std::optional<UnfinishedRun>> findUnfinishedRun(const QString &settings) override;
    Result<std::optional<qint64>> lastRunFinished(const QString &settings) override;
    // Publishes the run, or joins the one with the same settings.
    Status beginRun(const QString &settings, const QStringList &pages) override;
    Result<QList<RecordedPage>> continueRun(qint64 run) override;
    Status finishRun() override;
    // A list that grows page by page cannot be shared; such runs are not
    // published.
    void addPage(int, const QString &) override {}
    // Stores nothing, and returns TakenOver, once the page's claim is lost.
    Result<int> storePage(const Grid &records, const AppendOptions &options, const PageNote &note = {},
                          const WorkBudget *budget = nullptr) override;
    Status markPage(int index, PageState state, const QString &reason = {}) override;
    bool sharesPages() const override { return true; }
    // While the pages left are all claimed by other processes, waits (if
    // asked to) until they are done or a claim runs out.
    Result<QList<int>> claimPages(int count, bool waitForOthers) override;

    // The run worked on, once found or begun.
    std::optional<qint64> run() const { return m_run; }

private:
    void workOn(qint64 run);

    std::shared_ptr<ServerStore> m_store;
    ServerWork m_work;
    bool m_replace = false;
    std::optional<qint64> m_run;
    std::unique_ptr<LeaseKeeper> m_keeper; // from the first claim on
};

} // namespace pagrion
