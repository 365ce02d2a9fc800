#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <QToolBar>
#include <QTimer>

#include "app/frmmain.h"
#include "app/parameterrun.h"
#include "cli/clirun.h"
#include "layout/layouts.h"
#include "platform/rowtextedit.h"
#include "engine/staticbrowser.h"
#include "store/database.h"
#include "store/frmresults.h"
#include "store/resulttablemodel.h"
#include "store/frmsysset.h"
#include "store/sitesettings.h"
#include "support/fakeplatform.h"
#include "support/resultcheck.h"
#include "support/testhttpserver.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;

// The batch command in the window: its controls bound to a run.
class TestBatchWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<FakePlatform> platform;
    TestHttpServer *server = nullptr;
    StaticBrowser *browser = nullptr;
    FrmMain *window = nullptr;

    int storedCount() const
    {
        Database db;
        if (!db.open(platform->folder.folder().resultDatabasePath()))
            return -1;
        return int(db.selectAll(u"select id from datalist"_s).value().size());
    }

    // Pages are loaded ahead, so a page's request can come before the pages
    // in front of it are stored: the stop waits until the window shows the
    // page as the one it is on.
    void clickStopOnPage(const QString &path)
    {
        auto *watch = new QTimer(window);
        watch->setInterval(10);
        connect(watch, &QTimer::timeout, window, [this, watch, path] {
            if (!window->Label4->text().contains(path))
                return;
            watch->stop();
            watch->deleteLater();
            QTest::mouseClick(window->command7, Qt::LeftButton);
        });
        watch->start();
    }

private Q_SLOTS:
    void init()
    {
        platform = std::make_unique<FakePlatform>();
        QVERIFY2(platform->folder.isValid(), qPrintable(platform->folder.error()));
        server = new TestHttpServer;
        serveNumberedPages(*server, 100);
        browser = new StaticBrowser;
        browser->setTimeLimitMs(5000);
        window = new FrmMain(*browser);
        setUpParameterRun(*window, *server, 100);
    }
    void cleanup()
    {
        delete window;
        delete browser;
        delete server;
        platform.reset();
    }

    void parameterRunFillsTheResultsAndOffersThem()
    {
        bool stopShownDuringRun = false;
        QTimer::singleShot(0, window, [&] { stopShownDuringRun = window->command7->isVisible(); });
        // Halfway through, the bar tells the page of all, the rate and the time left.
        QString barHalfway;
        connect(server, &TestHttpServer::requestReceived, window, [&](const QString &target) {
            if (target == u"/p50.html")
                barHalfway = window->ProgressBar2->text();
        });
        window->show();
        platform->dialogs.questionAnswers = {true};
        window->command6_Click();

        QVERIFY(stopShownDuringRun);
        QCOMPARE(storedCount(), 100);
        QCOMPARE(window->List1.size(), 100);
        QCOMPARE(window->Label4->text(), u"采集完成：共 100 页，100 条记录，跳过 0 页，失败 0 页"_s);
        // Pages pass faster than the box is redrawn; it ends on the last one's text.
        QCOMPARE(window->Text2->text(), u"第100页<rows>\r\n"_s);
        QVERIFY2(QRegularExpression(u"^\\d+/100  \\d+\\.\\d+ 页/秒  剩余 \\d+:\\d\\d$"_s).match(barHalfway).hasMatch(),
                 qPrintable(barHalfway));
        QVERIFY(!window->command7->isVisible());
        QVERIFY(!window->ProgressBar2->isVisible());
        QVERIFY(window->command1->isEnabled());
        QVERIFY(window->IsStopped);
        QCOMPARE(platform->dialogs.calls.last().text, u"采集完成是否查看采集结果！"_s);
        // OK shows the collected records in the program's own window.
        const auto *results = window->findChild<FrmResults *>();
        QVERIFY(results && results->isVisible());
        QCOMPARE(results->Label1->text(), u"共 100 条记录"_s);
    }

    void stopButtonEndsTheRun()
    {
        window->show();
        server->setPage(u"/p3.html"_s, "<table><tr><td>slow</td></tr></table>", "text/html", 3000);
        clickStopOnPage(u"/p3.html"_s);
        window->command6_Click(); // Cancel: nothing opened
        QCOMPARE(storedCount(), 2);
        QVERIFY2(window->Label4->text().startsWith(u"中断采集：共 "_s), qPrintable(window->Label4->text()));
        QVERIFY(!window->findChild<FrmResults *>());
        QVERIFY(window->command6->isEnabled());
    }

    // A stopped run is offered to go on where it was: Yes loads only the
    // pages not yet done and stores each page once, in order.
    void stoppedRunIsContinuedWhenTheUserAgrees()
    {
        window->show();
        server->setPage(u"/p3.html"_s, "<table><tr><td>第3页</td></tr></table>", "text/html", 1500);
        clickStopOnPage(u"/p3.html"_s);
        window->command6_Click();
        QCOMPARE(storedCount(), 2);
        const int firstPageLoads = server->requestCount(u"/p1.html"_s);

        platform->dialogs.calls.clear();
        platform->dialogs.questionAnswers = {true};
        window->command6_Click();
        QVERIFY(platform->dialogs.calls.first().text.contains(u"是否从中断处继续采集"_s));
        QCOMPARE(storedCount(), 100);
        Database db;
        QVERIFY(db.open(platform->folder.folder().resultDatabasePath()));
        const auto rows = db.selectAll(u"select c1 from datalist order by id"_s);
        QVERIFY(rows);
        for (int i = 0; i < 100; ++i)
            QCOMPARE(rows.value().at(i).value(0).toString(), u"第%1页"_s.arg(i + 1));
        QCOMPARE(server->requestCount(u"/p1.html"_s), firstPageLoads);

        // A finished run is not offered again: the next starts from the first page.
        platform->dialogs.calls.clear();
        window->command6_Click();
        QCOMPARE(platform->dialogs.calls.size(), 1); // only the end-of-run question
        QCOMPARE(server->requestCount(u"/p1.html"_s), firstPageLoads + 1);
    }

    void linkRunWithOption5()
    {
        server->setPage(u"/links.html"_s, "<a href='p7.html'>7</a><a href='mailto:x@y.test'>m</a><a href='p9.html'>9</a>");
        window->Option5->setChecked(true);
        window->Text6->setText(server->url(u"/links.html"_s));
        window->Check2->setChecked(true);
        window->command6_Click();
        QCOMPARE(storedCount(), 2);
        QCOMPARE(window->Label4->text(), u"搜索完成：共 2 页，2 条记录，跳过 0 页，失败 0 页"_s);
    }

    // 逐行记录 clicked in the window: every row a record, the header naming
    // the result window's columns, the source columns on by default.
    void everyRowChoiceStoresEveryRow()
    {
        for (int i = 1; i <= 4; ++i)
            server->setPage(u"/t%1.html"_s.arg(i),
                            u"<table><tr><th>名称</th><th>页</th></tr><tr><td>甲</td><td>%1</td></tr>"
                            u"<tr><td>乙</td><td>%1</td></tr></table>"_s.arg(i).toUtf8());
        window->show();
        QVERIFY(!window->Combo2->isEnabled());
        QTest::mouseClick(window->Option8, Qt::LeftButton);
        QVERIFY(window->Option8->isChecked());
        QVERIFY(window->Check4->isChecked());
        QVERIFY(window->Combo2->isEnabled() && window->Text7->isEnabled());
        window->Text6->setText(server->url(u"/t(*).html"_s));
        window->TxtTo->setText(u"4"_s);
        platform->dialogs.questionAnswers = {true};
        window->command6_Click();

        QCOMPARE(window->Label4->text(), u"采集完成：共 4 页，8 条记录，跳过 0 页，失败 0 页"_s);
        const auto *results = window->findChild<FrmResults *>();
        QVERIFY(results);
        const QAbstractItemModel &model = *results->model();
        QCOMPARE(model.rowCount(), 8);
        QCOMPARE((QStringList{model.headerData(0, Qt::Horizontal).toString(), model.headerData(1, Qt::Horizontal).toString(),
                              model.headerData(2, Qt::Horizontal).toString(), model.headerData(3, Qt::Horizontal).toString()}),
                 (QStringList{u"名称"_s, u"页"_s, u"来源网址"_s, u"行号"_s}));
        QCOMPARE(model.index(3, 0).data().toString(), u"乙"_s);
        QCOMPARE(model.index(3, 2).data().toString(), server->url(u"/t2.html"_s));

        // Back to the layout, the source columns follow its default.
        QTest::mouseClick(window->Option6, Qt::LeftButton);
        QVERIFY(!window->Check4->isChecked());
        QVERIFY(!window->Combo2->isEnabled());
    }

    // A job saved on the command line opens in the window as it was saved,
    // and one saved by the window runs on the command line.
    void jobsMoveBetweenWindowAndCommandLine()
    {
        const QString site = server->url(u"/p1.html"_s);
        const QString root = platform->folder.folder().root();
        const CliRun saved = runCli({u"site"_s, u"save"_s, site, u"--data"_s, root, u"--tables"_s, u"TableName0"_s,
                                     u"--every-row"_s, u"--header-rows"_s, u"0"_s, u"--columns"_s, u"1"_s,
                                     u"--source-columns"_s, u"off"_s});
        QCOMPARE(saved.exitCode, 0);
        window->Text4->clear();
        window->ReadSearch();
        QVERIFY(window->Option8->isChecked());
        QCOMPARE(window->Combo2->currentText(), u"0"_s);
        QCOMPARE(window->Text7->text(), u"1"_s);
        QVERIFY(!window->Check4->isChecked());
        QCOMPARE(window->Text4->text(), u"TableName0"_s);

        // The window's own choices, saved as 提取信息 saves them.
        window->show();
        window->Text1->setEditText(server->url(u"/p2.html"_s));
        QTest::mouseClick(window->Option6, Qt::LeftButton);
        QTest::mouseClick(window->Option8, Qt::LeftButton);
        QVERIFY(window->Check4->isChecked()); // on by default for 逐行记录...
        QTest::mouseClick(window->Check4, Qt::LeftButton, {}, QPoint(8, window->Check4->height() / 2)); // ...and turned off
        QVERIFY(!window->Check4->isChecked());
        window->SaveSearch();
        QCOMPARE(readSiteSettings(server->url(u"/p2.html"_s)).value()->sourceColumns, std::optional<bool>(false));
        const CliRun run = runCli({u"batch"_s, u"--data"_s, root, u"--site"_s, server->url(u"/p2.html"_s),
                                   u"--pattern"_s, server->url(u"/p(*).html"_s), u"--from"_s, u"3"_s, u"--to"_s, u"4"_s});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QByteArray("pages 2, skipped 0, failed 0, records 2\n"));
        Database db;
        QVERIFY(db.open(platform->folder.folder().resultDatabasePath()));
        const auto rows = db.selectAll(u"select c1, c2 from datalist order by id"_s).value();
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows.first().value(0).toString(), u"第3页"_s); // no CR LF, no source columns
        QVERIFY2(rows.first().value(1).toString().isEmpty(), qPrintable(rows.first().value(1).toString()));
    }

    // A page the layout does not fit fails alone; the window then says how
    // many failed and why.
    void misfitPageIsNamedAtTheEnd()
    {
        PAGRION_VERIFY_OK(saveLayout({{u"1,1"_s}}));
        for (int i = 1; i <= 3; ++i)
            server->setPage(u"/m%1.html"_s.arg(i), u"<table><tr><td>a</td><td>第%1页</td></tr></table>"_s.arg(i).toUtf8());
        server->setPage(u"/m2.html"_s, "<table><tr><td>一列</td></tr></table>");
        window->Text6->setText(server->url(u"/m(*).html"_s));
        window->TxtTo->setText(u"3"_s);
        window->command6_Click();
        QCOMPARE(storedCount(), 2);
        QCOMPARE(window->Label4->text(), u"采集完成：共 3 页，2 条记录，跳过 0 页，失败 1 页"_s);
        const QStringList shown = platform->dialogs.informationTexts();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown.first().startsWith(u"有 1 页打开或处理失败，没有存入记录：\n1 页："_s) && shown.first().contains(u"1,1"_s),
                 qPrintable(shown.first()));
    }

    void nextPageRunWithOption9()
    {
        for (int i = 1; i <= 3; ++i) {
            const QString next = i < 3 ? u"<a href='c%1.html'>下一页</a>"_s.arg(i + 1) : QString();
            server->setPage(u"/c%1.html"_s.arg(i), u"<table><tr><td>第%1页</td></tr></table>%2"_s.arg(i).arg(next).toUtf8());
        }
        window->Text1->setEditText(server->url(u"/c1.html"_s));
        window->Option9->click();
        window->command6_Click();
        QCOMPARE(storedCount(), 3);
        QCOMPARE(window->List1, (QStringList{server->url(u"/c1.html"_s), server->url(u"/c2.html"_s),
                                             server->url(u"/c3.html"_s)}));
        QCOMPARE(window->Label4->text(), u"采集完成：共 3 页，3 条记录，跳过 0 页，失败 0 页"_s);
    }

    // What 保存参数 stores reaches the browser for the next page opened and
    // every batch run's settings.
    void savedLoadSettingsReachBrowserAndRuns()
    {
        window->ActiveBar21->actions().at(1)->trigger();
        auto *settings = window->findChild<Frmsysset *>();
        QVERIFY(settings);
        settings->Text2->setText(u"2"_s);
        settings->Text3->setText(u"0.5"_s);
        settings->Text4->setText(u"4"_s);
        settings->Text5->setText(u"12"_s);
        settings->Text6->setText(u"16"_s);
        settings->Text9->setText(u"20"_s);
        settings->Text10->setText(u"下页|Weiter"_s);
        settings->command4_Click();
        QCOMPARE(platform->dialogs.informationTexts(), QStringList{u"保存成功！"_s});
        QCOMPARE(browser->timeLimitMs(), 12'000);
        QCOMPARE(browser->limits().maxBodyBytes, qint64(16) << 20);

        const BatchSettings run = window->batchSettings(BatchSettings::Mode::Parameter);
        QCOMPARE(run.policy.concurrency, 2);
        QCOMPARE(run.policy.delayMs, 500);
        QCOMPARE(run.policy.retries, 4);
        QCOMPARE(run.limits.timeLimitMs, 12'000);
        QCOMPARE(run.limits.maxTextBytes, qint64(256) << 20);
        QCOMPARE(run.maxNextPages, 20);
        QCOMPARE(run.nextText, u"下页|Weiter"_s);
    }

    void emptyBatchAddressDoesNothing()
    {
        window->Text6->clear();
        window->command6_Click();
        QVERIFY(platform->dialogs.calls.isEmpty());
        QCOMPARE(storedCount(), 0);
    }
};

QTEST_MAIN(TestBatchWindow)
#include "tst_batchwindow.moc"
