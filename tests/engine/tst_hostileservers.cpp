#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include "engine/staticbrowser.h"
#include "support/compressed.h"
#include "support/testhttpserver.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;
using Kind = LoadFailure::Kind;

namespace {

// Every case must end well within this, whatever the server does.
constexpr int CaseDeadlineMs = 10'000;
constexpr int DripTimeLimitMs = 2'500;

using Setup = std::function<QString(TestHttpServer &)>;

// A chain of redirects /chain/<name>/0 -> 1 -> ... -> hops, which is a page.
QString chain(TestHttpServer &server, const QString &name, int hops)
{
    for (int i = 0; i < hops; ++i)
        server.setRedirect(u"/chain/%1/%2"_s.arg(name).arg(i), u"/chain/%1/%2"_s.arg(name).arg(i + 1), 301 + i % 2);
    server.setPage(u"/chain/%1/%2"_s.arg(name).arg(hops), "<table><tr><td>end</td></tr></table>");
    return server.url(u"/chain/%1/0"_s.arg(name));
}

} // namespace

Q_DECLARE_METATYPE(Setup)

// Servers that send without end, too fast, too slowly, in circles or not at
// all: every load ends in time, as a failed page with a reason and the
// engine's error document, and never as an empty or half page.
class TestHostileServers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_server.isListening()); }

    void hostileServerGivesAFailedLoad_data()
    {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("requests");
        QTest::addColumn<int>("timeLimitMs");
        QTest::addColumn<QString>("reason"); // part of it

        QTest::newRow("endless body") << Setup([](TestHttpServer &server) {
            auto route = TestHttpServer::page(QByteArray("<tr><td>row</td></tr>").repeated(3000));
            route.repeat = 0;
            server.setRoute(u"/endless"_s, route);
            return server.url(u"/endless"_s);
        }) << int(Kind::BodyTooLarge) << 1 << Browser::DefaultTimeLimitMs << u"大小上限"_s;

        QTest::newRow("compression bomb") << Setup([](TestHttpServer &server) {
            // 256 MB of zeros in a quarter of a megabyte, four times the body limit.
            auto route = TestHttpServer::page(gzippedZeros(qint64(256) << 20));
            route.headers.append({QByteArray("Content-Encoding"), QByteArray("gzip")});
            server.setRoute(u"/bomb"_s, route);
            return server.url(u"/bomb"_s);
        }) << int(Kind::BodyTooLarge) << 1 << Browser::DefaultTimeLimitMs << u"大小上限"_s;

        QTest::newRow("redirect loop") << Setup([](TestHttpServer &server) {
            server.setRedirect(u"/loop/a"_s, u"/loop/b"_s);
            server.setRedirect(u"/loop/b"_s, u"/loop/a"_s);
            return server.url(u"/loop/a"_s);
        }) << int(Kind::RedirectLoop) << 4 << Browser::DefaultTimeLimitMs << u"重定向循环"_s;

        // The page itself is asked for 20 times: the first and 19 redirects.
        QTest::newRow("30 redirects") << Setup([](TestHttpServer &server) { return chain(server, u"thirty"_s, 30); })
                                      << int(Kind::TooManyRedirects) << 20 << Browser::DefaultTimeLimitMs
                                      << u"重定向超过 19 次"_s;
        QTest::newRow("60 redirects") << Setup([](TestHttpServer &server) { return chain(server, u"sixty"_s, 60); })
                                      << int(Kind::TooManyRedirects) << 20 << Browser::DefaultTimeLimitMs
                                      << u"重定向超过 19 次"_s;

        QTest::newRow("a byte a second") << Setup([](TestHttpServer &server) {
            auto route = TestHttpServer::page("<table><tr><td>slow</td></tr></table>");
            route.dripMs = 1'000;
            server.setRoute(u"/drip"_s, route);
            return server.url(u"/drip"_s);
        }) << int(Kind::Timeout) << 1 << DripTimeLimitMs << u"超时"_s;

        QTest::newRow("body cut short") << Setup([](TestHttpServer &server) {
            auto route = TestHttpServer::page(QByteArray("<table>") + QByteArray("<tr><td>row</td></tr>").repeated(500));
            route.cutAfter = 4'000;
            server.setRoute(u"/cut"_s, route);
            return server.url(u"/cut"_s);
        }) << int(Kind::BodyCutShort) << 1 << Browser::DefaultTimeLimitMs << u"网页内容不完整"_s;

        // Interim answers or blank lines without end, never a status line.
        for (const QByteArray &preamble : {QByteArray("HTTP/1.1 100 Continue\r\n\r\n"), QByteArray("\r\n")}) {
            QTest::addRow("endless %s", preamble.size() > 2 ? "100 Continue" : "blank lines")
                << Setup([preamble](TestHttpServer &server) {
                       TestHttpServer::Route route;
                       route.endlessPreamble = preamble;
                       server.setRoute(u"/preamble"_s, route);
                       return server.url(u"/preamble"_s);
                   })
                << int(Kind::Network) << 1 << Browser::DefaultTimeLimitMs
                << QString(preamble.size() > 2 ? u"响应头过大"_s : u"回答不是 HTTP"_s);
        }

        QTest::newRow("head without end") << Setup([](TestHttpServer &server) {
            auto route = TestHttpServer::page("<p>never</p>");
            for (int i = 0; i < 5'000; ++i)
                route.headers.append({"X-Filler-" + QByteArray::number(i), QByteArray(100, 'x')});
            server.setRoute(u"/head"_s, route);
            return server.url(u"/head"_s);
        }) << int(Kind::Network) << 1 << Browser::DefaultTimeLimitMs << u"响应头过大"_s;
    }
    void hostileServerGivesAFailedLoad()
    {
        QFETCH(Setup, setup);
        QFETCH(int, kind);
        QFETCH(int, requests);
        QFETCH(int, timeLimitMs);
        QFETCH(QString, reason);
        const QString address = setup(m_server);
        const int before = int(m_server.requests().size());

        StaticBrowser browser;
        browser.setTimeLimitMs(timeLimitMs);
        QSignalSpy completed(&browser, &Browser::DownloadComplete);
        QElapsedTimer clock;
        clock.start();
        browser.Navigate(address);
        QVERIFY(completed.wait(CaseDeadlineMs));
        QVERIFY2(clock.elapsed() < CaseDeadlineMs, qPrintable(QString::number(clock.elapsed())));

        QVERIFY(browser.failure());
        QCOMPARE(int(browser.failure()->kind), kind);
        QVERIFY2(browser.failure()->reason.contains(reason), qPrintable(browser.failure()->reason));
        QVERIFY(browser.document()->bodyText().value_or(QString()).contains(u"无法找到网页"_s));
        QVERIFY(browser.document()->tables().isEmpty());
        QCOMPARE(int(m_server.requests().size()) - before, requests);
    }

private:
    TestHttpServer m_server;
};

QTEST_GUILESS_MAIN(TestHostileServers)
#include "tst_hostileservers.moc"
