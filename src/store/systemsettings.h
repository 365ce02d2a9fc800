#pragma once

#include <QString>

#include "core/result.h"
#include "engine/enginekind.h"
#include "store/loadsettings.h"

namespace pagrion {

// Everything "保存参数" keeps, in one transaction: PubLenfiled becomes the
// only VarTable row (holding headLength as typed), the engine the one row of
// BrowserEngine, and the load settings the rows of LoadSetting. A failure
// leaves all three tables as they were.
Status saveSystemSettings(const QString &headLength, EngineKind engine, const LoadSettings &load);

} // namespace pagrion
