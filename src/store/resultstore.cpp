#include "store/resultstore.h"

#include <QVariantList>

#include "core/textrules.h"
#include "core/workbudget.h"
#include "store/batchjournal.h"
#include "store/columnnames.h"
#include "store/database.h"
#include "store/positionaltable.h"
#include "store/programfolder.h"

using namespace Qt::StringLiterals;

namespace pagrion {

Status RecordAppender::prepare(int cols)
{
    if (cols > m_columns.size()) {
        if (Status widened = ensureDataColumns(m_db, PositionalTable::Datalist, cols); !widened)
            return widened;
        auto columns = dataColumns(m_db, PositionalTable::Datalist);
        if (!columns)
            return Error{columns.error()};
        m_columns = std::move(columns).value();
    }
    if (cols == m_preparedCols)
        return success();

    QString statement = u"insert into datalist default values"_s;
    if (cols > 0) {
        QStringList names;
        QStringList marks;
        for (int j = 0; j < cols; ++j) {
            names << quotedName(m_columns.at(j));
            marks << u"?"_s;
        }
        statement = u"insert into datalist (%1) values (%2)"_s.arg(names.join(u','), marks.join(u','));
    }
    auto insert = m_db.prepare(statement);
    if (!insert)
        return Error{insert.error()};
    m_insert = std::move(insert).value();
    m_preparedCols = cols;
    return success();
}

RecordAppender::Appended RecordAppender::append(const Grid &grid, const AppendOptions &options,
                                                const WorkBudget *budget)
{
    Q_ASSERT(grid.cols() == m_preparedCols);
    Appended appended;
    QVariantList values;
    for (int i = 1; i <= grid.rows() - 2; ++i) {
        checkWork(budget);
        if (options.skipEmptyFirstField && (grid.cols() == 0 || trimSpaces(grid.text(i, 0)).isEmpty()))
            continue;
        values.clear();
        for (int j = 0; j < grid.cols(); ++j) {
            // A blank cell is stored as empty text; a null string would be NULL.
            const QString cell = trimSpaces(grid.text(i, j));
            values << (cell.isNull() ? u""_s : cell);
        }
        if (Status ran = Database::execute(m_insert, values); !ran) {
            appended.failure = Error{ran.error()};
            break;
        }
        ++appended.stored;
    }
    return appended;
}

Result<int> appendRecords(const Grid &grid, const AppendOptions &options)
{
    Database db;
    if (Status opened = db.open(programFolder().resultDatabasePath()); !opened)
        return Error{opened.error()};
    RecordAppender appender(db);
    if (Status prepared = appender.prepare(grid.cols()); !prepared)
        return Error{prepared.error()};

    RecordAppender::Appended appended;
    // A failing row ends the work but keeps the rows before it, so the
    // transaction commits either way.
    const Status committed = db.inTransaction([&]() -> Status {
        appended = appender.append(grid, options);
        return success();
    });
    if (!committed)
        return Error{committed.error()};
    if (appended.failure)
        return *appended.failure;
    return appended.stored;
}

Status clearRecords(Database &db)
{
    return db.inTransaction([&db]() -> Status {
        if (auto deleted = db.run(u"delete from datalist"_s); !deleted)
            return Error{deleted.error()};
        if (Status forgotten = forgetColumnNames(db); !forgotten)
            return forgotten;
        // A run whose records are gone cannot go on: its pages marked done
        // would never be loaded again.
        return BatchJournal(db).forgetRuns();
    });
}

Status clearRecords()
{
    Database db;
    if (Status opened = db.open(programFolder().resultDatabasePath()); !opened)
        return opened;
    return clearRecords(db);
}

Result<int> saveGridRecords(const Grid &grid, bool overwrite, const AppendOptions &options)
{
    if (overwrite) {
        if (const Status cleared = clearRecords(); !cleared)
            return Error{cleared.error()};
    }
    return appendRecords(grid, options);
}

} // namespace pagrion
