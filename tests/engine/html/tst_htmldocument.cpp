#include <QDir>
#include <QFile>
#include <QTest>

#include "engine/html/htmldocument.h"

using namespace Qt::StringLiterals;
using namespace pagrion;

using Tables = QList<QList<QStringList>>;

namespace {

Tables rowsOf(const QList<HtmlTable> &tables)
{
    Tables rows;
    for (const HtmlTable &table : tables)
        rows.append(table.rows);
    return rows;
}

} // namespace

class TestHtmlDocument : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void bodyText_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("expected");

        QTest::newRow("inline elements run on") << u"<span>a</span><b>b</b> <i>c</i>"_s << u"ab c"_s;
        QTest::newRow("blocks on their own lines") << u"x<div>a</div><div>b</div>y"_s << u"x\na\nb\ny"_s;
        QTest::newRow("nested block edges give one break")
            << u"<div><div><h1>a</h1></div></div><section><div>b</div></section>"_s << u"a\nb"_s;
        QTest::newRow("paragraph leaves an empty line") << u"<div>a</div><p>b</p><div>c</div>"_s << u"a\n\nb\n\nc"_s;
        QTest::newRow("no breaks at start or end") << u"<p><div>a</div></p>"_s << u"a"_s;
        QTest::newRow("br is a line feed, even twice") << u"a<br>b<br><br>c"_s << u"a\nb\n\nc"_s;
        QTest::newRow("br adds to a block break") << u"<div>a<br></div><div>b</div>"_s << u"a\n\nb"_s;
        QTest::newRow("spaces around br vanish") << u"a <br> b"_s << u"a\nb"_s;
        QTest::newRow("white space collapses") << u"  a \n\t  b\r\n "_s << u"a b"_s;
        QTest::newRow("one space across element edges") << u"a <b> b </b> <i> c</i>"_s << u"a b c"_s;
        QTest::newRow("blocks trim their lines") << u"<div> a </div>\n <div>\n b\n</div>"_s << u"a\nb"_s;
        QTest::newRow("pre keeps white space") << u"<pre>  a\n   b  </pre>"_s << u"  a\n   b  "_s;
        QTest::newRow("pre drops its first line feed") << u"<pre>\nx\n</pre>"_s << u"x\n"_s;
        QTest::newRow("inline white-space pre") << u"<span style=\"white-space: pre\">a  b</span>"_s << u"a  b"_s;
        QTest::newRow("hidden content gives nothing")
            << u"a<script>s()</script><style>p{}</style><span hidden>h</span>"
               u"<div style=\"color:red; DISPLAY : none !important\">d</div><template>t</template>"
               u"<noscript>n</noscript><input type=hidden value=v>b"_s
            << u"ab"_s;
        QTest::newRow("inline display block") << u"<span style=\"display:block\">a</span>b"_s << u"a\nb"_s;
        // A browser that runs scripts reads what noscript holds as text.
        QTest::newRow("a style sheet in noscript styles nothing")
            << u"<noscript><style>p { display: none }</style></noscript><p>a</p>"_s << u"a"_s;
        QTest::newRow("list items") << u"<ul><li>a</li><li>b</li></ul>c"_s << u"a\nb\nc"_s;
        QTest::newRow("cells by tabs, rows by line feeds")
            << u"<table><tr><td>a</td><td> b </td></tr>\n<tr><th>c</th><td>d</td></tr></table>"_s
            << u"a\tb\nc\td"_s;
        QTest::newRow("empty cells keep their tabs")
            << u"<table><tr><td>a</td><td></td><td>b</td></tr></table>"_s << u"a\t\tb"_s;
        QTest::newRow("hidden cell takes no tab")
            << u"<table><tr><td>a</td><td>b</td><td hidden>c</td></tr></table>"_s << u"a\tb"_s;
        QTest::newRow("table is a block") << u"x<table><tr><td>a</td></tr></table>y"_s << u"x\na\ny"_s;
        QTest::newRow("nested table inside a cell")
            << u"<table><tr><td>a<table><tr><td>x</td><td>y</td></tr><tr><td>z</td></tr></table></td>"
               u"<td>b</td></tr></table>"_s
            << u"a\nx\ty\nz\n\tb"_s;
        QTest::newRow("invisible text keeps its spaces apart")
            << u"a <span style=\"visibility:hidden\">x</span> b<div style=\"visibility:hidden\">c"
               u"<i style=\"visibility:visible\">v</i></div>d"_s
            << u"a  bvd"_s;
        QTest::newRow("invisible cells and rows leave no separators")
            << u"<table><tr><td style=\"visibility:hidden\">a</td><td>b</td><td>c</td></tr>"
               u"<tr style=\"visibility:hidden\"><td>d</td></tr></table>x"_s
            << u"b\tc\n\nx"_s;
        QTest::newRow("closed details show their summary")
            << u"<details><summary>s</summary><p>x</p></details><details open><summary>t</summary>y</details>"_s
            << u"s\nt\ny"_s;
        QTest::newRow("dialogs only while open") << u"a<dialog>x</dialog><dialog open>y</dialog>"_s << u"a\ny"_s;
        QTest::newRow("object without data shows its content")
            << u"<object classid=\"x\"><param name=\"p\">f</object><object data=\"i.png\">g</object>"_s << u"f"_s;
        QTest::newRow("floats and placed boxes are blocks")
            << u"<span style=\"float:left\">a</span>b<span style=\"position:absolute\">c</span>"_s
            << u"a\nb\nc"_s;
        QTest::newRow("no-break space is text") << u"a&nbsp;&nbsp;b"_s << u"a\u00a0\u00a0b"_s;
        QTest::newRow("images and controls give no text")
            << u"a<img alt=\"x\"><iframe>fallback</iframe><textarea>t</textarea>b"_s << u"ab"_s;
        QTest::newRow("spaces beside images, controls and icons stay apart")
            << u"<p>a <img src=\"i.png\"> b</p><p><input> c <svg><path d=\"M0\"/></svg> d</p>"
               u"<p>e <img> <img> f</p>"_s
            << u"a  b\n\n c  d\n\ne   f"_s;
        QTest::newRow("svg shows its text, not its title or description")
            << u"x<svg><title>tip</title><desc>note</desc><text>label</text></svg>y"_s << u"x\nlabel\ny"_s;
        QTest::newRow("noscript content is text, and hidden") << u"a<noscript><p>n</p></noscript>b"_s << u"ab"_s;
        QTest::newRow("empty body") << QString() << QString();
    }
    void bodyText()
    {
        QFETCH(QString, body);
        QFETCH(QString, expected);
        const auto document = parseHtmlDocument(u"<html><head><title>T</title></head><body>"_s + body);
        QCOMPARE(document->bodyText(), std::optional<QString>(expected));
    }

    void framesetHasNoBody()
    {
        const auto document = parseHtmlDocument(u"<html><frameset><frame src=\"a.htm\"></frameset></html>"_s);
        QCOMPARE(document->bodyText(), std::nullopt);
        QCOMPARE(document->bodyTextContainsAny({u"x"_s}), std::nullopt);
    }

    // The answer must be the body text's, however the page spells the text.
    void bodyTextContainsAny_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("wanted");
        QTest::addColumn<bool>("expected");
        QTest::newRow("plain") << u"<p>无法找到网页</p>"_s << u"无法找到网页"_s << true;
        QTest::newRow("across elements") << u"无法<b>找到</b><i>网</i>页"_s << u"无法找到网页"_s << true;
        QTest::newRow("character references") << u"&#26080;&#x6CD5;找到网页"_s << u"无法找到网页"_s << true;
        QTest::newRow("space from a line break") << u"HTTP\n404 -\t无法找到文件"_s << u"HTTP 404 - 无法找到文件"_s
                                                 << true;
        QTest::newRow("line between blocks") << u"<div>a</div><div>b</div>"_s << u"a\nb"_s << true;
        QTest::newRow("hidden content gives nothing")
            << u"<div hidden>无法找到网页</div>"_s << u"无法找到网页"_s << false;
        QTest::newRow("every character, not in order") << u"网页找到无法"_s << u"无法找到网页"_s << false;
        QTest::newRow("a character missing") << u"无法找到网"_s << u"无法找到网页"_s << false;
        QTest::newRow("template content") << u"<template>无法找到网页</template>"_s << u"无法找到网页"_s << false;
        QTest::newRow("empty text is everywhere") << u"x"_s << QString() << true;
    }
    void bodyTextContainsAny()
    {
        QFETCH(QString, body);
        QFETCH(QString, wanted);
        QFETCH(bool, expected);
        const auto document = parseHtmlDocument(u"<html><head><title>无法找到网页</title></head><body>"_s + body);
        QCOMPARE(document->bodyText()->contains(wanted), expected);
        QCOMPARE(document->bodyTextContainsAny({u"absent"_s, wanted}), std::optional<bool>(expected));
    }

    void tables_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<Tables>("expected");

        QTest::newRow("no table") << u"<p>x</p>"_s << Tables{};
        QTest::newRow("rows and cells")
            << u"<table><tr><td> a  b </td><th>c<br>d</th></tr><tr><td></td></tr><tr></tr></table>"_s
            << Tables{{{u"a b"_s, u"c\nd"_s}, {QString()}, {}}};
        QTest::newRow("nested table: own rows, listed after the outer")
            << u"<table><tr><td>a<table><tr><td>x</td><td>y</td></tr></table></td><td>b</td></tr>"
               u"<tr><td>c</td></tr></table><table><tr><td>last</td></tr></table>"_s
            << Tables{{{u"a\nx\ty"_s, u"b"_s}, {u"c"_s}}, {{u"x"_s, u"y"_s}}, {{u"last"_s}}};
        QTest::newRow("header rows first, footer rows last")
            << u"<table><tfoot><tr><td>f</td></tr></tfoot><tbody><tr><td>b1</td></tr></tbody>"
               u"<thead><tr><th>h</th></tr></thead><tbody><tr><td>b2</td></tr></tbody></table>"_s
            << Tables{{{u"h"_s}, {u"b1"_s}, {u"b2"_s}, {u"f"_s}}};
        QTest::newRow("stray markup is moved out of the table")
            << u"<table><tr><td>a</td>junk<td>b</td></tr></table>"_s << Tables{{{u"a"_s, u"b"_s}}};
        QTest::newRow("hidden table reads its raw text")
            << u"<div style=\"display:none\"><table><tr><td> a  b </td></tr></table></div>"_s
            << Tables{{{u" a  b "_s}}};
    }
    void tables()
    {
        QFETCH(QString, html);
        QFETCH(Tables, expected);
        QCOMPARE(rowsOf(parseHtmlDocument(html)->tables()), expected);
    }

    void elementTexts_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("tag name in any case") << u"<P>x</P><p>y</p>"_s << u"P"_s << QStringList{u"x"_s, u"y"_s};
        QTest::newRow("outer before inner")
            << u"<div>a<div>b</div></div>"_s << u"div"_s << QStringList{u"a\nb"_s, u"b"_s};
        QTest::newRow("unknown tag") << u"<my-tag>a</my-tag><MY-TAG> b</MY-TAG>"_s << u"My-Tag"_s
                                     << QStringList{u"a"_s, u"b"_s};
        QTest::newRow("span edges trimmed") << u"x <span> s  t </span> y"_s << u"span"_s << QStringList{u"s t"_s};
        QTest::newRow("script gives its source") << u"<script> var a = 1;\n</script>"_s << u"script"_s
                                                 << QStringList{u" var a = 1;\n"_s};
        QTest::newRow("inside a hidden block: raw text")
            << u"<div hidden><span> a  b </span></div>"_s << u"span"_s << QStringList{u" a  b "_s};
        QTest::newRow("textarea read on its own") << u"<textarea>\n l1\n l2</textarea>"_s << u"textarea"_s
                                                  << QStringList{u" l1\n l2"_s};
        QTest::newRow("folded away in closed details")
            << u"<details><summary>s</summary><p>x</p></details>"_s << u"p"_s << QStringList{QString()};
        QTest::newRow("template content is not in the page")
            << u"<template><p>x</p></template><p>y</p>"_s << u"p"_s << QStringList{u"y"_s};
        QTest::newRow("noscript holds no elements")
            << u"<head><noscript><p>h</p></noscript></head><p>x</p><noscript><p>n</p><table></table></noscript>"
               u"<p>y</p>"_s
            << u"p"_s << QStringList{u"x"_s, u"y"_s};
        QTest::newRow("noscript read on its own gives its markup")
            << u"<body><noscript><b>n &amp; m</b></noscript>"_s << u"noscript"_s
            << QStringList{u"<b>n &amp; m</b>"_s};
        QTest::newRow("no such element") << u"<p>x</p>"_s << u"li"_s << QStringList{};
        QTest::newRow("empty tag name") << u"<p>x</p>"_s << QString() << QStringList{};
    }
    void elementTexts()
    {
        QFETCH(QString, html);
        QFETCH(QString, tag);
        QFETCH(QStringList, expected);
        QCOMPARE(parseHtmlDocument(html)->elementTexts(tag), expected);
    }

    // Nested elements each hold the text of those inside: the text limit
    // ends a list that would grow past it, instead of exhausting memory.
    void elementTextsWithinTheTextLimit()
    {
        QString html;
        for (int i = 0; i < 200; ++i)
            html += u"<div>0123456789"_s;
        PageLimits limits;
        // 201,000 characters of text in all, counted in UTF-8 as they are stored.
        limits.maxTextBytes = 300'000;
        const auto document = parseHtmlDocument(html, QUrl(), limits);
        QCOMPARE(document->elementTexts(u"div"_s).size(), 200);
        limits.maxTextBytes = 200'000;
        QVERIFY_THROWS_EXCEPTION(DocumentError, parseHtmlDocument(html, QUrl(), limits)->elementTexts(u"div"_s));
    }

    void links_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("relative, rooted and absolute")
            << u"<a href=\"b.html\">1</a><a href=\"/x?q=1#f\">2</a><a href=\"http://other.test/\">3</a>"_s
            << QStringList{u"http://h.test/dir/b.html"_s, u"http://h.test/x?q=1#f"_s, u"http://other.test/"_s};
        QTest::newRow("a and area with href only")
            << u"<a name=\"top\">t</a><map><area href=\"m.htm\"></map><a href=\"\">self</a>"_s
            << QStringList{u"http://h.test/dir/m.htm"_s, u"http://h.test/dir/a.html"_s};
        QTest::newRow("base href rules")
            << u"<head><base href=\"/other/\"></head><a href=\"p.htm\">p</a>"_s
            << QStringList{u"http://h.test/other/p.htm"_s};
        QTest::newRow("as a browser reads an address")
            << u"<a href=\"  ..\\up\\p.htm\n\">1</a><a href=\"/中文 页.htm\">2</a><a href=\"javascript:void(0)\">3</a>"_s
            << QStringList{u"http://h.test/up/p.htm"_s, u"http://h.test/%E4%B8%AD%E6%96%87%20%E9%A1%B5.htm"_s,
                           u"javascript:void(0)"_s};
    }
    void links()
    {
        QFETCH(QString, html);
        QFETCH(QStringList, expected);
        QCOMPARE(parseHtmlDocument(html, QUrl(u"http://h.test/dir/a.html"_s))->links(), expected);
    }

    void frames()
    {
        const QUrl page(u"http://h.test/dir/a.html"_s);
        QCOMPARE(parseHtmlDocument(u"<p>x</p>"_s, page)->frames(), QStringList{});
        QCOMPARE(parseHtmlDocument(u"<iframe src=\"f.htm\"></iframe><div hidden><iframe></iframe></div>"_s, page)
                     ->frames(),
                 (QStringList{u"http://h.test/dir/f.htm"_s, u"about:blank"_s}));
        QCOMPARE(parseHtmlDocument(u"<frameset><frame src=\"/l.htm\"><frame src=\"r.htm\"></frameset>"_s, page)
                     ->frames(),
                 (QStringList{u"http://h.test/l.htm"_s, u"http://h.test/dir/r.htm"_s}));
    }

    // Written out and parsed again, a page reads as it did: its tables, its
    // elements and their text, its links.
    void htmlReadsAsThePage_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("written"); // a part of the HTML written out
        QTest::newRow("doctype of an old page")
            << u"<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\"><p>x"_s
            << u"<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\"><html><head></head>"_s;
        QTest::newRow("pre and textarea keep a first line feed")
            << u"<pre>\n\nx</pre><textarea>\ny</textarea>"_s << u"<pre>\n\nx</pre>"_s;
        QTest::newRow("scripts and styles as written")
            << u"<script>if (a < b && c > d) {}</script><style>p > b {}</style>"_s << u"if (a < b && c > d)"_s;
        QTest::newRow("references in text and attributes")
            << u"<p title='a \"q\" &amp; <b>'>x &lt;y&gt; &amp;&nbsp;z</p>"_s
            << u"title=\"a &quot;q&quot; &amp; <b>\">x &lt;y&gt; &amp;\u00a0z"_s;
        QTest::newRow("noscript holds text")
            << u"<body><noscript><table><tr><td>n</td></tr></table></noscript><table><tr><td>c</td></tr></table>"_s
            << u"<noscript>&lt;table&gt;"_s;
        QTest::newRow("template content") << u"<template><table><tr><td>t</td></tr></table></template>"_s
                                          << u"<template><table><tbody><tr><td>t</td>"_s;
        QTest::newRow("svg with a namespaced attribute")
            << u"<svg viewBox='0 0 1 1'><a xlink:href='#x'><text>s</text></a></svg>"_s << u"xlink:href=\"#x\""_s;
        QTest::newRow("unknown elements") << u"<My-Tag>u</My-Tag>"_s << u"<My-Tag>u</My-Tag>"_s;
        QTest::newRow("implied rows and cells") << u"<table><td>a<td>b</table>"_s
                                                << u"<table><tbody><tr><td>a</td><td>b</td></tr></tbody></table>"_s;

        const QDir fixtures(qEnvironmentVariable("PAGRION_SOURCE_DIR") + u"/tests/engine/fixtures"_s);
        for (const QString &name : fixtures.entryList({u"*.html"_s}, QDir::Files)) {
            QFile file(fixtures.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QTest::newRow(qPrintable(name)) << QString::fromUtf8(file.readAll()) << u"</html>"_s;
        }
    }
    void htmlReadsAsThePage()
    {
        QFETCH(QString, page);
        QFETCH(QString, written);
        const auto read = parseHtmlDocument(page, QUrl(u"http://h.test/dir/a.htm"_s));
        const QString html = read->html();
        QVERIFY2(html.contains(written), qPrintable(html));
        const auto again = parseHtmlDocument(html, read->address());
        QCOMPARE(again->address(), QUrl(u"http://h.test/dir/a.htm"_s));
        QCOMPARE(rowsOf(again->tables()), rowsOf(read->tables()));
        // What a noscript holds is read as text once more, so its text is
        // written twice over; a page without scripts shows none of it.
        for (const QString &tag : {u"body"_s, u"table"_s, u"div"_s, u"p"_s, u"li"_s, u"a"_s, u"text"_s, u"my-tag"_s})
            QCOMPARE(again->elementTexts(tag), read->elementTexts(tag));
        QCOMPARE(again->elementTexts(u"*"_s).size(), read->elementTexts(u"*"_s).size());
        QCOMPARE(again->links(), read->links());
    }

    void metaRefresh_data()
    {
        QTest::addColumn<QString>("head");
        QTest::addColumn<QString>("target"); // empty: not followed
        QTest::newRow("immediate, quoted url") << u"<meta http-equiv=\"refresh\" content=\"0;url='b.htm'\">"_s
                                               << u"http://a.test/dir/b.htm"_s;
        QTest::newRow("upper case, comma") << u"<META HTTP-EQUIV=REFRESH CONTENT=\"2, URL=/c.htm\">"_s
                                           << u"http://a.test/c.htm"_s;
        QTest::newRow("no url refreshes the page itself") << u"<meta http-equiv=refresh content=5>"_s << QString();
        QTest::newRow("long delay is a page to read") << u"<meta http-equiv=refresh content=\"30;url=x.htm\">"_s
                                                      << QString();
        QTest::newRow("other meta") << u"<meta name=refresh content=\"0;url=x.htm\">"_s << QString();
    }
    void metaRefresh()
    {
        QFETCH(QString, head);
        QFETCH(QString, target);
        const auto found = metaRefreshTarget(u"<html><head>"_s + head + u"</head><body>x</body></html>"_s,
                                             QUrl(u"http://a.test/dir/a.htm"_s));
        QCOMPARE(found.value_or(QUrl()).toString(), target);
    }
};

QTEST_GUILESS_MAIN(TestHtmlDocument)
#include "tst_htmldocument.moc"
