#pragma once

#include <QString>

namespace pagrion {

// The desktop shell's "open": a file or an address opened with the program
// the desktop associates with it. The result is not reported; callers never
// depend on it.
class Shell
{
public:
    virtual ~Shell() = default;
    virtual void open(const QString &fileOrAddress) = 0;
};

} // namespace pagrion
