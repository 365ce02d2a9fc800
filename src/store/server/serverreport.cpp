#include "store/server/serverreport.h"

#include <QJsonArray>
#include <QJsonDocument>

#include "store/server/pgconnection.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

constexpr int FetchRows = 2000;

QStringList textsOf(const QString &json)
{
    QStringList texts;
    for (const QJsonValue &value : QJsonDocument::fromJson(json.toUtf8()).array())
        texts << value.toString();
    return texts;
}

} // namespace

Result<QList<ServerRunStatus>> readServerStatus(PgConnection &connection)
{
    const auto rows = connection.exec(
        u"select r.id, r.settings, r.state, to_char(r.published, 'YYYY-MM-DD\"T\"HH24:MI:SSOF'), r.pages,"
        " count(*) filter (where p.state = 'stored'), count(*) filter (where p.state = 'skipped'),"
        " count(*) filter (where p.state = 'failed'), count(*) filter (where p.state = 'pending'),"
        " count(*) filter (where p.state = 'pending' and p.lease_until > now()),"
        " coalesce(sum(p.records), 0),"
        " count(distinct p.lease_owner) filter (where p.state = 'pending' and p.lease_until > now()),"
        " count(*) filter (where p.done_at > now() - $1 * interval '1 minute')"
        " from pagrion_run r left join pagrion_page p on p.run = r.id group by r.id order by r.id"_s,
        {ServerRunStatus::RateMinutes});
    if (!rows)
        return Error{rows.error()};
    QList<ServerRunStatus> runs;
    const PgRows &r = rows.value();
    for (int i = 0; i < r.rows(); ++i) {
        ServerRunStatus run;
        run.id = r.number(i, 0);
        run.settings = r.text(i, 1);
        run.finished = r.text(i, 2) == u"finished"_s;
        run.published = QDateTime::fromString(r.text(i, 3), Qt::ISODate);
        run.pages = int(r.number(i, 4));
        run.stored = int(r.number(i, 5));
        run.skipped = int(r.number(i, 6));
        run.failed = int(r.number(i, 7));
        run.pending = int(r.number(i, 8));
        run.claimed = int(r.number(i, 9));
        run.records = r.number(i, 10);
        run.workers = int(r.number(i, 11));
        run.doneLastMinutes = int(r.number(i, 12));
        runs << run;
    }
    const auto reasons = connection.exec(
        u"select run, reason, count(*) from pagrion_page where state = 'failed' "
        "group by run, reason order by run, count(*) desc, reason"_s);
    if (!reasons)
        return Error{reasons.error()};
    for (int i = 0; i < reasons.value().rows(); ++i) {
        for (ServerRunStatus &run : runs) {
            if (run.id == reasons.value().number(i, 0))
                run.failures.append({reasons.value().text(i, 1), int(reasons.value().number(i, 2))});
        }
    }
    return runs;
}

Result<ServerRecords> measureServerRecords(PgConnection &connection, qint64 run)
{
    const auto rows = connection.exec(
        u"select (select count(*) from pagrion_record where run = $1),"
        " (select coalesce(max(c.place), 0) from pagrion_record r, unnest(r.cells) with ordinality c(text, place)"
        "  where r.run = $1 and c.text <> ''),"
        " (select to_jsonb(column_names) from pagrion_run where id = $1)"_s,
        {run});
    if (!rows)
        return Error{rows.error()};
    return ServerRecords{int(rows.value().number(0, 0)), int(rows.value().number(0, 1)), textsOf(rows.value().text(0, 2))};
}

Status forEachServerRecord(PgConnection &connection, qint64 run, const std::function<Status(const QStringList &)> &take)
{
    return connection.inTransaction([&]() -> Status {
        const auto declared = connection.exec(
            u"declare pagrion_records no scroll cursor for "
            "select to_jsonb(cells) from pagrion_record where run = $1 order by place, row"_s,
            {run});
        if (!declared)
            return Error{declared.error()};
        for (;;) {
            const auto block = connection.exec(u"fetch %1 from pagrion_records"_s.arg(FetchRows));
            if (!block)
                return Error{block.error()};
            for (int i = 0; i < block.value().rows(); ++i) {
                if (Status taken = take(textsOf(block.value().text(i, 0))); !taken)
                    return taken;
            }
            if (block.value().rows() < FetchRows)
                return success();
        }
    });
}

Result<QList<QStringList>> readServerRecords(PgConnection &connection, qint64 run, int offset, int count)
{
    const auto rows = connection.exec(u"select to_jsonb(cells) from pagrion_record where run = $1"
                                      " order by place, row offset $2 limit $3"_s,
                                      {run, offset, count});
    if (!rows)
        return Error{rows.error()};
    QList<QStringList> records;
    records.reserve(rows.value().rows());
    for (int i = 0; i < rows.value().rows(); ++i)
        records << textsOf(rows.value().text(i, 0));
    return records;
}

Result<std::optional<qint64>> newestServerRun(PgConnection &connection)
{
    const auto rows = connection.exec(u"select max(id) from pagrion_run"_s);
    if (!rows)
        return Error{rows.error()};
    if (rows.value().isNull(0, 0))
        return std::optional<qint64>();
    return std::optional<qint64>(rows.value().number(0, 0));
}

} // namespace pagrion
