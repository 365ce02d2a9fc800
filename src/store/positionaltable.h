#pragma once

#include <QString>
#include <QStringList>

#include "core/result.h"

namespace pagrion {

class Database;

// Tables whose columns the program addresses by position only: datalist
// (a key, then one column per grid column) and DataFormat (one column per
// layout grid column).
enum class PositionalTable
{
    Datalist,
    DataFormat,
};

QString tableName(PositionalTable table);

// A column or table name as an SQL identifier, for statements that are built
// from names read out of the database.
QString quotedName(const QString &name);

// All column names of a table in position order, datalist's key included.
Result<QStringList> tableColumns(Database &db, const QString &table);

// The columns that hold grid cells: datalist's after its key, all of DataFormat's.
Result<QStringList> dataColumns(Database &db, PositionalTable table);

// Adds text columns until the table has at least count data columns, so a
// grid of that width can be stored. Columns are added all or none.
Status ensureDataColumns(Database &db, PositionalTable table, int count);

} // namespace pagrion
