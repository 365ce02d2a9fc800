#include "store/server/serverexport.h"

#include <algorithm>

#include "store/datalisttable.h"
#include "store/server/serverreport.h"
#include "store/server/serverstore.h"

using namespace Qt::StringLiterals;

namespace pagrion {

Result<ExportReport> exportServerRun(const ExportTarget &target, PgConnection &connection, qint64 run,
                                     Progress *progress)
{
    const auto measured = measureServerRecords(connection, run);
    if (!measured)
        return Error{measured.error()};
    const ServerRecords &records = measured.value();
    // At least one column, so that even a run without records has a header.
    const int width = std::max({records.width, int(records.columnNames.size()), 1});
    return exportRows(target, datalistHeader(width, {}, records.columnNames), records.count,
                      [&](const std::function<Status(const QStringList &)> &take) {
                          return forEachServerRecord(connection, run, [&](const QStringList &cells) {
                              QStringList row = cells;
                              row.resize(width);
                              return take(row);
                          });
                      },
                      progress);
}

Result<ExportReport> exportNewestServerRun(const ExportTarget &target, const QString &uri, Progress *progress)
{
    auto opened = ServerStore::open(uri);
    if (!opened)
        return Error{opened.error()};
    PgConnection &connection = opened.value()->connection();
    const auto newest = newestServerRun(connection);
    if (!newest)
        return Error{newest.error()};
    if (!newest.value())
        return Error{u"结果服务器上还没有批量采集，没有可输出的记录。"_s};
    return exportServerRun(target, connection, *newest.value(), progress);
}

} // namespace pagrion
