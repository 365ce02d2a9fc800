#include "store/columnnames.h"

#include <QSqlRecord>
#include <QVariant>

#include "store/database.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

Status ensureTable(Database &db)
{
    const auto made = db.run(u"create table if not exists datalistname (col integer primary key, name text not null)"_s);
    return made ? success() : Status(Error{made.error()});
}

bool hasTable(Database &db)
{
    const Result<bool> found = db.hasTable(u"datalistname"_s);
    return found && found.value();
}

} // namespace

Status nameColumns(Database &db, const QStringList &names)
{
    if (Status made = ensureTable(db); !made)
        return made;
    auto prepared = db.prepare(u"insert or ignore into datalistname (col, name) values (?, ?)"_s);
    if (!prepared)
        return Error{prepared.error()};
    QSqlQuery insert = std::move(prepared).value();
    for (qsizetype c = 0; c < names.size(); ++c) {
        if (names[c].isEmpty())
            continue;
        if (Status done = Database::execute(insert, {c, names[c]}); !done)
            return done;
    }
    return success();
}

Result<QStringList> readColumnNames(Database &db)
{
    QStringList names;
    if (!hasTable(db))
        return names;
    const auto rows = db.selectAll(u"select col, name from datalistname where col >= 0 and col < 4096 order by col"_s);
    if (!rows)
        return Error{rows.error()};
    for (const QSqlRecord &row : rows.value()) {
        const int col = row.value(0).toInt();
        while (names.size() <= col)
            names << QString();
        names[col] = row.value(1).toString();
    }
    return names;
}

Status forgetColumnNames(Database &db)
{
    if (!hasTable(db))
        return success();
    const auto deleted = db.run(u"delete from datalistname"_s);
    return deleted ? success() : Status(Error{deleted.error()});
}

} // namespace pagrion
