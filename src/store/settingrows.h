#pragma once

#include <optional>
#include <utility>

#include <QList>
#include <QString>

#include "core/result.h"

namespace pagrion {

class Database;

// One row of a settings table of the configuration database: the setting's
// name and its value as text.
using SettingRow = std::pair<QString, QString>;

// The rows of the settings table, names trimmed (they are compared without
// letter case); none when an older database lacks the table. An error only
// when the database cannot be read.
Result<QList<SettingRow>> readSettingRows(const QString &table);

// The value of the row of this name (compared without letter case) in a
// table of one setting or a few; nullopt when there is no such row or table.
Result<std::optional<QString>> readSettingRow(const QString &table, const QString &name);

// Makes the rows the contents of the table, creating it in an older
// database, within the transaction the caller holds on db.
Status writeSettingRows(Database &db, const QString &table, const QList<SettingRow> &rows);

} // namespace pagrion
