#pragma once

#include <functional>

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace pagrion::bench {

// nginx of this machine on a free loopback port, with a configuration of its
// own in a temporary folder, serving pages written there as files. Stopped
// when the object goes away.
class NginxServer final
{
public:
    using Page = std::function<QByteArray(int n)>;

    // Writes pages 1 to count as /page/<n>.html and starts nginx.
    NginxServer(const Page &page, int count);
    ~NginxServer();
    Q_DISABLE_COPY_MOVE(NginxServer)

    // Empty when nginx serves; otherwise why it does not.
    const QString &problem() const { return m_problem; }
    QString url(const QString &path) const;

private:
    bool writePages(const Page &page, int count);
    bool start(const QString &nginx);

    QTemporaryDir m_folder;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_problem;
};

} // namespace pagrion::bench
