#pragma once

#include <functional>
#include <memory>

#include <QCommandLineOption>
#include <QCommandLineParser>

#include "batch/serverrun.h"

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

} // namespace pagrion::cli
