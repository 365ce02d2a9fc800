#pragma once

#include <memory>

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTcpServer>

class QTcpSocket;

namespace pagrion::test {

// A forwarding proxy on 127.0.0.1 and a free port that speaks what clients
// send a proxy: plain requests ("GET http://host/page"), CONNECT tunnels and
// SOCKS5. It records every request it is asked to pass on. It resolves the
// names it was given itself (to 127.0.0.1), so a test can ask for a host that
// only the proxy can resolve; other names it resolves only when they are
// addresses or localhost. It can refuse every request, or pass on only those
// that log in.
class TestProxy final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TestProxy)

public:
    struct Passage
    {
        QByteArray method; // "GET", "CONNECT" …, or "SOCKS5"
        QString target;    // the address asked for, or host:port for a tunnel
        QHash<QByteArray, QByteArray> headers; // of an HTTP request, names in lower case
        int answer = 0; // 200 passed on, 403 refused, 407 not logged in, 502 unreachable
    };

    explicit TestProxy(QObject *parent = nullptr);
    ~TestProxy() override;

    bool isListening() const { return m_server.isListening(); }
    quint16 port() const { return m_server.serverPort(); }
    // "http://127.0.0.1:port", or with another scheme ("socks5h").
    QString url(const QString &scheme = QStringLiteral("http")) const;

    void addHost(const QString &name) { m_hosts.insert(name.toLower()); }
    void setRefusing(bool refusing) { m_refusing = refusing; }
    // Only requests with these credentials pass: HTTP Basic in
    // Proxy-Authorization, or SOCKS5's user name and password.
    void setCredentials(const QByteArray &user, const QByteArray &password);

    const QList<Passage> &passages() const { return m_passages; }
    // The passages that were passed on, their targets in order.
    QStringList passedTargets() const;

private:
    struct Client;
    void onNewConnection();
    void read(const std::shared_ptr<Client> &client);
    bool readHttp(const std::shared_ptr<Client> &client);
    bool readSocks(const std::shared_ptr<Client> &client);
    // Opens the way to host:port, then sends `greeting` to the client and
    // `forward` to the server and relays between them; on failure `failure`
    // goes to the client instead.
    void open(const std::shared_ptr<Client> &client, qsizetype passage, const QString &host, quint16 port,
              const QByteArray &greeting, const QByteArray &forward, const QByteArray &failure);
    qsizetype record(Passage passage);

    QTcpServer m_server;
    QSet<QString> m_hosts;
    bool m_refusing = false;
    QByteArray m_login; // "user:password", when one is required
    QList<Passage> m_passages;
};

} // namespace pagrion::test
