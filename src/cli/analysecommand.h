#pragma once

#include <QStringList>

namespace pagrion::cli {

// pagrion-cli analyse: prints the analysis the class choice shows for a page,
// the table analysis unless another class is named.
int runAnalyse(const QStringList &arguments);

} // namespace pagrion::cli
