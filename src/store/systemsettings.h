#pragma once

#include <QString>

#include "core/result.h"
#include "core/programlog.h"
#include "engine/enginekind.h"
#include "store/loadsettings.h"
#include "store/networksettings.h"

namespace pagrion {

// Everything "保存参数" keeps, in one transaction: PubLenfiled becomes the
// only VarTable row (holding headLength as typed), the engine the one row of
// BrowserEngine, the load settings the rows of LoadSetting, the network
// settings those of NetworkSetting, the log's level that of LogSetting and the
// result server (empty for none) that of ServerSetting. A failure leaves all
// six tables as they were.
Status saveSystemSettings(const QString &headLength, EngineKind engine, const LoadSettings &load,
                          const NetworkSettings &network, LogLevel logLevel, const QString &resultServer);

} // namespace pagrion
