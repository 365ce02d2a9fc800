#pragma once

#include <optional>

#include <QString>

#include "core/result.h"

namespace pagrion {

class Database;

// The one named setting: the head length the field list uses.
inline QString headLengthSetting()
{
    return QStringLiteral("PubLenfiled");
}

// Reads a setting from VarTable of the configuration database: nullopt when
// no row has that name; a row with a null value gives a null QString. With
// several rows of one name the first the engine delivers wins.
Result<std::optional<QString>> readNamedSetting(const QString &name);

// The head length a stored PubLenfiled value stands for: read leniently and
// rounded half to even; a value beyond 32 bits is an error that says so.
Result<int> headLengthFrom(const QString &settingValue);

// The head length PubLenfiled holds; nullopt when VarTable has no such row.
Result<std::optional<int>> readHeadLength();

// Makes PubLenfiled the only VarTable row, holding value. Runs as one
// transaction, so a failure leaves VarTable as it was and never empty.
Status savePubLenfiled(const QString &value);
// The same within the transaction the caller holds on db.
Status writePubLenfiled(Database &db, const QString &value);

} // namespace pagrion
