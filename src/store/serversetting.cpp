#include "store/serversetting.h"

#include "core/textrules.h"
#include "store/server/pgconnection.h"
#include "store/settingrows.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

const QString Table = u"ServerSetting"_s;
const QString UriRow = u"uri"_s;

} // namespace

Result<QString> readResultServer()
{
    const Result<std::optional<QString>> uri = readSettingRow(Table, UriRow);
    if (!uri)
        return Error{uri.error()};
    return trimSpaces(uri.value().value_or(QString()));
}

Status writeResultServer(Database &db, const QString &uri)
{
    return writeSettingRows(db, Table, {{UriRow, trimSpaces(uri)}});
}

Status checkResultServer(const QString &uri)
{
    const auto opened = PgConnection::open(uri);
    return opened ? success() : Status(Error{opened.error()});
}

} // namespace pagrion
