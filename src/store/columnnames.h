#pragma once

#include <QStringList>

#include "core/result.h"

namespace pagrion {

class Database;

// Names for datalist's data columns, kept beside it in the table
// datalistname (col from 0, name): the header texts of the tables a run
// harvested row by row, and the source columns. They head the exports and
// the result window, and go with the records when those are emptied.

// Gives each column that has none yet the name at its position; empty names
// name nothing. The first run to name a column keeps it.
Status nameColumns(Database &db, const QStringList &names);

// The names by position, empty where a column has none; empty when nothing
// was ever named.
Result<QStringList> readColumnNames(Database &db);

// Forgets every name, inside the caller's transaction.
Status forgetColumnNames(Database &db);

} // namespace pagrion
