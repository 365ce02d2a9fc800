#pragma once

#include <optional>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "bench/childrun.h"

namespace pagrion::bench {

// What every batch row shares: the saved site Pagrion runs with, the peers'
// interpreter, and the check that a run did its work.

// The page addresses of a batch: (*) runs over the page numbers.
extern const QString PagePath;
// Debian's interpreter, the one its python3-* packages install for.
extern const QString PeerPython;

// Makes a program folder at root whose saved site takes every row of a
// page's first table as a record, and makes it the bench's program folder.
bool prepareProgramFolder(const QString &root);

// pagrion-cli's arguments for a batch of pages 1 to pages with the saved
// site, in the program folder at folder; more are appended.
QStringList pagrionBatchArguments(const QString &engine, const QString &pattern, int pages, const QString &folder,
                                  const QStringList &more = {});

// Why the peers' interpreter cannot import modules (given as for an import
// statement): "<packages> is not installed"; nullopt when it can.
std::optional<QString> missingPythonModules(const QString &modules, const QString &packages);

// True when the run ended well with a record for every table row of every
// page; otherwise says what went wrong on standard error.
bool runOk(const ChildRun &run, int pages, const char *what);

} // namespace pagrion::bench
