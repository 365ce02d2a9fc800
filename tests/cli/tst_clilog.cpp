#include <algorithm>
#include <memory>

#include <QDir>
#include <QFile>
#include <QTest>

#include "cli/clirun.h"
#include "support/tempprogramfolder.h"
#include "support/testhttpserver.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;

namespace {

// The line of standard error that holds every one of the parts, empty when none does.
QString lineWith(const QByteArray &err, const QStringList &parts)
{
    for (const QString &line : QString::fromUtf8(err).split(u'\n')) {
        if (std::ranges::all_of(parts, [&](const QString &part) { return line.contains(part); }))
            return line;
    }
    return {};
}

} // namespace

// What a user who asks for --verbose sees of a run: why each page failed,
// in lines that name its address, its status and the reason.
class TestCliLog : public QObject
{
    Q_OBJECT

private:
    TestHttpServer m_server;
    std::unique_ptr<TempProgramFolder> m_folder;

    QStringList batch(const QStringList &options) const
    {
        return QStringList{u"batch"_s, u"--tables"_s, u"TableName0"_s, u"--layout"_s, u"2,0/2,1"_s,
                           u"--data"_s, m_folder->folder().root(),
                           u"--pattern"_s, m_server.url(u"/page(*).html"_s), u"--from"_s, u"1"_s,
                           u"--to"_s, u"3"_s, u"--retries"_s, u"1"_s} + options;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_server.isListening());
        // Page 2 is not served (404); page 3 answers 503 however often it is asked.
        m_server.setPage(u"/page1.html"_s, tablePage(1));
        m_server.setRoute(u"/page3.html"_s, TestHttpServer::page(tablePage(3), 503));
    }

    void init()
    {
        m_folder = std::make_unique<TempProgramFolder>();
        QVERIFY2(m_folder->isValid(), qPrintable(m_folder->error()));
    }
    void cleanup() { m_folder.reset(); }

    void verboseBatchTellsEachTransferAndWhyPagesFailed()
    {
        const CliRun quiet = runCli(batch({}));
        QCOMPARE(quiet.exitCode, 5);
        QVERIFY2(!quiet.err.contains(" transfer: ") && !quiet.err.contains(" batch: "), quiet.err.constData());

        const CliRun run = runCli(batch({u"--verbose"_s}));
        QCOMPARE(run.exitCode, 5);
        QCOMPARE(run.out, quiet.out); // the log goes to standard error only
        const QByteArray &err = run.err;
        const QString page1 = m_server.url(u"/page1.html"_s);
        const QString page2 = m_server.url(u"/page2.html"_s);
        const QString page3 = m_server.url(u"/page3.html"_s);
        QVERIFY2(!lineWith(err, {u"信息 transfer: "_s + page1 + u" HTTP 200，%1 字节，"_s.arg(tablePage(1).size()),
                                 u"尝试 1 次"_s})
                      .isEmpty(),
                 err.constData());
        QVERIFY2(!lineWith(err, {u"错误 transfer: "_s + page2 + u" HTTP 404，"_s, u"尝试 1 次，失败：HTTP 404"_s})
                      .isEmpty(),
                 err.constData());
        // The retry is told, then the end of the last attempt.
        QVERIFY2(!lineWith(err, {u"信息 transfer: "_s + page3 + u" 第 1 次尝试失败：HTTP 503，"_s, u"ms 后重试"_s})
                      .isEmpty(),
                 err.constData());
        QVERIFY2(!lineWith(err, {u"错误 transfer: "_s + page3 + u" HTTP 503，"_s, u"尝试 2 次，失败：HTTP 503"_s})
                      .isEmpty(),
                 err.constData());
        QVERIFY2(!lineWith(err, {u"错误 batch: 第 2 页 "_s + page2 + u" 失败：HTTP 404"_s}).isEmpty(), err.constData());
        QVERIFY2(!lineWith(err, {u"信息 batch: 批量采集开始：参数调用 "_s + m_server.url(u"/page(*).html"_s),
                                 u"引擎 static"_s, u"重试 1 次"_s})
                      .isEmpty(),
                 err.constData());
        QVERIFY2(!lineWith(err, {u"信息 batch: 批量采集结束（完成）：共 3 页，1 条记录，跳过 0 页，失败 2 页；"
                                 u"失败原因：1 页：HTTP 404；1 页：HTTP 503"_s})
                      .isEmpty(),
                 err.constData());
    }

    // The full browser's loads are told by the engine that made them.
    void verboseFullBrowserTellsWhyPagesFailed()
    {
        const CliRun run = runCli({u"analyse"_s, m_server.url(u"/page2.html"_s), u"--engine"_s, u"browser"_s,
                                   u"--verbose"_s});
        QVERIFY2(!lineWith(run.err, {u"错误 engine: 完整浏览器 "_s + m_server.url(u"/page2.html"_s),
                                     u"失败：HTTP 404"_s})
                      .isEmpty(),
                 run.err.constData());
    }

    // A store error names the file it came from.
    void verboseTellsStoreErrors()
    {
        QFile results(m_folder->folder().resultDatabasePath());
        QVERIFY(results.open(QIODevice::WriteOnly | QIODevice::Truncate));
        results.write(QByteArray(4096, 'x'));
        results.close();
        const CliRun run = runCli(batch({u"--verbose"_s}));
        QCOMPARE(run.exitCode, 4);
        QVERIFY2(!lineWith(run.err, {u"错误 store: "_s, QDir::toNativeSeparators(results.fileName())}).isEmpty(),
                 run.err.constData());
    }
};

QTEST_GUILESS_MAIN(TestCliLog)
#include "tst_clilog.moc"
