#include "layout/definitionreader.h"

#include "store/programfolder.h"

using namespace Qt::StringLiterals;

namespace pagrion {

Status DefinitionReader::refresh()
{
    if (!m_versionQuery) {
        if (Status opened = m_db.open(programFolder().configDatabasePath()); !opened)
            return opened;
        auto query = m_db.prepare(u"pragma data_version"_s);
        if (!query)
            return Error{query.error()};
        m_versionQuery = std::move(query).value();
    }
    // Changes when another connection has committed to the file. The query
    // is finished at once: an open read would keep the windows' saves out.
    if (Status read = Database::execute(*m_versionQuery, {}); !read)
        return read;
    const qint64 now = m_versionQuery->next() ? m_versionQuery->value(0).toLongLong() : -1;
    m_versionQuery->finish();
    if (now != m_version || now < 0) {
        m_version = now;
        m_layout.reset();
        m_fields.reset();
    }
    return success();
}

Result<LayoutPlan> DefinitionReader::layout()
{
    if (Status fresh = refresh(); !fresh)
        return Error{fresh.error()};
    if (!m_layout) {
        const auto read = readLayout(m_db);
        if (!read)
            return Error{read.error()};
        m_layout = planLayout(read.value());
    }
    return *m_layout;
}

Result<QList<Field>> DefinitionReader::fields()
{
    if (Status fresh = refresh(); !fresh)
        return Error{fresh.error()};
    if (!m_fields) {
        auto read = readFields(m_db);
        if (!read)
            return read;
        m_fields = std::move(read).value();
    }
    return *m_fields;
}

} // namespace pagrion
