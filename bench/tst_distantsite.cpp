#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QSslCertificate>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include "bench/delayrelay.h"
#include "bench/testauthority.h"
#include "engine/certificatetrust.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::bench;

namespace {

constexpr int DeadlineMs = 20'000;

// Accepts connections and, when asked, sends back all it reads.
class Target final : public QObject
{
public:
    explicit Target(bool echo)
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this, echo] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                sockets << socket;
                connect(socket, &QTcpSocket::readyRead, this, [this, socket, echo] {
                    const QByteArray bytes = socket->readAll();
                    received += bytes;
                    if (echo)
                        socket->write(bytes);
                });
            }
        });
    }
    quint16 port() const { return m_server.serverPort(); }

    QList<QPointer<QTcpSocket>> sockets;
    QByteArray received;

private:
    QTcpServer m_server;
};

// A connection to the relay, with all that has reached it so far.
struct Client
{
    explicit Client(quint16 port)
    {
        QObject::connect(&socket, &QTcpSocket::readyRead, &socket, [this] { received += socket.readAll(); });
        socket.connectToHost(QHostAddress::LocalHost, port);
    }

    QTcpSocket socket;
    QByteArray received;
};

} // namespace

class TestDistantSite : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The first bytes pay TCP's handshake and their own way there and back;
    // later ones only the way there and back.
    void firstBytesWaitAHandshakeMoreThanLaterOnes()
    {
        constexpr int OneWayMs = 150;
        Target echo(true);
        DelayRelay relay(echo.port(), OneWayMs);
        QElapsedTimer clock;
        clock.start();
        Client client(relay.port());
        client.socket.write("a");
        QTRY_COMPARE_WITH_TIMEOUT(client.received, "a"_ba, DeadlineMs);
        // A timer may fire up to a millisecond early each way.
        QCOMPARE_GE(clock.elapsed(), 4 * OneWayMs - 2);

        clock.restart();
        client.socket.write("b");
        QTRY_COMPARE_WITH_TIMEOUT(client.received, "ab"_ba, DeadlineMs);
        QCOMPARE_GE(clock.elapsed(), 2 * OneWayMs - 2);
        QCOMPARE_LT(clock.elapsed(), 4 * OneWayMs);
    }

    // Many writes of many sizes, both ways at once, arrive whole and in order.
    void bytesArriveWholeAndInOrder()
    {
        Target echo(true);
        DelayRelay relay(echo.port(), 5);
        Client client(relay.port());
        QByteArray sent;
        for (int i = 0; sent.size() < 2'000'000; ++i) {
            const QByteArray piece(1 + i * 7919 % 9000, char('a' + i % 26));
            sent += piece;
            client.socket.write(piece);
            if (i % 50 == 0)
                QTest::qWait(1); // later writes reach the relay as pieces of their own
        }
        QTRY_COMPARE_WITH_TIMEOUT(client.received.size(), sent.size(), DeadlineMs);
        QVERIFY(client.received == sent);
        QVERIFY(echo.received == sent);
    }

    void eitherEndClosingClosesTheOtherAfterItsBytes_data()
    {
        QTest::addColumn<bool>("clientCloses");
        QTest::newRow("the client closes") << true;
        QTest::newRow("the server closes") << false;
    }
    void eitherEndClosingClosesTheOtherAfterItsBytes()
    {
        QFETCH(bool, clientCloses);
        Target server(false);
        DelayRelay relay(server.port(), 50);
        Client client(relay.port());
        QTRY_COMPARE_WITH_TIMEOUT(server.sockets.size(), 1, DeadlineMs);
        QTcpSocket *serverEnd = server.sockets.first();
        if (clientCloses) {
            client.socket.write("last words");
            client.socket.disconnectFromHost();
            QTRY_COMPARE_WITH_TIMEOUT(serverEnd->state(), QAbstractSocket::UnconnectedState, DeadlineMs);
            QCOMPARE(server.received, "last words"_ba);
        } else {
            serverEnd->write("last words");
            serverEnd->disconnectFromHost();
            QTRY_COMPARE_WITH_TIMEOUT(client.socket.state(), QAbstractSocket::UnconnectedState, DeadlineMs);
            QCOMPARE(client.received, "last words"_ba);
        }
        // Nothing of the connection is left behind in the relay.
        QTRY_VERIFY_WITH_TIMEOUT(relay.children().isEmpty(), DeadlineMs);
    }

    void aTargetThatRefusesClosesTheClient()
    {
        quint16 closedPort = 0;
        {
            QTcpServer closed;
            closed.listen(QHostAddress::LocalHost);
            closedPort = closed.serverPort();
        }
        DelayRelay relay(closedPort, 20);
        Client client(relay.port());
        client.socket.write("anyone there?");
        QTRY_COMPARE_WITH_TIMEOUT(client.socket.state(), QAbstractSocket::UnconnectedState, DeadlineMs);
        QTRY_VERIFY_WITH_TIMEOUT(relay.children().isEmpty(), DeadlineMs);
    }

    // What the bench's site presents is what the programs are told to trust.
    void theServerCertificateIsTrustedFromTheAuthorityFile()
    {
        const TestAuthority authority;
        QVERIFY2(authority.problem().isEmpty(), qPrintable(authority.problem()));
        // As the bench names it; CURL_CA_BUNDLE would win over SSL_CERT_FILE.
        for (const char *name : {"CURL_CA_BUNDLE", "SSL_CERT_FILE"})
            qputenv(name, QFile::encodeName(authority.authorityFile()));
        const QList<QSslCertificate> chain = QSslCertificate::fromPath(authority.server().certificate);
        const auto refused = checkServerCertificates(chain, u"127.0.0.1"_s);
        for (const char *name : {"CURL_CA_BUNDLE", "SSL_CERT_FILE"})
            qunsetenv(name);
        QVERIFY2(!refused, refused ? qPrintable(refused->reason) : "");
    }
};

QTEST_GUILESS_MAIN(TestDistantSite)
#include "tst_distantsite.moc"
