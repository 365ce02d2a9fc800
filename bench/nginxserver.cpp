#include "bench/nginxserver.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

using namespace Qt::StringLiterals;

namespace pagrion::bench {

namespace {

constexpr int StartWithinMs = 10'000;

// The port is free when asked; nginx takes it a moment later.
quint16 freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost) ? probe.serverPort() : 0;
}

QByteArray configuration(const QString &folder, quint16 port)
{
    const QByteArray root = QFile::encodeName(folder);
    // Every path nginx would write to lies in the folder, so it runs without root.
    return "daemon off;\nmaster_process off;\nworker_processes 1;\npid " + root + "/nginx.pid;\n"
           "error_log " + root + "/error.log error;\n"
           "events { worker_connections 256; }\n"
           "http {\n"
           "  access_log off;\n"
           "  types { text/html html; }\n"
           "  client_body_temp_path " + root + "/body;\n"
           "  proxy_temp_path " + root + "/proxy;\n"
           "  fastcgi_temp_path " + root + "/fastcgi;\n"
           "  uwsgi_temp_path " + root + "/uwsgi;\n"
           "  scgi_temp_path " + root + "/scgi;\n"
           "  server {\n"
           "    listen 127.0.0.1:" + QByteArray::number(port) + ";\n"
           "    root " + root + "/www;\n"
           "  }\n"
           "}\n";
}

} // namespace

NginxServer::NginxServer(const Page &page, int count)
{
    QString nginx = QStandardPaths::findExecutable(u"nginx"_s);
    if (nginx.isEmpty())
        nginx = QStandardPaths::findExecutable(u"nginx"_s, {u"/usr/sbin"_s, u"/usr/local/sbin"_s});
    if (nginx.isEmpty())
        m_problem = u"nginx is not installed (Debian: nginx-light)"_s;
    else if (!m_folder.isValid() || !writePages(page, count))
        m_problem = u"cannot write the pages to serve"_s;
    else
        start(nginx);
}

NginxServer::~NginxServer()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

QString NginxServer::url(const QString &path) const
{
    return u"http://127.0.0.1:%1%2"_s.arg(m_port).arg(path);
}

bool NginxServer::writePages(const Page &page, int count)
{
    const QString pages = m_folder.filePath(u"www/page"_s);
    if (!QDir().mkpath(pages))
        return false;
    for (int n = 1; n <= count; ++n) {
        QFile file(pages + u"/%1.html"_s.arg(n));
        if (!file.open(QIODevice::WriteOnly) || file.write(page(n)) < 0)
            return false;
    }
    return true;
}

bool NginxServer::start(const QString &nginx)
{
    m_port = freePort();
    QFile config(m_folder.filePath(u"nginx.conf"_s));
    if (m_port == 0 || !config.open(QIODevice::WriteOnly) || config.write(configuration(m_folder.path(), m_port)) < 0) {
        m_problem = u"cannot configure nginx"_s;
        return false;
    }
    config.close();
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.start(nginx, {u"-p"_s, m_folder.path(), u"-c"_s, config.fileName(), u"-e"_s,
                            m_folder.filePath(u"error.log"_s)});
    // Ready once it accepts a connection.
    const QDeadlineTimer deadline(StartWithinMs);
    while (!deadline.hasExpired() && m_process.state() != QProcess::NotRunning) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, m_port);
        if (probe.waitForConnected(200))
            return true;
        QThread::msleep(50);
    }
    m_problem = u"nginx did not start (see its messages above)"_s;
    return false;
}

} // namespace pagrion::bench
