#include "store/server/pgconnection.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <libpq-fe.h>

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

QString libpqMessage(const PGconn *conn)
{
    return QString::fromUtf8(PQerrorMessage(conn)).trimmed();
}

// libpq's reason a connection failed, in the user's words before its own
// text, for the failures a user can mend.
QString connectFailure(const QString &reason)
{
    static const std::array<std::pair<const char *, const char *>, 7> known{{
        {"password authentication failed", "用户名或密码不对"},
        {"no password supplied", "需要密码：写在 URI 中，或放在 ~/.pgpass 或环境变量 PGPASSWORD 中"},
        {"Connection refused", "服务器拒绝连接：主机或端口不对，或 PostgreSQL 没有运行"},
        {"could not translate host name", "找不到这个主机"},
        {"timeout expired", "服务器没有回应"},
        {"does not exist", "数据库或用户不存在"},
        {"invalid", "连接 URI 写得不对，应如 postgresql://用户@主机:5432/数据库"},
    }};
    for (const auto &[text, meaning] : known) {
        if (reason.contains(QLatin1StringView(text), Qt::CaseInsensitive))
            return u"%1（%2）"_s.arg(QString::fromUtf8(meaning), reason);
    }
    return reason;
}

PGconn *connect(const QString &uri, bool quick)
{
    const QByteArray text = uri.toUtf8();
    // Defaults first: what the URI says itself comes later and wins. The
    // keepalives notice a server that vanished without closing the
    // connection, so a claim does not hang for the kernel's hours; a quick
    // connection also gives up on a request the server does not acknowledge.
    const std::array<const char *, 9> keywords{"connect_timeout", "tcp_user_timeout", "application_name",
                                               "keepalives_idle", "keepalives_interval", "keepalives_count",
                                               "client_encoding", "dbname", nullptr};
    const std::array<const char *, 9> values{quick ? "2" : "10", quick ? "3000" : "0", "pagrion", "30", "10", "3",
                                             "UTF8", text.constData(), nullptr};
    return PQconnectdbParams(keywords.data(), values.data(), 1);
}

} // namespace

void PgRows::Clear::operator()(pg_result *result) const
{
    PQclear(result);
}

PgRows::PgRows(pg_result *result) : m_result(result, Clear{}) {}

int PgRows::rows() const
{
    return m_result ? PQntuples(m_result.get()) : 0;
}

QString PgRows::text(int row, int col) const
{
    return QString::fromUtf8(PQgetvalue(m_result.get(), row, col), PQgetlength(m_result.get(), row, col));
}

bool PgRows::isNull(int row, int col) const
{
    return PQgetisnull(m_result.get(), row, col) != 0;
}

Result<std::unique_ptr<PgConnection>> PgConnection::open(const QString &uri, bool quick)
{
    PGconn *conn = connect(uri, quick);
    if (!conn)
        return Error{u"无法连接结果服务器：内存不足。"_s};
    std::unique_ptr<PgConnection> connection(new PgConnection(conn));
    if (PQstatus(conn) != CONNECTION_OK)
        return Error{u"无法连接结果服务器 %1：%2"_s.arg(connection->serverName(), connectFailure(libpqMessage(conn)))};
    // Messages from the server (notices of tables made already) are not the user's concern.
    PQsetNoticeProcessor(conn, [](void *, const char *) {}, nullptr);
    return connection;
}

PgConnection::~PgConnection()
{
    PQfinish(m_conn);
}

QString PgConnection::serverName() const
{
    const auto part = [this](const char *value) { return QString::fromUtf8(value ? value : ""); };
    return u"%1@%2:%3/%4"_s.arg(part(PQuser(m_conn)), part(PQhost(m_conn)), part(PQport(m_conn)), part(PQdb(m_conn)));
}

void PgConnection::setReconnect(int reconnectForMs, std::function<bool()> interrupted)
{
    m_reconnectForMs = reconnectForMs;
    m_interrupted = std::move(interrupted);
}

bool PgConnection::broken() const
{
    return PQstatus(m_conn) != CONNECTION_OK;
}

Result<PgRows> PgConnection::execOnce(const QString &statement, const QVariantList &values)
{
    std::vector<QByteArray> texts;
    texts.reserve(values.size());
    std::vector<const char *> pointers;
    pointers.reserve(values.size());
    for (const QVariant &value : values) {
        if (value.isNull()) {
            pointers.push_back(nullptr);
            continue;
        }
        texts.push_back(value.toString().toUtf8());
        pointers.push_back(texts.back().constData());
    }
    const QByteArray text = statement.toUtf8();
    // Only a statement without values may hold several (the schema's steps).
    PGresult *result = values.isEmpty() ? PQexec(m_conn, text.constData())
                                        : PQexecParams(m_conn, text.constData(), int(pointers.size()), nullptr,
                                                       pointers.data(), nullptr, nullptr, 0);
    PgRows rows(result);
    const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        const QString message = result ? QString::fromUtf8(PQresultErrorMessage(result)).trimmed() : libpqMessage(m_conn);
        return Error{u"结果服务器出错：%1"_s.arg(message)};
    }
    return rows;
}

Result<PgRows> PgConnection::exec(const QString &statement, const QVariantList &values)
{
    Result<PgRows> done = execOnce(statement, values);
    // Inside a transaction the whole of it is done again, not one statement.
    while (!done && !m_inTransaction && broken() && reconnect())
        done = execOnce(statement, values);
    return done;
}

Status PgConnection::inTransaction(const std::function<Status()> &work)
{
    for (;;) {
        m_inTransaction = true;
        Status done = [&]() -> Status {
            if (Result<PgRows> begun = execOnce(u"begin"_s, {}); !begun)
                return Error{begun.error()};
            if (Status worked = work(); !worked)
                return worked;
            if (Result<PgRows> committed = execOnce(u"commit"_s, {}); !committed)
                return Error{committed.error()};
            return success();
        }();
        m_inTransaction = false;
        if (done)
            return done;
        if (!broken()) {
            std::ignore = execOnce(u"rollback"_s, {});
            return done;
        }
        // A commit that got to the server before the connection broke may
        // have stood: the work must be one that finds it done (a page's
        // store checks its claim, which the commit gave up).
        if (!reconnect())
            return done;
    }
}

bool PgConnection::reconnect()
{
    QDeadlineTimer deadline(m_reconnectForMs);
    int pauseMs = 500;
    while (!deadline.hasExpired()) {
        QEventLoop loop;
        QTimer::singleShot(std::min<qint64>(pauseMs, std::max<qint64>(deadline.remainingTime(), 0)), &loop,
                           &QEventLoop::quit);
        loop.exec();
        if (m_interrupted && m_interrupted())
            return false;
        PQreset(m_conn);
        if (!broken()) {
            PQsetNoticeProcessor(m_conn, [](void *, const char *) {}, nullptr);
            return true;
        }
        pauseMs = std::min(pauseMs * 2, 30'000);
    }
    return false;
}

} // namespace pagrion
