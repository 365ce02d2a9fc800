#pragma once

#include <optional>

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace pagrion::test {

// A throwaway PostgreSQL cluster for one test: made with initdb in a
// temporary folder and served on a free loopback port (and a socket in that
// folder) until the object goes. Run as root, the server runs as the user
// nobody, since PostgreSQL refuses to run as root. Logins need the password
// password(); uri() carries it.
class TestPostgres final
{
public:
    TestPostgres();
    ~TestPostgres();
    TestPostgres(const TestPostgres &) = delete;
    TestPostgres &operator=(const TestPostgres &) = delete;

    // False when the cluster could not be made or started; error() says why.
    bool isValid() const { return m_error.isEmpty(); }
    const QString &error() const { return m_error; }

    static QString user() { return QStringLiteral("pagrion"); }
    static QString password() { return QStringLiteral("geheim-密码"); }
    int port() const { return m_port; }
    // postgresql://pagrion:…@127.0.0.1:port/database
    QString uri(const QString &database = QStringLiteral("postgres")) const;
    // The same without the password, which then comes from elsewhere.
    QString uriWithoutPassword(const QString &database = QStringLiteral("postgres")) const;

    // Stops the server at once, as a crash would; start() brings it back
    // on the same port with the same data.
    bool stop();
    bool start();
    // Runs one statement through psql in the database; its output, or
    // nullopt when it failed.
    std::optional<QString> psql(const QString &statement, const QString &database = QStringLiteral("postgres")) const;

private:
    // Runs a PostgreSQL program, as nobody when this process is root.
    bool run(const QString &program, const QStringList &arguments, QString *output = nullptr) const;

    QTemporaryDir m_dir;
    QString m_bin;
    int m_port = 0;
    bool m_running = false;
    QString m_error;
};

} // namespace pagrion::test
