#pragma once

#include <QStringList>

namespace pagrion::cli {

// pagrion-cli worker --server URI: works on the runs of a result server.
int runWorker(const QStringList &arguments);

} // namespace pagrion::cli
