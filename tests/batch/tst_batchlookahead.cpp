#include <QTest>

#include "batch/batchfixture.h"
#include "batch/batchresume.h"
#include "engine/html/htmldocument.h"
#include "engine/staticbrowser.h"
#include "layout/layouts.h"
#include "store/resultstore.h"
#include "support/resultcheck.h"
#include "support/testhttpserver.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;

namespace {

QList<QStringList> pageRecords(int from, int to)
{
    QList<QStringList> records;
    for (int i = from; i <= to; ++i)
        records << QStringList{u"\r\n物品%1"_s.arg(i), QString::number(i * 10)};
    return records;
}

// The state and reason the run's journal holds for each page, in page order.
QStringList journal(const TempProgramFolder &folder)
{
    Database db;
    if (!db.open(folder.folder().resultDatabasePath()))
        return {};
    const auto rows = db.selectAll(u"select state, reason from batchpage order by run, pageindex"_s);
    QStringList states;
    for (const QSqlRecord &row : rows.value())
        states << QString(row.value(0).toString() + u' ' + row.value(1).toString()).trimmed();
    return states;
}

} // namespace

// A run loads pages ahead of the one it handles and tries failed ones again,
// yet handles and stores every page in the order of its list.
class TestBatchLookAhead : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TempProgramFolder> folder;
    std::unique_ptr<TestHttpServer> server;
    std::unique_ptr<StaticBrowser> browser;
    std::unique_ptr<PageWaiter> waiter;
    std::unique_ptr<RecordingHost> host;
    Grid mainGrid, recordGrid;
    QStringList pageList;

    BatchSettings settings(int from, int to, int concurrency)
    {
        BatchSettings settings = tableRun(server->url(u"/p(*).html"_s), from, to);
        settings.policy.concurrency = concurrency;
        return settings;
    }

    BatchRun::Outcome run(const BatchSettings &settings)
    {
        BatchRun batch(*waiter, *host, mainGrid, recordGrid, pageList);
        return batch.run(settings);
    }

    void servePages(int count, const std::function<int(int)> &delayMs = {})
    {
        for (int i = 1; i <= count; ++i) {
            server->setPage(u"/p%1.html"_s.arg(i), tablePage(u"物品%1"_s.arg(i), QString::number(i * 10)),
                            "text/html; charset=utf-8", delayMs ? delayMs(i) : 0);
        }
    }

private Q_SLOTS:
    void init()
    {
        folder = std::make_unique<TempProgramFolder>();
        QVERIFY(folder->isValid());
        server = std::make_unique<TestHttpServer>();
        browser = std::make_unique<StaticBrowser>();
        waiter = std::make_unique<PageWaiter>(*browser);
        host = std::make_unique<RecordingHost>(*waiter);
        PAGRION_VERIFY_OK(saveLayout({{u"2,0"_s, u"2,1"_s}}));
    }
    void cleanup()
    {
        host.reset();
        waiter.reset();
        browser.reset();
        server.reset();
        folder.reset();
    }

    void pagesAnsweringOutOfOrderAreStoredInListOrder()
    {
        // Later pages often answer before earlier ones.
        servePages(12, [](int i) { return (i * 7 % 5) * 60; });
        const auto outcome = run(settings(1, 12, 4));
        QCOMPARE(outcome.end, BatchRun::End::Finished);
        QCOMPARE(storedRecords(*folder, 2), pageRecords(1, 12));
        QCOMPARE(host->started.size(), 12);
        QCOMPARE(host->started.first(), server->url(u"/p1.html"_s));
        QCOMPARE(host->started.last(), server->url(u"/p12.html"_s));
        const int atOnce = TestHttpServer::mostAtOnce(server->requests());
        QVERIFY2(atOnce > 1 && atOnce <= 4, qPrintable(QString::number(atOnce)));
    }

    void oneAtATimeRequestsThePagesOneAfterAnother()
    {
        servePages(5, [](int i) { return (5 - i) * 30; });
        QCOMPARE(run(settings(1, 5, 1)).end, BatchRun::End::Finished);
        const auto requests = server->requests();
        QStringList targets;
        for (const auto &request : requests)
            targets << request.target;
        QCOMPARE(targets, (QStringList{u"/p1.html"_s, u"/p2.html"_s, u"/p3.html"_s, u"/p4.html"_s, u"/p5.html"_s}));
        for (qsizetype i = 1; i < requests.size(); ++i)
            QVERIFY(requests[i].receivedMs >= requests[i - 1].answeredMs);
    }

    void stopDropsThePagesLoadedAhead()
    {
        servePages(8);
        server->setPage(u"/p3.html"_s, tablePage(u"慢"_s, u"0"_s), "text/html; charset=utf-8", 2000);
        host->stopAtPage = 2;
        const auto outcome = run(settings(1, 8, 4));
        QCOMPARE(outcome.end, BatchRun::End::Stopped);
        QCOMPARE(outcome.stats.pages, 2); // the page the stop cut short is not counted
        QVERIFY(server->requestCount(u"/p4.html"_s) == 1); // loaded ahead...
        QCOMPARE(storedRecords(*folder, 2), pageRecords(1, 2)); // ...and never stored
        QCOMPARE(journal(*folder).mid(0, 4), (QStringList{u"stored"_s, u"stored"_s, u"pending"_s, u"pending"_s}));
    }

    void resumeStoresEachRemainingPageOnce()
    {
        servePages(6);
        server->setPage(u"/p4.html"_s, tablePage(u"物品4"_s, u"40"_s), "text/html; charset=utf-8", 1000);
        host->stopAtPage = 3;
        auto first = settings(1, 6, 3);
        first.overwrite = true;
        QCOMPARE(run(first).end, BatchRun::End::Stopped);
        QCOMPARE(storedRecords(*folder, 2), pageRecords(1, 3));

        host->stopAtPage = -1;
        host->stopped = false;
        auto again = first;
        again.resume = true; // the results are not emptied again
        const auto outcome = run(again);
        QCOMPARE(outcome.end, BatchRun::End::Finished);
        // Told whole, the part this time beside it.
        QCOMPARE(outcome.stats.pages, 6);
        QCOMPARE(outcome.stats.records, 6);
        QCOMPARE(outcome.resumedPart->pages, 3);
        QCOMPARE(storedRecords(*folder, 2), pageRecords(1, 6));
        QCOMPARE(server->requestCount(u"/p1.html"_s), 1);
        QCOMPARE(pageList.size(), 6);

        // A run that got to its end has nothing left to go on with: the
        // user is told, and no page is loaded or stored again.
        host->messages.clear();
        const auto whole = run(again);
        QCOMPARE(whole.resumedPart->pages, 0);
        QCOMPARE(whole.stats.pages, 6);
        QCOMPARE(host->messages.size(), 1);
        QCOMPARE(server->requestCount(u"/p1.html"_s), 1);
        QCOMPARE(storedRecords(*folder, 2), pageRecords(1, 6));
    }

    void emptiedResultsAreNotContinued()
    {
        servePages(4);
        server->setPage(u"/p3.html"_s, tablePage(u"物品3"_s, u"30"_s), "text/html; charset=utf-8", 1000);
        host->stopAtPage = 2;
        QCOMPARE(run(settings(1, 4, 2)).end, BatchRun::End::Stopped);
        PAGRION_VERIFY_OK(clearRecords());

        host->stopAtPage = -1;
        host->stopped = false;
        auto again = settings(1, 4, 2);
        again.resume = true;
        // Nothing to go on with: the run says so and changes nothing.
        again.overwrite = true;
        const qsizetype requests = server->requests().size();
        QCOMPARE(run(again).end, BatchRun::End::Refused);
        QVERIFY(host->messages.last().contains(u"没有找到"_s));
        QCOMPARE(server->requests().size(), requests);
        // Started afresh, every page is loaded again: the first two are gone.
        again.resume = false;
        QCOMPARE(run(again).stats.pages, 4);
        QCOMPARE(storedRecords(*folder, 2), pageRecords(1, 4));
    }

    // Going on with a run whose settings changed finds none, and leaves the
    // results as they are even when asked to overwrite them.
    void resumeWithoutMatchingRunChangesNothing()
    {
        servePages(3);
        QCOMPARE(run(settings(1, 2, 2)).end, BatchRun::End::Finished);
        auto other = settings(1, 3, 2);
        other.resume = true;
        other.overwrite = true;
        QCOMPARE(run(other).end, BatchRun::End::Refused);
        QCOMPARE(storedRecords(*folder, 2), pageRecords(1, 2));
    }

    // Each record choice is a run of its own: 逐行记录 never goes on with a
    // run stopped while using the field list.
    void resumeKeepsToTheRecordChoice()
    {
        servePages(3);
        server->setPage(u"/p2.html"_s, tablePage(u"物品2"_s, u"20"_s), "text/html; charset=utf-8", 1000);
        host->stopAtPage = 1;
        PAGRION_VERIFY_OK(saveFields({{u"1"_s, u"名称"_s}}));
        auto fields = settings(1, 3, 1);
        fields.records = RecordSource::Fields;
        QCOMPARE(run(fields).end, BatchRun::End::Stopped);
        auto rows = fields;
        rows.records = RecordSource::EveryRow;
        QVERIFY(unfinishedRun(fields));
        QVERIFY(!unfinishedRun(rows));
    }

    void failedPagesStoreNothingAndKeepTheirReasons()
    {
        servePages(4);
        server->setRoute(u"/p2.html"_s, TestHttpServer::page("<table><tr><td>x</td><td>y</td></tr></table>", 404));
        server->setRoute(u"/p3.html"_s, TestHttpServer::page("<table><tr><td>x</td><td>y</td></tr></table>", 500));
        auto failing = settings(1, 4, 4);
        failing.policy.retries = 1;
        const auto outcome = run(failing);
        QCOMPARE(outcome.end, BatchRun::End::Finished);
        QCOMPARE(outcome.stats.failed, 2);
        QCOMPARE(outcome.stats.skipped, 0);
        QCOMPARE(host->failures, (QStringList{u"1 HTTP 404"_s, u"2 HTTP 500"_s}));
        QCOMPARE(storedRecords(*folder, 2), (QList<QStringList>{pageRecords(1, 1).first(), pageRecords(4, 4).first()}));
        QCOMPARE(journal(*folder), (QStringList{u"stored"_s, u"failed HTTP 404"_s, u"failed HTTP 500"_s, u"stored"_s}));
        QCOMPARE(server->requestCount(u"/p2.html"_s), 1); // not worth a second try
        QCOMPARE(server->requestCount(u"/p3.html"_s), 2);
    }

    // Pages loaded ahead wait within the memory budget: a budget of three
    // pages' worth keeps at most three ahead of the one waited for, and one
    // smaller than a page loads the pages one after another; every page is
    // still stored, in order.
    void pagesAheadKeepWithinTheMemoryBudget()
    {
        QByteArray table = "<table>";
        for (int row = 0; row < 5000; ++row)
            table += "<tr><td>行</td><td>" + QByteArray::number(row) + "</td></tr>";
        const qint64 pageCost = parseHtmlDocument(QString::fromUtf8(table))->heldBytes();
        QVERIFY(pageCost > 0);
        for (int i = 1; i <= 10; ++i) {
            server->setPage(u"/p%1.html"_s.arg(i), tablePage(u"物品%1"_s.arg(i), QString::number(i * 10)) + table,
                            "text/html; charset=utf-8", 150);
        }
        auto bounded = settings(1, 10, 8);
        bounded.aheadBytes = 3 * pageCost + pageCost / 2;
        QCOMPARE(run(bounded).end, BatchRun::End::Finished);
        QCOMPARE(storedRecords(*folder, 2), pageRecords(1, 10));
        int atOnce = TestHttpServer::mostAtOnce(server->requests());
        QVERIFY2(atOnce >= 2 && atOnce <= 4, qPrintable(QString::number(atOnce)));

        const qsizetype before = server->requests().size();
        bounded.overwrite = true;
        bounded.aheadBytes = 1;
        QCOMPARE(run(bounded).end, BatchRun::End::Finished);
        QCOMPARE(storedRecords(*folder, 2), pageRecords(1, 10));
        // Only the second page loads beside the first, before any page has shown what it costs.
        atOnce = TestHttpServer::mostAtOnce(server->requests().mid(before + 2));
        QCOMPARE(atOnce, 1);
    }

    void retriedPageKeepsItsPlace()
    {
        servePages(5);
        auto busy = TestHttpServer::page("<p>busy</p>", 503);
        busy.headers.append({QByteArrayLiteral("Retry-After"), QByteArrayLiteral("1")});
        server->setRoutes(u"/p2.html"_s, {busy, TestHttpServer::page(tablePage(u"物品2"_s, u"20"_s))});
        const auto outcome = run(settings(1, 5, 4));
        QCOMPARE(outcome.end, BatchRun::End::Finished);
        QCOMPARE(outcome.stats.failed, 0);
        QCOMPARE(storedRecords(*folder, 2), pageRecords(1, 5));
        const auto tries = server->requestsFor(u"/p2.html"_s);
        QCOMPARE(tries.size(), 2);
        QVERIFY2(tries[1].receivedMs - tries[0].answeredMs >= 900, // Retry-After, not the short back-off
                 qPrintable(QString::number(tries[1].receivedMs - tries[0].answeredMs)));
    }

    void delaySpacesTheRequestsToAHost()
    {
        servePages(5);
        auto paced = settings(1, 5, 4);
        paced.policy.delayMs = 200;
        QCOMPARE(run(paced).end, BatchRun::End::Finished);
        QCOMPARE(storedRecords(*folder, 2), pageRecords(1, 5));
        const auto requests = server->requests();
        QCOMPARE(requests.size(), 5);
        for (qsizetype i = 1; i < requests.size(); ++i) {
            QVERIFY2(requests[i].receivedMs - requests[i - 1].receivedMs >= 180,
                     qPrintable(QString::number(requests[i].receivedMs - requests[i - 1].receivedMs)));
        }
    }
};

QTEST_GUILESS_MAIN(TestBatchLookAhead)
#include "tst_batchlookahead.moc"
