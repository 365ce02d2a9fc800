#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

#include "app/frmmain.h"
#include "app/parameterrun.h"
#include "engine/staticbrowser.h"
#include "store/database.h"
#include "store/frmresults.h"
#include "store/frmsysset.h"
#include "store/programfolder.h"
#include "store/resulttablemodel.h"
#include "store/serversetting.h"
#include "support/fakeplatform.h"
#include "support/resultcheck.h"
#include "support/testhttpserver.h"
#include "support/testpostgres.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;

namespace {

constexpr int Pages = 30;

} // namespace

// The window with a result server set: its batch runs, its exports and its
// results window work on the server, and a server it cannot reach leaves
// the local results as they were.
class TestServerWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestPostgres> postgres;
    QString database;
    std::unique_ptr<FakePlatform> platform;
    TestHttpServer *site = nullptr;
    StaticBrowser *browser = nullptr;
    FrmMain *window = nullptr;
    QTemporaryDir out;

    QString serverUri() const { return postgres->uri(database); }
    void setResultServer(const QString &uri)
    {
        Database db;
        PAGRION_VERIFY_OK(db.open(programFolder().configDatabasePath()));
        PAGRION_VERIFY_OK(db.inTransaction([&] { return writeResultServer(db, uri); }));
    }
    QStringList localRecords() const
    {
        Database db;
        if (!db.open(programFolder().resultDatabasePath()))
            return {u"unreadable"_s};
        const auto rows = db.selectAll(u"select c1 from datalist order by id"_s);
        QStringList records;
        for (const QSqlRecord &row : rows.value())
            records << row.value(0).toString();
        return records;
    }
    int sql(const QString &statement) const { return postgres->psql(statement, database).value_or(u"-1"_s).toInt(); }
    void runBatch(int to)
    {
        window->TxtTo->setText(QString::number(to));
        window->command6_Click();
    }
    // What 数据输出 wrote to a file of this name, or the message it gave.
    QString exported(const QString &name)
    {
        const QString file = out.filePath(name);
        Frmsysset settings;
        platform->dialogs.calls.clear();
        platform->dialogs.saveFileAnswers = {file};
        settings.command2_Click();
        QFile written(file);
        if (!written.open(QIODevice::ReadOnly))
            return platform->dialogs.informationTexts().join(u'\n');
        return QString::fromUtf8(written.readAll());
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(out.isValid());
        postgres = std::make_unique<TestPostgres>();
        QVERIFY2(postgres->isValid(), qPrintable(postgres->error()));
    }

    void init()
    {
        static int count = 0;
        database = u"window%1"_s.arg(++count);
        QVERIFY(postgres->psql(u"create database "_s + database));
        platform = std::make_unique<FakePlatform>();
        QVERIFY2(platform->folder.isValid(), qPrintable(platform->folder.error()));
        site = new TestHttpServer;
        serveNumberedPages(*site, Pages);
        browser = new StaticBrowser;
        browser->setTimeLimitMs(5000);
        window = new FrmMain(*browser);
        setUpParameterRun(*window, *site, Pages);
    }
    void cleanup()
    {
        delete window;
        delete browser;
        delete site;
        platform.reset();
    }

    void batchKeepsItsRecordsOnTheServerAndTheWindowsReadThemInPageOrder()
    {
        setResultServer(serverUri());
        QString barHalfway;
        connect(site, &TestHttpServer::requestReceived, window, [&](const QString &target) {
            if (target == u"/p15.html")
                barHalfway = window->ProgressBar2->text();
        });
        window->show();
        runBatch(Pages);
        QCOMPARE(window->Label4->text(), u"采集完成：共 %1 页，%1 条记录，跳过 0 页，失败 0 页"_s.arg(Pages));
        QVERIFY2(QRegularExpression(u"^\\d+/%1  \\d+\\.\\d+ 页/秒  剩余 \\d+:\\d\\d$"_s.arg(Pages)).match(barHalfway).hasMatch(),
                 qPrintable(barHalfway));
        QCOMPARE(localRecords(), QStringList());
        QCOMPARE(sql(u"select count(*) from pagrion_record"_s), Pages);
        QCOMPARE(sql(u"select count(*) from pagrion_run where state = 'finished'"_s), 1);
        // The run holds its whole job, so a worker elsewhere can take it up.
        QCOMPARE(sql(u"select count(*) from pagrion_run where settings like '%\"layout\"%'"_s), 1);

        QStringList lines{u"第1列"_s};
        for (int i = 1; i <= Pages; ++i)
            lines << u"第%1页"_s.arg(i);
        QCOMPARE(exported(u"out.csv"_s).split(u"\r\n"_s, Qt::SkipEmptyParts), lines);
        QCOMPARE(exported(u"out.txt"_s).split(u"\r\n"_s, Qt::SkipEmptyParts), lines);
        const QString html = exported(u"out.html"_s);
        qsizetype at = 0;
        for (int i = 1; i <= Pages && at >= 0; ++i)
            at = html.indexOf(u">第%1页<"_s.arg(i), at);
        QVERIFY2(at > 0, qPrintable(html));
        exported(u"out.xls"_s);
        QVERIFY(QFile::exists(out.filePath(u"out.xlsx"_s)));

        // The same settings again join the finished run rather than publish a second.
        runBatch(Pages);
        QCOMPARE(sql(u"select count(*) from pagrion_run"_s), 1);
        QCOMPARE(sql(u"select count(*) from pagrion_record"_s), Pages);

        FrmResults results;
        results.Form_Load();
        QCOMPARE(results.model()->rowCount(), Pages);
        for (int row : {0, 14, Pages - 1})
            QCOMPARE(results.model()->index(row, 0).data().toString(), u"第%1页"_s.arg(row + 1));
        QVERIFY2(results.Label2->text().contains(u"结果服务器"_s), qPrintable(results.Label2->text()));
        QVERIFY(!results.command1->isEnabled());
    }

    void unreachableServerTellsWhyAndLeavesTheLocalResultsAlone_data()
    {
        QTest::addColumn<QString>("uri");
        QTest::addColumn<QString>("reason");
        QString wrongPassword = postgres->uriWithoutPassword(u"postgres"_s);
        wrongPassword.replace(u"://%1@"_s.arg(TestPostgres::user()), u"://%1:falsch@"_s.arg(TestPostgres::user()));
        QTest::newRow("wrong password") << wrongPassword << u"用户名或密码不对"_s;
        QTest::newRow("no server there") << u"postgresql://pagrion@127.0.0.1:1/harvest"_s << u"服务器拒绝连接"_s;
    }
    void unreachableServerTellsWhyAndLeavesTheLocalResultsAlone()
    {
        QFETCH(QString, uri);
        QFETCH(QString, reason);
        runBatch(3);
        const QStringList local{u"第1页"_s, u"第2页"_s, u"第3页"_s};
        QCOMPARE(localRecords(), local);

        setResultServer(uri);
        platform->dialogs.calls.clear();
        window->Check2->setChecked(true); // 覆盖: would empty the local results
        runBatch(Pages);
        // Nothing ran, so the window does not offer results.
        QCOMPARE(platform->dialogs.calls.size(), 1);
        const QString told = platform->dialogs.informationTexts().value(0);
        QVERIFY2(told.startsWith(u"无法连接结果服务器 "_s) && told.contains(reason) && told.contains(u"系统设置"_s),
                 qPrintable(told));
        QCOMPARE(localRecords(), local);
        QVERIFY(exported(u"failed.csv"_s).startsWith(u"无法连接结果服务器 "_s));
        QVERIFY(!QFile::exists(out.filePath(u"failed.csv"_s)));

        // Saving the address asks first; Cancel saves nothing, and a server
        // that answers is saved without a question.
        setResultServer({});
        Frmsysset settings;
        settings.Text16->setText(uri);
        platform->dialogs.calls.clear();
        settings.command4_Click();
        QCOMPARE(platform->dialogs.calls.value(0).kind, u"question"_s);
        QVERIFY(platform->dialogs.calls.value(0).text.startsWith(u"无法连接结果服务器 "_s));
        QCOMPARE(readResultServer().value(), QString());
        platform->dialogs.questionAnswers = {true};
        settings.command4_Click();
        QCOMPARE(readResultServer().value(), uri);
        settings.Text16->setText(serverUri());
        platform->dialogs.calls.clear();
        settings.command4_Click();
        QCOMPARE(platform->dialogs.informationTexts(), QStringList{u"保存成功！"_s});
        QCOMPARE(readResultServer().value(), serverUri());
    }
};

QTEST_MAIN(TestServerWindow)
#include "tst_serverwindow.moc"
