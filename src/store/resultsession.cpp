#include "store/resultsession.h"

#include <tuple>

#include "store/columnnames.h"
#include "store/programfolder.h"

using namespace Qt::StringLiterals;

namespace pagrion {

Status ResultSession::open()
{
    if (m_appender)
        return success();
    if (Status opened = m_db.open(programFolder().resultDatabasePath()); !opened)
        return opened;
    // Where the mode cannot change (a file system without shared memory,
    // another connection reading the file just now) the rollback journal
    // stays: slower, just as safe, so neither outcome is checked.
    for (const QString &pragma : {u"pragma journal_mode = wal"_s, u"pragma synchronous = normal"_s})
        std::ignore = m_db.run(pragma);
    m_journal.emplace(m_db);
    if (Status prepared = m_journal->prepare(); !prepared) {
        m_journal.reset();
        return prepared;
    }
    m_appender.emplace(m_db);
    return success();
}

Status ResultSession::clearRecords()
{
    if (Status opened = open(); !opened)
        return opened;
    return pagrion::clearRecords(m_db);
}

Result<std::optional<UnfinishedRun>> ResultSession::findUnfinishedRun(const QString &settings)
{
    if (Status opened = open(); !opened)
        return Error{opened.error()};
    return m_journal->findUnfinished(settings);
}

Result<std::optional<qint64>> ResultSession::lastRunFinished(const QString &settings)
{
    if (Status opened = open(); !opened)
        return Error{opened.error()};
    return m_journal->lastFinished(settings);
}

Status ResultSession::beginRun(const QString &settings, const QStringList &pages)
{
    if (Status opened = open(); !opened)
        return opened;
    const Result<qint64> run = m_journal->begin(settings, pages);
    if (!run)
        return Error{run.error()};
    m_run = run.value();
    return success();
}

Result<QList<RecordedPage>> ResultSession::continueRun(qint64 run)
{
    if (Status opened = open(); !opened)
        return Error{opened.error()};
    m_run = run;
    return m_journal->pages(run);
}

Status ResultSession::finishRun()
{
    if (!m_run)
        return success();
    if (Status opened = open(); !opened)
        return opened;
    return m_journal->finish(*m_run);
}

Result<int> ResultSession::storePage(const Grid &records, const AppendOptions &options, const PageNote &note,
                                     const WorkBudget *budget)
{
    if (Status opened = open(); !opened)
        return Error{opened.error()};
    if (Status prepared = m_appender->prepare(records.cols()); !prepared)
        return Error{prepared.error()};
    int stored = 0;
    const Status committed = withAddedPages([&]() -> Status {
        RecordAppender::Appended appended = m_appender->append(records, options, budget);
        if (appended.failure)
            return *appended.failure;
        stored = appended.stored;
        if (!note.columnNames.isEmpty()) {
            if (Status named = nameColumns(m_db, note.columnNames); !named)
                return named;
        }
        if (m_run && note.index >= 0)
            return m_journal->mark(*m_run, note.index, PageState::Stored, stored > 0 ? QString() : note.emptyReason, stored);
        return success();
    });
    if (!committed)
        return Error{committed.error()};
    return stored;
}

Status ResultSession::markPage(int index, PageState state, const QString &reason)
{
    if (!m_run)
        return success();
    if (Status opened = open(); !opened)
        return opened;
    return withAddedPages([&] { return m_journal->mark(*m_run, index, state, reason); });
}

void ResultSession::addPage(int index, const QString &address)
{
    if (m_run)
        m_added.append({index, address});
}

Status ResultSession::withAddedPages(const std::function<Status()> &work)
{
    const Status committed = m_db.inTransaction([&]() -> Status {
        for (const AddedPage &page : std::as_const(m_added)) {
            if (Status added = m_journal->addPage(*m_run, page.index, page.address); !added)
                return added;
        }
        return work();
    });
    // A page whose transaction failed takes its added pages along to the next.
    if (committed)
        m_added.clear();
    return committed;
}

} // namespace pagrion
