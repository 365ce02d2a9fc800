#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTimer>
#include <QToolBar>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "app/frmmain.h"
#include "app/frmwebpreview.h"
#include "core/textrules.h"
#include "engine/cookiestore.h"
#include "engine/staticbrowser.h"
#include "engine/webenginebrowser.h"
#include "extract/elementmode.h"
#include "extract/rowtext.h"
#include "extract/tablemode.h"
#include "support/fakeplatform.h"
#include "support/loginsite.h"
#include "support/testhttpserver.h"
#include "support/webenginetest.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;

namespace {

constexpr int DeadlineMs = 20'000;

// An article page as encyclopedias lay them out: an info box whose cells hold
// tables of their own, a navigation box of nested tables, and a table that
// takes no room.
const QByteArray ArticlePage = R"(<!DOCTYPE html><html><head><meta charset="utf-8"><title>长江</title></head>
<body><h1>长江</h1>
<table class="infobox"><tr><th colspan="2">长江</th></tr>
<tr><td>长度</td><td>6300 公里</td></tr>
<tr><td>流经</td><td><table><tr><td>青海</td><td>西藏</td></tr><tr><td>四川</td><td>上海</td></tr></table></td></tr>
</table>
<p>长江是亚洲第一长河。</p><p>它流入东海。</p>
<table class="navbox"><tr><td><table><tr><th>支流</th></tr><tr><td><table><tr><td>岷江</td><td>嘉陵江</td></tr></table></td></tr></table></td></tr></table>
<table style="display:none"><tr><td>隐藏</td></tr></table>
</body></html>)";

// The element names in the analysis text, in its order, and the first row of
// each table as the analysis shows it.
struct Expected
{
    QStringList names;
    QStringList firsts;
};

Expected expectedTables(const Document &document)
{
    Expected expected;
    static const QRegularExpression nameLine(u"\r\n(TableName\\d+)\r"_s);
    auto names = nameLine.globalMatch(tableAnalysisText(document));
    while (names.hasNext())
        expected.names << names.next().captured(1);
    for (const HtmlTable &table : document.tables()) {
        QStringList cells;
        for (const QString &cell : table.rows.value(0))
            cells << trimSpaces(cell);
        expected.firsts << cells.join(u'｜');
    }
    return expected;
}

Expected expectedElements(const Document &document, const QString &tag)
{
    Expected expected;
    const QString text = elementListText(document, tag, QString());
    const QStringList rows = text.split(RowEnd);
    for (qsizetype i = 0; i + 1 < rows.size(); ++i) {
        expected.names << rowName(elementName(1), int(i));
        expected.firsts << rows[i];
    }
    return expected;
}

bool load(Browser &browser, const QString &address)
{
    QSignalSpy completed(&browser, &Browser::DownloadComplete);
    browser.Navigate(address);
    return completed.wait(DeadlineMs) && !browser.Busy();
}

} // namespace

class TestFrmWebPreview : public QObject
{
    Q_OBJECT

private:
    TestHttpServer server;
    QStringList fixtures;
    QLineEdit text4;
    QLineEdit text3;
    FrmWebPreview *preview = nullptr;

    bool showAndLabel(const QString &path, const QString &classValue)
    {
        QSignalSpy labelled(preview, &FrmWebPreview::labelled);
        preview->setClassValue(classValue);
        preview->followPage(server.url(path));
        return labelled.wait(DeadlineMs);
    }

    // Clicks the label through the window, as the user does.
    void clickLabel(int index)
    {
        const PageLabel label = preview->labels().value(index);
        QVERIFY2(label.shown, qPrintable(label.name));
        const QPoint inView = label.centre.toPoint();
        QTest::mouseClick(preview->windowHandle(), Qt::LeftButton, {},
                          preview->WebBrowser1->mapTo(preview, inView));
    }

    void compare(const QList<PageLabel> &labels, const Expected &expected)
    {
        QStringList names;
        for (const PageLabel &label : labels)
            names << label.name;
        QCOMPARE(names, expected.names);
        for (qsizetype i = 0; i < labels.size(); ++i) {
            // The label's text is cut short; what it shows opens the analysis's first row.
            const QString shown = labels[i].firstCells;
            QVERIFY2(expected.firsts[i].startsWith(shown) && shown.isEmpty() == expected.firsts[i].isEmpty(),
                     qPrintable(u"%1: %2 / %3"_s.arg(names[i], shown, expected.firsts[i])));
        }
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(server.isListening());
        const QDir folder(qEnvironmentVariable("PAGRION_SOURCE_DIR") + u"/tests/engine/fixtures"_s);
        fixtures = folder.entryList({u"*.html"_s}, QDir::Files);
        QVERIFY(!fixtures.isEmpty());
        for (const QString &page : std::as_const(fixtures)) {
            QFile file(folder.filePath(page));
            QVERIFY(file.open(QIODevice::ReadOnly));
            server.setPage(u"/"_s + page, file.readAll());
        }
        server.setPage(u"/article.html"_s, ArticlePage);
        fixtures << u"article.html"_s;
    }
    void init()
    {
        text4.clear();
        text3.clear();
        preview = new FrmWebPreview(&text4, &text3);
        preview->show();
        QVERIFY(QTest::qWaitForWindowExposed(preview));
    }
    void cleanup() { delete preview; }

    // Every page the engines are held to agree on, in both modes: the labels
    // carry the analysis's names, in its order, over the elements it reads.
    void labelsAgreeWithTheAnalysis_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("classValue");
        for (const QString &page : std::as_const(fixtures)) {
            for (const QString &classValue : {u"table"_s, u"td"_s, u"p"_s, u"div"_s, u"li"_s})
                QTest::addRow("%s %s", qPrintable(page), qPrintable(classValue)) << page << classValue;
        }
    }
    void labelsAgreeWithTheAnalysis()
    {
        QFETCH(QString, page);
        QFETCH(QString, classValue);
        QVERIFY(showAndLabel(u"/"_s + page, classValue));
        StaticBrowser staticEngine;
        WebEngineBrowser fullEngine;
        for (Browser *engine : {static_cast<Browser *>(&staticEngine), static_cast<Browser *>(&fullEngine)}) {
            QVERIFY(load(*engine, server.url(u"/"_s + page)));
            const Document &document = *engine->document();
            compare(preview->labels(), classValue == u"table" ? expectedTables(document)
                                                              : expectedElements(document, classValue));
        }
    }

    // With scripts on, as in the full browser, what a <noscript> holds is
    // text, not tables: the labels count the live page as its analysis does.
    void noscriptHoldsNoTables()
    {
        server.setPage(u"/noscript.html"_s, "<table><tr><td>a</td></tr></table><noscript><table><tr><td>b</td>"
                                             "</tr></table></noscript><table><tr><td>c</td></tr></table>");
        QVERIFY(showAndLabel(u"/noscript.html"_s, u"table"_s));
        WebEngineBrowser fullEngine;
        QVERIFY(load(fullEngine, server.url(u"/noscript.html"_s)));
        compare(preview->labels(), expectedTables(*fullEngine.document()));
        QCOMPARE(preview->labels().value(1).firstCells, u"c"_s);
    }

    void clickingLabelsFillsTheNameBoxes()
    {
        QVERIFY(showAndLabel(u"/article.html"_s, u"table"_s));
        QCOMPARE(preview->labels().size(), 6);
        QVERIFY(!preview->labels().at(5).shown);
        for (int index : {1, 0, 1, 4})
            clickLabel(index);
        QTRY_COMPARE_WITH_TIMEOUT(text4.text(), u"TableName1|TableName0|TableName4"_s, DeadlineMs);
        QVERIFY(text3.text().isEmpty());

        QSignalSpy labelled(preview, &FrmWebPreview::labelled);
        preview->setClassValue(u"p"_s);
        QVERIFY(labelled.wait(DeadlineMs));
        QCOMPARE(preview->labels().size(), 2);
        clickLabel(1);
        QTRY_COMPARE_WITH_TIMEOUT(text3.text(), u"TableName1-1"_s, DeadlineMs);
        QCOMPARE(text4.text(), u"TableName1|TableName0|TableName4"_s);
    }

    // A login sent from the preview's page is the program's.
    void aLoginInThePreviewIsKept()
    {
        delete preview;
        LoginSite site;
        CookieStore cookies{QString()};
        preview = new FrmWebPreview(&text4, &text3);
        QSignalSpy labelled(preview, &FrmWebPreview::labelled);
        preview->followPage(site.url(u"/login.html"_s));
        QVERIFY(labelled.wait(DeadlineMs));
        preview->WebBrowser1->page()->runJavaScript(
            u"var f = document.forms[0]; f.user.value = 'alice'; f.password.value = 'secret'; f.submit();"_s);
        const StoredCookie session = *parseCookieLine(site.sessionCookieLine());
        QTRY_COMPARE_WITH_TIMEOUT(cookies.cookies().value(session.key()), session, DeadlineMs);
        delete preview; // before the profile, which goes with the store
        preview = nullptr;
    }

    // The preview follows the main window's pages and class without ever
    // sending the main window's browser anywhere.
    void followsTheMainWindow()
    {
        delete preview;
        preview = nullptr;
        FakePlatform platform;
        FakeBrowser browser;
        FrmMain window(browser);
        window.Form_Load();
        const QList<QAction *> tools = window.ActiveBar21->actions();
        QCOMPARE(tools.last()->text(), u"网页预览"_s);
        tools.last()->trigger();
        FrmWebPreview *opened = window.webPreview();
        QVERIFY(opened && opened->isVisible());

        QSignalSpy labelled(opened, &FrmWebPreview::labelled);
        window.Text1->setEditText(server.url(u"/article.html"_s));
        QTimer::singleShot(0, &browser, [&] { browser.finishLoad(); });
        window.command1_Click(); // opens, then analyses with the first class, 表格
        QVERIFY(labelled.wait(DeadlineMs));
        QCOMPARE(opened->labels().size(), 6);
        QCOMPARE(opened->WebBrowser1->page()->url().toString(), server.url(u"/article.html"_s));

        window.Combo1->setCurrentIndex(window.Combo1->findText(u"段落"_s));
        window.Combo1_Click();
        QVERIFY(labelled.wait(DeadlineMs));
        QCOMPARE(opened->labels().value(1).name, u"TableName1-1"_s);
        QCOMPARE(browser.navigated, QStringList{server.url(u"/article.html"_s)});

        tools.last()->trigger();
        QCOMPARE(window.findChildren<FrmWebPreview *>().size(), 1);
    }
};

PAGRION_WEBENGINE_TEST_MAIN(TestFrmWebPreview)
#include "tst_frmwebpreview.moc"
