#include "store/settingrows.h"

#include <QSqlRecord>

#include "store/database.h"
#include "store/programfolder.h"

using namespace Qt::StringLiterals;

namespace pagrion {

Result<QList<SettingRow>> readSettingRows(const QString &table)
{
    Database db;
    if (Status opened = db.open(programFolder().configDatabasePath()); !opened)
        return Error{opened.error()};
    const Result<bool> hasTable = db.hasTable(table);
    if (!hasTable)
        return Error{hasTable.error()};
    if (!hasTable.value())
        return QList<SettingRow>();
    auto records = db.selectAll(u"select name, value from "_s + table);
    if (!records)
        return Error{records.error()};
    QList<SettingRow> rows;
    for (const QSqlRecord &record : records.value())
        rows.append({record.value(0).toString().trimmed(), record.value(1).toString()});
    return rows;
}

Result<std::optional<QString>> readSettingRow(const QString &table, const QString &name)
{
    const Result<QList<SettingRow>> rows = readSettingRows(table);
    if (!rows)
        return Error{rows.error()};
    for (const auto &[rowName, value] : rows.value()) {
        if (rowName.compare(name, Qt::CaseInsensitive) == 0)
            return std::optional<QString>(value);
    }
    return std::optional<QString>();
}

Status writeSettingRows(Database &db, const QString &table, const QList<SettingRow> &rows)
{
    if (auto created = db.run(u"create table if not exists "_s + table
                              + u" (name TEXT PRIMARY KEY COLLATE NOCASE, value TEXT)"_s);
        !created)
        return Error{created.error()};
    if (auto deleted = db.run(u"delete from "_s + table); !deleted)
        return Error{deleted.error()};
    auto insert = db.prepare(u"insert into "_s + table + u" (name, value) values (?, ?)"_s);
    if (!insert)
        return Error{insert.error()};
    QSqlQuery query = std::move(insert).value();
    for (const auto &[name, value] : rows) {
        if (Status inserted = Database::execute(query, {name, value}); !inserted)
            return inserted;
    }
    return success();
}

} // namespace pagrion
