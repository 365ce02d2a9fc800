#include "store/batchjournal.h"

#include <array>

#include <QDateTime>
#include <QVariant>

#include "store/database.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

const QString Running = u"running"_s;
const QString Finished = u"finished"_s;
const QString InsertPage = u"insert into batchpage (run, pageindex, address, state, reason, records) "
                           "values (?, ?, ?, ?, '', 0)"_s;

// The words the tables hold for each state, in the order of PageState.
const std::array<QString, 4> &stateNames()
{
    static const std::array<QString, 4> names{u"pending"_s, u"stored"_s, u"skipped"_s, u"failed"_s};
    return names;
}

} // namespace

QString pageStateName(PageState state)
{
    return stateNames()[std::size_t(state)];
}

PageState pageStateFromName(const QString &name)
{
    const auto &names = stateNames();
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == name)
            return PageState(i);
    }
    return PageState::Pending;
}

namespace {

Status ran(const Result<QSqlQuery> &result)
{
    return result ? success() : Status(Error{result.error()});
}

} // namespace

Status BatchJournal::prepare()
{
    const Status runs = ran(m_db.run(u"create table if not exists batchrun ("
                                     "id integer primary key autoincrement, "
                                     "settings text not null, "
                                     "pages integer not null, "
                                     "state text not null, "
                                     "started text not null)"_s));
    if (!runs)
        return runs;
    return ran(m_db.run(u"create table if not exists batchpage ("
                        "run integer not null, "
                        "pageindex integer not null, "
                        "address text not null, "
                        "state text not null, "
                        "reason text not null, "
                        "records integer not null, "
                        "primary key (run, pageindex))"_s));
}

Result<std::optional<UnfinishedRun>> BatchJournal::findUnfinished(const QString &settings)
{
    const auto rows = m_db.selectAll(
        u"select r.id, r.pages, (select count(*) from batchpage p where p.run = r.id and p.state <> ?) "
        "from batchrun r where r.settings = ? and r.state = ? order by r.id desc"_s,
        {stateNames()[0], settings, Running});
    if (!rows)
        return Error{rows.error()};
    if (rows.value().isEmpty())
        return std::optional<UnfinishedRun>();
    const QSqlRecord &row = rows.value().constFirst();
    return std::optional<UnfinishedRun>(UnfinishedRun{row.value(0).toLongLong(), row.value(1).toInt(), row.value(2).toInt()});
}

Result<std::optional<qint64>> BatchJournal::lastFinished(const QString &settings)
{
    const auto rows =
        m_db.selectAll(u"select id, state from batchrun where settings = ? order by id desc limit 1"_s, {settings});
    if (!rows)
        return Error{rows.error()};
    if (rows.value().isEmpty() || rows.value().constFirst().value(1).toString() != Finished)
        return std::optional<qint64>();
    return std::optional<qint64>(rows.value().constFirst().value(0).toLongLong());
}

Result<qint64> BatchJournal::begin(const QString &settings, const QStringList &pages)
{
    qint64 id = 0;
    const Status recorded = m_db.inTransaction([&]() -> Status {
        const QString replaced = u"select id from batchrun where state = ? or settings = ?"_s;
        if (Status dropped = ran(m_db.run(u"delete from batchpage where run in ("_s + replaced + u')', {Finished, settings}));
            !dropped)
            return dropped;
        if (Status dropped = ran(m_db.run(u"delete from batchrun where state = ? or settings = ?"_s, {Finished, settings}));
            !dropped)
            return dropped;
        auto inserted = m_db.run(u"insert into batchrun (settings, pages, state, started) values (?, ?, ?, ?)"_s,
                                 {settings, int(pages.size()), Running,
                                  QDateTime::currentDateTime().toString(Qt::ISODate)});
        if (!inserted)
            return Error{inserted.error()};
        id = inserted.value().lastInsertId().toLongLong();
        auto insertPage = m_db.prepare(InsertPage);
        if (!insertPage)
            return Error{insertPage.error()};
        QSqlQuery query = std::move(insertPage).value();
        for (qsizetype i = 0; i < pages.size(); ++i) {
            if (Status done = Database::execute(query, {id, int(i), pages.at(i), stateNames()[0]}); !done)
                return done;
        }
        return success();
    });
    if (!recorded)
        return Error{recorded.error()};
    return id;
}

Status BatchJournal::addPage(qint64 run, int index, const QString &address)
{
    if (Status added = ran(m_db.run(InsertPage, {run, index, address, stateNames()[0]})); !added)
        return added;
    return ran(m_db.run(u"update batchrun set pages = pages + 1 where id = ?"_s, {run}));
}

Result<QList<RecordedPage>> BatchJournal::pages(qint64 run)
{
    const auto rows =
        m_db.selectAll(u"select pageindex, address, state, reason, records from batchpage where run = ? order by pageindex"_s,
                       {run});
    if (!rows)
        return Error{rows.error()};
    QList<RecordedPage> pages;
    pages.reserve(rows.value().size());
    for (const QSqlRecord &row : rows.value()) {
        pages.append({row.value(0).toInt(), row.value(1).toString(), pageStateFromName(row.value(2).toString()),
                      row.value(3).toString(), row.value(4).toInt()});
    }
    return pages;
}

Status BatchJournal::mark(qint64 run, int index, PageState state, const QString &reason, int records)
{
    if (!m_mark) {
        auto prepared = m_db.prepare(
            u"update batchpage set state = ?, reason = ?, records = ? where run = ? and pageindex = ?"_s);
        if (!prepared)
            return Error{prepared.error()};
        m_mark = std::move(prepared).value();
    }
    // A null text would be stored as NULL.
    return Database::execute(*m_mark, {pageStateName(state), reason.isNull() ? u""_s : reason, records,
                                       run, index});
}

Status BatchJournal::forgetRuns()
{
    if (Status prepared = prepare(); !prepared)
        return prepared;
    if (Status dropped = ran(m_db.run(u"delete from batchpage"_s)); !dropped)
        return dropped;
    return ran(m_db.run(u"delete from batchrun"_s));
}

Status BatchJournal::finish(qint64 run)
{
    return ran(m_db.run(u"update batchrun set state = ? where id = ?"_s, {Finished, run}));
}

} // namespace pagrion
