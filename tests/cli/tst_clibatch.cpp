#include <csignal>
#include <memory>

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTimer>

#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

#include "cli/clirun.h"
#include "layout/layouts.h"
#include "store/batchlock.h"
#include "store/database.h"
#include "store/loadsettings.h"
#include "store/sitesettings.h"
#include "support/resultcheck.h"
#include "support/tempprogramfolder.h"
#include "support/testhttpserver.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;

namespace {

const QString Site = u"http://shop.test/list"_s;

// A page of a chain: the table of tablePage, then links to the first and
// the previous page and, unless next is empty, the link to the next.
QByteArray chainPage(const QString &chain, int item, const QString &next)
{
    QString links = u"<a href='%1'>首页</a> <a href='%2'>上一页</a>"_s.arg(chain.arg(1), chain.arg(std::max(item - 1, 1)));
    if (!next.isEmpty())
        links += u" <a href='%1'>下一页</a>"_s.arg(next);
    return tablePage(item).replace(QByteArrayLiteral("</body>"), QByteArray(links.toUtf8() + "</body>"));
}

QList<QStringList> itemRecords(int from, int to)
{
    QList<QStringList> records;
    for (int i = from; i <= to; ++i)
        records << QStringList{u"物品%1"_s.arg(i), QString::number(i * 10)};
    return records;
}

void runSql(const QString &file, const QString &statement)
{
    Database db;
    QVERIFY(db.open(file));
    QVERIFY(db.run(statement));
}

} // namespace

class TestCliBatch : public QObject
{
    Q_OBJECT

private:
    TestHttpServer m_server;
    std::unique_ptr<TempProgramFolder> m_folder;

    QStringList batch(const QStringList &options) const
    {
        return QStringList{u"batch"_s, u"--site"_s, Site, u"--data"_s, m_folder->folder().root()} + options;
    }
    QStringList pattern(const QString &path, int from, int to) const
    {
        return {u"--pattern"_s, m_server.url(path), u"--from"_s, QString::number(from), u"--to"_s,
                QString::number(to)};
    }
    QList<QStringList> records() const { return storedRecords(*m_folder); }
    QStringList nextPage(const QString &path) const { return {u"--next-page"_s, m_server.url(path)}; }
    // A chain of pages named after `chain` ("/chain%1.html"), each linking to
    // the next, the last to none.
    void serveChain(const QString &chain, int pages)
    {
        for (int i = 1; i <= pages; ++i)
            m_server.setPage(chain.arg(i), chainPage(chain, i, i < pages ? chain.arg(i + 1) : QString()));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_server.isListening());
        for (int i = 1; i <= 3; ++i) {
            m_server.setPage(u"/item%1.html"_s.arg(i), tablePage(i));
            m_server.setPage(u"/store%1.html"_s.arg(i), tablePage(i));
        }
        m_server.setPage(u"/error2.html"_s, "<html><body><p>无法找到网页</p></body></html>");
        m_server.setPage(u"/error1.html"_s, tablePage(1));
        m_server.setPage(u"/error3.html"_s, tablePage(3));
        m_server.setRoute(u"/error4.html"_s, TestHttpServer::page(tablePage(4), 500));
        m_server.setPage(u"/stop1.html"_s, tablePage(1));
        // Slower than the test's own deadline: only the interrupt can end its wait.
        m_server.setPage(u"/stop2.html"_s, tablePage(2), "text/html; charset=utf-8", 120'000);
        m_server.setPage(u"/links.html"_s,
                         "<html><body><a href='item1.html'>1</a><a href='item3.html'>3</a>"
                         "<a href='item1.html'>1</a></body></html>");
    }

    void init()
    {
        m_folder = std::make_unique<TempProgramFolder>();
        QVERIFY2(m_folder->isValid(), qPrintable(m_folder->error()));
        PAGRION_VERIFY_OK(saveSiteSettings({Site, u"TableName0"_s, QString(), false, u"表格"_s}));
        // The table's second row makes one record: name and price.
        PAGRION_VERIFY_OK(saveLayout({{u"2,0"_s, u"2,1"_s}}));
    }
    void cleanup() { m_folder.reset(); }

    void parameterRunStoresPagesSkipsErrorPagesAndNamesFailedOnes()
    {
        // Page 2 shows an error text, page 4 answers 500 however often it is
        // asked, page 5 is not served (404).
        const CliRun run = runCli(batch(pattern(u"/error(*).html"_s, 1, 5) << u"--retries"_s << u"1"_s));
        QCOMPARE(run.exitCode, 5);
        QCOMPARE(run.out, u"pages 5, skipped 1, failed 2, records 2\n失败原因：\n  1 页：HTTP 404\n  1 页：HTTP 500\n"_s.toUtf8());
        QCOMPARE(records(), (QList<QStringList>{{u"物品1"_s, u"10"_s}, {u"物品3"_s, u"30"_s}}));
        // Standard error is no terminal here: a line per page, then the end.
        for (int i = 1; i <= 5; ++i)
            QVERIFY2(run.err.contains(m_server.url(u"/error%1.html"_s.arg(i)).toUtf8()), run.err.constData());
        QVERIFY(run.err.contains(u"第 4/5 页失败（HTTP 500）"_s.toUtf8()));
        QVERIFY(run.err.contains(u"第 5/5 页失败（HTTP 404）"_s.toUtf8()));
        QVERIFY(run.err.endsWith("pagrion-cli: 采集完成\n"));
        QCOMPARE(m_server.requestCount(u"/error4.html"_s), 2);
    }

    void runWhoseEveryPageIsRefusedFails()
    {
        const CliRun run = runCli(batch({u"--pattern"_s, u"http://127.0.0.1:1/page(*).html"_s, u"--from"_s, u"1"_s,
                                         u"--to"_s, u"3"_s}));
        QCOMPARE(run.exitCode, 5);
        QCOMPARE(run.out, u"pages 3, skipped 0, failed 3, records 0\n失败原因：\n  3 页：连接被拒绝\n"_s.toUtf8());
        QCOMPARE(run.err.count(u"连接被拒绝"_s.toUtf8()), 3);
    }

    // Standard error going to a file is a log: every page's line starts with
    // the date and time.
    void logLinesCarryTheTime()
    {
        const CliRun run = runCli(batch(pattern(u"/item(*).html"_s, 1, 2)));
        QCOMPARE(run.exitCode, 0);
        const QString err = QString::fromUtf8(run.err);
        for (int i = 1; i <= 2; ++i) {
            const QString url = QRegularExpression::escape(m_server.url(u"/item%1.html"_s.arg(i)));
            const QRegularExpression line(u"^pagrion-cli: \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d "_s
                                              + u"第 %1/2 页存入 1 条记录：%2$"_s.arg(i).arg(url),
                                          QRegularExpression::MultilineOption);
            QVERIFY2(line.match(err).hasMatch(), qPrintable(err));
        }
    }

    void overwriteEmptiesEarlierRecordsOnce()
    {
        QCOMPARE(runCli(batch(pattern(u"/item(*).html"_s, 1, 1))).exitCode, 0);
        QCOMPARE(runCli(batch(pattern(u"/item(*).html"_s, 2, 2))).exitCode, 0);
        QCOMPARE(records().size(), 2);
        const CliRun run = runCli(batch(pattern(u"/item(*).html"_s, 2, 3) << u"--overwrite"_s));
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(records(), (QList<QStringList>{{u"物品2"_s, u"20"_s}, {u"物品3"_s, u"30"_s}}));
    }

    void linkRunVisitsEveryLinkEvenTwice()
    {
        const CliRun run = runCli(batch({u"--links"_s, m_server.url(u"/links.html"_s)}));
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QByteArray("pages 3, skipped 0, failed 0, records 3\n"));
        QCOMPARE(records().size(), 3);
    }

    void nextPageRunFollowsTheChainToItsEnd()
    {
        serveChain(u"/chain%1.html"_s, 5);
        const CliRun run = runCli(batch(nextPage(u"/chain1.html"_s)));
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QByteArray("pages 5, skipped 0, failed 0, records 5\n"));
        QCOMPARE(records(), itemRecords(1, 5));
        QVERIFY(run.err.endsWith("pagrion-cli: 采集完成\n"));
        QCOMPARE(m_server.requestCount(u"/chain1.html"_s), 1);
    }

    void nextPageRunEndsAtALoopOrThePageLimit()
    {
        serveChain(u"/loop%1.html"_s, 3);
        m_server.setPage(u"/loop3.html"_s, chainPage(u"/loop%1.html"_s, 3, u"loop1.html#top"_s));
        const CliRun loop = runCli(batch(nextPage(u"/loop1.html"_s)));
        QCOMPARE(loop.exitCode, 0);
        QCOMPARE(records(), itemRecords(1, 3));
        QCOMPARE(m_server.requestCount(u"/loop1.html"_s), 1);
        QVERIFY2(loop.err.contains(u"指向已经采集过的网页"_s.toUtf8()), loop.err.constData());

        serveChain(u"/long%1.html"_s, 5);
        const CliRun limited = runCli(batch(nextPage(u"/long1.html"_s) << u"--max-pages"_s << u"2"_s));
        QCOMPARE(limited.exitCode, 0);
        QCOMPARE(limited.out, QByteArray("pages 2, skipped 0, failed 0, records 2\n"));
        QCOMPARE(m_server.requestCount(u"/long3.html"_s), 0);
        QVERIFY2(limited.err.contains(u"达到“下一页最多采集页数”"_s.toUtf8()), limited.err.constData());
    }

    // A page that does not load tells no next page, even when its error
    // page links to one.
    void failedPageEndsTheChain()
    {
        serveChain(u"/gap%1.html"_s, 3);
        m_server.setRoute(u"/gap2.html"_s, TestHttpServer::page(chainPage(u"/gap%1.html"_s, 2, u"gap3.html"_s), 404));
        const CliRun run = runCli(batch(nextPage(u"/gap1.html"_s)));
        QCOMPARE(run.exitCode, 5);
        QCOMPARE(run.out, u"pages 2, skipped 0, failed 1, records 1\n失败原因：\n  1 页：HTTP 404\n"_s.toUtf8());
        QVERIFY(run.err.contains(u"页失败（HTTP 404）"_s.toUtf8()));
        QVERIFY2(run.err.contains(u"第 2 页没有打开，找不到它的“下一页”链接"_s.toUtf8()), run.err.constData());
        QCOMPARE(m_server.requestCount(u"/gap3.html"_s), 0);
    }

    void brokenOffChainGoesOnWhereItWas_data()
    {
        QTest::addColumn<QString>("chain");
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("Ctrl+C") << u"/stopped%1.html"_s << int(SIGINT) << 130;
        QTest::newRow("killed") << u"/killed%1.html"_s << int(SIGKILL) << -1;
    }
    void brokenOffChainGoesOnWhereItWas()
    {
        QFETCH(QString, chain);
        QFETCH(int, signalNumber);
        QFETCH(int, exitCode);
        serveChain(chain, 5);
        const QByteArray third = chainPage(chain, 3, chain.arg(4));
        // Slower than the test's own deadline: only the signal ends its wait.
        m_server.setPage(chain.arg(3), third, "text/html; charset=utf-8", 120'000);
        QSignalSpy requested(&m_server, &TestHttpServer::requestReceived);
        const CliRun stopped = runCli(batch(nextPage(chain.arg(1))), [&](QProcess &process) {
            QTRY_VERIFY_WITH_TIMEOUT(requested.contains({chain.arg(3)}), 20'000);
            ::kill(pid_t(process.processId()), signalNumber);
        });
        QCOMPARE(stopped.exitCode, exitCode);
        QCOMPARE(records(), itemRecords(1, 2));

        m_server.setPage(chain.arg(3), third);
        const CliRun resumed = runCli(batch(nextPage(chain.arg(1)) << u"--resume"_s));
        QCOMPARE(resumed.exitCode, 0);
        QCOMPARE(resumed.out, QByteArray("pages 5, skipped 0, failed 0, records 5 (resumed: pages 3, skipped 0, failed 0, records 3)\n"));
        QCOMPARE(records(), itemRecords(1, 5));
        QCOMPARE(m_server.requestCount(chain.arg(1)), 1);
        QCOMPARE(m_server.requestCount(chain.arg(2)), 1);
    }

    void fieldListNeedsItsHeadLength()
    {
        PAGRION_VERIFY_OK(saveFields({{u"1"_s, u"物品"_s}}));
        QCOMPARE(runCli(batch(pattern(u"/item(*).html"_s, 1, 2) << u"--use-fields"_s)).exitCode, 0);
        QCOMPARE(records().size(), 2);

        runSql(m_folder->folder().configDatabasePath(), u"delete from VarTable"_s);
        const CliRun run = runCli(batch(pattern(u"/item(*).html"_s, 1, 2) << u"--use-fields"_s));
        QCOMPARE(run.exitCode, 4);
        QCOMPARE(run.out, QByteArray("pages 0, skipped 0, failed 0, records 0\n"));
        QVERIFY(run.err.contains("PubLenfiled"));
    }

    // Every row with its source, named by the header in the exported file;
    // a page without the table says why it stored nothing.
    void everyRowRecordsCarryTheirSourceIntoTheExport()
    {
        m_server.setPage(u"/bare.html"_s, "<p>没有表格</p>");
        const QString bare = m_server.url(u"/bare.html"_s);
        m_server.setPage(u"/rows.html"_s, (u"<a href='item1.html'>1</a><a href='%1'>b</a><a href='item2.html'>2</a>"_s.arg(bare)).toUtf8());
        const CliRun run = runCli({u"batch"_s, u"--data"_s, m_folder->folder().root(), u"--tables"_s, u"TableName0"_s,
                                   u"--every-row"_s, u"--header-rows"_s, u"1"_s, u"--links"_s, m_server.url(u"/rows.html"_s)});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.err.contains(u"没有记录（网页中没有表格 TableName0）：%1"_s.arg(bare).toUtf8()), run.err.constData());
        QTemporaryDir out;
        const QString file = out.filePath(u"rows.csv"_s);
        QCOMPARE(runCli({u"export"_s, u"--data"_s, m_folder->folder().root(), file}).exitCode, 0);
        QFile csv(file);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(csv.readAll()),
                 u"名称,价格,来源网址,行号\r\n物品1,10,%1,1\r\n物品2,20,%2,1\r\n"_s.arg(
                     m_server.url(u"/item1.html"_s), m_server.url(u"/item2.html"_s)));
    }

    // A fresh program folder, nothing saved: the job is all on the command line.
    void jobOnTheCommandLineNeedsNoSavedSite_data() { addJobRows(); }
    void jobOnTheCommandLineNeedsNoSavedSite()
    {
        QFETCH(QStringList, job);
        QFETCH(QList<QStringList>, expected);
        TempProgramFolder fresh;
        QVERIFY2(fresh.isValid(), qPrintable(fresh.error()));
        const CliRun run = runCli(QStringList{u"batch"_s, u"--data"_s, fresh.folder().root(), u"--tables"_s,
                                              u"TableName0"_s, u"--class"_s, u"table"_s}
                                  + job + pattern(u"/item(*).html"_s, 1, 2));
        QVERIFY2(!run.err.contains("--"), run.err.constData()); // every option taken
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(storedRecords(fresh), expected);
    }

    // The saved table-name list names no table of these pages.
    void optionsOverrideTheSavedSite()
    {
        PAGRION_VERIFY_OK(saveSiteSettings({Site, u"TableName7"_s, u"TableName7-1"_s, false, u"表格"_s}));
        const CliRun run = runCli(batch(pattern(u"/item(*).html"_s, 1, 2)
                                        << u"--tables"_s << u"TableName0"_s << u"--filter"_s << QString()));
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(records(), (QList<QStringList>{{u"物品1"_s, u"10"_s}, {u"物品2"_s, u"20"_s}}));
    }

    // Without a layout no page is worth loading: the run ends before the first.
    void missingLayoutEndsTheRunBeforeAnyPage()
    {
        PAGRION_VERIFY_OK(saveFields({{u"1"_s, u"物品"_s}})); // empties the layout
        const CliRun run = runCli(batch(pattern(u"/unasked(*).html"_s, 1, 3)));
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.out, QByteArray("pages 0, skipped 0, failed 0, records 0\n"));
        QVERIFY(run.err.contains("无排版信息系统不能识别！"));
        QCOMPARE(m_server.requestCount(u"/unasked1.html"_s), 0);
    }

    void storeFailureStopsTheRun_data()
    {
        QTest::addColumn<QStringList>("extra");
        QTest::addColumn<QByteArray>("summary");
        // A page that could not be kept is a failed page.
        QTest::newRow("records cannot be appended") << QStringList{} << QByteArray("pages 1, skipped 0, failed 1, records 0\n");
        QTest::newRow("records cannot be emptied") << QStringList{u"--overwrite"_s}
                                                   << QByteArray("pages 0, skipped 0, failed 0, records 0\n");
    }
    void storeFailureStopsTheRun()
    {
        QFETCH(QStringList, extra);
        QFETCH(QByteArray, summary);
        runSql(m_folder->folder().resultDatabasePath(), u"drop table datalist"_s);
        const CliRun run = runCli(batch(pattern(u"/store(*).html"_s, 1, 3) + extra));
        QCOMPARE(run.exitCode, 4);
        QVERIFY2(run.out.startsWith(summary), run.out.constData());
        QVERIFY2(!run.err.contains("store2"), run.err.constData()); // the run ends at its first page
    }

    void signalStopsAndKeepsWhatWasStored_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("Ctrl+C") << int(SIGINT) << 130;
        QTest::newRow("SIGTERM") << int(SIGTERM) << 143;
    }
    void signalStopsAndKeepsWhatWasStored()
    {
        QFETCH(int, signalNumber);
        QFETCH(int, exitCode);
        QSignalSpy requested(&m_server, &TestHttpServer::requestReceived);
        // One page at a time, so that page 2 is asked for only once page 1 is stored.
        const CliRun run = runCli(batch(pattern(u"/stop(*).html"_s, 1, 2)
                                        << u"--timeout"_s << u"100"_s << u"--concurrency"_s << u"1"_s),
                                  [&](QProcess &process) {
                                      QTRY_VERIFY_WITH_TIMEOUT(requested.contains({u"/stop2.html"_s}), 20'000);
                                      ::kill(pid_t(process.processId()), signalNumber);
                                  });
        QCOMPARE(run.exitCode, exitCode);
        QCOMPARE(run.out, QByteArray("pages 1, skipped 0, failed 0, records 1\n"));
        QCOMPARE(records(), (QList<QStringList>{{u"物品1"_s, u"10"_s}}));
    }

    void killedRunsLeaveWholePagesAndResumeStoresEachOnce()
    {
        // Pages of many records, so that a kill lands inside the storing of
        // a page as often as between two pages.
        constexpr int PerPage = 400;
        constexpr int Pages = 30;
        Layout layout;
        QStringList expected;
        for (int n = 1; n <= Pages; ++n) {
            QString rows = u"<tr><td>名称</td><td>价格</td></tr>"_s;
            for (int r = 0; r < PerPage; ++r) {
                rows += u"<tr><td>p%1-%2</td><td>%3</td></tr>"_s.arg(n).arg(r).arg(r * 10);
                expected << u"p%1-%2"_s.arg(n).arg(r);
            }
            m_server.setPage(u"/many%1.html"_s.arg(n), (u"<html><body><table>"_s + rows + u"</table></body></html>"_s).toUtf8());
        }
        for (int r = 0; r < PerPage; ++r)
            layout << LayoutRow{u"%1,0"_s.arg(r + 2), u"%1,1"_s.arg(r + 2)};
        PAGRION_VERIFY_OK(saveLayout(layout));

        const auto storedNames = [this, &expected] {
            Database db;
            PAGRION_VERIFY_OK(db.open(m_folder->folder().resultDatabasePath()));
            const auto check = db.selectAll(u"pragma integrity_check"_s);
            PAGRION_VERIFY_OK(check);
            QCOMPARE(check.value().first().value(0).toString(), u"ok"_s);
            const auto rows = db.selectAll(u"select c1 from datalist order by id"_s);
            PAGRION_VERIFY_OK(rows);
            QStringList names;
            for (const QSqlRecord &row : rows.value())
                names << row.value(0).toString().trimmed();
            // Whole pages, each the next of the list.
            QVERIFY2(names.size() % PerPage == 0, qPrintable(QString::number(names.size())));
            QCOMPARE(names, expected.mid(0, names.size()));
        };

        QRandomGenerator random(13);
        bool finished = false;
        for (int round = 0; round < 12 && !finished && !QTest::currentTestFailed(); ++round) {
            const int pagesBeforeKill = 1 + int(random.bounded(3));
            const int killAfterMs = int(random.bounded(40));
            // The first round starts the run; each after it goes on with it.
            const QStringList resume = round == 0 ? QStringList() : QStringList{u"--resume"_s};
            const CliRun run = runCli(batch(pattern(u"/many(*).html"_s, 1, Pages) + resume), [&](QProcess &process) {
                QSignalSpy answered(&m_server, &TestHttpServer::answered);
                // A run found whole already loads nothing and ends by itself.
                QTRY_VERIFY_WITH_TIMEOUT(answered.count() >= pagesBeforeKill || process.state() == QProcess::NotRunning,
                                         20'000);
                // The moment varies from round to round; whatever it is, the
                // file must hold whole pages.
                QTimer::singleShot(killAfterMs, &process, [&process] { ::kill(pid_t(process.processId()), SIGKILL); });
            });
            QVERIFY(run.exitCode == -1 || run.exitCode == 0); // killed, or done before the kill
            finished = run.exitCode == 0;
            storedNames();
        }
        if (!finished)
            QCOMPARE(runCli(batch(pattern(u"/many(*).html"_s, 1, Pages) << u"--resume"_s)).exitCode, 0);
        storedNames();
        QCOMPARE(records().size(), Pages * PerPage);

        // Going on with a run that got to its end collects nothing again,
        // whether or not its process lived to report it.
        QCOMPARE(runCli(batch(pattern(u"/many(*).html"_s, 1, Pages) << u"--resume"_s)).exitCode, 0);
        QCOMPARE(records().size(), Pages * PerPage);
    }

    // Going on with a run that ended with failed pages still says they failed.
    void resumeOfAFinishedRunKeepsItsFailures()
    {
        const QStringList run = batch(pattern(u"/gone(*).html"_s, 1, 2));
        m_server.setPage(u"/gone1.html"_s, tablePage(1)); // gone2 is not served: 404
        QCOMPARE(runCli(run).exitCode, 5);
        const CliRun again = runCli(QStringList(run) << u"--resume"_s);
        QCOMPARE(again.exitCode, 5);
        QCOMPARE(again.out, u"pages 2, skipped 0, failed 1, records 1 (resumed: pages 0, skipped 0, failed 0, records 0)\n"
                            u"失败原因：\n  1 页：HTTP 404\n"_s.toUtf8());
    }

    // One batch at a time on a data folder: a second process is refused and
    // changes nothing; the lock goes with the process that held it.
    void secondRunOnTheSameFolderIsRefused()
    {
        {
            const Result<BatchLock> held = BatchLock::acquire();
            PAGRION_VERIFY_OK(held);
            const CliRun run = runCli(batch(pattern(u"/item(*).html"_s, 1, 2)));
            QCOMPARE(run.exitCode, 2);
            QVERIFY2(run.err.contains(u"正在用这个数据文件夹进行批量采集"_s.toUtf8()), run.err.constData());
            QVERIFY(run.err.contains(QByteArray::number(QCoreApplication::applicationPid())));
            QVERIFY(records().isEmpty());
        }
        QCOMPARE(runCli(batch(pattern(u"/item(*).html"_s, 1, 2))).exitCode, 0);
        QCOMPARE(records().size(), 2);
    }

    void refusedRunsTellOneLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");

        // The data folder is a test's own, so the test function adds --data.
        const auto batch = [](const QStringList &options) { return QStringList{u"batch"_s, u"--site"_s, Site} + options; };
        const QString item = u"/item(*).html"_s;
        QTest::newRow("site never saved")
            << (QStringList{u"batch"_s, u"--site"_s, u"http://other.test/"_s} + pattern(item, 1, 2)) << 2
            << u"http://other.test/"_s;
        QTest::newRow("no wildcard") << batch(pattern(u"/item1.html"_s, 1, 2)) << 2
                                     << u"系统不存在通配符无法搜集信息！"_s;
        QTest::newRow("end before start") << batch(pattern(item, 3, 2)) << 2 << u"结束值不能小于初始值！"_s;
        QTest::newRow("no range") << batch({u"--pattern"_s, m_server.url(item)}) << 2 << u"没有定义参数值！"_s;
        QTest::newRow("no pages") << batch({}) << 2 << u"--pattern"_s;
        QTest::newRow("pattern and links")
            << batch(pattern(item, 1, 2) << u"--links"_s << m_server.url(u"/links.html"_s)) << 2 << u"--links"_s;
        QTest::newRow("range with links")
            << batch({u"--links"_s, m_server.url(u"/links.html"_s), u"--from"_s, u"1"_s}) << 2 << u"--from"_s;
        const QList<std::pair<QString, QString>> badValues{
            {u"--concurrency"_s, u"0"_s}, {u"--concurrency"_s, u"many"_s}, {u"--retries"_s, u"-1"_s},
            {u"--retries"_s, u"2.5"_s},   {u"--delay"_s, u"-0.5"_s},       {u"--delay"_s, u"nan"_s},
            {u"--max-body-mb"_s, u"0"_s}, {u"--max-body-mb"_s, u"1e9"_s},
        };
        for (const auto &[option, value] : badValues) {
            QTest::addRow("%s %s", qPrintable(option), qPrintable(value))
                << (batch(pattern(item, 1, 2)) << option << value) << 2 << option;
        }
        const QStringList chain{u"--next-page"_s, m_server.url(u"/chain1.html"_s)};
        QTest::newRow("pattern and next page") << batch(pattern(item, 1, 2) + chain) << 2 << u"--next-page"_s;
        QTest::newRow("next text without next page")
            << batch(pattern(item, 1, 2) << u"--next-text"_s << u"下页"_s) << 2 << u"--next-text"_s;
        const QString maxPages = u"“%1”"_s.arg(loadSettingName(LoadSettings::Field::MaxNextPages));
        const QString nextText = u"“%1”"_s.arg(loadSettingName(LoadSettings::Field::NextText));
        QTest::newRow("no next pages") << (batch(chain) << u"--max-pages"_s << u"0"_s) << 2 << maxPages;
        QTest::newRow("unbalanced pattern") << (batch(chain) << u"--next-text"_s << u"(下一页"_s) << 2 << nextText;
        QTest::newRow("blank pattern") << (batch(chain) << u"--next-text"_s << u" "_s) << 2 << nextText;
        QTest::newRow("no site, no tables") << (QStringList{u"batch"_s} + pattern(item, 1, 2)) << 2 << u"--tables"_s;
        QTest::newRow("empty tables") << (QStringList{u"batch"_s, u"--tables"_s, u" "_s} + pattern(item, 1, 2)) << 2
                                      << u"--tables"_s;
        QTest::newRow("unknown class") << (batch(pattern(item, 1, 2)) << u"--class"_s << u"图片"_s) << 2
                                       << u"“图片”"_s;
        const QList<std::pair<QStringList, QString>> badJobs{
            {{u"--layout"_s, u"2,0/2,x"_s}, u"“2,x”"_s},
            {{u"--layout"_s, u"2,0;3"_s}, u"“3”"_s},
            {{u"--fields"_s, u"标题"_s}, u"“标题”"_s},
            {{u"--fields"_s, u"0=标题"_s}, u"“0=标题”"_s},
            {{u"--every-row"_s, u"--header-rows"_s, u"3"_s}, u"--header-rows"_s},
            {{u"--header-rows"_s, u"1"_s}, u"--every-row"_s},
            {{u"--source-columns"_s, u"yes"_s}, u"--source-columns"_s},
            {{u"--head-length"_s, u"5"_s}, u"--use-fields"_s},
            {{u"--layout"_s, u"2,0"_s, u"--use-fields"_s}, u"只能用其中一个"_s},
        };
        for (const auto &[options, message] : badJobs)
            QTest::addRow("%s", qPrintable(options.join(u' '))) << (batch(pattern(item, 1, 2)) + options) << 2 << message;
    }
    void refusedRunsTellOneLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        const CliRun run = runCli(arguments << u"--data"_s << m_folder->folder().root());
        QCOMPARE(run.exitCode, exitCode);
        QCOMPARE(run.out, QByteArray());
        QVERIFY2(run.err.startsWith("pagrion-cli: ") && run.err.count('\n') == 1, run.err.constData());
        QVERIFY2(run.err.contains(message.toUtf8()), run.err.constData());
        QVERIFY(records().isEmpty());
    }

    void missingDatabasesAreDatabaseFailures()
    {
        QTemporaryDir empty;
        const CliRun noConfig = runCli({u"batch"_s, u"--site"_s, Site, u"--data"_s, empty.path(), u"--pattern"_s,
                                        m_server.url(u"/item(*).html"_s), u"--from"_s, u"1"_s, u"--to"_s, u"1"_s});
        QCOMPARE(noConfig.exitCode, 4);
        QVERIFY(QFile::remove(m_folder->folder().resultDatabasePath()));
        const CliRun noResults = runCli(batch(pattern(u"/item(*).html"_s, 1, 1)));
        QCOMPARE(noResults.exitCode, 4);
        QCOMPARE(noResults.out, QByteArray());
    }
};

QTEST_GUILESS_MAIN(TestCliBatch)
#include "tst_clibatch.moc"
