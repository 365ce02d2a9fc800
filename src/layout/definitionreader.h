#pragma once

#include <optional>

#include <QList>
#include <QSqlQuery>

#include "core/result.h"
#include "layout/layouts.h"
#include "store/database.h"

namespace pagrion {

// The stored layout and field list as a run of many pages reads them: over
// one connection to the configuration database, and read again only when
// another connection has changed that database since. So a definition saved
// during a run applies from the next page on, as if every page read it anew.
// The layout comes planned, its cell references read once.
class DefinitionReader final
{
public:
    DefinitionReader() = default;
    Q_DISABLE_COPY_MOVE(DefinitionReader)

    Result<LayoutPlan> layout();
    Result<QList<Field>> fields();

private:
    // Opens the connection when it is not open and forgets what was read
    // when the file has changed.
    Status refresh();

    Database m_db;
    std::optional<QSqlQuery> m_versionQuery; // uses m_db, so declared after it
    qint64 m_version = -1;
    std::optional<LayoutPlan> m_layout;
    std::optional<QList<Field>> m_fields;
};

} // namespace pagrion
