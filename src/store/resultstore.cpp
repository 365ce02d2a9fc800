#include "store/resultstore.h"

#include <optional>

#include <QStringList>
#include <QVariantList>

#include "core/textrules.h"
#include "store/database.h"
#include "store/positionaltable.h"
#include "store/programfolder.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

Result<QString> insertStatement(Database &db, int cols)
{
    if (cols == 0)
        return u"insert into datalist default values"_s;
    const auto columns = dataColumns(db, PositionalTable::Datalist);
    if (!columns)
        return Error{columns.error()};
    QStringList names;
    QStringList marks;
    for (int j = 0; j < cols; ++j) {
        names << quotedName(columns.value().at(j));
        marks << u"?"_s;
    }
    return u"insert into datalist (%1) values (%2)"_s.arg(names.join(u','), marks.join(u','));
}

} // namespace

Result<int> appendRecords(const Grid &grid, const AppendOptions &options)
{
    Database db;
    if (Status opened = db.open(programFolder().resultDatabasePath()); !opened)
        return Error{opened.error()};
    if (Status widened = ensureDataColumns(db, PositionalTable::Datalist, grid.cols()); !widened)
        return Error{widened.error()};
    const auto insert = insertStatement(db, grid.cols());
    if (!insert)
        return Error{insert.error()};

    int stored = 0;
    std::optional<Error> failedRow;
    // A failing row ends the work but keeps the rows before it, so the
    // transaction commits either way.
    const Status committed = db.inTransaction([&]() -> Status {
        for (int i = 1; i <= grid.rows() - 2; ++i) {
            if (options.skipEmptyFirstField && (grid.cols() == 0 || trimSpaces(grid.text(i, 0)).isEmpty()))
                continue;
            QVariantList values;
            for (int j = 0; j < grid.cols(); ++j) {
                // A blank cell is stored as empty text; a null string would be NULL.
                const QString cell = trimSpaces(grid.text(i, j));
                values << (cell.isNull() ? u""_s : cell);
            }
            if (auto ran = db.run(insert.value(), values); !ran) {
                failedRow = Error{ran.error()};
                break;
            }
            ++stored;
        }
        return success();
    });
    if (!committed)
        return Error{committed.error()};
    if (failedRow)
        return *failedRow;
    return stored;
}

Status clearRecords()
{
    Database db;
    if (Status opened = db.open(programFolder().resultDatabasePath()); !opened)
        return opened;
    auto deleted = db.run(u"delete from datalist"_s);
    return deleted ? success() : Status(Error{deleted.error()});
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
