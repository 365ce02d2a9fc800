#include "store/namedsetting.h"

#include "core/textrules.h"

#include "store/database.h"
#include "store/programfolder.h"

using namespace Qt::StringLiterals;

namespace pagrion {

Result<std::optional<QString>> readNamedSetting(const QString &name)
{
    Database db;
    if (Status opened = db.open(programFolder().configDatabasePath()); !opened)
        return Error{opened.error()};
    auto rows = db.selectAll(u"select * from VarTable where varname=?"_s, {name});
    if (!rows)
        return Error{rows.error()};
    if (rows.value().isEmpty())
        return std::optional<QString>();
    const QVariant value = rows.value().constFirst().value(u"varvalue"_s);
    return std::optional<QString>(value.isNull() ? QString() : value.toString());
}

Status writePubLenfiled(Database &db, const QString &value)
{
    if (auto deleted = db.run(u"delete from VarTable"_s); !deleted)
        return Error{deleted.error()};
    // An empty box is stored as an empty value, not as null.
    const QString stored = value.isNull() ? u""_s : value;
    auto inserted = db.run(u"insert into VarTable (varname,varvalue) values(?,?)"_s, {headLengthSetting(), stored});
    if (!inserted)
        return Error{inserted.error()};
    return success();
}

Status savePubLenfiled(const QString &value)
{
    Database db;
    if (Status opened = db.open(programFolder().configDatabasePath()); !opened)
        return opened;
    return db.inTransaction([&] { return writePubLenfiled(db, value); });
}

Result<int> headLengthFrom(const QString &settingValue)
{
    if (const std::optional<qint32> length = roundToInt32(readNumber(settingValue)))
        return int(*length);
    return Error{u"字段截取长度“%1”超出范围。"_s.arg(settingValue)};
}

Result<std::optional<int>> readHeadLength()
{
    const auto setting = readNamedSetting(headLengthSetting());
    if (!setting)
        return Error{setting.error()};
    if (!setting.value())
        return std::optional<int>();
    const Result<int> length = headLengthFrom(*setting.value());
    if (!length)
        return Error{length.error()};
    return std::optional<int>(length.value());
}

} // namespace pagrion
