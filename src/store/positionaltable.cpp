#include "store/positionaltable.h"

#include <QSet>
#include <QSqlRecord>

#include "store/database.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

// Where the data columns start and how the shipped schema numbers them
// (datalist c1.., DataFormat c0..); new columns continue that numbering.
struct Shape
{
    int keyColumns;
    int firstNumber;
};

Shape shapeOf(PositionalTable table)
{
    switch (table) {
    case PositionalTable::Datalist:
        return {1, 1};
    case PositionalTable::DataFormat:
        return {0, 0};
    }
    Q_UNREACHABLE();
}

} // namespace

QString quotedName(const QString &name)
{
    return u'"' + QString(name).replace(u'"', u"\"\""_s) + u'"';
}

QString tableName(PositionalTable table)
{
    switch (table) {
    case PositionalTable::Datalist:
        return u"datalist"_s;
    case PositionalTable::DataFormat:
        return u"DataFormat"_s;
    }
    Q_UNREACHABLE();
}

Result<QStringList> tableColumns(Database &db, const QString &table)
{
    auto rows = db.selectAll(u"select name from pragma_table_info(?)"_s, {table});
    if (!rows)
        return Error{rows.error()};
    if (rows.value().isEmpty())
        return Error{u"数据库 %1 中没有表 %2"_s.arg(db.file(), table)};
    QStringList names;
    for (const QSqlRecord &row : rows.value())
        names.append(row.value(0).toString());
    return names;
}

Result<QStringList> dataColumns(Database &db, PositionalTable table)
{
    auto columns = tableColumns(db, tableName(table));
    if (!columns)
        return columns;
    return columns.value().mid(shapeOf(table).keyColumns);
}

Status ensureDataColumns(Database &db, PositionalTable table, int count)
{
    auto existing = tableColumns(db, tableName(table));
    if (!existing)
        return Error{existing.error()};
    const Shape shape = shapeOf(table);
    const int have = existing.value().size() - shape.keyColumns;
    if (have >= count)
        return success();

    // Column names compare without letter case in SQLite.
    QSet<QString> taken;
    for (const QString &name : existing.value())
        taken.insert(name.toLower());
    return db.inTransaction([&]() -> Status {
        int number = shape.firstNumber + have;
        for (int added = have; added < count; ++added, ++number) {
            QString name = u"c"_s + QString::number(number);
            while (taken.contains(name.toLower()))
                name += u'_';
            taken.insert(name.toLower());
            const QString statement = u"alter table %1 add column %2 text"_s.arg(
                quotedName(tableName(table)), quotedName(name));
            if (auto done = db.run(statement); !done)
                return Error{done.error()};
        }
        return success();
    });
}

} // namespace pagrion
