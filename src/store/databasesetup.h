#pragma once

#include <QString>
#include <QStringList>

#include "core/result.h"
#include "store/programfolder.h"

namespace pagrion {

// Builds a new database file from the named section of the scripts. The file
// appears under its name only when every statement has run, so a failure
// never leaves a half-built database behind; an existing file is an error.
Status createDatabase(const QString &path, const QString &section, const QStringList &sqlFiles);

// Makes the program folder ready to run: creates data/data.mdb and
// data/system.dll from the scripts, each only when it is missing (existing
// files hold the user's data and are never touched), and the temp folder.
// Returns the paths it created.
Result<QStringList> createMissingDatabases(const ProgramFolder &folder, const QStringList &sqlFiles);

} // namespace pagrion
