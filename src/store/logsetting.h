#pragma once

#include "core/programlog.h"
#include "core/result.h"

namespace pagrion {

class Database;

// What the window's log file records unless the user chooses otherwise:
// enough to tell why a page failed.
inline constexpr LogLevel DefaultLogLevel = LogLevel::Errors;

// The level of the window's log file, kept in the table LogSetting of the
// configuration database. A database without the table, or a level the
// program does not know, gives the default; an error only when the database
// cannot be read.
Result<LogLevel> readLogLevel();

// Makes the level the contents of LogSetting, creating the table in an older
// database, within the transaction the caller holds on db.
Status writeLogLevel(Database &db, LogLevel level);

} // namespace pagrion
