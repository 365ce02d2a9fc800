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

Result<std::optional<AnalysisClass>> findClass(const QString &textOrValue)
{
    Database db;
    if (Status opened = db.open(programFolder().configDatabasePath()); !opened)
        return Error{opened.error()};
    // Texts compare without letter case (the column's collation), values as
    // trimmed of spaces.
    auto rows = db.selectAll(u"select 0, rowid, classtext, calssvalue from SearchFlag where classtext=? "
                             u"union all select 1, rowid, classtext, calssvalue from SearchFlag "
                             u"where lower(trim(calssvalue, ' '))=lower(trim(?, ' ')) order by 1, 2"_s,
                             {textOrValue, textOrValue});
    if (!rows)
        return Error{rows.error()};
    if (rows.value().isEmpty())
        return std::optional<AnalysisClass>();
    const QSqlRecord &found = rows.value().first();
    return std::optional<AnalysisClass>(
        AnalysisClass{found.value(2).toString(), trimSpaces(found.value(3).toString())});
}

} // namespace pagrion
