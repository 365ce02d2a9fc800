#include "store/server/serverschema.h"

#include <array>

#include "store/server/pgconnection.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

// Any number of our own, the same in every process.
constexpr qint64 SchemaLock = 0x70616772696f6e; // "pagrion"

// A run: its settings (everything a process needs to work on it, the job
// included), its page list in order, and the records of its pages, each
// carrying its page's place and its row there, so they read back in
// page-list order whichever process stored them. A page is claimed by
// lease_owner until lease_until; an expired lease is anyone's to take.
const std::array<QString, 2> Steps{
    u"create table pagrion_run ("
    "  id bigserial primary key,"
    "  settings text not null,"
    "  state text not null default 'open' check (state in ('open', 'finished')),"
    "  pages integer not null default 0,"
    "  column_names text[] not null default '{}',"
    "  published timestamptz not null default now(),"
    "  finished timestamptz);"
    "create index pagrion_run_settings on pagrion_run (md5(settings), id);"
    "create table pagrion_page ("
    "  run bigint not null references pagrion_run (id) on delete cascade,"
    "  place integer not null,"
    "  address text not null,"
    "  state text not null default 'pending' check (state in ('pending', 'stored', 'skipped', 'failed')),"
    "  reason text not null default '',"
    "  records integer not null default 0,"
    "  attempts integer not null default 0,"
    "  lease_owner text,"
    "  lease_until timestamptz,"
    "  done_at timestamptz,"
    "  primary key (run, place));"
    "create index pagrion_page_pending on pagrion_page (run, place) where state = 'pending';"
    "create index pagrion_page_claimed on pagrion_page (lease_owner) where state = 'pending' and lease_owner is not null;"
    "create index pagrion_page_done on pagrion_page (run, done_at) where state <> 'pending';"
    "create table pagrion_record ("
    "  run bigint not null,"
    "  place integer not null,"
    "  row integer not null,"
    "  cells text[] not null,"
    "  primary key (run, place, row),"
    "  foreign key (run, place) references pagrion_page (run, place) on delete cascade);"
    "create table pagrion_worker ("
    "  id text primary key,"
    "  host text not null,"
    "  pid integer not null,"
    "  started timestamptz not null default now(),"
    "  seen timestamptz not null default now());"_s,
    // The pace every process of a run keeps with each host, on the
    // server's clock: the earliest the next request to it may start, and
    // until when the host asked to be left alone.
    u"create table pagrion_pace ("
    "  run bigint not null references pagrion_run (id) on delete cascade,"
    "  host text not null,"
    "  next_at timestamptz not null,"
    "  held_until timestamptz not null default '-infinity',"
    "  primary key (run, host));"_s,
};

} // namespace

int serverSchemaVersion()
{
    return int(Steps.size());
}

Status prepareServerSchema(PgConnection &connection)
{
    return connection.inTransaction([&]() -> Status {
        // Held to the end of the transaction: a second process waits here
        // and then finds the steps done.
        if (auto locked = connection.exec(u"select pg_advisory_xact_lock($1)"_s, {SchemaLock}); !locked)
            return Error{locked.error()};
        if (auto made = connection.exec(u"create table if not exists pagrion_schema (version integer not null)"_s); !made)
            return Error{made.error()};
        const auto read = connection.exec(u"select coalesce(max(version), 0) from pagrion_schema"_s);
        if (!read)
            return Error{read.error()};
        const int version = int(read.value().number(0, 0));
        if (version > serverSchemaVersion())
            return Error{u"结果服务器上的表是较新版本的 Pagrion 建立的（第 %1 版，本程序只认识到第 %2 版），请先升级本程序。"_s
                             .arg(version)
                             .arg(serverSchemaVersion())};
        for (int step = version; step < serverSchemaVersion(); ++step) {
            if (auto applied = connection.exec(Steps.at(step)); !applied)
                return Error{applied.error()};
        }
        if (version == serverSchemaVersion())
            return success();
        if (auto cleared = connection.exec(u"delete from pagrion_schema"_s); !cleared)
            return Error{cleared.error()};
        if (auto noted = connection.exec(u"insert into pagrion_schema (version) values ($1)"_s, {serverSchemaVersion()}); !noted)
            return Error{noted.error()};
        return success();
    });
}

} // namespace pagrion
