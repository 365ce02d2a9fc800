#include "store/definitions.h"

#include <algorithm>

#include <QSqlRecord>
#include <QStringList>
#include <QVariantList>

#include "store/database.h"
#include "store/positionaltable.h"
#include "store/programfolder.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

Status runStatement(Database &db, const QString &statement, const QVariantList &values = {})
{
    auto ran = db.run(statement, values);
    return ran ? success() : Status(Error{ran.error()});
}

Status deleteDefinitions(Database &db)
{
    if (Status done = runStatement(db, u"delete from DataFormat"_s); !done)
        return done;
    return runStatement(db, u"delete from FileName"_s);
}

} // namespace

Result<Layout> readLayout()
{
    Database db;
    if (Status opened = db.open(programFolder().configDatabasePath()); !opened)
        return Error{opened.error()};
    return readLayout(db);
}

Result<Layout> readLayout(Database &db)
{
    auto records = db.selectAll(u"select * from DataFormat order by rowid"_s);
    if (!records)
        return Error{records.error()};
    Layout layout;
    for (const QSqlRecord &record : records.value()) {
        LayoutRow row;
        for (int c = 0; c < record.count(); ++c) {
            const QVariant value = record.value(c);
            row.append(value.isNull() ? std::nullopt : std::optional<QString>(value.toString()));
        }
        layout.append(row);
    }
    return layout;
}

Status saveLayout(const Layout &layout)
{
    Database db;
    if (Status opened = db.open(programFolder().configDatabasePath()); !opened)
        return opened;
    return writeLayout(db, layout);
}

Status writeLayout(Database &db, const Layout &layout)
{
    qsizetype width = 0;
    for (const LayoutRow &row : layout)
        width = std::max(width, row.size());
    if (Status widened = ensureDataColumns(db, PositionalTable::DataFormat, int(width)); !widened)
        return widened;
    const auto columns = dataColumns(db, PositionalTable::DataFormat);
    if (!columns)
        return Error{columns.error()};

    return db.inTransaction([&]() -> Status {
        if (Status deleted = deleteDefinitions(db); !deleted)
            return deleted;
        for (const LayoutRow &row : layout) {
            if (row.isEmpty()) {
                if (Status done = runStatement(db, u"insert into DataFormat default values"_s); !done)
                    return done;
                continue;
            }
            QStringList names;
            QStringList marks;
            QVariantList values;
            for (qsizetype c = 0; c < row.size(); ++c) {
                names << quotedName(columns.value().at(c));
                marks << u"?"_s;
                values << (row.at(c) ? QVariant(*row.at(c)) : QVariant());
            }
            const QString insert = u"insert into DataFormat (%1) values (%2)"_s.arg(names.join(u','), marks.join(u','));
            if (Status done = runStatement(db, insert, values); !done)
                return done;
        }
        return success();
    });
}

Status saveFields(const QList<Field> &fields)
{
    Database db;
    if (Status opened = db.open(programFolder().configDatabasePath()); !opened)
        return opened;
    return writeFields(db, fields);
}

Status writeFields(Database &db, const QList<Field> &fields)
{
    return db.inTransaction([&]() -> Status {
        if (Status deleted = deleteDefinitions(db); !deleted)
            return deleted;
        for (const Field &field : fields) {
            if (Status done = runStatement(db, u"insert into FileName (id, filedname) values (?, ?)"_s,
                                           {field.id, field.filedname});
                !done)
                return done;
        }
        return success();
    });
}

} // namespace pagrion
