#pragma once

#include <optional>

#include <QList>
#include <QSqlQuery>
#include <QString>
#include <QStringList>

#include "core/result.h"

namespace pagrion {

class Database;

// How far a page of a recorded run has got. A page is done once stored,
// skipped or failed; only pending pages are visited when a run goes on.
enum class PageState { Pending, Stored, Skipped, Failed };

// The words a state is kept under: pending, stored, skipped, failed.
QString pageStateName(PageState state);
PageState pageStateFromName(const QString &name);

struct RecordedPage
{
    int index = 0;
    QString address;
    PageState state = PageState::Pending;
    QString reason; // why it failed, or why it stored nothing
    int records = 0; // stored from it
};

struct UnfinishedRun
{
    qint64 id = 0;
    int pages = 0;
    int done = 0;
};

// The batch runs kept in the result database, so that a run stopped or
// broken off can go on where it was: batchrun holds a run's settings (a text
// that tells runs apart) and whether it finished, batchpage its page list,
// one row per page with its state and, for a failed page, the reason. Plain
// tables and statements, so other programs can read them too. The tables
// are made when first needed; every call works over the caller's connection.
class BatchJournal final
{
public:
    explicit BatchJournal(Database &db) : m_db(db) {}

    // Makes the tables unless they exist.
    Status prepare();

    // The newest run with these settings whose end was never recorded.
    Result<std::optional<UnfinishedRun>> findUnfinished(const QString &settings);

    // Whether the newest run with these settings got to its end.
    // Its id when it did, nullopt when it did not or there is none.
    Result<std::optional<qint64>> lastFinished(const QString &settings);

    // Records a new run with its pages, all pending, in one transaction, and
    // forgets the runs it replaces: finished ones, and unfinished ones with
    // the same settings. Returns the run's id.
    Result<qint64> begin(const QString &settings, const QStringList &pages);

    // Adds a pending page at the end of a run's list, for a run whose list
    // grows as it goes. Opens no transaction, like mark.
    Status addPage(qint64 run, int index, const QString &address);

    Result<QList<RecordedPage>> pages(qint64 run);

    // Opens no transaction: storing a page marks it inside the page's own.
    Status mark(qint64 run, int index, PageState state, const QString &reason = {}, int records = 0);

    Status finish(qint64 run);

    // Forgets every run, finished or not (the tables stay).
    Status forgetRuns();

private:
    Database &m_db;
    std::optional<QSqlQuery> m_mark; // compiled at the first mark
};

} // namespace pagrion
