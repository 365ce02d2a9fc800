#pragma once

#include "support/fakes.h"
#include "support/tempprogramfolder.h"

namespace pagrion::test {

// Everything a window test replaces, installed while the object lives: fresh
// databases in a program folder of their own, scripted dialogs, a connection
// that is up and a shell that only records.
struct FakePlatform
{
    TempProgramFolder folder;
    FakeDialogs dialogs;
    FakeConnectionCheck connection{true};
    FakeShell shell;
};

} // namespace pagrion::test
