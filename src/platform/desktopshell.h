#pragma once

#include "platform/shell.h"

namespace pagrion {

// Opens files and addresses with the desktop's associated program.
class DesktopShell final : public Shell
{
public:
    void open(const QString &fileOrAddress) override;
};

} // namespace pagrion
