#pragma once

#include <functional>
#include <optional>

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace pagrion::bench {

// The certificate an HTTPS site presents and its key, as PEM files.
struct ServerCertificate
{
    QString certificate;
    QString key;
};

// nginx of this machine on a free loopback port, with a configuration of its
// own in a temporary folder, serving pages written there as files. Stopped
// when the object goes away.
class NginxServer final
{
public:
    using Page = std::function<QByteArray(int n)>;

    // Writes pages 1 to count as /page/<n>.html and starts nginx serving
    // them over plain HTTP.
    NginxServer(const Page &page, int count);
    // The same over HTTPS on two ports: port() offers HTTP/2, http1Port()
    // HTTP/1.1 only. Every request goes to an access log (takeAccessLog).
    NginxServer(const Page &page, int count, const ServerCertificate &certificate);
    ~NginxServer();
    Q_DISABLE_COPY_MOVE(NginxServer)

    // Empty when nginx serves; otherwise why it does not.
    const QString &problem() const { return m_problem; }
    // The address of a path on the plain HTTP server.
    QString url(const QString &path) const;
    quint16 port() const { return m_port; }
    quint16 http1Port() const { return m_http1Port; }

    // The requests logged since the last call, a line each: "<seconds since
    // 1970 when answered> <connection> <r: TLS session resumed, .: not>
    // <HTTP version> <TLS version> <status>".
    // nginx numbers its connections from its start, so a number seen in two
    // calls is one connection.
    QByteArray takeAccessLog();

private:
    NginxServer(const Page &page, int count, std::optional<ServerCertificate> certificate);
    bool writePages(const Page &page, int count);
    bool start(const QString &nginx);
    QString accessLogPath() const;

    std::optional<ServerCertificate> m_certificate;
    QTemporaryDir m_folder;
    QProcess m_process;
    quint16 m_port = 0;
    quint16 m_http1Port = 0;
    QString m_problem;
};

} // namespace pagrion::bench
