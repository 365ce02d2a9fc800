#include "store/fieldlist.h"

#include <QSqlRecord>

#include "store/database.h"
#include "store/programfolder.h"

using namespace Qt::StringLiterals;

namespace pagrion {

Result<QList<Field>> readFields()
{
    Database db;
    if (Status opened = db.open(programFolder().configDatabasePath()); !opened)
        return Error{opened.error()};
    return readFields(db);
}

Result<QList<Field>> readFields(Database &db)
{
    auto records = db.selectAll(u"select id, filedname from FileName order by rowid"_s);
    if (!records)
        return Error{records.error()};
    QList<Field> fields;
    for (const QSqlRecord &record : records.value())
        fields.append(Field{record.value(0).toString(), record.value(1).toString()});
    return fields;
}

} // namespace pagrion
