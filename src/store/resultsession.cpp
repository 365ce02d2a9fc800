#include "store/resultsession.h"

#include "store/programfolder.h"

using namespace Qt::StringLiterals;

namespace pagrion {

Status ResultSession::open()
{
    if (m_appender)
        return success();
    if (Status opened = m_db.open(programFolder().resultDatabasePath()); !opened)
        return opened;
    // Where the file system cannot share the log's index, SQLite keeps the
    // rollback journal: slower, just as safe, so the mode is not checked.
    for (const QString &pragma : {u"pragma journal_mode = wal"_s, u"pragma synchronous = normal"_s}) {
        if (auto set = m_db.run(pragma); !set)
            return Error{set.error()};
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

Result<int> ResultSession::storePage(const Grid &records, const AppendOptions &options)
{
    if (Status opened = open(); !opened)
        return Error{opened.error()};
    if (Status prepared = m_appender->prepare(records.cols()); !prepared)
        return Error{prepared.error()};
    int stored = 0;
    const Status committed = m_db.inTransaction([&]() -> Status {
        RecordAppender::Appended appended = m_appender->append(records, options);
        if (appended.failure)
            return *appended.failure;
        stored = appended.stored;
        return success();
    });
    if (!committed)
        return Error{committed.error()};
    return stored;
}

} // namespace pagrion
