#include "bench/nginxserver.h"

#include <memory>
#include <vector>

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

// The ports are free when asked, and differ; nginx takes them a moment later.
// Empty when there are not so many.
QList<quint16> freePorts(int count)
{
    std::vector<std::unique_ptr<QTcpServer>> probes;
    QList<quint16> ports;
    for (int i = 0; i < count; ++i) {
        probes.push_back(std::make_unique<QTcpServer>());
        if (!probes.back()->listen(QHostAddress::LocalHost))
            return {};
        ports << probes.back()->serverPort();
    }
    return ports;
}

QByteArray serverBlock(const QByteArray &root, quint16 port, const QByteArray &listenOptions)
{
    return "  server {\n"
           "    listen 127.0.0.1:" + QByteArray::number(port) + listenOptions + ";\n"
           "    root " + root + "/www;\n"
           "  }\n";
}

// Plain HTTP on port; with a certificate, HTTPS with HTTP/2 on port and
// HTTPS with HTTP/1.1 alone on http1Port.
QByteArray configuration(const QString &folder, quint16 port, quint16 http1Port,
                         const std::optional<ServerCertificate> &certificate)
{
    const QByteArray root = QFile::encodeName(folder);
    QByteArray site;
    if (certificate) {
        // TLS 1.3 as sites speak it today (this nginx offers only up to 1.2
        // unless told). A session resumes from the ticket the client kept or,
        // for a client that offers none, from the server's cache.
        site = "  log_format bench '$msec $connection $ssl_session_reused $server_protocol $ssl_protocol $status';\n"
               "  ssl_protocols TLSv1.2 TLSv1.3;\n"
               "  access_log " + root + "/access.log bench;\n"
               "  ssl_certificate " + QFile::encodeName(certificate->certificate) + ";\n"
               "  ssl_certificate_key " + QFile::encodeName(certificate->key) + ";\n"
               "  ssl_session_cache shared:bench:1m;\n"
               "  ssl_session_timeout 1h;\n"
               + serverBlock(root, port, " ssl http2") + serverBlock(root, http1Port, " ssl");
    } else {
        site = "  access_log off;\n" + serverBlock(root, port, "");
    }
    // Every path nginx would write to lies in the folder, so it runs without root.
    return "daemon off;\nmaster_process off;\nworker_processes 1;\npid " + root + "/nginx.pid;\n"
           "error_log " + root + "/error.log error;\n"
           "events { worker_connections 256; }\n"
           "http {\n"
           "  types { text/html html; }\n"
           "  client_body_temp_path " + root + "/body;\n"
           "  proxy_temp_path " + root + "/proxy;\n"
           "  fastcgi_temp_path " + root + "/fastcgi;\n"
           "  uwsgi_temp_path " + root + "/uwsgi;\n"
           "  scgi_temp_path " + root + "/scgi;\n"
           + site +
           "}\n";
}

} // namespace

NginxServer::NginxServer(const Page &page, int count)
    : NginxServer(page, count, std::nullopt)
{
}

NginxServer::NginxServer(const Page &page, int count, const ServerCertificate &certificate)
    : NginxServer(page, count, std::optional(certificate))
{
}

NginxServer::NginxServer(const Page &page, int count, std::optional<ServerCertificate> certificate)
    : m_certificate(std::move(certificate))
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

QByteArray NginxServer::takeAccessLog()
{
    // nginx appends to the file, so after it is emptied the next line starts it again.
    QFile log(accessLogPath());
    if (!log.open(QIODevice::ReadWrite))
        return {};
    const QByteArray lines = log.readAll();
    log.resize(0);
    return lines;
}

QString NginxServer::accessLogPath() const
{
    return m_folder.filePath(u"access.log"_s);
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
    const QList<quint16> ports = freePorts(m_certificate ? 2 : 1);
    m_port = ports.value(0);
    m_http1Port = m_certificate ? ports.value(1) : 0;
    QFile config(m_folder.filePath(u"nginx.conf"_s));
    if (ports.isEmpty() || !config.open(QIODevice::WriteOnly)
        || config.write(configuration(m_folder.path(), m_port, m_http1Port, m_certificate)) < 0) {
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
