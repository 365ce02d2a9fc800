#include <QTest>
#include <QThread>

#include "batch/batchfixture.h"
#include "core/workbudget.h"
#include "engine/staticbrowser.h"
#include "layout/layouts.h"
#include "store/columnnames.h"
#include "support/resultcheck.h"
#include "support/testhttpserver.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;


class TestBatchRun : public QObject
{
    Q_OBJECT

private:
    TempProgramFolder *folder = nullptr;
    TestHttpServer *server = nullptr;
    StaticBrowser *browser = nullptr;
    PageWaiter *waiter = nullptr;
    RecordingHost *host = nullptr;
    Grid mainGrid, recordGrid;
    QStringList pageList;

    BatchSettings parameterSettings(int from, int to)
    {
        return tableRun(server->url(u"/item(*).html"_s), from, to);
    }

    // The reason kept for each page of the last run, in page order.
    QStringList pageReasons()
    {
        Database db;
        if (!db.open(folder->folder().resultDatabasePath()))
            return {};
        const auto rows = db.selectAll(u"select reason from batchpage where run = (select max(id) from batchrun) "
                                       "order by pageindex"_s);
        QStringList reasons;
        for (const QSqlRecord &row : rows.value())
            reasons << row.value(0).toString();
        return reasons;
    }

    BatchRun::Outcome run(const BatchSettings &settings)
    {
        BatchRun batch(*waiter, *host, mainGrid, recordGrid, pageList);
        return batch.run(settings);
    }

private Q_SLOTS:
    void init()
    {
        folder = new TempProgramFolder;
        QVERIFY(folder->isValid());
        server = new TestHttpServer;
        browser = new StaticBrowser;
        browser->setTimeLimitMs(3000);
        waiter = new PageWaiter(*browser);
        host = new RecordingHost(*waiter);
        // The second row of the page's table makes one record: name and price.
        PAGRION_VERIFY_OK(saveLayout({{u"2,0"_s, u"2,1"_s}}));
        for (int i = 1; i <= 3; ++i)
            server->setPage(u"/item%1.html"_s.arg(i), tablePage(u"物品%1"_s.arg(i), QString::number(i * 10)));
    }
    void cleanup()
    {
        delete host;
        delete waiter;
        delete browser;
        delete server;
        delete folder;
    }

    void parameterRunStoresEveryPageAndSkipsErrorPages()
    {
        server->setPage(u"/item2.html"_s, "<html><body><p>对不起，无法找到网页</p><table><tr><td>x</td></tr></table></body></html>");
        const auto outcome = run(parameterSettings(1, 4)); // 4 is not served: 404, a failed page
        QCOMPARE(outcome.end, BatchRun::End::Finished);
        QCOMPARE(outcome.stats.pages, 4);
        QCOMPARE(outcome.stats.skipped, 1);
        QCOMPARE(outcome.stats.failed, 1);
        QCOMPARE(outcome.stats.records, 2);
        QCOMPARE(storedRecords(*folder, 2),
                 (QList<QStringList>{{u"\r\n物品1"_s, u"10"_s}, {u"\r\n物品3"_s, u"30"_s}}));
        QCOMPARE(pageList.size(), 4);
        QCOMPARE(host->statuses.last(), u"采集完成"_s);
        QCOMPARE(host->activity, (QList<bool>{true, false}));
        QVERIFY(!host->busy);
        QVERIFY(host->messages.isEmpty());
    }

    void overwriteEmptiesTheResultsOnceBeforeTheFirstPage()
    {
        auto settings = parameterSettings(1, 1);
        run(settings);
        settings.overwrite = true;
        settings.to = u"3"_s;
        run(settings);
        QCOMPARE(storedRecords(*folder, 2).size(), 3);
    }

    void checksRefuseBadInputBeforeAnythingStarts_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("tables");
        QTest::addColumn<QString>("message");
        QTest::newRow("no wildcard") << u"http://a.test/x"_s << u"1"_s << u"TableName0"_s
                                     << u"系统不存在通配符无法搜集信息！"_s;
        QTest::newRow("blank table names") << u"http://a.test/(*)"_s << u"1"_s << u"  "_s
                                           << u"系统没有指定提取表单名称不能进行数据搜集！"_s;
        QTest::newRow("end before start") << u"http://a.test/x"_s << u"9"_s << QString()
                                          << u"结束值不能小于初始值！"_s;
    }
    void checksRefuseBadInputBeforeAnythingStarts()
    {
        QFETCH(QString, address);
        QFETCH(QString, from);
        QFETCH(QString, tables);
        QFETCH(QString, message);
        auto settings = parameterSettings(1, 2);
        settings.address = address;
        settings.from = from;
        settings.tableNames = tables;
        QCOMPARE(run(settings).end, BatchRun::End::Refused);
        QCOMPARE(host->messages, QStringList{message});
        QVERIFY(host->activity.isEmpty());
        QCOMPARE(server->requests().size(), 0);
    }

    void stopEndsTheWaitAndKeepsEarlierPages()
    {
        server->setPage(u"/item2.html"_s, tablePage(u"慢"_s, u"0"_s), "text/html; charset=utf-8", 2000);
        host->stopAtPage = 1;
        const auto outcome = run(parameterSettings(1, 3));
        QCOMPARE(outcome.end, BatchRun::End::Stopped);
        QCOMPARE(host->statuses.last(), u"中断采集"_s);
        QCOMPARE(host->started.size(), 2);
        QCOMPARE(storedRecords(*folder, 2), (QList<QStringList>{{u"\r\n物品1"_s, u"10"_s}}));
        QVERIFY(!host->busy);
    }

    // The work on a loaded page keeps to the page's time limit: a page that
    // runs over fails with the reason and keeps nothing, the run goes on. A
    // stop (a signal, here) ends the page's work, keeping nothing of it.
    void pageWorkEndsAtTheTimeLimitOrAStop()
    {
        auto settings = parameterSettings(1, 3);
        settings.limits.timeLimitMs = 400;
        host->whileStoring = [](const QString &rowText) {
            if (rowText.contains(u"物品2"_s))
                QThread::msleep(450);
        };
        auto outcome = run(settings);
        QCOMPARE(outcome.end, BatchRun::End::Finished);
        QCOMPARE(outcome.stats.failed, 1);
        QCOMPARE(host->failures, QStringList{u"1 网页的内容太多，在 0.4 秒内没有处理完。"_s});
        QCOMPARE(storedRecords(*folder, 2), (QList<QStringList>{{u"\r\n物品1"_s, u"10"_s}, {u"\r\n物品3"_s, u"30"_s}}));

        host->whileStoring = [](const QString &rowText) {
            if (rowText.contains(u"物品2"_s))
                interruptWork();
        };
        settings.overwrite = true;
        outcome = run(settings);
        QCOMPARE(outcome.end, BatchRun::End::Stopped);
        QCOMPARE(host->statuses.last(), u"中断采集"_s);
        QCOMPARE(storedRecords(*folder, 2), (QList<QStringList>{{u"\r\n物品1"_s, u"10"_s}}));
        QCOMPARE(pageReasons().value(1), QString());
    }

    void missingDefinitionEndsTheRunWithItsMessage()
    {
        PAGRION_VERIFY_OK(saveFields({})); // saving a field list empties the layout
        const auto outcome = run(parameterSettings(1, 3));
        QCOMPARE(outcome.end, BatchRun::End::DefinitionFailed);
        QCOMPARE(host->messages, QStringList{u"无排版信息系统不能识别！"_s});
        QVERIFY(storedRecords(*folder, 2).isEmpty());
    }

    // A page the layout does not fit fails alone, with the layout's message
    // as its reason, and the pages after it are still harvested.
    void misfitPageFailsAloneWithItsReason()
    {
        server->setPage(u"/item2.html"_s, "<table><tr><td>只有</td></tr><tr><td>一列</td></tr></table>");
        const auto outcome = run(parameterSettings(1, 3));
        QCOMPARE(outcome.end, BatchRun::End::Finished);
        QCOMPARE(outcome.stats.failed, 1);
        QCOMPARE(outcome.stats.records, 2);
        QCOMPARE(host->failures.size(), 1);
        QVERIFY2(host->failures.first().startsWith(u"1 "_s) && host->failures.first().contains(u"2,1"_s),
                 qPrintable(host->failures.first()));
        QCOMPARE(outcome.stats.failures.value(host->failures.first().mid(2)), 1);
        QCOMPARE(storedRecords(*folder, 2),
                 (QList<QStringList>{{u"\r\n物品1"_s, u"10"_s}, {u"\r\n物品3"_s, u"30"_s}}));
        QCOMPARE(pageReasons(), (QStringList{QString(), host->failures.first().mid(2), QString()}));
        QCOMPARE(host->statuses.last(), u"采集完成"_s);
    }

    // Every row of the table a record, lined up under the header's names,
    // with the page and the row it came from; a page without the table
    // stores nothing and says why.
    void everyRowStoresEveryRowWithItsSource()
    {
        PAGRION_VERIFY_OK(saveFields({})); // 逐行记录 needs no stored definition
        const QByteArray head = "<table><tr><th>名称</th><th>价格</th></tr>";
        server->setPage(u"/rows1.html"_s, head + "<tr><td>甲</td><td>1</td></tr><tr><td>乙</td><td>2</td></tr></table>");
        server->setPage(u"/rows2.html"_s, head + "<tr><td colspan='2'>丙</td></tr></table>");
        server->setPage(u"/rows3.html"_s, "<p>没有表格</p>");
        auto settings = tableRun(server->url(u"/rows(*).html"_s), 1, 3);
        settings.records = RecordSource::EveryRow;
        const auto outcome = run(settings);
        QCOMPARE(outcome.end, BatchRun::End::Finished);
        QCOMPARE(outcome.stats.records, 3);
        QCOMPARE(outcome.stats.failed, 0);
        const QString page1 = server->url(u"/rows1.html"_s);
        QCOMPARE(storedRecords(*folder, 4), (QList<QStringList>{{u"甲"_s, u"1"_s, page1, u"1"_s},
                                                                {u"乙"_s, u"2"_s, page1, u"2"_s},
                                                                {u"丙"_s, u"丙"_s, server->url(u"/rows2.html"_s), u"1"_s}}));
        Database db;
        QVERIFY(db.open(folder->folder().resultDatabasePath()));
        QCOMPARE(readColumnNames(db).value(), (QStringList{u"名称"_s, u"价格"_s, u"来源网址"_s, u"行号"_s}));
        QCOMPARE(pageReasons(), (QStringList{QString(), QString(), u"网页中没有表格 TableName0"_s}));

        // Without the source columns the records end with the table's own.
        settings.overwrite = true;
        settings.sourceColumns = false;
        run(settings);
        QCOMPARE(storedRecords(*folder, 3).first(), (QStringList{u"甲"_s, u"1"_s, QString()}));
    }

    void fieldListMakesOneRecordPerPage()
    {
        PAGRION_VERIFY_OK(saveFields({{u"1"_s, u"名称"_s}}));
        auto settings = parameterSettings(1, 2);
        settings.records = RecordSource::Fields;
        run(settings);
        QCOMPARE(storedRecords(*folder, 1), (QList<QStringList>{{u"名称"_s}, {u"名称"_s}}));
    }

    void linkRunVisitsFilteredLinksInOrder()
    {
        server->setPage(u"/start.html"_s,
                        "<html><body><a href='item1.html'>1</a><a href='mailto:a@b.test'>m</a>"
                        "<a href='item3.html'>3</a><a href='item1.html'>again</a></body></html>");
        BatchSettings settings = parameterSettings(0, 0);
        settings.mode = BatchSettings::Mode::Links;
        settings.address = server->url(u"/start.html"_s);
        const auto outcome = run(settings);
        QCOMPARE(outcome.end, BatchRun::End::Finished);
        QCOMPARE(pageList, (QStringList{server->url(u"/item1.html"_s), server->url(u"/item3.html"_s),
                                        server->url(u"/item1.html"_s)}));
        QCOMPARE(storedRecords(*folder, 1),
                 (QList<QStringList>{{u"\r\n物品1"_s}, {u"\r\n物品3"_s}, {u"\r\n物品1"_s}}));
        QCOMPARE(host->statuses.last(), u"搜索完成"_s);
    }

    // Whatever the stored fragments say, a start page from the web leads
    // the run to web pages only.
    void remoteStartPageLeadsOnlyToTheWeb()
    {
        Database db;
        QVERIFY(db.open(folder->folder().configDatabasePath()));
        PAGRION_VERIFY_OK(db.run(u"delete from WebErr"_s));
        server->setPage(u"/start.html"_s,
                        "<a href='file:///etc/hostname'>f</a><a href='data:text/html,<table>'>d</a>"
                        "<a href='javascript:go()'>j</a><a href='ftp://127.0.0.1/item1.html'>ftp</a>"
                        "<a href='item2.html'>2</a>");
        BatchSettings settings = parameterSettings(0, 0);
        settings.mode = BatchSettings::Mode::Links;
        settings.address = server->url(u"/start.html"_s);
        QCOMPARE(run(settings).end, BatchRun::End::Finished);
        QCOMPARE(pageList, QStringList{server->url(u"/item2.html"_s)});
    }

    void unreachableAndSlowPagesFailWithTheirReasons()
    {
        server->setPage(u"/slow.html"_s, tablePage(u"慢"_s, u"0"_s), "text/html; charset=utf-8", 3000);
        server->setPage(u"/start.html"_s, (u"<a href='http://127.0.0.1:1/refused.html'>r</a><a href='slow.html'>s</a>"
                                           "<a href='item2.html'>2</a>"_s)
                                              .toUtf8());
        BatchSettings settings = parameterSettings(0, 0);
        settings.mode = BatchSettings::Mode::Links;
        settings.address = server->url(u"/start.html"_s);
        settings.limits.timeLimitMs = 500;
        settings.policy.retries = 0;
        const auto outcome = run(settings);
        QCOMPARE(outcome.end, BatchRun::End::Finished);
        QCOMPARE(outcome.stats.pages, 3);
        QCOMPARE(outcome.stats.skipped, 0);
        QCOMPARE(outcome.stats.failed, 2);
        QCOMPARE(host->failures, (QStringList{u"0 连接被拒绝"_s, u"1 超时"_s}));
        QCOMPARE(storedRecords(*folder, 2), (QList<QStringList>{{u"\r\n物品2"_s, u"20"_s}}));
    }

    void linkRunWithoutPages()
    {
        BatchSettings settings = parameterSettings(0, 0);
        settings.mode = BatchSettings::Mode::Links;
        settings.overwrite = true;
        run(parameterSettings(1, 1)); // one record to be emptied

        server->setPage(u"/none.html"_s, "<html><body>没有链接</body></html>");
        settings.address = server->url(u"/none.html"_s);
        run(settings);
        QCOMPARE(host->messages, QStringList{u"该页面没有可搜索的信息。"_s});
        QCOMPARE(storedRecords(*folder, 1).size(), 1); // untouched

        server->setPage(u"/filtered.html"_s, "<html><body><a href='javascript:go()'>x</a></body></html>");
        settings.address = server->url(u"/filtered.html"_s);
        const auto outcome = run(settings);
        QCOMPARE(outcome.end, BatchRun::End::Finished);
        QVERIFY(pageList.isEmpty());
        QCOMPARE(host->statuses.last(), u"搜索完成"_s);
        QVERIFY(storedRecords(*folder, 1).isEmpty()); // emptied all the same
        QVERIFY(!host->busy);
    }
};

QTEST_GUILESS_MAIN(TestBatchRun)
#include "tst_batchrun.moc"
