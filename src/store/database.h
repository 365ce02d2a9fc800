#pragma once

#include <functional>

#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QVariantList>

#include "core/result.h"

struct sqlite3;

namespace pagrion {

// One connection to one database file, held for the length of a procedure.
// Each object has its own connection name, so procedures never share state;
// the connection is closed and unregistered when the object goes away.
// Queries taken from it must be destroyed first: declare them after it.
class Database final
{
public:
    Database();
    ~Database();
    Q_DISABLE_COPY_MOVE(Database)

    // Opens an existing database file. A missing file is an error: the program
    // must never create an empty database in place of the user's data.
    Status open(const QString &file);
    // Creates a new database file; fails when the file already exists.
    Status create(const QString &file);

    bool isOpen() const { return m_db.isOpen(); }
    const QString &file() const { return m_file; }
    QSqlDatabase handle() const { return m_db; }
    // SQLite's own handle of the open connection, for bulk work where Qt's
    // binding costs more than SQLite does; null when not open.
    sqlite3 *nativeHandle() const;

    // Runs one statement; values are bound to its "?" placeholders in order.
    Result<QSqlQuery> run(const QString &statement, const QVariantList &values = {});
    // A statement compiled once, to be run many times with execute().
    Result<QSqlQuery> prepare(const QString &statement);
    // Runs a prepared statement with values bound to its placeholders in order.
    static Status execute(QSqlQuery &query, const QVariantList &values);
    // Runs a select and reads every row, so the caller knows the count first.
    Result<QList<QSqlRecord>> selectAll(const QString &statement, const QVariantList &values = {});
    // Whether the database has a table of this name, letter case aside: an
    // older database lacks the tables of later settings.
    Result<bool> hasTable(const QString &name);
    // Commits what work did when it succeeds; otherwise rolls it all back and
    // returns work's error. Work started inside another transaction of this
    // connection joins it: the outer one commits or rolls back.
    Status inTransaction(const std::function<Status()> &work);

private:
    Status connect(const QString &file);
    void close();

    QString m_name;
    QString m_file;
    QSqlDatabase m_db;
    bool m_inTransaction = false;
};

} // namespace pagrion
