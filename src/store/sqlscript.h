#pragma once

#include <QString>
#include <QStringList>

#include "core/result.h"

namespace pagrion {

// One script file holds the statements of both databases. A line
// "-- @database <file name>" starts the section of that database; every
// statement ends with ";" and "--" starts a comment, outside quotes.

// The statements of one database's section, in order, without their ";".
// Statements outside any section or missing their ";" make the script invalid.
Result<QStringList> scriptStatements(const QString &script, const QString &database);

// Reads the files and collects the named database's statements, file by file.
Result<QStringList> scriptFileStatements(const QStringList &files, const QString &database);

} // namespace pagrion
