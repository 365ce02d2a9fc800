#include "store/resultsession.h"

#include <tuple>

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
