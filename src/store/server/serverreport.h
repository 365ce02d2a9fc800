#pragma once

#include <functional>
#include <optional>

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include "core/result.h"

namespace pagrion {

class PgConnection;

// How far a run on a result server has got, as every process sees it.
struct ServerRunStatus
{
    qint64 id = 0;
    QString settings;
    bool finished = false;
    QDateTime published;
    int pages = 0;
    int stored = 0;
    int skipped = 0;
    int failed = 0;
    int pending = 0;
    int claimed = 0;    // pending pages under a live claim
    qint64 records = 0;
    int workers = 0;    // processes holding live claims on it
    int doneLastMinutes = 0; // pages done in the last RateMinutes
    QList<QPair<QString, int>> failures; // reason and pages, the most frequent first

    static constexpr int RateMinutes = 5;
};

// Every run on the server, oldest first.
Result<QList<ServerRunStatus>> readServerStatus(PgConnection &connection);

// The records of a run, in page-list order and, within a page, in the order
// the page gave them.
struct ServerRecords
{
    int count = 0;
    int width = 0;          // the last column a record holds text in, as datalist's export counts them
    QStringList columnNames; // names the run gave its columns
};
Result<ServerRecords> measureServerRecords(PgConnection &connection, qint64 run);
// Hands every record to take, reading them a block at a time, so a run of
// millions is never held in memory.
Status forEachServerRecord(PgConnection &connection, qint64 run, const std::function<Status(const QStringList &)> &take);
// Up to count records of a run from the one at offset (counted from 0) on,
// in the order forEachServerRecord gives them: what a view of the records
// reads as they are scrolled to.
Result<QList<QStringList>> readServerRecords(PgConnection &connection, qint64 run, int offset, int count);
// The newest run, nullopt when the server holds none.
Result<std::optional<qint64>> newestServerRun(PgConnection &connection);

} // namespace pagrion
