#pragma once

#include <QStringList>

namespace pagrion::cli {

// pagrion-cli batch: a batch run with a saved site's settings, storing the
// records of every page in the result database like the window's batch command.
int runBatch(const QStringList &arguments);

} // namespace pagrion::cli
