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
    const Result<QList<SettingRow>> rows = readSettingRows(Table);
    if (!rows)
        return Error{rows.error()};
    for (const auto &[name, value] : rows.value()) {
        if (name.compare(LevelRow, Qt::CaseInsensitive) == 0)
            return logLevelFromKey(value).value_or(DefaultLogLevel);
    }
    return DefaultLogLevel;
}

Status writeLogLevel(Database &db, LogLevel level)
{
    return writeSettingRows(db, Table, {{LevelRow, logLevelKey(level)}});
}

} // namespace pagrion
