#include "store/enginesetting.h"

#include "store/database.h"
#include "store/programfolder.h"

using namespace Qt::StringLiterals;

namespace pagrion {

Result<EngineKind> readEngineSetting()
{
    Database db;
    if (Status opened = db.open(programFolder().configDatabasePath()); !opened)
        return Error{opened.error()};
    const Result<bool> hasTable = db.hasTable(u"BrowserEngine"_s);
    if (!hasTable)
        return Error{hasTable.error()};
    if (!hasTable.value())
        return EngineKind::Browser;
    auto rows = db.selectAll(u"select engine from BrowserEngine"_s);
    if (!rows)
        return Error{rows.error()};
    if (rows.value().isEmpty())
        return EngineKind::Browser;
    return engineFromName(rows.value().constFirst().value(0).toString()).value_or(EngineKind::Browser);
}

Status writeEngineSetting(Database &db, EngineKind kind)
{
    if (auto created = db.run(u"create table if not exists BrowserEngine (engine TEXT)"_s); !created)
        return Error{created.error()};
    if (auto deleted = db.run(u"delete from BrowserEngine"_s); !deleted)
        return Error{deleted.error()};
    if (auto inserted = db.run(u"insert into BrowserEngine (engine) values (?)"_s, {engineName(kind)}); !inserted)
        return Error{inserted.error()};
    return success();
}

Status saveEngineSetting(EngineKind kind)
{
    Database db;
    if (Status opened = db.open(programFolder().configDatabasePath()); !opened)
        return opened;
    return db.inTransaction([&] { return writeEngineSetting(db, kind); });
}

} // namespace pagrion
