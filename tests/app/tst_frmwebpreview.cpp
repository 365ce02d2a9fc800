#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTimer>
#include <QToolBar>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>

#include "app/frmmain.h"
#include "app/frmwebpreview.h"
#include "core/textrules.h"
#include "engine/cookiestore.h"
#include "engine/html/htmldocument.h"
#include "engine/staticbrowser.h"
#include "engine/webengine/webenginebrowser.h"
#include "extract/elementmode.h"
#include "extract/rowtext.h"
#include "extract/tablemode.h"
#include "store/database.h"
#include "store/definitions.h"
#include "store/loadsettings.h"
#include "support/fakeplatform.h"
#include "support/loginsite.h"
#include "support/resultcheck.h"
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

// Runs a script in the preview's page, in a world of its own, and waits for its answer.
QVariant runInPage(FrmWebPreview &preview, const QString &script)
{
    QVariant answer;
    bool arrived = false;
    preview.WebBrowser1->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                                               [&](const QVariant &value) {
                                                   answer = value;
                                                   arrived = true;
                                               });
    // No answer in time gives an empty one, which the caller finds wanting.
    return QTest::qWaitFor([&] { return arrived; }, DeadlineMs) ? answer : QVariant();
}

// The lines of text of every element with the tag, each element's as a list
// of [left, top, right, bottom] in the view.
QList<QList<QRectF>> textLines(FrmWebPreview &preview, const QString &tag)
{
    const QString script = uR"js(
        JSON.stringify(Array.prototype.map.call(document.getElementsByTagName('%1'), function (element) {
            var lines = [], walker = document.createTreeWalker(element, NodeFilter.SHOW_TEXT), range = document.createRange();
            for (var node = walker.nextNode(); node; node = walker.nextNode()) {
                range.selectNodeContents(node);
                Array.prototype.forEach.call(range.getClientRects(), function (r) {
                    if (r.width > 0 && /\S/.test(node.data))
                        lines.push([r.left, r.top, r.right, r.bottom]);
                });
            }
            return lines;
        })))js"_s;
    QList<QList<QRectF>> elements;
    const QJsonArray all = QJsonDocument::fromJson(runInPage(preview, script.arg(tag)).toString().toUtf8()).array();
    for (const QJsonValue &element : all) {
        QList<QRectF> &lines = elements.emplace_back();
        for (const QJsonValue &line : element.toArray()) {
            const QJsonArray edges = line.toArray();
            lines.append(QRectF(QPointF(edges[0].toDouble(), edges[1].toDouble()),
                                QPointF(edges[2].toDouble(), edges[3].toDouble())));
        }
    }
    return elements;
}

// A page of the run: its number in a table, a style sheet, an image and a
// frame that shows the page itself.
QByteArray runPage(int number)
{
    return u"<!DOCTYPE html><html><head><link rel=\"stylesheet\" href=\"/style.css\"></head><body>"
           u"<table><tr><td>第%1页</td></tr></table><img src=\"/image.png\"><iframe src=\"/p%1.html\"></iframe>"
           u"</body></html>"_s.arg(number).toUtf8();
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

    // Loads the page with the engine and shows what it loaded.
    bool showAndLabel(Browser &engine, const QString &path, const QString &classValue)
    {
        if (!load(engine, server.url(path)))
            return false;
        QSignalSpy labelled(preview, &FrmWebPreview::labelled);
        preview->setClassValue(classValue);
        preview->showPage(engine.document());
        return labelled.wait(DeadlineMs);
    }

    // Clicks the label through the window, as the user does.
    void clickLabel(int index)
    {
        const PageLabel label = preview->labels().value(index);
        QVERIFY2(label.shown, qPrintable(label.name));
        const QPoint inView = label.box.center().toPoint();
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

    // Every page the engines are held to agree on, in both modes, as each
    // engine read it: the labels carry the analysis's names, in its order,
    // over the elements it reads.
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
        StaticBrowser staticEngine;
        WebEngineBrowser fullEngine;
        for (Browser *engine : {static_cast<Browser *>(&staticEngine), static_cast<Browser *>(&fullEngine)}) {
            QVERIFY(showAndLabel(*engine, u"/"_s + page, classValue));
            const Document &document = *engine->document();
            compare(preview->labels(), classValue == u"table" ? expectedTables(document)
                                                              : expectedElements(document, classValue));
        }
    }

    // The engines read pages as a browser that runs scripts: what a
    // <noscript> holds is text, not tables. Where the page shown still has
    // tables the analysis has not, the preview says so and labels none.
    void noscriptHoldsNoTables()
    {
        server.setPage(u"/noscript.html"_s, "<table><tr><td>a</td></tr></table><noscript><table><tr><td>b</td>"
                                             "</tr></table></noscript><table><tr><td>c</td></tr></table>");
        StaticBrowser staticEngine;
        WebEngineBrowser fullEngine;
        for (Browser *engine : {static_cast<Browser *>(&staticEngine), static_cast<Browser *>(&fullEngine)}) {
            QVERIFY(showAndLabel(*engine, u"/noscript.html"_s, u"table"_s));
            compare(preview->labels(), expectedTables(*engine->document()));
            QCOMPARE(preview->labels().value(1).firstCells, u"c"_s);
        }

        // Without scripts, a table in a noscript of the head leaves it for the body.
        server.setPage(u"/headnoscript.html"_s, "<head><noscript><table><tr><td>n</td></tr></table></noscript>"
                                                 "</head><body><table><tr><td>c</td></tr></table></body>");
        QVERIFY(showAndLabel(fullEngine, u"/headnoscript.html"_s, u"table"_s));
        QVERIFY(preview->labels().isEmpty());
        QCOMPARE(preview->Label1->text(),
                 u"这里显示的网页与分析读到的不同：分析读到 1 个表格，这里有 2 个，这里不标出表名称。"_s);
    }

    void clickingLabelsFillsTheNameBoxes()
    {
        StaticBrowser engine;
        QVERIFY(showAndLabel(engine, u"/article.html"_s, u"table"_s));
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

    // In element list mode each label sits on a line of its own element and
    // covers no element's text: not between lines that follow closely, nor
    // where an element's text runs to its edge.
    void elementLabelsSitOnTheirOwnLines_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QString>("tag");
        const QByteArray lines = "body { font: 13px/15px sans-serif; margin: 0 }";
        QTest::newRow("close list items") << "<style>" + lines + "</style><ul><li>一</li><li>二二</li><li>三</li>"
                                             "<li><b>四</b>与<a href=\"#\">四</a></li><li>" + QByteArray(2000, 'x')
                                             + "</li><li>六</li><li>七<ul><li>七之一</li><li>七之二</li></ul></li></ul>"
                                          << u"li"_s;
        QTest::newRow("paragraphs without margins") << "<style>" + lines + " p { margin: 0 }</style>"
                                                       "<p>甲</p><p>乙乙乙乙</p><p>"
                                                       + QByteArray(300, 'y').replace('y', "yy ")
                                                       + "</p><p>丁</p>"
                                                    << u"p"_s;
        QTest::newRow("cells of a full row") << "<style>" + lines + " table { width: 100% }</style><table><tr>"
                                                "<td>左左左左左左左左左左左左左左左左左左左左</td><td>中</td><td>右</td></tr>"
                                                "<tr><td>下</td><td></td><td>末</td></tr></table>"
                                             << u"td"_s;
    }
    void elementLabelsSitOnTheirOwnLines()
    {
        QFETCH(QByteArray, page);
        QFETCH(QString, tag);
        server.setPage(u"/lines.html"_s, page);
        StaticBrowser engine;
        QVERIFY(showAndLabel(engine, u"/lines.html"_s, tag));
        const QList<PageLabel> labels = preview->labels();
        const QList<QList<QRectF>> lines = textLines(*preview, tag);
        QCOMPARE(labels.size(), lines.size());
        for (qsizetype k = 0; k < labels.size(); ++k) {
            const QRectF label = labels[k].box;
            const auto onLine = [&](const QRectF &line) {
                return line.top() <= label.center().y() && label.center().y() <= line.bottom();
            };
            QVERIFY2(lines[k].isEmpty() || std::any_of(lines[k].cbegin(), lines[k].cend(), onLine),
                     qPrintable(labels[k].name));
            // Lines of text are taller than their letters: a label may touch
            // the lines above and below by a pixel or two.
            const QRectF covering = label.adjusted(0, 2, 0, -2);
            for (const QList<QRectF> &element : lines) {
                for (const QRectF &line : element)
                    QVERIFY2(!covering.intersects(line), qPrintable(labels[k].name));
            }
        }
    }

    // A login sent from the preview's page is the program's.
    void aLoginInThePreviewIsKept()
    {
        delete preview;
        LoginSite site;
        CookieStore cookies{QString()};
        preview = new FrmWebPreview(&text4, &text3);
        StaticBrowser engine;
        QVERIFY(load(engine, site.url(u"/login.html"_s)));
        QSignalSpy labelled(preview, &FrmWebPreview::labelled);
        preview->showPage(engine.document());
        QVERIFY(labelled.wait(DeadlineMs));
        preview->WebBrowser1->page()->runJavaScript(
            u"var f = document.forms[0]; f.user.value = 'alice'; f.password.value = 'secret'; f.submit();"_s,
            QWebEngineScript::ApplicationWorld);
        const StoredCookie session = *parseCookieLine(site.sessionCookieLine());
        QTRY_COMPARE_WITH_TIMEOUT(cookies.cookies().value(session.key()), session, DeadlineMs);
        delete preview; // before the profile, which goes with the store
        preview = nullptr;
    }

    // The preview shows the page the main window loaded and follows its
    // class, never sending the main window's browser anywhere and never
    // asking the site for the page itself.
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

        server.setPage(u"/followed.html"_s, ArticlePage);
        const QString address = server.url(u"/followed.html"_s);
        QSignalSpy labelled(opened, &FrmWebPreview::labelled);
        window.Text1->setEditText(address);
        QTimer::singleShot(0, &browser, [&] { browser.finishLoad(parseHtmlDocument(QString::fromUtf8(ArticlePage), QUrl(address))); });
        window.command1_Click(); // opens, then analyses with the first class, 表格
        QVERIFY(labelled.wait(DeadlineMs));
        QCOMPARE(opened->labels().size(), 6);
        QCOMPARE(opened->WebBrowser1->page()->url().toString(), address);

        window.Combo1->setCurrentIndex(window.Combo1->findText(u"段落"_s));
        window.Combo1_Click();
        QVERIFY(labelled.wait(DeadlineMs));
        QCOMPARE(opened->labels().value(1).name, u"TableName1-1"_s);
        QCOMPARE(browser.navigated, QStringList{address});
        QCOMPARE(server.requestCount(u"/followed.html"_s), 0);

        tools.last()->trigger();
        QCOMPARE(window.findChildren<FrmWebPreview *>().size(), 1);
    }

    // During a batch run the preview shows each page as the run loaded it,
    // when the run handles it and never before, and asks the site for
    // nothing: every request comes from the run, at its pace. A page the run
    // could not load is shown as the server answered, without labels.
    void batchShowsThePageBeingHandled()
    {
        delete preview;
        preview = nullptr;
        constexpr int Pages = 6;
        TestHttpServer site;
        for (int i = 1; i < Pages; ++i)
            site.setPage(u"/p%1.html"_s.arg(i), runPage(i));
        site.setRoutes(u"/p%1.html"_s.arg(Pages), {TestHttpServer::page("<table><tr><td>服务器忙</td></tr></table>", 503),
                                                    TestHttpServer::page(runPage(Pages))});
        site.setPage(u"/style.css"_s, "td { color: red }", "text/css");
        FakePlatform platform;
        {
            LoadSettings settings;
            settings.concurrency = 2; // so pages load ahead of the one handled
            settings.delayMs = 200;
            settings.retries = 0;
            Database db;
            PAGRION_VERIFY_OK(db.open(platform.folder.folder().configDatabasePath()));
            PAGRION_VERIFY_OK(db.inTransaction([&] { return writeLoadSettings(db, settings); }));
        }
        PAGRION_VERIFY_OK(saveLayout({{u"1,0"_s}}));
        StaticBrowser browser;
        FrmMain window(browser);
        window.Form_Load();
        window.show();
        window.ActiveBar21->actions().last()->trigger();
        FrmWebPreview *opened = window.webPreview();
        QVERIFY(opened);

        // A page opened by hand shows with its style sheet, still without a
        // second request for the page.
        QSignalSpy labelled(opened, &FrmWebPreview::labelled);
        window.Text1->setEditText(site.url(u"/p1.html"_s));
        window.command1_Click();
        QVERIFY(labelled.wait(DeadlineMs));
        QCOMPARE(opened->labels().value(0).firstCells, u"第1页"_s);
        // The sheet is asked for by the window's engine, which reads the page
        // by it, and by the preview, which shows the page with it.
        QTRY_COMPARE_WITH_TIMEOUT(site.requestCount(u"/style.css"_s), 2, DeadlineMs);
        QTRY_COMPARE_WITH_TIMEOUT(site.requestCount(u"/image.png"_s), 1, DeadlineMs);
        QCOMPARE(site.requestCount(u"/p1.html"_s), 1);

        struct Shown
        {
            QString url;
            int handled; // the page the window was on, from 1
            QList<PageLabel> labels;
            QString status;
        };
        QList<Shown> shown;
        connect(opened, &FrmWebPreview::labelled, &window, [&] {
            shown.append({opened->WebBrowser1->page()->url().toString(), window.ProgressBar2->value(),
                          opened->labels(), opened->Label1->text()});
        });
        const qsizetype before = site.requests().size();
        window.Text4->setText(u"TableName0"_s);
        window.Text6->setText(site.url(u"/p(*).html"_s));
        window.TxtFrom->setText(u"1"_s);
        window.TxtTo->setText(u"%1"_s.arg(Pages));
        window.Option4->setChecked(true);
        platform.dialogs.questionAnswers = {false};
        window.command6_Click();
        QVERIFY2(window.Label4->text().startsWith(u"采集完成：共 %1 页"_s.arg(Pages)), qPrintable(window.Label4->text()));

        const QString last = site.url(u"/p%1.html"_s.arg(Pages));
        QTRY_VERIFY_WITH_TIMEOUT(!shown.isEmpty() && shown.last().url == last, DeadlineMs);
        QCOMPARE(shown.last().status, u"分析没有读到这一页（HTTP 503），这里不标出表名称。"_s);
        QVERIFY(shown.last().labels.isEmpty());

        QStringList requested;
        for (qsizetype i = before; i < site.requests().size(); ++i)
            requested << site.requests().at(i).target;
        QStringList expected;
        for (int i = 1; i <= Pages; ++i)
            expected << u"/p%1.html"_s.arg(i);
        QVERIFY2(requested == expected, qPrintable(requested.join(u' ')));

        int previous = 0;
        for (const Shown &page : std::as_const(shown)) {
            const int number = QRegularExpression(u"/p(\\d+)\\.html$"_s).match(page.url).captured(1).toInt();
            QVERIFY2(number > previous && number <= page.handled,
                     qPrintable(u"第 %1 页，正在处理第 %2 页"_s.arg(number).arg(page.handled)));
            previous = number;
            if (number < Pages) {
                QCOMPARE(page.labels.size(), 1);
                QCOMPARE(page.labels.first().firstCells, u"第%1页"_s.arg(number));
            }
        }
    }
};

PAGRION_WEBENGINE_TEST_MAIN(TestFrmWebPreview)
#include "tst_frmwebpreview.moc"
