#pragma once

#include <QStringList>

namespace pagrion::cli {

// pagrion-cli site save|show|export|import: a site's job set up, shown and
// moved between machines without the window.
int runSite(const QStringList &arguments);

} // namespace pagrion::cli
