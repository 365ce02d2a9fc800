#include "support/testpostgres.h"

#include <pwd.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace pagrion::test {

namespace {

const QString Binaries = u"/usr/lib/postgresql/15/bin"_s;

// Who owns the cluster: nobody under root, else this process's user.
const passwd *clusterOwner()
{
    return ::geteuid() == 0 ? ::getpwnam("nobody") : nullptr;
}

int freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

} // namespace

TestPostgres::TestPostgres() : m_bin(Binaries)
{
    if (!m_dir.isValid()) {
        m_error = m_dir.errorString();
        return;
    }
    if (!QFile::exists(m_bin + u"/initdb"_s)) {
        m_error = u"PostgreSQL 15 is not installed (scripts/install-deps installs it)"_s;
        return;
    }
    if (const passwd *owner = clusterOwner(); owner && ::chown(QFile::encodeName(m_dir.path()).constData(), owner->pw_uid, owner->pw_gid) != 0) {
        m_error = u"cannot hand the cluster folder to nobody"_s;
        return;
    }
    const QString passwordFile = m_dir.filePath(u"password"_s);
    QFile file(passwordFile);
    if (!file.open(QIODevice::WriteOnly) || file.write(password().toUtf8() + '\n') < 0) {
        m_error = u"cannot write the password file"_s;
        return;
    }
    file.close();
    if (const passwd *owner = clusterOwner())
        std::ignore = ::chown(QFile::encodeName(passwordFile).constData(), owner->pw_uid, owner->pw_gid);
    QString output;
    if (!run(u"initdb"_s, {u"-D"_s, m_dir.filePath(u"data"_s), u"-U"_s, user(), u"--auth=scram-sha-256"_s,
                           u"--pwfile="_s + passwordFile, u"--no-sync"_s, u"-E"_s, u"UTF8"_s, u"--locale=C"_s},
             &output)) {
        m_error = u"initdb failed: "_s + output;
        return;
    }
    m_port = freePort();
    if (!start())
        m_error = u"the server did not start: "_s + m_error;
}

TestPostgres::~TestPostgres()
{
    stop();
}

QString TestPostgres::uriWithoutPassword(const QString &database) const
{
    return u"postgresql://%1@127.0.0.1:%2/%3"_s.arg(user()).arg(m_port).arg(database);
}

QString TestPostgres::uri(const QString &database) const
{
    return u"postgresql://%1:%2@127.0.0.1:%3/%4"_s.arg(user(), QString::fromUtf8(QUrl::toPercentEncoding(password())))
        .arg(m_port)
        .arg(database);
}

bool TestPostgres::start()
{
    QString output;
    // fsync off: a test's cluster is thrown away anyway.
    m_running = run(u"pg_ctl"_s, {u"-D"_s, m_dir.filePath(u"data"_s), u"-l"_s, m_dir.filePath(u"log"_s), u"-w"_s,
                                  u"-o"_s,
                                  u"-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off -c max_connections=100"_s
                                      .arg(m_port)
                                      .arg(m_dir.path()),
                                  u"start"_s},
                    &output);
    if (!m_running)
        m_error = output;
    return m_running;
}

bool TestPostgres::stop()
{
    if (!m_running)
        return true;
    m_running = !run(u"pg_ctl"_s, {u"-D"_s, m_dir.filePath(u"data"_s), u"-m"_s, u"immediate"_s, u"-w"_s, u"stop"_s});
    return !m_running;
}

std::optional<QString> TestPostgres::psql(const QString &statement, const QString &database) const
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"PGPASSWORD"_s, password());
    process.setProcessEnvironment(environment);
    process.start(u"psql"_s, {u"-X"_s, u"-A"_s, u"-t"_s, u"-q"_s, u"-v"_s, u"ON_ERROR_STOP=1"_s, u"-d"_s,
                              uriWithoutPassword(database), u"-c"_s, statement});
    if (!process.waitForFinished(60'000) || process.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

bool TestPostgres::run(const QString &program, const QStringList &arguments, QString *output) const
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(m_dir.path());
    const QString path = m_bin + u'/' + program;
    if (clusterOwner())
        process.start(u"runuser"_s, QStringList{u"-u"_s, u"nobody"_s, u"--"_s, path} + arguments);
    else
        process.start(path, arguments);
    const bool ended = process.waitForFinished(120'000);
    if (output)
        *output = QString::fromLocal8Bit(process.readAll());
    return ended && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace pagrion::test
