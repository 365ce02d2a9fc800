#include "store/database.h"

#include <atomic>
#include <optional>

#include <QDir>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <sqlite3.h>

#include "store/storelog.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

QString uniqueConnectionName()
{
    static std::atomic<quint64> counter{0};
    return u"pagrion-db-"_s + QString::number(++counter);
}

// SQLite counts every allocation under a global mutex for statistics the
// program never reads; storing a large batch allocates for every cell. The
// setting holds only before SQLite starts, so it is made before the first
// connection opens.
void configureSqliteOnce()
{
    static const bool configured = [] {
        sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
        return true;
    }();
    Q_UNUSED(configured);
}

// Every error of the database engine passes here, so the log has each with
// the file or statement it came from.
Error engineError(const QSqlError &error, const QString &source)
{
    qCWarning(lcStore).noquote() << source << u"出错："_s + error.text();
    return Error{error.text()};
}

Error fileError(const QString &message)
{
    qCWarning(lcStore).noquote() << message;
    return Error{message};
}

} // namespace

Database::Database() : m_name(uniqueConnectionName())
{
}

Database::~Database()
{
    close();
}

Status Database::open(const QString &file)
{
    // SQLite silently creates a missing file, so look before opening.
    if (!QFileInfo(file).isFile())
        return fileError(u"找不到数据库文件：%1"_s.arg(QDir::toNativeSeparators(file)));
    return connect(file);
}

Status Database::create(const QString &file)
{
    if (QFileInfo::exists(file))
        return fileError(u"数据库文件已经存在：%1"_s.arg(QDir::toNativeSeparators(file)));
    return connect(file);
}

Status Database::connect(const QString &file)
{
    close();
    configureSqliteOnce();
    m_db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_name);
    m_db.setDatabaseName(file);
    if (!m_db.open()) {
        const Error error = engineError(m_db.lastError(), QDir::toNativeSeparators(file));
        close();
        return error;
    }
    m_file = file;
    // Opening does not read the file; a file that is not a database (or is
    // locked) shows up only at the first statement, so make that happen here.
    std::optional<Error> probeError;
    QSqlQuery probe(m_db);
    if (!probe.exec(u"select count(*) from sqlite_master"_s)) {
        // SQLITE_CORRUPT and SQLITE_NOTADB: said in words, since SQLite's own are English.
        const QString code = probe.lastError().nativeErrorCode();
        const QString shown = QDir::toNativeSeparators(file);
        probeError = code == u"11" || code == u"26"
            ? fileError(u"数据库文件已损坏，或不是本程序的数据库，无法读取：%1。请用备份替换它。"_s.arg(shown))
            : engineError(probe.lastError(), shown);
    }
    probe = QSqlQuery();
    if (probeError) {
        close();
        return *probeError;
    }
    return success();
}

void Database::close()
{
    if (!m_db.isValid())
        return;
    m_db.close();
    m_db = QSqlDatabase();
    m_file.clear();
    QSqlDatabase::removeDatabase(m_name);
}

Result<QSqlQuery> Database::run(const QString &statement, const QVariantList &values)
{
    auto prepared = prepare(statement);
    if (!prepared)
        return prepared;
    QSqlQuery query = std::move(prepared).value();
    if (Status done = execute(query, values); !done)
        return Error{done.error()};
    return query;
}

sqlite3 *Database::nativeHandle() const
{
    if (!m_db.isOpen())
        return nullptr;
    const QVariant handle = m_db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

Result<QSqlQuery> Database::prepare(const QString &statement)
{
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.prepare(statement))
        return engineError(query.lastError(), statement);
    return query;
}

Status Database::execute(QSqlQuery &query, const QVariantList &values)
{
    for (qsizetype i = 0; i < values.size(); ++i)
        query.bindValue(int(i), values.at(i));
    if (!query.exec())
        return engineError(query.lastError(), query.lastQuery());
    return success();
}

Result<QList<QSqlRecord>> Database::selectAll(const QString &statement, const QVariantList &values)
{
    auto executed = run(statement, values);
    if (!executed)
        return Error{executed.error()};
    QSqlQuery query = std::move(executed).value();
    QList<QSqlRecord> rows;
    while (query.next())
        rows.append(query.record());
    if (query.lastError().isValid())
        return engineError(query.lastError(), statement);
    return rows;
}

Result<bool> Database::hasTable(const QString &name)
{
    auto rows = selectAll(u"select 1 from sqlite_master where type='table' and name=? collate nocase"_s, {name});
    if (!rows)
        return Error{rows.error()};
    return !rows.value().isEmpty();
}

Status Database::inTransaction(const std::function<Status()> &work)
{
    if (m_inTransaction)
        return work();
    if (!m_db.transaction())
        return engineError(m_db.lastError(), QDir::toNativeSeparators(m_file));
    m_inTransaction = true;
    Status done = success();
    try {
        done = work();
    } catch (...) {
        // Work that ends by an exception (a stop, a deadline) keeps nothing.
        m_inTransaction = false;
        m_db.rollback();
        throw;
    }
    m_inTransaction = false;
    if (!done) {
        m_db.rollback();
        return done;
    }
    if (!m_db.commit()) {
        const Error error = engineError(m_db.lastError(), QDir::toNativeSeparators(m_file));
        m_db.rollback();
        return error;
    }
    return success();
}

} // namespace pagrion
