#pragma once

#include <QStringList>

namespace pagrion::cli {

// pagrion-cli status --server URI: how far the runs on a result server have got.
int runStatus(const QStringList &arguments);

} // namespace pagrion::cli
