#pragma once

#include "core/result.h"
#include "engine/enginekind.h"

namespace pagrion {

class Database;

// The engine the program loads pages with, kept in the table BrowserEngine of
// the configuration database. A database from before the setting existed, an
// empty table or a name no engine has all give the full browser.
Result<EngineKind> readEngineSetting();

// Makes kind the one row of BrowserEngine, creating the table in an older
// database. One transaction: a failure leaves the stored setting as it was.
Status saveEngineSetting(EngineKind kind);
// The same within the transaction the caller holds on db.
Status writeEngineSetting(Database &db, EngineKind kind);

} // namespace pagrion
