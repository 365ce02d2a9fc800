#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include "platform/rowtextedit.h"
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "app/frmmain.h"
#include "layout/frmpreview.h"
#include "platform/gridview.h"
#include "engine/staticbrowser.h"
#include "store/sitesettings.h"
#include "support/fakeplatform.h"
#include "support/resultcheck.h"
#include "support/testhttpserver.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;

namespace {

const QByteArray Page = "<html><body><table><tr><td>名称</td><td>价格</td></tr><tr><td>苹果</td><td>5</td></tr>"
                        "</table><p>第一段</p><p>第二段</p></body></html>";

QStringList gridRow(const Grid &grid, int row)
{
    QStringList cells;
    for (int col = 0; col < grid.cols(); ++col)
        cells << grid.text(row, col);
    return cells;
}

} // namespace

// The one-page workflow in the window, against pages served locally.
class TestWorkflow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<FakePlatform> platform;
    TestHttpServer *server = nullptr;
    StaticBrowser *browser = nullptr;
    FrmMain *window = nullptr;

    void startWindow()
    {
        window = new FrmMain(*browser);
        window->setQuitFunction([] {});
        window->Form_Load();
    }

    void openPage()
    {
        window->Text1->setEditText(server->url(u"/page.html"_s));
        window->command1_Click();
    }

    void chooseClass(const QString &text)
    {
        window->Combo1->setCurrentIndex(window->Combo1->findText(text));
        window->Combo1_Click();
    }

private Q_SLOTS:
    void init()
    {
        platform = std::make_unique<FakePlatform>();
        QVERIFY2(platform->folder.isValid(), qPrintable(platform->folder.error()));
        server = new TestHttpServer;
        server->setPage(u"/page.html"_s, Page);
        browser = new StaticBrowser;
        browser->setTimeLimitMs(5000);
    }
    void cleanup()
    {
        delete window;
        window = nullptr;
        delete browser;
        delete server;
        platform.reset();
    }

    void openAnalysesWithTheFirstClass()
    {
        startWindow();
        QVERIFY(window->Text1->currentText().isEmpty()); // no saved site: nothing opened
        QCOMPARE(server->requests().size(), 0);

        openPage();
        QCOMPARE(window->classValue(), u"table"_s);
        QCOMPARE(window->Text2->text(), u"\r\nTableName0\r\n名称｜价格<rows>\r\n苹果｜5<rows>\r\n"_s);
        QCOMPARE(window->Label4->text(), u"系统分析完毕"_s);
        QVERIFY(window->Text4->text().isEmpty());
        QVERIFY(!window->ProgressBar1->isVisible());
    }

    // A page that answers 404 is analysed all the same, and the status line
    // tells that it did not open.
    void failedPageIsAnalysedAndNamed()
    {
        TestHttpServer::Route gone;
        gone.status = 404;
        gone.body = "<table><tr><td>找不到</td></tr></table>";
        server->setRoute(u"/gone.html"_s, gone);
        startWindow();
        window->Text1->setEditText(server->url(u"/gone.html"_s));
        window->command1_Click();
        QCOMPARE(window->Text2->text(), u"\r\nTableName0\r\n找不到<rows>\r\n"_s);
        QCOMPARE(window->Label4->text(), u"系统分析完毕　网页打开失败：HTTP 404"_s);
    }

    void tagClassFillsTheTableNameItself()
    {
        startWindow();
        openPage();
        window->Text4->setText(u"TableName0"_s);
        chooseClass(u"段落"_s);
        QCOMPARE(window->classValue(), u"p"_s);
        QCOMPARE(window->Text4->text(), u"TableName1"_s);
        QCOMPARE(window->Text2->text(), u"第一段<rows>\r\n第二段<rows>\r\n"_s);
    }

    void extractSavesTheSiteAndFollowsTheClass()
    {
        startWindow();
        openPage();
        window->command3_Click(); // empty table names: saved, nothing extracted
        QVERIFY(window->Text2->text().isEmpty());
        const auto saved = readSiteSettings(server->url(u"/page.html"_s));
        PAGRION_VERIFY_OK(saved);
        QVERIFY(saved.value().has_value());

        window->Text4->setText(u"TableName0"_s);
        window->Text3->setText(u"TableName0-0"_s);
        window->command3_Click();
        QCOMPARE(window->Text2->text(), u"苹果|5<rows>\r\n"_s);
        QCOMPARE(readSiteSettings(server->url(u"/page.html"_s)).value()->tableRow, u"TableName0-0"_s);
    }

    void previewStraightAndSwapped()
    {
        startWindow();
        openPage();
        window->Text4->setText(u"TableName0"_s);
        window->command3_Click();

        window->command5_Click();
        const Grid &grid = window->preview().MSFlexGrid1->grid();
        QVERIFY(window->preview().isVisible());
        QCOMPARE(gridRow(grid, 0), (QStringList{u"第1列"_s, u"第2列"_s}));
        QCOMPARE(gridRow(grid, 1), (QStringList{u"名称"_s, u"价格"_s}));
        QCOMPARE(gridRow(grid, 2), (QStringList{u"\r\n苹果"_s, u"5"_s}));
        QCOMPARE(grid.rows(), 5);

        window->Check1->setChecked(true);
        window->command5_Click();
        QCOMPARE(gridRow(grid, 0), (QStringList{u"第1列"_s, u"第2列"_s, u"第3列"_s}));
        QCOMPARE(gridRow(grid, 1), (QStringList{u"名称"_s, u"\r\n苹果"_s, u"\r\n"_s}));
        QCOMPARE(gridRow(grid, 2), (QStringList{u"价格"_s, u"5"_s, QString()}));
    }

    void withoutConnectionNothingIsAnalysed()
    {
        startWindow();
        openPage();
        platform->connection.connected = false;
        chooseClass(u"表格"_s);
        QVERIFY(window->Text2->text().isEmpty());
        QCOMPARE(window->Label4->text(), u"系统正在分析... ..."_s);
        window->Text2->setText(u"x<rows>"_s);
        window->command3_Click();
        window->command5_Click();
        QCOMPARE(window->Text2->text(), u"x<rows>"_s);
        QCOMPARE(platform->dialogs.informationTexts(), QStringList(3, u"网络没有联接无法搜集信息！"_s));
    }

    void startUpRestoresTheNewestSite()
    {
        PAGRION_VERIFY_OK(saveSiteSettings({u"http://old.test/"_s, {}, {}, false, u"段落"_s}));
        PAGRION_VERIFY_OK(saveSiteSettings(
            {server->url(u"/page.html"_s), u"TableName0"_s, u"TableName0-1"_s, true, u"段落"_s}));
        startWindow();
        QCOMPARE(window->Text1->count(), 2);
        QCOMPARE(window->Text1->currentText(), server->url(u"/page.html"_s));
        QCOMPARE(server->requestCount(u"/page.html"_s), 1);
        QCOMPARE(window->Text3->text(), u"TableName0-1"_s);
        QVERIFY(window->Check1->isChecked());
        // The first class is chosen last, so the page ends up analysed in table mode.
        QCOMPARE(window->classValue(), u"table"_s);
        QVERIFY(window->Text2->text().startsWith(u"\r\nTableName0"_s));
        QVERIFY(window->IsStopped);
    }

    // Start-up restores the site, choosing the table class then empties
    // 表名称: an extract right after keeps the site's saved names.
    void extractWithEmptyTableNamesKeepsTheSavedOnes()
    {
        const QString site = server->url(u"/page.html"_s);
        PAGRION_VERIFY_OK(saveSiteSettings({site, u"TableName0"_s, u"TableName0-1"_s, false, u"表格"_s}));
        startWindow();
        QVERIFY(window->Text4->text().isEmpty());
        QTest::mouseClick(window->command3, Qt::LeftButton);
        QCOMPARE(window->Label4->text(), u"表名称为空，未保存"_s);
        QCOMPARE(readSiteSettings(site).value()->tableName, u"TableName0"_s);
    }

    void choosingAnUnknownAddressClearsTheSettings()
    {
        startWindow();
        window->Text4->setText(u"TableName3"_s);
        window->Check1->setChecked(true);
        window->Text1->setEditText(server->url(u"/page.html"_s));
        QTest::keyClick(window->Text1->lineEdit(), Qt::Key_Return);
        QCOMPARE(server->requestCount(u"/page.html"_s), 1);
        QVERIFY(!window->Check1->isChecked());
        QVERIFY(window->Text4->text().isEmpty());
        // No class is selected any more, so the page is opened but not analysed.
        QCOMPARE(window->Combo1->currentIndex(), -1);
        QVERIFY(window->Text2->text().isEmpty());
    }
};

QTEST_MAIN(TestWorkflow)
#include "tst_workflow.moc"
