#include "store/server/serverstore.h"

#include <algorithm>

#include <QCoreApplication>
#include <QHostInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>

#include "store/server/pgconnection.h"
#include "store/server/serverschema.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

// A run's settings may be longer than an index entry can hold: they are
// found by their hash, then compared whole.
const QString SameSettings = u"md5(settings) = md5($1) and settings = $1"_s;

ServerRun runFrom(const PgRows &rows, int row)
{
    return {rows.number(row, 0), rows.text(row, 1), int(rows.number(row, 2)), rows.text(row, 3) == u"finished"_s};
}

Result<std::optional<ServerRun>> firstRun(const Result<PgRows> &rows)
{
    if (!rows)
        return Error{rows.error()};
    if (rows.value().rows() == 0)
        return std::optional<ServerRun>();
    return std::optional<ServerRun>(runFrom(rows.value(), 0));
}

Status done(const Result<PgRows> &rows)
{
    return rows ? success() : Status(Error{rows.error()});
}

} // namespace

QString jsonTextArray(const QStringList &texts)
{
    return QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(texts)).toJson(QJsonDocument::Compact));
}

Result<std::unique_ptr<ServerStore>> ServerStore::open(const QString &uri)
{
    auto connection = PgConnection::open(uri);
    if (!connection)
        return Error{connection.error()};
    if (Status prepared = prepareServerSchema(*connection.value()); !prepared)
        return Error{prepared.error()};
    const QString owner = u"%1:%2:%3"_s.arg(QHostInfo::localHostName())
                              .arg(QCoreApplication::applicationPid())
                              .arg(uint(QRandomGenerator::system()->generate()), 8, 16, QChar(u'0'));
    return std::unique_ptr<ServerStore>(new ServerStore(std::move(connection).value(), owner));
}

ServerStore::ServerStore(std::unique_ptr<PgConnection> connection, QString owner)
    : m_connection(std::move(connection))
    , m_owner(std::move(owner))
{
}

ServerStore::~ServerStore() = default;

Result<ServerStore::Published> ServerStore::publish(const QString &settings, const QStringList &pages, bool replace)
{
    Published published;
    const Status stored = m_connection->inTransaction([&]() -> Status {
        // Two processes publishing the same run at once: the second waits
        // and joins the first's.
        if (auto locked = m_connection->exec(u"select pg_advisory_xact_lock(hashtext($1))"_s, {settings}); !locked)
            return Error{locked.error()};
        if (replace) {
            if (auto dropped = m_connection->exec(u"delete from pagrion_run where "_s + SameSettings, {settings}); !dropped)
                return Error{dropped.error()};
        } else {
            const auto found = firstRun(m_connection->exec(
                u"select id, settings, pages, state from pagrion_run where "_s + SameSettings + u" order by id desc limit 1"_s,
                {settings}));
            if (!found)
                return Error{found.error()};
            if (found.value()) {
                published = {found.value()->id, true};
                return success();
            }
        }
        const auto inserted = m_connection->exec(
            u"insert into pagrion_run (settings, pages) values ($1, $2) returning id"_s, {settings, int(pages.size())});
        if (!inserted)
            return Error{inserted.error()};
        published = {inserted.value().number(0, 0), false};
        return done(m_connection->exec(u"insert into pagrion_page (run, place, address) "
                                       "select $1, (t.ord - 1)::integer, t.address "
                                       "from jsonb_array_elements_text($2::jsonb) with ordinality as t(address, ord)"_s,
                                       {published.id, jsonTextArray(pages)}));
    });
    if (!stored)
        return Error{stored.error()};
    return published;
}

Result<std::optional<ServerRun>> ServerStore::run(qint64 id)
{
    return firstRun(m_connection->exec(u"select id, settings, pages, state from pagrion_run where id = $1"_s, {id}));
}

Result<std::optional<ServerRun>> ServerStore::newestRun(const QString &settings)
{
    return firstRun(m_connection->exec(
        u"select id, settings, pages, state from pagrion_run where "_s + SameSettings + u" order by id desc limit 1"_s,
        {settings}));
}

Result<QList<ServerRun>> ServerStore::openRuns()
{
    const auto rows =
        m_connection->exec(u"select id, settings, pages, state from pagrion_run where state = 'open' order by id"_s);
    if (!rows)
        return Error{rows.error()};
    QList<ServerRun> runs;
    for (int i = 0; i < rows.value().rows(); ++i)
        runs << runFrom(rows.value(), i);
    return runs;
}

Result<QList<RecordedPage>> ServerStore::pages(qint64 run)
{
    const auto rows = m_connection->exec(
        u"select place, address, state, reason, records from pagrion_page where run = $1 order by place"_s, {run});
    if (!rows)
        return Error{rows.error()};
    QList<RecordedPage> pages;
    pages.reserve(rows.value().rows());
    for (int i = 0; i < rows.value().rows(); ++i) {
        pages.append({int(rows.value().number(i, 0)), rows.value().text(i, 1), pageStateFromName(rows.value().text(i, 2)),
                      rows.value().text(i, 3), int(rows.value().number(i, 4))});
    }
    return pages;
}

Result<QList<int>> ServerStore::claim(qint64 run, int count, int leaseMs)
{
    const auto rows = m_connection->exec(
        u"update pagrion_page p set lease_owner = $1, lease_until = now() + $2 * interval '1 millisecond', "
        "attempts = p.attempts + 1 "
        "from (select run, place from pagrion_page where run = $3 and state = 'pending' "
        "      and (lease_until is null or lease_until < now()) "
        "      order by place limit $4 for update skip locked) c "
        "where p.run = c.run and p.place = c.place returning p.place"_s,
        {m_owner, leaseMs, run, count});
    if (!rows)
        return Error{rows.error()};
    QList<int> places;
    for (int i = 0; i < rows.value().rows(); ++i)
        places << int(rows.value().number(i, 0));
    std::ranges::sort(places);
    return places;
}

Result<bool> ServerStore::hasPending(qint64 run)
{
    const auto rows = m_connection->exec(
        u"select exists (select 1 from pagrion_page where run = $1 and state = 'pending')"_s, {run});
    if (!rows)
        return Error{rows.error()};
    return rows.value().text(0, 0) == u"t"_s;
}

// Each finishes the page in one statement, so in one round trip and one
// transaction: the page is marked done only while its claim is this
// process's own (the update's row lock holds off a process taking it over
// until the end), and its records go in only behind that mark.
Result<bool> ServerStore::storePage(qint64 run, int place, const QList<QStringList> &records,
                                    const QString &emptyReason, const QStringList &columnNames)
{
    QJsonArray rows;
    for (const QStringList &record : records)
        rows.append(QJsonArray::fromStringList(record));
    const auto stored = m_connection->exec(
        u"with page as (update pagrion_page set state = 'stored', records = $4, reason = $5, lease_owner = null, "
        "  lease_until = null, done_at = now() "
        "  where run = $1 and place = $2 and state = 'pending' and lease_owner = $3 returning run, place), "
        "named as (update pagrion_run set column_names = array(select jsonb_array_elements_text($7::jsonb)) "
        "  where id = $1 and cardinality(column_names) = 0 and jsonb_array_length($7::jsonb) > 0 "
        "  and exists (select 1 from page)), "
        "kept as (insert into pagrion_record (run, place, row, cells) "
        "  select page.run, page.place, (t.ord - 1)::integer, array(select jsonb_array_elements_text(t.cells)) "
        "  from page, jsonb_array_elements($6::jsonb) with ordinality as t(cells, ord)) "
        "select count(*) from page"_s,
        {run, place, m_owner, int(records.size()), records.isEmpty() ? emptyReason : QString(u""_s),
         QString::fromUtf8(QJsonDocument(rows).toJson(QJsonDocument::Compact)), jsonTextArray(columnNames)});
    if (!stored)
        return Error{stored.error()};
    return stored.value().number(0, 0) == 1;
}

Result<bool> ServerStore::markPage(qint64 run, int place, PageState state, const QString &reason)
{
    const auto marked = m_connection->exec(
        u"update pagrion_page set state = $4, reason = $5, lease_owner = null, lease_until = null, done_at = now() "
        "where run = $1 and place = $2 and state = 'pending' and lease_owner = $3 returning 1"_s,
        {run, place, m_owner, pageStateName(state), reason.isNull() ? u""_s : reason});
    if (!marked)
        return Error{marked.error()};
    return marked.value().rows() == 1;
}

Status ServerStore::release()
{
    return done(m_connection->exec(u"update pagrion_page set lease_owner = null, lease_until = null "
                                   "where lease_owner = $1 and state = 'pending'"_s,
                                   {m_owner}));
}

Status ServerStore::finishIfDone(qint64 run)
{
    return done(m_connection->exec(
        u"update pagrion_run set state = 'finished', finished = now() where id = $1 and state = 'open' "
        "and not exists (select 1 from pagrion_page where run = $1 and state = 'pending')"_s,
        {run}));
}

} // namespace pagrion
