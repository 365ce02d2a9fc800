#include "platform/desktopshell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace pagrion {

void DesktopShell::open(const QString &fileOrAddress)
{
    // A path that names an existing file is opened as a file; anything else
    // is handed over as an address, as typed.
    const QUrl url = QFileInfo::exists(fileOrAddress) ? QUrl::fromLocalFile(fileOrAddress)
                                                       : QUrl::fromUserInput(fileOrAddress);
    QDesktopServices::openUrl(url);
}

} // namespace pagrion
