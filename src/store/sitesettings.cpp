#include "store/sitesettings.h"

#include <QSqlRecord>

#include "store/database.h"
#include "store/programfolder.h"

using namespace Qt::StringLiterals;

namespace pagrion {

Status saveSiteSettings(const SiteSettings &settings)
{
    if (settings.web.isEmpty())
        return success();
    Database db;
    if (Status opened = db.open(programFolder().configDatabasePath()); !opened)
        return opened;
    auto existing = db.selectAll(u"select * from SearchInfor where web=?"_s, {settings.web});
    if (!existing)
        return Error{existing.error()};
    if (!existing.value().isEmpty()) {
        auto updated = db.run(u"UPDATE SearchInfor SET TableName=?, TableRow=?, classname=? WHERE web=?"_s,
                              {settings.tableName, settings.tableRow, settings.classname, settings.web});
        return updated ? success() : Status(Error{updated.error()});
    }
    auto inserted = db.run(u"INSERT into SearchInfor(web,TableName,TableRow,Rowchange,classname) Values(?,?,?,?,?)"_s,
                           {settings.web, settings.tableName, settings.tableRow, settings.rowchange ? 1 : 0,
                            settings.classname});
    return inserted ? success() : Status(Error{inserted.error()});
}

Result<std::optional<SiteSettings>> readSiteSettings(const QString &web)
{
    Database db;
    if (Status opened = db.open(programFolder().configDatabasePath()); !opened)
        return Error{opened.error()};
    auto rows = db.selectAll(u"select * from SearchInfor where web=? order by id desc"_s, {web});
    if (!rows)
        return Error{rows.error()};
    if (rows.value().isEmpty())
        return std::optional<SiteSettings>();
    const QSqlRecord &newest = rows.value().first();
    // toString() of a null value is the empty string, which is how the boxes
    // show a value nobody stored.
    return std::optional<SiteSettings>(SiteSettings{
        newest.value(u"web"_s).toString(),
        newest.value(u"TableName"_s).toString(),
        newest.value(u"TableRow"_s).toString(),
        newest.value(u"Rowchange"_s).toInt() == 1,
        newest.value(u"classname"_s).toString(),
    });
}

Result<QStringList> readSiteAddresses()
{
    Database db;
    if (Status opened = db.open(programFolder().configDatabasePath()); !opened)
        return Error{opened.error()};
    auto rows = db.selectAll(u"select web from SearchInfor order by id desc"_s);
    if (!rows)
        return Error{rows.error()};
    QStringList addresses;
    for (const QSqlRecord &row : rows.value())
        addresses << row.value(0).toString();
    return addresses;
}

} // namespace pagrion
