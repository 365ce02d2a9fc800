#include "store/getvarvalue.h"

#include <cstdlib>
#include <utility>

#include "platform/current.h"
#include "platform/dialogs.h"
#include "store/namedsetting.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

FatalExit &installedExit()
{
    static FatalExit exit;
    return exit;
}

void endProgram(int exitCode)
{
    if (installedExit())
        installedExit()(exitCode);
    else
        std::_Exit(exitCode); // std::exit would run static destructors under a live QApplication
}

} // namespace

FatalExit setFatalExit(FatalExit exit)
{
    return std::exchange(installedExit(), std::move(exit));
}

QString GetVarValue(const QString &name)
{
    // The connection is closed inside readNamedSetting, before any exit.
    const auto value = readNamedSetting(name);
    if (value && value.value())
        return *value.value();
    // A database that cannot be read leaves the program without its setting
    // just as a missing row does.
    Current<Dialogs>::get().information(u"警告"_s, u"系统遇到严重问题请与供应商联系！"_s);
    endProgram(EXIT_FAILURE);
    return {};
}

} // namespace pagrion
