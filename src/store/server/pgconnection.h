#pragma once

#include <functional>
#include <memory>

#include <QString>
#include <QVariantList>

#include "core/result.h"

struct pg_conn;
struct pg_result;

namespace pagrion {

// The rows a statement gave, as text (libpq's text format).
class PgRows final
{
public:
    PgRows() = default;
    explicit PgRows(pg_result *result);

    int rows() const;
    QString text(int row, int col) const;
    qint64 number(int row, int col) const { return text(row, col).toLongLong(); }
    bool isNull(int row, int col) const;

private:
    struct Clear
    {
        void operator()(pg_result *result) const;
    };
    std::shared_ptr<pg_result> m_result;
};

// One connection to a result server, opened from a libpq connection string
// (a URI such as postgresql://user@host:5432/harvest, or key=value pairs),
// so libpq's own conventions hold: the password from the URI, PGPASSWORD or
// ~/.pgpass, sslmode and the other PG* variables. Every value goes to the
// server as a bound parameter. A connection the network broke is opened
// again, with growing pauses, for as long as reconnectFor allows; what was
// inside a transaction is then done again whole.
class PgConnection final
{
public:
    // Fails with a message naming the server (never its password). A quick
    // connection gives up within seconds on a server that does not answer,
    // whether connecting or later, for work that has a better way to go on.
    static Result<std::unique_ptr<PgConnection>> open(const QString &uri, bool quick = false);
    ~PgConnection();
    Q_DISABLE_COPY_MOVE(PgConnection)

    // Null values are SQL NULL; everything else goes as its text.
    Result<PgRows> exec(const QString &statement, const QVariantList &values = {});
    // Runs work between begin and commit; an error in it rolls everything
    // back. A connection lost on the way is opened again and work run again.
    Status inTransaction(const std::function<Status()> &work);

    // How long a lost server is tried again before the error is returned,
    // and what may cut that short (a stop); the pause lets events through.
    void setReconnect(int reconnectForMs, std::function<bool()> interrupted);
    // user@host:port/database, for messages.
    QString serverName() const;

private:
    explicit PgConnection(pg_conn *conn) : m_conn(conn) {}
    Result<PgRows> execOnce(const QString &statement, const QVariantList &values);
    bool broken() const;
    // True once the connection works again.
    bool reconnect();

    pg_conn *m_conn;
    int m_reconnectForMs = 0;
    std::function<bool()> m_interrupted;
    bool m_inTransaction = false;
};

} // namespace pagrion
