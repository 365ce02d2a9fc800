#include "store/resultstore.h"

#include <QStringEncoder>
#include <sqlite3.h>

#include "core/textrules.h"
#include "core/workbudget.h"
#include "store/batchjournal.h"
#include "store/columnnames.h"
#include "store/database.h"
#include "store/positionaltable.h"
#include "store/programfolder.h"
#include "store/storelog.h"

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
    sqlite3 *handle = m_db.nativeHandle();
    if (!handle)
        return Error{u"结果数据库没有打开。"_s};
    sqlite3_stmt *insert = nullptr;
    const QByteArray text = statement.toUtf8();
    if (sqlite3_prepare_v2(handle, text.constData(), int(text.size()), &insert, nullptr) != SQLITE_OK) {
        sqlite3_finalize(insert);
        qCWarning(lcStore).noquote() << statement << u"出错："_s + QString::fromUtf8(sqlite3_errmsg(handle));
        return Error{QString::fromUtf8(sqlite3_errmsg(handle))};
    }
    m_insert.reset(insert);
    m_preparedCols = cols;
    m_cells.resize(cols);
    return success();
}

bool isStoredRow(const Grid &grid, int row, const AppendOptions &options)
{
    if (row < 1 || row > grid.rows() - 2)
        return false;
    return !options.skipEmptyFirstField || (grid.cols() > 0 && !trimSpaces(grid.text(row, 0)).isEmpty());
}

void RecordAppender::Finalize::operator()(sqlite3_stmt *statement) const
{
    sqlite3_finalize(statement);
}

RecordAppender::Appended RecordAppender::append(const Grid &grid, const AppendOptions &options,
                                                const WorkBudget *budget)
{
    Q_ASSERT(grid.cols() == m_preparedCols);
    Appended appended;
    sqlite3_stmt *insert = m_insert.get();
    QStringEncoder toUtf8(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    for (int i = 1; i <= grid.rows() - 2; ++i) {
        checkWork(budget);
        if (!isStoredRow(grid, i, options))
            continue;
        // SQLite keeps text in UTF-8: handing it UTF-8 it needs neither copy
        // nor convert. The bytes live in m_cells until the row is stepped.
        for (int j = 0; j < grid.cols(); ++j) {
            const QString text = trimSpaces(grid.text(i, j));
            QByteArray &cell = m_cells[j];
            cell.resize(toUtf8.requiredSpace(text.size()));
            cell.truncate(toUtf8.appendToBuffer(cell.data(), text) - cell.data());
            // A blank cell is stored as empty text, never as NULL.
            sqlite3_bind_text(insert, j + 1, cell.constData(), int(cell.size()), SQLITE_STATIC);
        }
        if (sqlite3_step(insert) != SQLITE_DONE) {
            appended.failure = Error{QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(insert)))};
            qCWarning(lcStore).noquote() << u"datalist 记录写入出错："_s + appended.failure->message;
            sqlite3_reset(insert);
            break;
        }
        sqlite3_reset(insert);
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
