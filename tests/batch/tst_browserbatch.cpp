#include <QTest>

#include "batch/batchfixture.h"
#include "engine/webengine/webenginebrowser.h"
#include "layout/layouts.h"
#include "support/resultcheck.h"
#include "support/testhttpserver.h"
#include "support/webenginetest.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;

namespace {

// A page whose script writes its one table: a name and a price.
QByteArray scriptedPage(int i, const QString &extra = {})
{
    return (u"<html><body>"_s + extra
            + u"<script>document.write('<table><tr><td>物品%1</td><td>%2</td></tr></table>')</script></body></html>"_s
                  .arg(i)
                  .arg(i * 10))
        .toUtf8();
}

QStringList storedPairs(const TempProgramFolder &folder)
{
    QStringList pairs;
    for (const QStringList &record : storedRecords(folder, 2))
        pairs << record.join(u'=');
    return pairs;
}

QStringList expectedPairs(int from, int to)
{
    QStringList pairs;
    for (int i = from; i <= to; ++i)
        pairs << u"物品%1=%2"_s.arg(i).arg(i * 10);
    return pairs;
}

} // namespace

// Parameter runs with the full browser, which loads a few pages at once:
// what the pages' scripts write is collected like any other table, in the
// order of the list.
class TestBrowserBatch : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TempProgramFolder> folder;
    std::unique_ptr<TestHttpServer> server;
    std::unique_ptr<WebEngineBrowser> browser;
    std::unique_ptr<PageWaiter> waiter;
    std::unique_ptr<RecordingHost> host;
    Grid mainGrid, recordGrid;
    QStringList pages;

    BatchSettings settings(int from, int to)
    {
        BatchSettings settings = tableRun(server->url(u"/item(*).html"_s), from, to);
        settings.limits.timeLimitMs = 10'000;
        return settings;
    }

    BatchRun::Outcome run(const BatchSettings &settings)
    {
        BatchRun batch(*waiter, *host, mainGrid, recordGrid, pages);
        return batch.run(settings);
    }

    QList<TestHttpServer::Request> pageRequests() const
    {
        QList<TestHttpServer::Request> requests;
        for (const auto &request : server->requests()) {
            if (request.target.startsWith(u"/item"_s))
                requests << request;
        }
        return requests;
    }

private Q_SLOTS:
    void init()
    {
        folder = std::make_unique<TempProgramFolder>();
        QVERIFY(folder->isValid());
        PAGRION_VERIFY_OK(saveLayout({{u"1,0"_s, u"1,1"_s}}));
        server = std::make_unique<TestHttpServer>();
        browser = std::make_unique<WebEngineBrowser>();
        waiter = std::make_unique<PageWaiter>(*browser);
        host = std::make_unique<RecordingHost>(*waiter);
    }
    void cleanup()
    {
        host.reset();
        waiter.reset();
        browser.reset();
        server.reset();
        folder.reset();
    }

    void scriptWrittenTablesAreCollectedInOrder()
    {
        for (int i = 1; i <= 6; ++i) {
            server->setPage(u"/item%1.html"_s.arg(i), scriptedPage(i), "text/html; charset=utf-8",
                            (i * 7 % 4) * 150);
        }
        const auto outcome = run(settings(1, 7)); // the seventh page is missing: it fails
        QCOMPARE(outcome.end, BatchRun::End::Finished);
        QCOMPARE(outcome.stats.failed, 1);
        QCOMPARE(host->failures, QStringList{u"6 HTTP 404"_s});
        QVERIFY(host->messages.isEmpty());
        QCOMPARE(storedPairs(*folder), expectedPairs(1, 6));
        const int atOnce = TestHttpServer::mostAtOnce(pageRequests());
        QVERIFY2(atOnce > 1 && atOnce <= LoadSettings::DefaultBrowserPages, qPrintable(QString::number(atOnce)));
        // The window's own browser fetches media again after the run.
        QVERIFY(browser->loadsMedia());
    }

    void batchPagesFetchNoMediaUnlessAsked()
    {
        server->setPage(u"/item1.html"_s,
                        scriptedPage(1, u"<img src='/pic.png'><video src='/clip.mp4'></video>"
                                        "<style>@font-face{font-family:f;src:url(/font.woff)} p{font-family:f}</style>"
                                        "<p>文字</p>"_s));
        QCOMPARE(run(settings(1, 1)).stats.records, 1);
        for (const QString &path : {u"/pic.png"_s, u"/clip.mp4"_s, u"/font.woff"_s})
            QCOMPARE(server->requestCount(path), 0);

        auto withMedia = settings(1, 1);
        withMedia.loadMedia = true;
        QCOMPARE(run(withMedia).stats.records, 1);
        QVERIFY(server->requestCount(u"/pic.png"_s) > 0);
    }

    void failedPageIsTriedAgainInItsPlace()
    {
        for (int i = 1; i <= 4; ++i)
            server->setPage(u"/item%1.html"_s.arg(i), scriptedPage(i));
        server->setRoutes(u"/item2.html"_s,
                          {TestHttpServer::page("<p>busy</p>", 503), TestHttpServer::page(scriptedPage(2))});
        const auto outcome = run(settings(1, 4));
        QCOMPARE(outcome.stats.failed, 0);
        QCOMPARE(storedPairs(*folder), expectedPairs(1, 4));
        QCOMPARE(server->requestCount(u"/item2.html"_s), 2);
    }
};

PAGRION_WEBENGINE_TEST_MAIN(TestBrowserBatch)
#include "tst_browserbatch.moc"
