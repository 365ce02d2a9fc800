#include "batch/linkfilter.h"

#include <QSqlRecord>

#include "core/textrules.h"
#include "store/database.h"
#include "store/programfolder.h"

using namespace Qt::StringLiterals;

namespace pagrion {

LinkFilter LinkFilter::load()
{
    LinkFilter filter;
    Database db;
    auto rows = db.open(programFolder().configDatabasePath()) ? db.selectAll(u"select WebErr from WebErr"_s)
                                                              : Result<QList<QSqlRecord>>(Error{});
    if (!rows) {
        filter.m_readable = false;
        return filter;
    }
    for (const QSqlRecord &row : rows.value()) {
        // A null fragment stands for nothing and never matches.
        if (!row.isNull(0))
            filter.m_fragments << trimSpaces(row.value(0).toString()).toUpper();
    }
    return filter;
}

LinkFilter LinkFilter::fromFragments(const QStringList &fragments)
{
    LinkFilter filter;
    for (const QString &fragment : fragments)
        filter.m_fragments << trimSpaces(fragment).toUpper();
    return filter;
}

bool LinkFilter::allows(const QString &link) const
{
    if (!m_readable)
        return false;
    const QString text = trimSpaces(link).toUpper();
    for (const QString &fragment : m_fragments) {
        // An empty fragment occurs in every non-empty text, as it would in a
        // position search.
        if (fragment.isEmpty() ? !text.isEmpty() : text.contains(fragment))
            return false;
    }
    return true;
}

bool GetWebFlag(const QString &str)
{
    return LinkFilter::load().allows(str);
}

} // namespace pagrion
