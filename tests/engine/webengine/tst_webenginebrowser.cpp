#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEngineView>

#include "engine/staticbrowser.h"
#include "engine/webengine/webenginebrowser.h"
#include "support/compressed.h"
#include "support/testhttpserver.h"
#include "support/webenginetest.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;

namespace {

constexpr int LoadDeadlineMs = 15'000;

bool load(Browser &browser, const QString &address)
{
    QSignalSpy completed(&browser, &Browser::DownloadComplete);
    browser.Navigate(address);
    return completed.wait(LoadDeadlineMs) && !browser.Busy();
}

QString bodyOf(const Browser &browser)
{
    return browser.document()->bodyText().value_or(u"<no body>"_s);
}

// Windows on screen, not the browser's own view kept off it.
int shownViews()
{
    int shown = 0;
    for (QWidget *widget : QApplication::topLevelWidgets())
        shown += qobject_cast<QWebEngineView *>(widget) && widget->isVisible()
            && !widget->testAttribute(Qt::WA_DontShowOnScreen);
    return shown;
}

} // namespace

class TestWebEngineBrowser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_server.isListening()); }

    // Pages are read as a desktop browser on screen shows them: scripts have
    // run, and layouts for narrow screens do not apply.
    void scriptsRunBeforeThePageIsRead()
    {
        m_server.setPage(u"/scripted"_s, "<style>@media (max-width: 800px) { .wide { display: none } }</style>"
                                         "<body><p class=\"wide\">wide</p><script>"
                                         "var t = document.createElement('table');"
                                         "t.insertRow().insertCell().textContent = document.visibilityState;"
                                         "document.body.appendChild(t);</script></body>");
        QVERIFY(load(m_browser, m_server.url(u"/scripted"_s)));
        QCOMPARE(m_browser.document()->tables().value(0).rows, (QList<QStringList>{{u"visible"_s}}));
        QCOMPARE(m_browser.document()->elementTexts(u"p"_s), QStringList{u"wide"_s});

        StaticBrowser staticBrowser;
        QVERIFY(load(staticBrowser, m_server.url(u"/scripted"_s)));
        QVERIFY(staticBrowser.document()->tables().isEmpty());
    }

    void eventsComeAfterNavigateReturns_data()
    {
        QTest::addColumn<QString>("address");
        m_server.setPage(u"/events"_s, "<p id=\"a\">x</p>");
        TestHttpServer::Route noContent;
        noContent.status = 204;
        m_server.setRoute(u"/nocontent"_s, noContent);
        QTest::newRow("page") << m_server.url(u"/events"_s);
        QTest::newRow("jump within the page") << m_server.url(u"/events#a"_s);
        QTest::newRow("unsupported scheme") << u"gopher://x/"_s;
        QTest::newRow("no content") << m_server.url(u"/nocontent"_s);
    }
    void eventsComeAfterNavigateReturns()
    {
        QFETCH(QString, address);
        QStringList events;
        QObject context;
        connect(&m_browser, &Browser::BusyChanged, &context, [&](bool busy) { events << (busy ? u"busy"_s : u"idle"_s); });
        connect(&m_browser, &Browser::DownloadComplete, &context,
                [&] { events << (m_browser.Busy() ? u"complete while busy"_s : u"complete"_s); });

        m_browser.Navigate(address);
        QVERIFY(m_browser.Busy());
        QCOMPARE(events, QStringList{});
        QTRY_COMPARE_WITH_TIMEOUT(events, (QStringList{u"busy"_s, u"idle"_s, u"complete"_s}), LoadDeadlineMs);
    }

    // Both engines name a failed load alike, beside the same error page.
    void failuresAreNamed_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("reason");
        TestHttpServer::Route gone;
        gone.status = 404;
        m_server.setRoute(u"/gone"_s, gone);
        gone.body = "<p>gone away</p>";
        m_server.setRoute(u"/gone-with-page"_s, gone);
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();

        QTest::newRow("404") << m_server.url(u"/gone"_s) << u"HTTP 404"_s;
        QTest::newRow("404 with its own page") << m_server.url(u"/gone-with-page"_s) << u"HTTP 404"_s;
        QTest::newRow("refused connection") << u"http://127.0.0.1:%1/"_s.arg(port) << u"连接被拒绝"_s;
        QTest::newRow("unsupported scheme") << u"gopher://x/"_s << u"gopher:"_s;
    }
    void failuresAreNamed()
    {
        QFETCH(QString, address);
        QFETCH(QString, reason);
        StaticBrowser staticBrowser;
        for (Browser *browser : {static_cast<Browser *>(&m_browser), static_cast<Browser *>(&staticBrowser)}) {
            QVERIFY(load(*browser, address));
            QVERIFY(browser->failure());
            QVERIFY2(browser->failure()->reason.contains(reason), qPrintable(browser->failure()->reason));
        }
        QCOMPARE(bodyOf(m_browser), bodyOf(staticBrowser));
    }

    // The browser follows as many redirects as the fast engine, and fails
    // the next one with the same reason.
    void redirectLimitAsInTheFastEngine_data()
    {
        QTest::addColumn<int>("hops");
        for (const int hops : {PageLimits::DefaultMaxRedirects, PageLimits::DefaultMaxRedirects + 1})
            QTest::addRow("%d hops", hops) << hops;
    }
    void redirectLimitAsInTheFastEngine()
    {
        QFETCH(int, hops);
        const QString base = u"/limit%1/"_s.arg(hops);
        for (int i = 0; i < hops; ++i)
            m_server.setRedirect(base + QString::number(i), base + QString::number(i + 1));
        m_server.setPage(base + QString::number(hops), "<p>final</p>");
        StaticBrowser fast;
        QVERIFY(load(fast, m_server.url(base + u'0')));
        QVERIFY(load(m_browser, m_server.url(base + u'0')));
        QCOMPARE(m_browser.failure().has_value(), fast.failure().has_value());
        if (fast.failure())
            QCOMPARE(m_browser.failure()->reason, fast.failure()->reason);
        else
            QCOMPARE(bodyOf(m_browser), u"final"_s);
    }

    // A page without end stops at the body limit, before the time limit,
    // as in the fast engine.
    void bodyLimitStopsAnEndlessPage()
    {
        // A server of its own, whose endless answer ends with the test.
        TestHttpServer server;
        auto endless = TestHttpServer::page(QByteArray("<p>") + QByteArray("word ").repeated(20'000));
        endless.repeat = 0;
        server.setRoute(u"/endless"_s, endless);
        PageLimits limits;
        limits.maxBodyBytes = 2 << 20;
        limits.timeLimitMs = 60'000;
        WebEngineBrowser browser;
        browser.setLimits(limits);
        QVERIFY(load(browser, server.url(u"/endless"_s)));
        QVERIFY(browser.failure());
        QCOMPARE(browser.failure()->reason, LoadFailure::bodyTooLarge(limits.maxBodyBytes).reason);
    }

    // A compressed run of zeros adds nothing to the page's markup, yet the
    // renderer holds what it decoded: the load stops at the body limit, long
    // before the time limit, with the limit as its reason.
    void bodyLimitStopsACompressionBomb()
    {
        TestHttpServer server;
        auto bomb = TestHttpServer::page(gzippedZeros(qint64(1) << 30));
        bomb.headers.append({QByteArray("Content-Encoding"), QByteArray("gzip")});
        server.setRoute(u"/bomb"_s, bomb);
        PageLimits limits;
        limits.maxBodyBytes = 8 << 20;
        limits.timeLimitMs = 120'000;
        WebEngineBrowser browser;
        browser.setLimits(limits);
        QVERIFY(load(browser, server.url(u"/bomb"_s)));
        QVERIFY(browser.failure());
        QCOMPARE(browser.failure()->reason, LoadFailure::bodyTooLarge(limits.maxBodyBytes).reason);
    }

    // Nested elements each hold all the text inside them: a list of them
    // stops at the text limit with its reason, as in the fast engine.
    void elementTextsStopAtTheTextLimit()
    {
        QByteArray nested;
        for (int depth = 0; depth < 100; ++depth)
            nested += "<div>" + QByteArray(10'000, 'x');
        m_server.setPage(u"/nested"_s, nested);
        PageLimits limits;
        limits.maxTextBytes = 1 << 20;
        m_browser.setLimits(limits);
        StaticBrowser fast;
        fast.setLimits(limits);
        QVERIFY(load(m_browser, m_server.url(u"/nested"_s)));
        QVERIFY(load(fast, m_server.url(u"/nested"_s)));
        const auto reasonOf = [](const Browser &browser) {
            try {
                browser.document()->elementTexts(u"div"_s);
            } catch (const DocumentError &error) {
                return QString::fromUtf8(error.what());
            }
            return QString();
        };
        QCOMPARE(reasonOf(m_browser), u"网页的文字超过 1 MB 的限制，没有读完。可以用设置提高这个限制。"_s);
        QCOMPARE(reasonOf(fast), reasonOf(m_browser));
        m_browser.setLimits({});
        QVERIFY(load(m_browser, m_server.url(u"/nested"_s)));
        QCOMPARE(m_browser.document()->elementTexts(u"div"_s).size(), 100);
    }

    // What a web page does by itself never opens a local file; a file the
    // user names still opens.
    void webPagesLeadOnlyToTheWeb()
    {
        QTemporaryDir folder;
        const QString secretPath = folder.filePath(u"secret.htm"_s);
        QFile secret(secretPath);
        QVERIFY(secret.open(QIODevice::WriteOnly));
        secret.write("<p>local secret</p>");
        secret.close();
        const QByteArray secretUrl = QUrl::fromLocalFile(secretPath).toEncoded();

        m_server.setRedirect(u"/to-file"_s, QString::fromLatin1(secretUrl));
        QVERIFY(load(m_browser, m_server.url(u"/to-file"_s)));
        QVERIFY(m_browser.failure());
        QCOMPARE(m_browser.failure()->reason, LoadFailure::refusedRedirect().reason);
        QVERIFY(!bodyOf(m_browser).contains(u"secret"_s));

        m_server.setPage(u"/refresh-file"_s, "<meta http-equiv=refresh content=\"0;url=" + secretUrl + "\"><p>stays</p>");
        m_server.setPage(u"/script-file"_s, "<script>location = '" + secretUrl + "';</script><p>stays</p>");
        for (const QString &path : {u"/refresh-file"_s, u"/script-file"_s}) {
            QSignalSpy completed(&m_browser, &Browser::DownloadComplete);
            QVERIFY(load(m_browser, m_server.url(path)));
            QVERIFY(!m_browser.failure());
            QVERIFY(!completed.wait(500)); // no load of the file follows
            QCOMPARE(bodyOf(m_browser), u"stays"_s);
        }

        QVERIFY(load(m_browser, secretPath));
        QCOMPARE(bodyOf(m_browser), u"local secret"_s);
    }

    void popUps_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("cancelled") << true;
        QTest::newRow("allowed") << false;
    }
    void popUps()
    {
        QFETCH(bool, cancel);
        const QString target = cancel ? u"/popup-refused"_s : u"/popup-opened"_s;
        m_server.setPage(target, "<p>pop-up</p>");
        m_server.setPage(u"/opener"_s, "<script>window.open('" + target.toUtf8() + "');</script><p>opener</p>");
        int asked = 0;
        QObject context;
        connect(&m_browser, &Browser::NewWindow2, &context, [&](bool *refuse) {
            ++asked;
            *refuse = cancel;
        });

        QVERIFY(load(m_browser, m_server.url(u"/opener"_s)));
        QCOMPARE(asked, 1);
        QCOMPARE(bodyOf(m_browser), u"opener"_s);
        if (cancel) {
            QCOMPARE(shownViews(), 0);
            QCOMPARE(m_server.requestCount(target), 0);
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(m_server.requestCount(target), 1, LoadDeadlineMs);
            QCOMPARE(shownViews(), 1);
        }
    }

    void timeLimitEndsASlowLoad()
    {
        m_server.setPage(u"/slow"_s, "<p>late</p>", "text/html", 5000);
        m_server.setPage(u"/after"_s, "<p>after</p>");
        m_browser.setTimeLimitMs(1000);
        QElapsedTimer clock;
        QStringList bodies;
        // The next load starts at once, while the stopped one has yet to
        // report its end, which must not be taken for the new load's; and
        // each page is read at once, from inside the event that reports it.
        QObject context;
        connect(&m_browser, &Browser::DownloadComplete, &context, [&] {
            bodies << bodyOf(m_browser);
            if (bodies.size() == 1) {
                bodies << QString::number(clock.elapsed());
                m_browser.Navigate(m_server.url(u"/after"_s));
            }
        });
        clock.start();
        m_browser.Navigate(m_server.url(u"/slow"_s));
        QTRY_COMPARE_WITH_TIMEOUT(bodies.size(), 3, LoadDeadlineMs);
        QVERIFY2(bodies.at(0).contains(u"无法找到网页"_s), qPrintable(bodies.at(0)));
        QVERIFY2(bodies.at(1).toInt() < 3000, qPrintable(bodies.at(1)));
        QCOMPARE(bodies.at(2), u"after"_s);
        m_browser.setTimeLimitMs(Browser::DefaultTimeLimitMs);
    }

    void secondNavigateReplacesTheFirst()
    {
        m_server.setPage(u"/first"_s, "<p>first</p>", "text/html", 800);
        m_server.setPage(u"/second"_s, "<p>second</p>");
        m_server.setPage(u"/third"_s, "<p>third</p>", "text/html", 1500);
        QSignalSpy completed(&m_browser, &Browser::DownloadComplete);
        m_browser.Navigate(m_server.url(u"/first"_s));
        m_browser.Navigate(m_server.url(u"/second"_s));
        QVERIFY(completed.wait(LoadDeadlineMs));
        QCOMPARE(bodyOf(m_browser), u"second"_s);
        // The third load outlasts the first one's answer, which must go unreported.
        QVERIFY(load(m_browser, m_server.url(u"/third"_s)));
        QCOMPARE(completed.count(), 2);
        QCOMPARE(bodyOf(m_browser), u"third"_s);
    }

    void pageThatMovesOnReportsItsNextLoad()
    {
        m_server.setPage(u"/moving"_s, "<script>setTimeout(function () { location = '/moved'; }, 50);</script>"
                                       "<p>moving</p>");
        m_server.setPage(u"/moved"_s, "<p>moved</p>");
        QVERIFY(load(m_browser, m_server.url(u"/moving"_s)));
        QCOMPARE(bodyOf(m_browser), u"moving"_s);

        QSignalSpy busy(&m_browser, &Browser::BusyChanged);
        QSignalSpy completed(&m_browser, &Browser::DownloadComplete);
        QVERIFY(completed.wait(LoadDeadlineMs));
        QCOMPARE(busy.count(), 2);
        QCOMPARE(bodyOf(m_browser), u"moved"_s);
        QCOMPARE(m_browser.url(), QUrl(m_server.url(u"/moved"_s)));
    }

    // A frame of the same site is asked where it is now; one of another site
    // cannot be asked, so its src stands in.
    void framesGiveTheirLocation()
    {
        m_server.setRedirect(u"/frame-old"_s, u"/frame-new"_s);
        m_server.setPage(u"/frame-new"_s, "<p>framed</p>");
        const QString otherSite = u"http://localhost:%1/elsewhere"_s.arg(m_server.port());
        m_server.setPage(u"/frames"_s, "<iframe src=\"/frame-old\"></iframe><iframe src=\"" + otherSite.toUtf8()
                                           + "\"></iframe><iframe></iframe>");
        QVERIFY(load(m_browser, m_server.url(u"/frames"_s)));
        QCOMPARE(m_browser.document()->frames(),
                 (QStringList{m_server.url(u"/frame-new"_s), otherSite, u"about:blank"_s}));
    }

    // The browser's own view, kept off screen, must not keep the program open
    // (the last test: it runs the program's event loop to its end).
    void closingTheLastWindowEndsTheProgram()
    {
        QWidget window;
        window.show();
        QTimer::singleShot(0, &window, &QWidget::close);
        QTimer::singleShot(LoadDeadlineMs, qApp, [] { QCoreApplication::exit(1); });
        QCOMPARE(QApplication::exec(), 0);
    }

private:
    TestHttpServer m_server;
    WebEngineBrowser m_browser;
};

PAGRION_WEBENGINE_TEST_MAIN(TestWebEngineBrowser)
#include "tst_webenginebrowser.moc"
