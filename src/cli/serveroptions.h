#pragma once

#include <functional>
#include <memory>

#include <QCommandLineOption>
#include <QCommandLineParser>

#include "batch/batchrun.h"

namespace pagrion {
class ServerStore;
}

namespace pagrion::cli {

// The options of the commands that work with a result server.
struct ServerOptions
{
    ServerOptions();

    QCommandLineOption server;
    QCommandLineOption lease;

    void addTo(QCommandLineParser &parser, bool withLease) const;
    // The lease in milliseconds; a value that is no number of seconds is a usage failure.
    int leaseMs(const QCommandLineParser &parser) const;
};

// Connects to the server and brings its tables up to date; a failure (a
// wrong address or password, a server that does not answer) ends the
// command with a database failure, before anything local is touched.
std::shared_ptr<ServerStore> openServer(const QString &uri);

// Lets the run be kept on the server: published there with its whole job,
// or joined when a run with the same settings is there, its pages claimed
// by this process a few at a time, its requests to each host paced together
// with the run's other processes. interrupted ends waits for the server.
void shareRun(BatchSettings &settings, const std::shared_ptr<ServerStore> &store, const QString &uri, int leaseMs,
              std::optional<qint64> run, const std::function<bool()> &interrupted);

} // namespace pagrion::cli
