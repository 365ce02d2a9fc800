#pragma once

#include <memory>
#include <optional>

#include <QList>
#include <QString>
#include <QStringList>

#include "core/result.h"
#include "store/batchjournal.h"

namespace pagrion {

class PgConnection;

struct ServerRun
{
    qint64 id = 0;
    QString settings;
    int pages = 0;
    bool finished = false;
};

// The runs on a result server, their page lists and their records, as any
// number of processes on any number of machines share them. Pages are handed
// out by claims: a process takes a few pending pages at a time with FOR
// UPDATE SKIP LOCKED, so two never take the same, and holds each for a
// lease it keeps renewing. A page's records and its done-mark are committed
// together, and only while the claim is still the process's own: a page
// whose lease ran out and was taken by another is stored by that one alone.
class ServerStore final
{
public:
    // Connects and brings the server's tables up to date.
    static Result<std::unique_ptr<ServerStore>> open(const QString &uri);
    ~ServerStore();
    Q_DISABLE_COPY_MOVE(ServerStore)

    PgConnection &connection() { return *m_connection; }
    // The name this process's claims carry: host, process id and a random part.
    const QString &owner() const { return m_owner; }

    struct Published
    {
        qint64 id = 0;
        bool joined = false; // a run with the same settings was there already
    };
    // Publishes a run with its whole page list, or joins the newest one with
    // the same settings (finished or not); with replace, the runs with these
    // settings and their records go first and the run starts afresh.
    Result<Published> publish(const QString &settings, const QStringList &pages, bool replace);
    Result<std::optional<ServerRun>> run(qint64 id);
    // The newest run with these settings.
    Result<std::optional<ServerRun>> newestRun(const QString &settings);
    // The runs not finished, oldest first.
    Result<QList<ServerRun>> openRuns();
    Result<QList<RecordedPage>> pages(qint64 run);

    // Up to count pending pages of the run that no live claim holds, in list
    // order, now claimed by this process for leaseMs.
    Result<QList<int>> claim(qint64 run, int count, int leaseMs);
    // Whether the run has pending pages at all, claimed or not.
    Result<bool> hasPending(qint64 run);
    // Stores a page's records (rows of cells, in order) and marks it stored,
    // with the reason when there are none, in one transaction; false, with
    // nothing stored, when the claim is no longer this process's. The
    // column names name the run's columns unless it has names already.
    Result<bool> storePage(qint64 run, int place, const QList<QStringList> &records, const QString &emptyReason,
                           const QStringList &columnNames);
    // Marks a claimed page skipped or failed; false when the claim was lost.
    Result<bool> markPage(qint64 run, int place, PageState state, const QString &reason);
    // Gives every page this process claimed and did not finish back at once.
    Status release();
    // Marks the run finished once no page of it is pending.
    Status finishIfDone(qint64 run);

private:
    ServerStore(std::unique_ptr<PgConnection> connection, QString owner);

    std::unique_ptr<PgConnection> m_connection;
    QString m_owner;
};

// The JSON array text of a list of texts, the form the statements take lists in.
QString jsonTextArray(const QStringList &texts);

} // namespace pagrion
