#include "store/logsetting.h"

#include "store/settingrows.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

const QString Table = u"LogSetting"_s;
const QString LevelRow = u"level"_s;

} // namespace

Result<LogLevel> readLogLevel()
{
    const Result<std::optional<QString>> level = readSettingRow(Table, LevelRow);
    if (!level)
        return Error{level.error()};
    return level.value() ? logLevelFromKey(*level.value()).value_or(DefaultLogLevel) : DefaultLogLevel;
}

Status writeLogLevel(Database &db, LogLevel level)
{
    return writeSettingRows(db, Table, {{LevelRow, logLevelKey(level)}});
}

} // namespace pagrion
