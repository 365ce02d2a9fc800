#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QStringEncoder>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include "engine/html/stylesheet.h"
#include "engine/staticbrowser.h"
#include "engine/transfer/downloadmanager.h"
#include "support/testhttpserver.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;

namespace {

constexpr int LoadDeadlineMs = 10'000;
const QString NoBody = u"<no body>"_s;
const QString Unreachable = u"无法找到网页"_s;

QByteArray gbk(const QString &text)
{
    return QStringEncoder("GB18030").encode(text);
}

// Navigates and waits for the load to end.
bool load(StaticBrowser &browser, const QString &address)
{
    QSignalSpy completed(&browser, &Browser::DownloadComplete);
    browser.Navigate(address);
    return completed.wait(LoadDeadlineMs) && !browser.Busy();
}

QString bodyOf(const StaticBrowser &browser)
{
    return browser.document()->bodyText().value_or(NoBody);
}

} // namespace

class TestStaticBrowser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_server.isListening()); }

    void documentBeforeFirstLoad()
    {
        StaticBrowser browser;
        QVERIFY(!browser.Busy());
        QVERIFY(browser.document()->tables().isEmpty());
        QCOMPARE(browser.document()->bodyText(), std::optional<QString>(QString()));
    }

    void charsets_data()
    {
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QByteArray>("body");

        const QString page = u"<p>中文内容</p>"_s;
        QTest::newRow("UTF-8 in the header") << QByteArray("text/html; charset=utf-8") << page.toUtf8();
        QTest::newRow("GBK in the header") << QByteArray("text/html; charset=GBK") << gbk(page);
        QTest::newRow("GBK in meta only")
            << QByteArray("text/html")
            << gbk(u"<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">"
                   u"</head><body>"_s
                   + page);
        QTest::newRow("GBK undeclared") << QByteArray("text/html") << gbk(page);
    }
    void charsets()
    {
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, body);
        m_server.setPage(u"/charset"_s, body, contentType);
        StaticBrowser browser;
        QVERIFY(load(browser, m_server.url(u"/charset"_s)));
        QCOMPARE(bodyOf(browser), u"中文内容"_s);
    }

    void contentKinds_data()
    {
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("expected");

        QTest::newRow("no type is a page") << QByteArray() << QByteArray("<b>x</b>  y") << u"x y"_s;
        QTest::newRow("plain text shown as it is")
            << QByteArray("text/plain; charset=utf-8") << QByteArray("\n a  <b>\n") << u"\n a  <b>\n"_s;
        QTest::newRow("image has no body") << QByteArray("image/png") << QByteArray("\x89PNG\r\n") << NoBody;
    }
    void contentKinds()
    {
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, body);
        QFETCH(QString, expected);
        TestHttpServer::Route route;
        if (!contentType.isEmpty())
            route.headers.append({QByteArray("Content-Type"), contentType});
        route.body = body;
        m_server.setRoute(u"/kind"_s, route);
        StaticBrowser browser;
        QVERIFY(load(browser, m_server.url(u"/kind"_s)));
        QCOMPARE(bodyOf(browser), expected);
    }

    void redirectShowsTheTarget()
    {
        m_server.setRedirect(u"/old"_s, u"/new/page.htm"_s);
        m_server.setPage(u"/new/page.htm"_s, "<a href=\"next.htm\">next</a>");
        StaticBrowser browser;
        QVERIFY(load(browser, m_server.url(u"/old"_s)));
        QCOMPARE(browser.url(), QUrl(m_server.url(u"/new/page.htm"_s)));
        QCOMPARE(browser.document()->links(), QStringList{m_server.url(u"/new/next.htm"_s)});
    }

    // Each hop is checked and followed by the engine itself.
    void redirectChainsEndOnTheFinalPage_data()
    {
        QTest::addColumn<int>("hops");
        QTest::addColumn<bool>("loaded");
        for (const int hops : {1, 2, 5, 19, 20})
            QTest::addRow("%d hops", hops) << hops << (hops <= PageLimits::DefaultMaxRedirects);
    }
    void redirectChainsEndOnTheFinalPage()
    {
        QFETCH(int, hops);
        QFETCH(bool, loaded);
        const QString base = u"/hops%1/"_s.arg(hops);
        const int statuses[] = {301, 302, 303, 307, 308};
        for (int i = 0; i < hops; ++i)
            m_server.setRedirect(base + QString::number(i), base + QString::number(i + 1), statuses[i % 5]);
        m_server.setPage(base + QString::number(hops), "<table><tr><td>final</td></tr></table>");

        StaticBrowser browser;
        QVERIFY(load(browser, m_server.url(base + u'0')));
        if (loaded) {
            QVERIFY(!browser.failure());
            QCOMPARE(browser.url(), QUrl(m_server.url(base + QString::number(hops))));
            QCOMPARE(browser.document()->tables().value(0).rows, (QList<QStringList>{{u"final"_s}}));
        } else {
            QCOMPARE(browser.failure()->reason, u"重定向超过 %1 次"_s.arg(PageLimits::DefaultMaxRedirects));
            QVERIFY(bodyOf(browser).contains(Unreachable));
        }
    }

    // A page from the web never leads to a local file or a script, whatever
    // way it tries; the page itself stays when a refresh is not followed.
    void webPagesLeadOnlyToTheWeb_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("failure");

        const QString secret = QUrl::fromLocalFile(m_folder.filePath(u"secret.htm"_s)).toString();
        QFile file(m_folder.filePath(u"secret.htm"_s));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<p>local secret</p>");
        file.close();

        const QStringList targets{secret, u"data:text/html,<p>data</p>"_s, u"javascript:alert(1)"_s,
                                  u"ftp://127.0.0.1/page.htm"_s};
        for (qsizetype i = 0; i < targets.size(); ++i) {
            const QString scheme = QUrl(targets[i]).scheme();
            m_server.setRedirect(u"/lead/redirect%1"_s.arg(i), targets[i]);
            QTest::addRow("redirect to %s", qPrintable(scheme))
                << u"/lead/redirect%1"_s.arg(i) << Unreachable << u"不打开这种地址：%1:"_s.arg(scheme);
            m_server.setPage(u"/lead/refresh%1"_s.arg(i),
                             u"<meta http-equiv=refresh content=\"0;url=%1\"><p>stays</p>"_s.arg(targets[i]).toUtf8());
            QTest::addRow("refresh to %s", qPrintable(scheme)) << u"/lead/refresh%1"_s.arg(i) << u"stays"_s << QString();
        }
    }
    void webPagesLeadOnlyToTheWeb()
    {
        QFETCH(QString, path);
        QFETCH(QString, shown);
        QFETCH(QString, failure);
        StaticBrowser browser;
        QVERIFY(load(browser, m_server.url(path)));
        QVERIFY2(bodyOf(browser).contains(shown), qPrintable(bodyOf(browser)));
        QVERIFY(!bodyOf(browser).contains(u"secret"_s));
        QCOMPARE(browser.failure() ? browser.failure()->reason : QString(), failure);
    }

    void metaRefreshIsFollowedLikeARedirect()
    {
        m_server.setPage(u"/moved.htm"_s, "<html><head><meta http-equiv=\"Refresh\" content=\"0; URL='/here.htm'\">"
                                          "</head><body>moved</body></html>");
        m_server.setPage(u"/here.htm"_s, "<body>arrived</body>");
        StaticBrowser browser;
        QVERIFY(load(browser, m_server.url(u"/moved.htm"_s)));
        QCOMPARE(browser.url(), QUrl(m_server.url(u"/here.htm"_s)));
        QCOMPARE(bodyOf(browser), u"arrived"_s);

        // Pages that refresh to each other end after a few rounds, on a page.
        m_server.setPage(u"/ping.htm"_s, "<meta http-equiv=refresh content=\"1;url=pong.htm\"><body>ping</body>");
        m_server.setPage(u"/pong.htm"_s, "<meta http-equiv=refresh content=\"1;url=ping.htm\"><body>pong</body>");
        QVERIFY(load(browser, m_server.url(u"/ping.htm"_s)));
        QCOMPARE(m_server.requestCount(u"/ping.htm"_s) + m_server.requestCount(u"/pong.htm"_s), 6);
    }

    void serverErrors_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("engineErrorPage");

        QTest::newRow("404 without content") << 404 << QByteArray() << u"HTTP 404 - 无法找到文件"_s << true;
        QTest::newRow("500 without content") << 500 << QByteArray(" \r\n") << u"HTTP 500 - 内部服务器错误"_s << true;
        QTest::newRow("404 with its own page") << 404 << QByteArray("<p>gone away</p>") << u"gone away"_s << false;
        QTest::newRow("500 with its own page") << 500 << QByteArray("<p>broken</p>") << u"broken"_s << false;
    }
    void serverErrors()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, shown);
        QFETCH(bool, engineErrorPage);
        TestHttpServer::Route route;
        route.status = status;
        route.headers.append({QByteArray("Content-Type"), QByteArray("text/html")});
        route.body = body;
        m_server.setRoute(u"/error"_s, route);
        StaticBrowser browser;
        QVERIFY(load(browser, m_server.url(u"/error"_s)));
        QVERIFY2(bodyOf(browser).contains(shown), qPrintable(bodyOf(browser)));
        QCOMPARE(bodyOf(browser).contains(u"无法"_s), engineErrorPage);
        QCOMPARE(browser.failure()->reason, u"HTTP %1"_s.arg(status));
    }

    // One page at a time and no second try, unless a run asks for them.
    void retriesOnlyWhenAsked()
    {
        TestHttpServer::Route busy;
        busy.status = 503;
        const auto flaky = QList<TestHttpServer::Route>{busy, TestHttpServer::page("<p>second try</p>")};
        m_server.setRoutes(u"/flaky"_s, flaky);
        StaticBrowser browser;
        QVERIFY(load(browser, m_server.url(u"/flaky"_s)));
        QCOMPARE(browser.failure()->reason, u"HTTP 503"_s);

        m_server.setRoutes(u"/flaky"_s, flaky);
        browser.downloads().setPolicy({.retries = 1, .firstBackoffMs = 50});
        QVERIFY(load(browser, m_server.url(u"/flaky"_s)));
        QVERIFY(!browser.failure());
        QCOMPARE(bodyOf(browser), u"second try"_s);
    }

    // A site's pages link the same sheet: a run fetches it once and applies
    // it to every page; with the setting off it is never asked for.
    void linkedStyleSheetsAreFetchedOncePerRun()
    {
        m_server.setPage(u"/site.css"_s, ".ad { display: none }", "text/css");
        const QByteArray page = "<link rel=stylesheet href=/site.css><p>price <span class=ad>advert</span>10</p>";
        m_server.setPage(u"/styled1"_s, page);
        m_server.setPage(u"/styled2"_s, page);
        StaticBrowser browser;
        QVERIFY(load(browser, m_server.url(u"/styled1"_s)));
        QCOMPARE(bodyOf(browser), u"price 10"_s);
        const std::unique_ptr<Browser> sibling = browser.sibling();
        auto *second = qobject_cast<StaticBrowser *>(sibling.get());
        QVERIFY(load(*second, m_server.url(u"/styled2"_s)));
        QCOMPARE(bodyOf(*second), u"price 10"_s);
        QCOMPARE(m_server.requestCount(u"/site.css"_s), 1);

        StaticBrowser plain;
        PageLimits limits;
        limits.linkedStyleSheets = false;
        plain.setLimits(limits);
        QVERIFY(load(plain, m_server.url(u"/styled1"_s)));
        QCOMPARE(bodyOf(plain), u"price advert10"_s);
        QCOMPARE(m_server.requestCount(u"/site.css"_s), 1);
    }

    // Pages loaded side by side ask for their sheet at the same moment: they
    // share one transfer of it, and a page that goes elsewhere meanwhile
    // takes the transfer away from none of the others.
    void siblingsLoadingTogetherShareASheetsTransfer()
    {
        TestHttpServer server;
        server.setPage(u"/slow.css"_s, ".ad { display: none }", "text/css", 300);
        const QByteArray page = "<link rel=stylesheet href=/slow.css><p>price <span class=ad>advert</span>10</p>";
        for (const QString &path : {u"/a"_s, u"/b"_s, u"/c"_s})
            server.setPage(path, page);
        server.setPage(u"/plain"_s, "<p>plain</p>");
        StaticBrowser first;
        const std::unique_ptr<Browser> second = first.sibling();
        const std::unique_ptr<Browser> third = first.sibling();
        QSignalSpy firstDone(&first, &Browser::DownloadComplete);
        QSignalSpy secondDone(second.get(), &Browser::DownloadComplete);
        QSignalSpy thirdDone(third.get(), &Browser::DownloadComplete);
        first.Navigate(server.url(u"/a"_s));
        second->Navigate(server.url(u"/b"_s));
        third->Navigate(server.url(u"/c"_s));
        QTRY_COMPARE_WITH_TIMEOUT(server.requestCount(u"/slow.css"_s), 1, LoadDeadlineMs);
        first.Navigate(server.url(u"/plain"_s)); // the page that asked first leaves
        QVERIFY(secondDone.wait(LoadDeadlineMs));
        QTRY_VERIFY_WITH_TIMEOUT(!thirdDone.isEmpty() && !firstDone.isEmpty(), LoadDeadlineMs);
        QCOMPARE(second->document()->bodyText(), u"price 10"_s);
        QCOMPARE(third->document()->bodyText(), u"price 10"_s);
        QCOMPARE(bodyOf(first), u"plain"_s);
        QCOMPARE(server.requestCount(u"/slow.css"_s), 1);
    }

    // Sheets a page's sheets import are fetched relative to the sheet that
    // names them, once each, and only for the screen; a sheet importing
    // itself ends.
    void importedSheetsAreFetchedOnce()
    {
        TestHttpServer server;
        server.setPage(u"/css/main.css"_s, "@import 'base.css'; @import url(print.css) print; .b { display: inline }",
                       "text/css");
        server.setPage(u"/css/base.css"_s, "@import url(\"/css/base.css\"); .a, .b { display: none }", "text/css");
        server.setPage(u"/page"_s, "<style>@import '/css/main.css';</style>"
                                   "<p>x<span class=a>A</span><span class=b>B</span></p>");
        StaticBrowser browser;
        QVERIFY(load(browser, server.url(u"/page"_s)));
        QCOMPARE(bodyOf(browser), u"xB"_s);
        QCOMPARE(server.requestCount(u"/css/main.css"_s), 1);
        QCOMPARE(server.requestCount(u"/css/base.css"_s), 1);
        QCOMPARE(server.requestCount(u"/css/print.css"_s), 0);
    }

    // A sheet that imports a thousand others, each importing it back, costs
    // a bounded number of requests and still styles its page.
    void aSheetImportingThousandsIsBounded()
    {
        TestHttpServer server;
        QByteArray imports;
        for (int i = 0; i < 1000; ++i)
            imports += "@import '/x.css?" + QByteArray::number(i) + "';\n";
        server.setPage(u"/many.css"_s, imports + ".ad { display: none }", "text/css");
        server.setResponder(u"/x.css"_s, [](const TestHttpServer::Request &) {
            return TestHttpServer::page("@import '/many.css'; @import '/x.css?0'; .x { display: none }", 200,
                                        "text/css");
        });
        server.setPage(u"/page"_s, "<link rel=stylesheet href=/many.css><p>a<span class=ad>d</span><i class=x>x</i>b</p>");
        StaticBrowser browser;
        QVERIFY(load(browser, server.url(u"/page"_s)));
        QCOMPARE(bodyOf(browser), u"ab"_s);
        QCOMPARE(server.requestCount(u"/many.css"_s), 1);
        QCOMPARE(server.requestCount(u"/x.css"_s), html::MaxImportedSheets);
    }

    // A sheet that never ends is cut at the body limit and left out; the
    // page it styles loads all the same.
    void anEndlessStyleSheetIsLeftOut()
    {
        TestHttpServer server;
        auto endless = TestHttpServer::page(QByteArray(".ad { display: none } ").repeated(1000), 200, "text/css");
        endless.repeat = 0;
        server.setRoute(u"/endless.css"_s, endless);
        server.setPage(u"/page"_s, "<link rel=stylesheet href=/endless.css><p>price <span class=ad>advert</span>10</p>");
        StaticBrowser browser;
        PageLimits limits;
        limits.maxBodyBytes = 1 << 20;
        browser.setLimits(limits);
        QVERIFY(load(browser, server.url(u"/page"_s)));
        QVERIFY(!browser.failure());
        QCOMPARE(bodyOf(browser), u"price advert10"_s);
    }

    void unreachable_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("reason");

        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        QTest::newRow("refused connection") << u"http://127.0.0.1:%1/"_s.arg(port) << u"连接被拒绝"_s;
        QTest::newRow("missing file") << QUrl::fromLocalFile(m_folder.filePath(u"none.htm"_s)).toString()
                                      << u"找不到文件"_s;
        QTest::newRow("a folder") << QUrl::fromLocalFile(m_folder.path()).toString() << u"无法读取文件"_s;
        QTest::newRow("unsupported scheme") << u"gopher://127.0.0.1/"_s << u"gopher:"_s;
        QTest::newRow("empty address") << QString() << u"地址无效"_s;
    }
    void unreachable()
    {
        QFETCH(QString, address);
        QFETCH(QString, reason);
        StaticBrowser browser;
        QVERIFY(load(browser, address));
        QVERIFY2(bodyOf(browser).contains(Unreachable), qPrintable(bodyOf(browser)));
        QVERIFY(browser.document()->tables().isEmpty());
        QVERIFY2(browser.failure()->reason.contains(reason), qPrintable(browser.failure()->reason));
    }

    void addressAsTyped()
    {
        m_server.setPage(u"/typed"_s, "<p>typed</p>");
        QFile file(m_folder.filePath(u"local.htm"_s));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(gbk(u"<meta charset=gbk><p>本地网页</p>"_s));
        file.close();

        StaticBrowser browser;
        QVERIFY(load(browser, u" 127.0.0.1:%1/typed "_s.arg(m_server.port())));
        QCOMPARE(bodyOf(browser), u"typed"_s);
        QVERIFY(load(browser, file.fileName()));
        QCOMPARE(bodyOf(browser), u"本地网页"_s);
        QVERIFY(load(browser, QUrl::fromLocalFile(file.fileName()).toString()));
        QCOMPARE(bodyOf(browser), u"本地网页"_s);
        QVERIFY(!browser.failure());
    }

    void eventsComeAfterNavigateReturns_data()
    {
        QTest::addColumn<QString>("address");
        m_server.setPage(u"/events"_s, "<p>x</p>");
        QTest::newRow("page") << m_server.url(u"/events"_s);
        QTest::newRow("failure found at once") << u"gopher://x/"_s;
        QTest::newRow("blank page") << u"about:blank"_s;
    }
    void eventsComeAfterNavigateReturns()
    {
        QFETCH(QString, address);
        StaticBrowser browser;
        QStringList events;
        connect(&browser, &Browser::BusyChanged, this, [&](bool busy) { events << (busy ? u"busy"_s : u"idle"_s); });
        connect(&browser, &Browser::DownloadComplete, this,
                [&] { events << (browser.Busy() ? u"complete while busy"_s : u"complete"_s); });
        connect(&browser, &Browser::NewWindow2, this, [&](bool *) { events << u"new window"_s; });

        browser.Navigate(address);
        QVERIFY(browser.Busy());
        QCOMPARE(events, QStringList{});
        QTRY_COMPARE_WITH_TIMEOUT(events, (QStringList{u"busy"_s, u"idle"_s, u"complete"_s}), LoadDeadlineMs);
    }

    void timeLimitEndsASlowLoad()
    {
        m_server.setPage(u"/slow"_s, "<p>late</p>", "text/html", 2000);
        StaticBrowser browser;
        browser.setTimeLimitMs(300);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(load(browser, m_server.url(u"/slow"_s)));
        QVERIFY2(clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(bodyOf(browser).contains(Unreachable));
        QCOMPARE(browser.failure()->reason, u"超时"_s);
    }

    void secondNavigateDropsTheFirst()
    {
        m_server.setPage(u"/first"_s, "<p>first</p>", "text/html", 800);
        m_server.setPage(u"/second"_s, "<p>second</p>");
        m_server.setPage(u"/third"_s, "<p>third</p>", "text/html", 1500);
        StaticBrowser browser;
        QSignalSpy completed(&browser, &Browser::DownloadComplete);

        browser.Navigate(m_server.url(u"/first"_s));
        browser.Navigate(m_server.url(u"/second"_s));
        QVERIFY(completed.wait(LoadDeadlineMs));
        QCOMPARE(completed.count(), 1);
        QCOMPARE(bodyOf(browser), u"second"_s);

        // The third load outlasts the first one's answer, so a completion
        // left over from the dropped load would arrive during this wait.
        browser.Navigate(m_server.url(u"/third"_s));
        QVERIFY(completed.wait(LoadDeadlineMs));
        QCOMPARE(completed.count(), 2);
        QCOMPARE(bodyOf(browser), u"third"_s);
    }

    void manyPagesInARow()
    {
        StaticBrowser browser;
        for (int page = 1; page <= 200; ++page) {
            const QString path = u"/list?page=%1"_s.arg(page);
            m_server.setPage(path, "<table><tr><td>" + QByteArray::number(page) + "</td></tr></table>");
            QVERIFY(load(browser, m_server.url(path)));
            QCOMPARE(browser.document()->tables().value(0).rows, (QList<QStringList>{{QString::number(page)}}));
        }
        QCOMPARE(m_server.requestCount(u"/list"_s), 200);
    }

private:
    TestHttpServer m_server;
    QTemporaryDir m_folder;
};

QTEST_GUILESS_MAIN(TestStaticBrowser)
#include "tst_staticbrowser.moc"
