#include "store/sitesettings.h"

#include <QSqlRecord>

#include "core/textrules.h"
#include "store/database.h"
#include "store/positionaltable.h"
#include "store/programfolder.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

// The columns of the record choice, in the order they were added to
// SearchInfor, with their types.
const QList<std::pair<QString, QString>> &recordChoiceColumns()
{
    static const QList<std::pair<QString, QString>> columns{
        {u"Records"_s, u"TEXT"_s},
        {u"HeaderRows"_s, u"INTEGER"_s},
        {u"Columns"_s, u"TEXT"_s},
        {u"SourceColumns"_s, u"INTEGER"_s},
    };
    return columns;
}

Status addMissingColumns(Database &db)
{
    const auto existing = tableColumns(db, u"SearchInfor"_s);
    if (!existing)
        return Error{existing.error()};
    for (const auto &[name, type] : recordChoiceColumns()) {
        if (existing.value().contains(name, Qt::CaseInsensitive))
            continue;
        if (auto added = db.run(u"alter table SearchInfor add column %1 %2"_s.arg(name, type)); !added)
            return Error{added.error()};
    }
    return success();
}

QVariant optionalBool(std::optional<bool> value)
{
    return value ? QVariant(*value ? 1 : 0) : QVariant();
}

// A column the row lacks (a table from before it) reads as null.
QVariant columnValue(const QSqlRecord &row, const QString &name)
{
    return row.contains(name) ? row.value(name) : QVariant();
}

} // namespace

Status saveSiteSettings(const SiteSettings &settings)
{
    if (settings.web.isEmpty())
        return success();
    Database db;
    if (Status opened = db.open(programFolder().configDatabasePath()); !opened)
        return opened;
    return writeSiteSettings(db, settings, SwapFlag::KeepFirst);
}

Status writeSiteSettings(Database &db, const SiteSettings &settings, SwapFlag swap)
{
    if (settings.web.isEmpty())
        return success();
    if (Status upgraded = addMissingColumns(db); !upgraded)
        return upgraded;
    const QVariant records = settings.records ? QVariant(recordSourceName(*settings.records)) : QVariant();
    const QVariantList choice{records, settings.everyRow.headerRows, settings.everyRow.columns,
                              optionalBool(settings.sourceColumns)};
    auto existing = db.selectAll(u"select id from SearchInfor where web=?"_s, {settings.web});
    if (!existing)
        return Error{existing.error()};
    if (!existing.value().isEmpty()) {
        QString update = u"UPDATE SearchInfor SET TableName=?, TableRow=?, classname=?, Records=?, HeaderRows=?, "
                         u"Columns=?, SourceColumns=?"_s;
        QVariantList values = QVariantList{settings.tableName, settings.tableRow, settings.classname} + choice;
        if (swap == SwapFlag::Replace) {
            update += u", Rowchange=?"_s;
            values << (settings.rowchange ? 1 : 0);
        }
        auto updated = db.run(update + u" WHERE web=?"_s, values << settings.web);
        return updated ? success() : Status(Error{updated.error()});
    }
    auto inserted = db.run(u"INSERT into SearchInfor(web,TableName,TableRow,Rowchange,classname,Records,HeaderRows,"
                           u"Columns,SourceColumns) Values(?,?,?,?,?,?,?,?,?)"_s,
                           QVariantList{settings.web, settings.tableName, settings.tableRow, settings.rowchange ? 1 : 0,
                                        settings.classname}
                               + choice);
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
    SiteSettings settings{
        newest.value(u"web"_s).toString(),
        newest.value(u"TableName"_s).toString(),
        newest.value(u"TableRow"_s).toString(),
        newest.value(u"Rowchange"_s).toInt() == 1,
        newest.value(u"classname"_s).toString(),
    };
    // A value edited by hand into something the setting does not take
    // leaves the default in place.
    settings.records = recordSourceFromName(columnValue(newest, u"Records"_s).toString());
    const QVariant headerRows = columnValue(newest, u"HeaderRows"_s);
    if (!headerRows.isNull())
        settings.everyRow.headerRows = headerRowsFromText(headerRows.toString()).value_or(EveryRowOptions::AutoHeaderRows);
    settings.everyRow.columns = columnValue(newest, u"Columns"_s).toString();
    if (const QVariant sourceColumns = columnValue(newest, u"SourceColumns"_s); !sourceColumns.isNull())
        settings.sourceColumns = sourceColumns.toInt() != 0;
    return std::optional<SiteSettings>(settings);
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

bool wouldLoseTableNames(const SiteSettings &settings)
{
    if (!trimSpaces(settings.tableName).isEmpty())
        return false;
    const auto stored = readSiteSettings(settings.web);
    return stored && stored.value() && !trimSpaces(stored.value()->tableName).isEmpty();
}

} // namespace pagrion
