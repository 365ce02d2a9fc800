#pragma once

#include <QStringList>

namespace pagrion::cli {

// pagrion-cli export: writes datalist to a file, in the format the words of
// its path ask for, as the settings window's export does.
int runExport(const QStringList &arguments);

} // namespace pagrion::cli
