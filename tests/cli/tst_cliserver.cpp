#include <algorithm>
#include <csignal>
#include <memory>

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "cli/clirun.h"
#include "support/tempprogramfolder.h"
#include "support/testhttpserver.h"
#include "support/testpostgres.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;

namespace {

constexpr int Pages = 12;
// Timers and a busy machine may make a gap between requests this much short;
// processes each keeping the pause alone would make some gap shorter still.
constexpr qint64 PaceToleranceMs = 50;

// The export's lines for pages from to to of tablePage, under the header.
QStringList itemLines(int from, int to)
{
    QStringList lines{u"第1列,第2列"_s};
    for (int i = from; i <= to; ++i)
        lines << u"物品%1,%2"_s.arg(i).arg(i * 10);
    return lines;
}

// A pagrion-cli running beside the test, which keeps serving pages meanwhile.
class CliProcess final
{
public:
    explicit CliProcess(const QStringList &arguments) : m_finished(&m_process, &QProcess::finished)
    {
        m_process.start(QStringLiteral(PAGRION_CLI), arguments);
        m_process.waitForStarted();
    }
    ~CliProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    // The exit status, -1 for a crash, a kill or no end within the time.
    int finish(int timeoutMs = 120'000)
    {
        if (m_finished.isEmpty() && !m_finished.wait(timeoutMs))
            return -1;
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }
    void signal(int number) { ::kill(pid_t(m_process.processId()), number); }
    QByteArray out() { return m_process.readAllStandardOutput(); }
    // Everything written to standard error so far.
    const QByteArray &err()
    {
        m_err += m_process.readAllStandardError();
        return m_err;
    }

private:
    QProcess m_process;
    QSignalSpy m_finished;
    QByteArray m_err;
};

} // namespace

class TestCliServer : public QObject
{
    Q_OBJECT

private:
    TestHttpServer m_site;
    std::unique_ptr<TestPostgres> m_postgres;
    std::unique_ptr<TempProgramFolder> m_folder;
    QTemporaryDir m_empty; // a program folder with nothing in it, as on a new machine
    QString m_database;

    QString server() const { return m_postgres->uri(m_database); }
    QStringList job(const QString &path, int from, int to) const
    {
        return {u"--tables"_s, u"TableName0"_s, u"--layout"_s, u"2,0/2,1"_s, u"--pattern"_s, m_site.url(path),
                u"--from"_s, QString::number(from), u"--to"_s, QString::number(to)};
    }
    QStringList publish(const QString &path, int from, int to) const
    {
        return QStringList{u"batch"_s, u"--engine=static"_s, u"--data"_s, m_folder->folder().root(), u"--server"_s, server(),
                           u"--concurrency"_s, u"1"_s}
               + job(path, from, to);
    }
    QStringList worker(const QStringList &more = {}) const
    {
        return QStringList{u"worker"_s, u"--engine=static"_s, u"--data"_s, m_empty.path(), u"--server"_s, server(),
                           u"--concurrency"_s, u"1"_s, u"--lease"_s, u"2"_s}
               + more;
    }
    // The lines of the run's export (the newest run without one), or why there are none.
    QStringList exported(const QString &run = {})
    {
        const QString file = m_empty.filePath(u"out.csv"_s);
        QStringList arguments{u"export"_s, u"--data"_s, m_empty.path(), u"--server"_s, server(), file};
        if (!run.isEmpty())
            arguments << u"--run"_s << run;
        const CliRun done = runCli(arguments);
        if (done.exitCode != 0)
            return {QString::fromUtf8(done.err)};
        QFile csv(file);
        if (!csv.open(QIODevice::ReadOnly))
            return {u"no file"_s};
        return QString::fromUtf8(csv.readAll()).split(u"\r\n"_s, Qt::SkipEmptyParts);
    }
    int sql(const QString &statement) const { return m_postgres->psql(statement, m_database).value_or(u"-1"_s).toInt(); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_site.isListening());
        QVERIFY(m_empty.isValid());
        m_postgres = std::make_unique<TestPostgres>();
        QVERIFY2(m_postgres->isValid(), qPrintable(m_postgres->error()));
        // Slow enough that the processes working on a run share it.
        for (int i = 1; i <= Pages; ++i)
            m_site.setPage(u"/slow%1.html"_s.arg(i), tablePage(i), "text/html; charset=utf-8", 300);
        for (int i = 1; i <= Pages; ++i)
            m_site.setPage(u"/fast%1.html"_s.arg(i), tablePage(i));
    }

    void init()
    {
        // A database of its own for each test, made by the program itself.
        static int count = 0;
        m_database = u"harvest%1"_s.arg(++count);
        QVERIFY(m_postgres->psql(u"create database "_s + m_database));
        m_folder = std::make_unique<TempProgramFolder>();
        QVERIFY2(m_folder->isValid(), qPrintable(m_folder->error()));
    }
    void cleanup() { m_folder.reset(); }

    void publishedRunIsSharedJoinedAndExportedInPageOrder()
    {
        // Started before there is a run: it waits for one.
        CliProcess waiting(worker({u"--wait"_s}));
        const CliRun published = runCli(publish(u"/slow(*).html"_s, 1, Pages));
        QCOMPARE(published.exitCode, 0);
        QTRY_COMPARE_WITH_TIMEOUT(sql(u"select count(*) from pagrion_page where state = 'pending'"_s), 0, 30'000);
        waiting.signal(SIGTERM);
        QCOMPARE(waiting.finish(), 143);
        const QByteArray summary = waiting.out();
        // Both took pages, and together every page once.
        QVERIFY2(!summary.startsWith("pages 0,"), summary.constData());
        QVERIFY2(!published.out.startsWith("pages 0,"), published.out.constData());
        QCOMPARE(exported(), itemLines(1, Pages));
        QCOMPARE(storedRecords(*m_folder), QList<QStringList>());

        // The same settings again join the run; --overwrite starts it afresh.
        const CliRun joined = runCli(publish(u"/slow(*).html"_s, 1, Pages));
        QCOMPARE(joined.exitCode, 0);
        QVERIFY2(joined.err.contains(u"结果服务器上用相同设置的批量采集已经完成"_s.toUtf8()), joined.err.constData());
        QCOMPARE(sql(u"select count(*) from pagrion_run"_s), 1);
        QCOMPARE(exported(), itemLines(1, Pages));
        const CliRun afresh = runCli(publish(u"/fast(*).html"_s, 1, 3) << u"--overwrite"_s);
        QCOMPARE(afresh.exitCode, 0);
        QCOMPARE(runCli(publish(u"/fast(*).html"_s, 1, 3) << u"--overwrite"_s).exitCode, 0);
        QCOMPARE(sql(u"select count(*) from pagrion_run"_s), 2);
        QCOMPARE(exported(), itemLines(1, 3));
        QCOMPARE(exported(u"1"_s), itemLines(1, Pages));

        const CliRun status = runCli({u"status"_s, u"--data"_s, m_empty.path(), u"--server"_s, server()});
        QCOMPARE(status.exitCode, 0);
        QVERIFY2(status.out.contains(u"网页 %1：存入 %1，跳过 0，失败 0，待采集 0"_s.arg(Pages).toUtf8()), status.out.constData());
    }

    void twoRunsAtOnceAreEachWorkedAndExportedWhole()
    {
        CliProcess waiting(worker({u"--wait"_s}));
        CliProcess first(publish(u"/slow(*).html"_s, 1, 6));
        CliProcess second(publish(u"/fast(*).html"_s, 7, Pages));
        QCOMPARE(first.finish(), 0);
        QCOMPARE(second.finish(), 0);
        QCOMPARE(sql(u"select count(*) from pagrion_run where state = 'finished'"_s), 2);
        waiting.signal(SIGINT);
        QCOMPARE(waiting.finish(), 130);
        const int slow = sql(u"select id from pagrion_run where settings like '%slow%'"_s);
        const int fast = sql(u"select id from pagrion_run where settings like '%fast%'"_s);
        QCOMPARE(exported(QString::number(slow)), itemLines(1, 6));
        QCOMPARE(exported(QString::number(fast)), itemLines(7, Pages));
    }

    void killedWorkersPagesAreTakenOverAndStoredOnce()
    {
        // The publisher works on the run too; it and workers after it are killed.
        CliProcess publisher(publish(u"/slow(*).html"_s, 1, Pages) << u"--lease"_s << u"2"_s);
        QTRY_VERIFY_WITH_TIMEOUT(sql(u"select count(*) from pagrion_page where state = 'stored'"_s) >= 1, 30'000);
        publisher.signal(SIGKILL);
        QCOMPARE(publisher.finish(), -1);
        for (int round = 0; round < 3; ++round) {
            CliProcess victim(worker());
            const int before = sql(u"select count(*) from pagrion_page where state <> 'pending'"_s);
            // Killed at some moment of its work: while it loads, claims or commits.
            QTest::qWait(200 + int(QRandomGenerator::global()->bounded(600)));
            victim.signal(SIGKILL);
            QCOMPARE(victim.finish(), -1);
            QVERIFY(sql(u"select count(*) from pagrion_page where state <> 'pending'"_s) >= before);
        }
        // One frozen past its lease finds its pages taken over when it wakes,
        // and stores nothing of them.
        QTRY_COMPARE_WITH_TIMEOUT(sql(u"select count(*) from pagrion_page where lease_until > now()"_s), 0, 30'000);
        CliProcess frozen(worker());
        QTRY_VERIFY_WITH_TIMEOUT(sql(u"select count(*) from pagrion_page where lease_until > now()"_s) > 0, 30'000);
        frozen.signal(SIGSTOP);
        // Another process takes its pages over (and holds them) meanwhile.
        const QString stolen = u"select count(*) from pagrion_page where lease_owner = 'thief' and state = 'pending'"_s;
        const int taken = sql(u"with t as (update pagrion_page set lease_owner = 'thief', lease_until = now() + interval '1 hour' "
                               "where lease_until > now() and state = 'pending' returning 1) select count(*) from t"_s);
        QVERIFY(taken > 0);
        frozen.signal(SIGCONT);
        QTRY_VERIFY_WITH_TIMEOUT(frozen.err().contains(u"已由其他进程接手"_s.toUtf8()), 30'000);
        QCOMPARE(sql(stolen), taken);
        // The thief dies too: its claims run out, and the last worker takes them with the killed ones'.
        sql(u"update pagrion_page set lease_until = now() where lease_owner = 'thief'"_s);
        CliProcess last(worker());
        QCOMPARE(last.finish(), 0);
        QCOMPARE(frozen.finish(), 0);
        QCOMPARE(sql(u"select count(*) from pagrion_page where state <> 'stored'"_s), 0);
        QCOMPARE(exported(), itemLines(1, Pages));
    }

    void workerOutlivesTheServerGoingAway()
    {
        // A publisher stopped right away gives its claims back at once.
        CliProcess publisher(publish(u"/slow(*).html"_s, 1, Pages));
        QTRY_VERIFY_WITH_TIMEOUT(sql(u"select count(*) from pagrion_page where lease_owner is not null"_s) > 0, 30'000);
        publisher.signal(SIGTERM);
        QCOMPARE(publisher.finish(), 143);
        QCOMPARE(sql(u"select count(*) from pagrion_page where lease_owner is not null"_s), 0);

        CliProcess working(worker());
        QTRY_VERIFY_WITH_TIMEOUT(sql(u"select count(*) from pagrion_page where state = 'stored'"_s) >= 2, 30'000);
        QVERIFY(m_postgres->stop());
        QTest::qWait(1500);
        QVERIFY(m_postgres->start());
        QCOMPARE(working.finish(), 0);
        QCOMPARE(exported(), itemLines(1, Pages));
    }

    // A stop while the server is away and being reconnected to ends the
    // run as stopped, not as a store that failed.
    void stopWhileTheServerIsAwayEndsAsStopped()
    {
        CliProcess publisher(publish(u"/slow(*).html"_s, 1, Pages));
        QTRY_VERIFY_WITH_TIMEOUT(sql(u"select count(*) from pagrion_page where state = 'stored'"_s) >= 1, 30'000);
        QVERIFY(m_postgres->stop());
        QTest::qWait(3000);
        publisher.signal(SIGTERM);
        const int exitCode = publisher.finish();
        QVERIFY(m_postgres->start());
        QCOMPARE(exitCode, 143);
    }

    void unreachableServerOrWrongPasswordEndsWithExit4AndKeepsLocalResults()
    {
        const QList<QStringList> before = itemRecordsStoredLocally();
        QCOMPARE(before.size(), 3);
        const QString wrongPassword = m_postgres->uriWithoutPassword(m_database).replace(u"pagrion@"_s, u"pagrion:wrong@"_s);
        const QString nobodyListens = u"postgresql://pagrion@127.0.0.1:1/harvest?connect_timeout=5"_s;
        for (const QString &uri : {wrongPassword, nobodyListens}) {
            QStringList arguments = publish(u"/fast(*).html"_s, 1, 3) << u"--overwrite"_s;
            arguments[arguments.indexOf(server())] = uri;
            const CliRun refused = runCli(arguments);
            QCOMPARE(refused.exitCode, 4);
            QVERIFY2(refused.err.contains(u"无法连接结果服务器"_s.toUtf8()), refused.err.constData());
            QVERIFY(!refused.err.contains("wrong"));
            const CliRun worked = runCli({u"worker"_s, u"--data"_s, m_empty.path(), u"--server"_s, uri});
            QCOMPARE(worked.exitCode, 4);
        }
        QCOMPARE(storedRecords(*m_folder), before);
    }

    // The pause between requests to a host, and its wait after a
    // Retry-After, hold over every process of the run, not in each alone.
    void delayAndRetryAfterHoldOverAllProcesses()
    {
        constexpr int PacedPages = 10;
        constexpr qint64 DelayMs = 200;
        constexpr qint64 RetryAfterMs = 1000;
        for (int i = 1; i <= PacedPages; ++i)
            m_site.setPage(u"/paced%1.html"_s.arg(i), tablePage(i));
        TestHttpServer::Route busy = TestHttpServer::page("busy", 503);
        busy.headers = {{"Retry-After", "1"}};
        m_site.setRoutes(u"/paced4.html"_s, {busy, TestHttpServer::page(tablePage(4))});
        const QStringList pace{u"--delay"_s, u"0.2"_s, u"--retries"_s, u"1"_s};

        CliProcess publisher(publish(u"/paced(*).html"_s, 1, PacedPages) << pace);
        // Its first request tells the run is there; asking the server would
        // hold up the site, which answers from this process.
        QTRY_VERIFY_WITH_TIMEOUT(m_site.requestCount(u"/paced1.html"_s) > 0, 30'000);
        CliProcess first(worker(pace));
        CliProcess second(worker(pace));
        QCOMPARE(publisher.finish(), 0);
        QCOMPARE(first.finish(), 0);
        QCOMPARE(second.finish(), 0);
        int working = 0;
        for (const QByteArray &summary : {publisher.out(), first.out(), second.out()})
            working += summary.startsWith("pages 0,") ? 0 : 1;
        QVERIFY2(working >= 2, "the pages were not shared");
        QCOMPARE(exported(), itemLines(1, PacedPages));

        QList<TestHttpServer::Request> paced;
        for (const TestHttpServer::Request &request : m_site.requests()) {
            if (request.target.startsWith(u"/paced"_s))
                paced << request;
        }
        std::ranges::sort(paced, {}, &TestHttpServer::Request::receivedMs);
        QCOMPARE(paced.size(), PacedPages + 1);
        bool refused = false;
        for (qsizetype i = 1; i < paced.size(); ++i) {
            const qint64 gap = paced.at(i).receivedMs - paced.at(i - 1).receivedMs;
            const bool afterRefusal = paced.at(i - 1).target == u"/paced4.html"_s && !refused;
            refused = refused || afterRefusal;
            QVERIFY2(gap >= (afterRefusal ? RetryAfterMs : DelayMs) - PaceToleranceMs,
                     qPrintable(u"%1 ms before %2"_s.arg(gap).arg(paced.at(i).target)));
        }
    }

    // A server that cannot keep the pace leaves the process to its own,
    // which still holds the pause, and the run goes on.
    void paceFallsBackToTheProcessesOwnWhenTheServerCannotKeepIt()
    {
        QCOMPARE(runCli({u"status"_s, u"--data"_s, m_empty.path(), u"--server"_s, server()}).exitCode, 0);
        QVERIFY(m_postgres->psql(u"alter table pagrion_pace rename to pagrion_pace_gone"_s, m_database));
        const qsizetype before = m_site.requests().size();
        CliProcess publisher(publish(u"/fast(*).html"_s, 1, 3) << u"--delay"_s << u"0.1"_s << u"--verbose"_s);
        QCOMPARE(publisher.finish(), 0);
        QVERIFY2(publisher.err().contains(u"本进程暂时只按自己的请求保持间隔"_s.toUtf8()), publisher.err().constData());
        QCOMPARE(exported(), itemLines(1, 3));
        const QList<TestHttpServer::Request> &requests = m_site.requests();
        QCOMPARE(requests.size(), before + 3);
        for (qsizetype i = before + 1; i < requests.size(); ++i)
            QVERIFY(requests.at(i).receivedMs - requests.at(i - 1).receivedMs >= 100 - PaceToleranceMs);
    }

    void schemaIsMadeOnceWhenProcessesStartTogether()
    {
        std::vector<std::unique_ptr<CliProcess>> starting;
        for (int i = 0; i < 6; ++i)
            starting.push_back(std::make_unique<CliProcess>(
                QStringList{u"status"_s, u"--data"_s, m_empty.path(), u"--server"_s, server()}));
        for (const auto &process : starting)
            QCOMPARE(process->finish(), 0);
        QCOMPARE(sql(u"select count(*) from pagrion_schema"_s), 1);
    }

private:
    // Stores three records in the publisher's own result database.
    QList<QStringList> itemRecordsStoredLocally()
    {
        const CliRun local = runCli(QStringList{u"batch"_s, u"--data"_s, m_folder->folder().root()} + job(u"/fast(*).html"_s, 1, 3));
        if (local.exitCode != 0)
            return {};
        return storedRecords(*m_folder);
    }
};

QTEST_GUILESS_MAIN(TestCliServer)
#include "tst_cliserver.moc"
