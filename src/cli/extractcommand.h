#pragma once

#include <QStringList>

namespace pagrion::cli {

// pagrion-cli extract: prints the row text the extract command produces for
// a page, or with --grid the main grid a batch run would fill from it.
int runExtract(const QStringList &arguments);

} // namespace pagrion::cli
