#include <QDateTime>
#include <QFile>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include "engine/transfer/downloadmanager.h"
#include "support/compressed.h"
#include "support/testhttpserver.h"
#include "support/tlsfixtures.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;
using Kind = LoadFailure::Kind;

namespace {

constexpr int DeadlineMs = 15'000;

// The server sees a request a moment after it leaves, and not always the
// same moment: a pause measured there may fall short by a little.
qint64 seenPause(qint64 pauseMs)
{
    return pauseMs * 9 / 10;
}

bool waitFor(PageDownload &download)
{
    if (download.isFinished())
        return true;
    QSignalSpy finished(&download, &PageDownload::finished);
    return finished.wait(DeadlineMs);
}

LoadResult fetch(DownloadManager &manager, const QString &address, const PageLimits &limits = {})
{
    const std::unique_ptr<PageDownload> download = manager.download({QUrl(address), limits});
    if (!waitFor(*download))
        return {};
    return download->result();
}

TestHttpServer::Route answer(int status, const QByteArray &body = "<p>ok</p>")
{
    return TestHttpServer::page(body, status);
}

// A path of its own for each row of a data-driven test.
QString pathOfTag()
{
    return QString::fromLatin1(QUrl::toPercentEncoding(QString::fromLatin1(QTest::currentDataTag())));
}

} // namespace

class TestDownloadManager : public QObject
{
    Q_OBJECT

public:
    TestDownloadManager()
    {
        // A "secure" server that answers the handshake with plain text.
        m_plainTextServer.listen(QHostAddress::LocalHost);
        connect(&m_plainTextServer, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_plainTextServer.nextPendingConnection()) {
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                socket->write("HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n");
                socket->disconnectFromHost();
            }
        });
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_server.isListening()); }

    void compressedBodiesAreUnpacked_data()
    {
        QTest::addColumn<QByteArray>("encoding");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<bool>("chunked");

        const QByteArray page = QByteArray("<table><tr><td>压缩</td></tr></table>").repeated(500);
        QTest::newRow("gzip") << QByteArray("gzip") << compressed(page, Compression::Gzip) << false;
        QTest::newRow("gzip, chunked") << QByteArray("gzip") << compressed(page, Compression::Gzip) << true;
        QTest::newRow("deflate with zlib header") << QByteArray("deflate") << compressed(page, Compression::Zlib) << false;
        QTest::newRow("bare deflate") << QByteArray("deflate") << compressed(page, Compression::RawDeflate) << true;
        QTest::newRow("identity") << QByteArray("identity") << page << false;
    }
    void compressedBodiesAreUnpacked()
    {
        QFETCH(QByteArray, encoding);
        QFETCH(QByteArray, sent);
        QFETCH(bool, chunked);
        TestHttpServer::Route route = answer(200, sent);
        route.headers.append({QByteArray("Content-Encoding"), encoding});
        route.chunked = chunked;
        m_server.setRoute(u"/packed"_s, route);

        DownloadManager manager;
        const LoadResult result = fetch(manager, m_server.url(u"/packed"_s));
        QVERIFY2(result.loaded(), qPrintable(result.failure ? result.failure->reason : QString()));
        QCOMPARE(result.body, QByteArray("<table><tr><td>压缩</td></tr></table>").repeated(500));
        const QByteArray accepted = m_server.requestsFor(u"/packed"_s).constLast().headers.value("accept-encoding");
        for (const char *coding : {"gzip", "deflate", "br", "zstd"})
            QVERIFY2(accepted.contains(coding), accepted.constData());
    }

    // Every way a load goes wrong ends in a failure that names it, never in
    // an empty or partial page reported as loaded.
    void failuresNameTheirCause_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<qint64>("maxBodyBytes");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("reason");

        const QByteArray page = QByteArray("<p>text</p>").repeated(1000);
        const auto route = [&](const QString &path, TestHttpServer::Route r) {
            m_server.setRoute(path, r);
            return m_server.url(path);
        };
        auto notFound = answer(404, "<p>gone</p>");
        QTest::newRow("404") << route(u"/f/404"_s, notFound) << qint64(0) << int(Kind::HttpStatus) << u"HTTP 404"_s;

        auto cut = answer(200, page);
        cut.cutAfter = 500;
        QTest::newRow("Content-Length not met")
            << route(u"/f/cut"_s, cut) << qint64(0) << int(Kind::BodyCutShort) << u"不完整"_s;
        cut.chunked = true;
        QTest::newRow("chunked stream broken")
            << route(u"/f/cutchunks"_s, cut) << qint64(0) << int(Kind::BodyCutShort) << u"不完整"_s;

        auto stopped = answer(200, page);
        stopped.chunked = true;
        stopped.repeat = 2;
        stopped.cutAfter = page.size();
        QTest::newRow("chunked stream stops between chunks")
            << route(u"/f/stopchunks"_s, stopped) << qint64(0) << int(Kind::BodyCutShort) << u"不完整"_s;

        auto silent = answer(200);
        silent.noAnswer = true;
        QTest::newRow("closed without an answer")
            << route(u"/f/silent"_s, silent) << qint64(0) << int(Kind::ConnectionReset) << u"连接被重置"_s;

        auto garbage = answer(200, page);
        garbage.headers.append({QByteArray("Content-Encoding"), QByteArray("gzip")});
        QTest::newRow("not gzip at all")
            << route(u"/f/notgzip"_s, garbage) << qint64(0) << int(Kind::Decompression) << u"解压"_s;
        auto unknown = answer(200, page);
        unknown.headers.append({QByteArray("Content-Encoding"), QByteArray("compress")});
        QTest::newRow("coding never asked for")
            << route(u"/f/compress"_s, unknown) << qint64(0) << int(Kind::Decompression) << u"compress"_s;

        QTest::newRow("announced length over the limit")
            << route(u"/f/big"_s, answer(200, page)) << qint64(1000) << int(Kind::BodyTooLarge) << u"1000 字节"_s;
        auto chunkedBig = answer(200, page);
        chunkedBig.chunked = true;
        QTest::newRow("chunked body over the limit")
            << route(u"/f/bigchunks"_s, chunkedBig) << qint64(1000) << int(Kind::BodyTooLarge) << u"大小上限"_s;
        auto packed = answer(200, compressed(page, Compression::Gzip));
        packed.headers.append({QByteArray("Content-Encoding"), QByteArray("gzip")});
        QTest::newRow("unpacked body over the limit")
            << route(u"/f/bigpacked"_s, packed) << qint64(5000) << int(Kind::BodyTooLarge) << u"大小上限"_s;

        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        QTest::newRow("refused connection")
            << u"http://127.0.0.1:%1/"_s.arg(port) << qint64(0) << int(Kind::ConnectionRefused) << u"连接被拒绝"_s;
        QTest::newRow("no TLS on the other side")
            << u"https://127.0.0.1:%1/"_s.arg(m_plainTextServer.serverPort()) << qint64(0) << int(Kind::Tls)
            << u"TLS"_s;
        QTest::newRow("scheme never loaded") << u"gopher://127.0.0.1/"_s << qint64(0) << int(Kind::RefusedScheme)
                                             << u"gopher:"_s;
    }
    void failuresNameTheirCause()
    {
        QFETCH(QString, address);
        QFETCH(qint64, maxBodyBytes);
        QFETCH(int, kind);
        QFETCH(QString, reason);
        PageLimits limits;
        if (maxBodyBytes > 0)
            limits.maxBodyBytes = maxBodyBytes;
        DownloadManager manager;
        const LoadResult result = fetch(manager, address, limits);
        QVERIFY(result.failure);
        QVERIFY2(result.failure->reason.contains(reason), qPrintable(result.failure->reason));
        QCOMPARE(int(result.failure->kind), kind);
        // Only an HTTP error keeps what the server sent.
        QCOMPARE(result.body.isEmpty(), kind != int(Kind::HttpStatus));
    }

    void keptConnectionsCarryTheNextRequest()
    {
        TestHttpServer server;
        server.setKeepAlive(true);
        server.setPage(u"/kept"_s, "<p>kept</p>");
        DownloadManager manager;
        for (int i = 0; i < 3; ++i)
            QCOMPARE(fetch(manager, server.url(u"/kept?n=%1"_s.arg(i))).body, QByteArray("<p>kept</p>"));
        const auto requests = server.requestsFor(u"/kept"_s);
        QCOMPARE(requests.size(), 3);
        QCOMPARE(requests.constLast().connection, requests.constFirst().connection);

        // The server closes a kept connection as the next request comes:
        // that request goes again over a new connection.
        server.setKeepAlive(true, 1);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(fetch(manager, server.url(u"/kept?again=%1"_s.arg(i))).body, QByteArray("<p>kept</p>"));
    }

    void timeLimitEndsADrip()
    {
        auto drip = answer(200, "<p>slowly</p>");
        drip.dripMs = 200;
        m_server.setRoute(u"/drip"_s, drip);
        PageLimits limits;
        limits.timeLimitMs = 500;
        DownloadManager manager;
        const LoadResult result = fetch(manager, m_server.url(u"/drip"_s), limits);
        QVERIFY(result.failure);
        QCOMPARE(result.failure->kind, Kind::Timeout);
        QCOMPARE(result.failure->reason, u"超时"_s);
    }

    void requestsOfAHostShareItsQueue()
    {
        auto slow = answer(200);
        slow.delayMs = 300;
        m_server.setRoute(u"/q"_s, slow);
        DownloadManager manager;
        manager.setPolicy({.concurrency = 2});
        std::vector<std::unique_ptr<PageDownload>> downloads;
        for (int i = 0; i < 6; ++i)
            downloads.push_back(manager.download({QUrl(m_server.url(u"/q?n=%1"_s.arg(i))), {}}));
        for (const auto &download : downloads) {
            QVERIFY(waitFor(*download));
            QVERIFY(download->result().loaded());
        }
        QCOMPARE(TestHttpServer::mostAtOnce(m_server.requestsFor(u"/q"_s)), 2);
    }

    void pauseBetweenRequestsToAHost()
    {
        m_server.setPage(u"/paced"_s, "<p>ok</p>");
        DownloadManager manager;
        manager.setPolicy({.concurrency = 4, .delayMs = 250});
        std::vector<std::unique_ptr<PageDownload>> downloads;
        for (int i = 0; i < 4; ++i)
            downloads.push_back(manager.download({QUrl(m_server.url(u"/paced?n=%1"_s.arg(i))), {}}));
        for (const auto &download : downloads)
            QVERIFY(waitFor(*download));
        const auto requests = m_server.requestsFor(u"/paced"_s);
        QCOMPARE(requests.size(), 4);
        for (qsizetype i = 1; i < requests.size(); ++i)
            QVERIFY2(requests[i].receivedMs - requests[i - 1].receivedMs >= seenPause(250),
                     qPrintable(QString::number(requests[i].receivedMs - requests[i - 1].receivedMs)));
    }

    // The pause holds between every two requests to a host: the first ones,
    // a redirect's, a retry's, and one sent before the run asked for a pause.
    void pauseHoldsForEveryRequestToAHost()
    {
        constexpr int PauseMs = 300;
        TestHttpServer server;
        server.setPage(u"/before"_s, "<p>before</p>");
        server.setRedirect(u"/moved"_s, u"/target"_s);
        server.setPage(u"/target"_s, "<p>target</p>");
        server.setRoutes(u"/busy"_s, {answer(503), answer(200)});
        server.setPage(u"/plain"_s, "<p>plain</p>");
        DownloadManager manager;
        QVERIFY(fetch(manager, server.url(u"/before"_s)).loaded());
        manager.setPolicy({.concurrency = 4, .delayMs = PauseMs, .retries = 1, .firstBackoffMs = 10});
        std::vector<std::unique_ptr<PageDownload>> downloads;
        for (const QString &path : {u"/moved"_s, u"/busy"_s, u"/plain?1"_s, u"/plain?2"_s})
            downloads.push_back(manager.download({QUrl(server.url(path)), {}}));
        for (const auto &download : downloads) {
            QVERIFY(waitFor(*download));
            QVERIFY(download->result().loaded());
        }
        const auto requests = server.requests();
        QCOMPARE(requests.size(), 7);
        for (qsizetype i = 1; i < requests.size(); ++i) {
            const qint64 gap = requests[i].receivedMs - requests[i - 1].receivedMs;
            QVERIFY2(gap >= PauseMs, qPrintable(requests[i].target + u" after "_s + QString::number(gap)));
        }
    }

    // Cookies a site sets, on a redirect too, go back to it for the rest of
    // the manager's run, and to no other run.
    void cookiesGoBackToTheirSite()
    {
        TestHttpServer server;
        TestHttpServer::Route login;
        login.redirectTo = u"/c/page"_s;
        login.headers.append({QByteArray("Set-Cookie"), QByteArray("session=abc; Path=/")});
        server.setRoute(u"/c/login"_s, login);
        server.setPage(u"/c/page"_s, "<p>page</p>");
        DownloadManager manager;
        QVERIFY(fetch(manager, server.url(u"/c/login"_s)).loaded());
        QVERIFY(fetch(manager, server.url(u"/c/page"_s)).loaded());
        DownloadManager other;
        QVERIFY(fetch(other, server.url(u"/c/page"_s)).loaded());
        const auto pages = server.requestsFor(u"/c/page"_s);
        QCOMPARE(pages.size(), 3);
        QCOMPARE(pages[0].headers.value("cookie"), QByteArray("session=abc"));
        QCOMPARE(pages[1].headers.value("cookie"), QByteArray("session=abc"));
        QVERIFY(!pages[2].headers.contains("cookie"));
    }

    // The system's certificates are trusted, and the file a user names in
    // SSL_CERT_FILE or CURL_CA_BUNDLE, as curl and OpenSSL read them; a
    // refused certificate says why.
    void certificatesFromTheSystemOrTheUsersFile_data()
    {
        QTest::addColumn<QByteArray>("variable"); // names the test authority's file, when set
        QTest::addColumn<QString>("certificate");
        QTest::addColumn<QString>("failure");
        QTest::newRow("test authority unknown") << QByteArray() << u"server"_s << u"证书不受信任：签发者不在本机信任的证书中"_s;
        QTest::newRow("SSL_CERT_FILE") << QByteArray("SSL_CERT_FILE") << u"server"_s << QString();
        QTest::newRow("CURL_CA_BUNDLE") << QByteArray("CURL_CA_BUNDLE") << u"server"_s << QString();
        QTest::newRow("another host's certificate") << QByteArray("SSL_CERT_FILE") << u"otherhost"_s
                                                    << u"证书不属于 127.0.0.1"_s;
        QTest::newRow("expired") << QByteArray("SSL_CERT_FILE") << u"expired"_s << u"证书已过期"_s;
    }
    void certificatesFromTheSystemOrTheUsersFile()
    {
        QFETCH(QByteArray, variable);
        QFETCH(QString, certificate);
        QFETCH(QString, failure);
        TestHttpServer server(tlsFixture(certificate));
        server.setPage(u"/secure"_s, "<p>secure</p>");

        for (const char *name : {"SSL_CERT_FILE", "CURL_CA_BUNDLE", "SSL_CERT_DIR"})
            qunsetenv(name);
        if (!variable.isEmpty())
            qputenv(variable.constData(), QFile::encodeName(testAuthorityFile()));
        const auto unset = qScopeGuard([&] { qunsetenv(variable.constData()); });
        DownloadManager manager;
        const LoadResult result = fetch(manager, server.url(u"/secure"_s));
        if (failure.isEmpty()) {
            QVERIFY2(result.loaded(), qPrintable(result.failure ? result.failure->reason : QString()));
            QCOMPARE(result.body, QByteArray("<p>secure</p>"));
        } else {
            QVERIFY(result.failure);
            QCOMPARE(result.failure->kind, Kind::Tls);
            QVERIFY2(result.failure->reason.contains(failure), qPrintable(result.failure->reason));
        }
    }

    // A dropped download never reaches the server if it was still waiting,
    // and gives its place to the next one if it was under way.
    void droppedDownloadsGiveUpTheirPlace()
    {
        auto slow = answer(200);
        slow.delayMs = 5'000;
        m_server.setRoute(u"/drop/slow"_s, slow);
        m_server.setPage(u"/drop/next"_s, "<p>next</p>");
        DownloadManager manager;
        auto running = manager.download({QUrl(m_server.url(u"/drop/slow"_s)), {}});
        auto waiting = manager.download({QUrl(m_server.url(u"/drop/never"_s)), {}});
        auto next = manager.download({QUrl(m_server.url(u"/drop/next"_s)), {}});
        QTRY_COMPARE_WITH_TIMEOUT(m_server.requestCount(u"/drop/slow"_s), 1, DeadlineMs);
        waiting.reset();
        running.reset();
        QVERIFY(waitFor(*next));
        QCOMPARE(next->result().body, QByteArray("<p>next</p>"));
        QCOMPARE(m_server.requestCount(u"/drop/never"_s), 0);
    }

    void retriesBackOffAndThenGiveUp_data()
    {
        QTest::addColumn<QList<int>>("statuses");
        QTest::addColumn<int>("retries");
        QTest::addColumn<int>("attempts");
        QTest::addColumn<QString>("outcome");

        QTest::newRow("503 then 200") << QList<int>{503, 200} << 3 << 2 << QString();
        QTest::newRow("500, 502, 504 then 200") << QList<int>{500, 502, 504, 200} << 3 << 4 << QString();
        QTest::newRow("503 for ever") << QList<int>{503} << 2 << 3 << u"HTTP 503"_s;
        QTest::newRow("404 is not tried again") << QList<int>{404, 200} << 3 << 1 << u"HTTP 404"_s;
        QTest::newRow("no retries asked for") << QList<int>{503, 200} << 0 << 1 << u"HTTP 503"_s;
    }
    void retriesBackOffAndThenGiveUp()
    {
        QFETCH(QList<int>, statuses);
        QFETCH(int, retries);
        QFETCH(int, attempts);
        QFETCH(QString, outcome);
        QList<TestHttpServer::Route> routes;
        for (const int status : statuses)
            routes << answer(status);
        const QString path = u"/retry/"_s + pathOfTag();
        m_server.setRoutes(path, routes);

        DownloadManager manager;
        manager.setPolicy({.retries = retries, .firstBackoffMs = 100, .maxBackoffMs = 150});
        const LoadResult result = fetch(manager, m_server.url(path));
        QCOMPARE(result.attempts, attempts);
        QCOMPARE(result.failure ? result.failure->reason : QString(), outcome);
        const auto requests = m_server.requestsFor(path);
        QCOMPARE(requests.size(), attempts);
        // 100 ms, then twice that but no more than 150 ms.
        for (qsizetype i = 1; i < requests.size(); ++i)
            QVERIFY(requests[i].receivedMs - requests[i - 1].answeredMs >= seenPause(i == 1 ? 100 : 150));
    }

    void brokenConnectionsAreTriedAgain()
    {
        auto silent = answer(200);
        silent.noAnswer = true;
        m_server.setRoutes(u"/flaky"_s, {silent, answer(200, "<p>second time</p>")});
        DownloadManager manager;
        manager.setPolicy({.retries = 1, .firstBackoffMs = 50});
        const LoadResult result = fetch(manager, m_server.url(u"/flaky"_s));
        QVERIFY(result.loaded());
        QCOMPARE(result.body, QByteArray("<p>second time</p>"));
    }

    void retryAfterIsHonoured_data()
    {
        QTest::addColumn<QByteArray>("retryAfter");
        QTest::addColumn<int>("attempts");
        QTest::addColumn<qint64>("pauseMs");
        // "+N zone": a date N seconds after the request, written as servers do.
        QTest::newRow("seconds") << QByteArray("1") << 2 << qint64(1000);
        QTest::newRow("HTTP date, numbered zone") << QByteArray("+3 +0000") << 2 << qint64(2000);
        // Shorter than the back-off: the back-off holds.
        QTest::newRow("zero") << QByteArray("0") << 2 << qint64(100);
        QTest::newRow("HTTP date, GMT") << QByteArray("+3 GMT") << 2 << qint64(2000);
        // Longer than a run puts up with (its longest back-off): the page fails at once.
        QTest::newRow("an hour") << QByteArray("3600") << 1 << qint64(0);
        QTest::newRow("more seconds than a number holds") << QByteArray("99999999999999999999999") << 1 << qint64(0);
        QTest::newRow("a date in 90 seconds") << QByteArray("+90 GMT") << 1 << qint64(0);
    }
    void retryAfterIsHonoured()
    {
        QFETCH(QByteArray, retryAfter);
        QFETCH(int, attempts);
        QFETCH(qint64, pauseMs);
        if (retryAfter.startsWith('+')) {
            const QDateTime when = QDateTime::currentDateTimeUtc().addSecs(retryAfter.mid(1).split(' ').first().toInt());
            retryAfter = retryAfter.endsWith("GMT")
                ? when.toString(u"ddd, dd MMM yyyy HH:mm:ss 'GMT'"_s).toLatin1()
                : when.toString(Qt::RFC2822Date).toLatin1();
        }
        auto busy = answer(429);
        busy.headers.append({QByteArray("Retry-After"), retryAfter});
        const QString path = u"/busy/"_s + pathOfTag();
        m_server.setRoutes(path, {busy, answer(200)});

        DownloadManager manager;
        manager.setPolicy({.retries = 2, .firstBackoffMs = 100});
        const LoadResult result = fetch(manager, m_server.url(path));
        QCOMPARE(result.attempts, attempts);
        const auto requests = m_server.requestsFor(path);
        QCOMPARE(requests.size(), attempts);
        if (attempts > 1)
            QVERIFY(requests[1].receivedMs - requests[0].answeredMs >= seenPause(pauseMs));
    }

private:
    TestHttpServer m_server;
    QTcpServer m_plainTextServer;
};

QTEST_GUILESS_MAIN(TestDownloadManager)
#include "tst_downloadmanager.moc"
