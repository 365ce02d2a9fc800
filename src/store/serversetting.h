#pragma once

#include <QString>

#include "core/result.h"

namespace pagrion {

class Database;

// The result server the window's batch runs, exports and results window
// use: a libpq connection string, kept in the table ServerSetting of the
// configuration database. Empty means none: the runs and their records stay
// in the program folder's result database. A database without the table
// gives none; an error only when the database cannot be read.
Result<QString> readResultServer();

// Makes the address the contents of ServerSetting, creating the table in an
// older database, within the transaction the caller holds on db.
Status writeResultServer(Database &db, const QString &uri);

// Connects once to tell whether the address reaches a server; the error
// names the server and libpq's reason.
Status checkResultServer(const QString &uri);

} // namespace pagrion
