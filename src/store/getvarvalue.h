#pragma once

#include <functional>

#include <QString>

namespace pagrion {

// Ends the program with an exit code. The program's own never returns; tests
// install one that throws or records.
using FatalExit = std::function<void(int exitCode)>;

// Replaces the fatal exit and returns the previous one; an empty function
// restores the program's own.
FatalExit setFatalExit(FatalExit exit);

// The value of a named setting. Without it the program cannot work: the user
// is told to contact the supplier and the program ends at once. Returns a null
// string only when an installed fatal exit returns.
QString GetVarValue(const QString &name);

} // namespace pagrion
