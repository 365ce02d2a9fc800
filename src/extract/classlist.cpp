#include "extract/classlist.h"

#include <QSqlRecord>

#include "core/textrules.h"
#include "store/database.h"
#include "store/programfolder.h"

using namespace Qt::StringLiterals;

namespace pagrion {

Result<QStringList> loadClassTexts()
{
    Database db;
    if (Status opened = db.open(programFolder().configDatabasePath()); !opened)
        return Error{opened.error()};
    auto rows = db.selectAll(u"select classtext from SearchFlag order by rowid"_s);
    if (!rows)
        return Error{rows.error()};
    QStringList texts;
    for (const QSqlRecord &row : rows.value())
        texts << row.value(0).toString();
    return texts;
}

Result<QString> classValueOf(const QString &classText)
{
    Database db;
    if (Status opened = db.open(programFolder().configDatabasePath()); !opened)
        return Error{opened.error()};
    auto rows = db.selectAll(u"select calssvalue from SearchFlag where classtext=? order by rowid"_s, {classText});
    if (!rows)
        return Error{rows.error()};
    if (rows.value().isEmpty())
        return QString();
    return trimSpaces(rows.value().first().value(0).toString());
}

} // namespace pagrion
