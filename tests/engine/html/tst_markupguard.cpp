#include <QTest>

#include "engine/html/htmldocument.h"
#include "engine/html/markupguard.h"

using namespace Qt::StringLiterals;
using namespace pagrion;

namespace {

std::string repeated(const std::string &piece, int times)
{
    std::string text;
    for (int i = 0; i < times; ++i)
        text += piece;
    return text;
}

} // namespace

class TestMarkupGuard : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Pages leave tags open that the parser closes for them; followed
    // wrongly, such a page would look deep and lose elements.
    void ordinaryMarkupPassesUnchanged_data()
    {
        QTest::addColumn<QByteArray>("markup");
        const int many = 3 * html::MaximumNestingDepth;
        const auto row = [](const char *name, const std::string &markup) {
            QTest::newRow(name) << QByteArray::fromStdString(markup);
        };
        row("unclosed paragraphs", "<body>" + repeated("<p>text", many));
        row("unclosed list items", "<ul>" + repeated("<li>item", many) + "</ul><dl>" + repeated("<dt>a<dd>b", many));
        row("unclosed rows and cells", "<table>" + repeated("<tr><td>a<td>b", many) + "</table>");
        row("sections and headings", repeated("<table><thead><tr><th>h<tbody><tr><td>x</table><h1>a<h2>b", many));
        row("unclosed options", "<select>" + repeated("<option>o<optgroup>", many) + "</select>");
        row("end tags close what is left open", repeated("<div><span><b><i>x</div>", many));
        row("void elements and self-closing icons",
            repeated("<br><img src=x><input><hr><svg><path d='M0'/><use/></svg>", many));
        row("raw text holds no tags", repeated("<script>if (a<b) document.write('<div>')</script>", many));
        row("links closing links", repeated("<a href=1>one<a href=2>two", many));
        row("formatting left open across paragraphs", repeated("<p><font color=red>a<b>b</p>", many));
        row("formatting left open in cells", "<table>" + repeated("<tr><td><b><i>x<td><u>y", many) + "</table>");
        row("quoted attributes with brackets", repeated("<div title='<div>'>x</div>", many));
    }
    void ordinaryMarkupPassesUnchanged()
    {
        QFETCH(QByteArray, markup);
        QCOMPARE(html::guardMarkup(markup.toStdString()), std::nullopt);
    }

    // Past the limit elements are left out, their text stays, and what
    // follows the deep part is parsed as usual.
    void deepNestingIsCut_data()
    {
        QTest::addColumn<QString>("open");
        QTest::addColumn<QString>("close");
        QTest::addColumn<QString>("tag");
        QTest::addColumn<int>("kept");
        // html and body count, as in the browser, and so does the div around.
        const int limit = html::MaximumNestingDepth - 1;
        QTest::newRow("divs") << u"<div>"_s << u"</div>"_s << u"div"_s << limit;
        QTest::newRow("bold") << u"<b>"_s << u"</b>"_s << u"b"_s << limit - 1;
        QTest::newRow("spans the div closes") << u"<span>"_s << QString() << u"span"_s << limit - 1;
        // Each level is a table, its body, a row and a cell.
        QTest::newRow("tables") << u"<table><tr><td>"_s << u"</td></tr></table>"_s << u"table"_s << (limit + 3) / 4;
    }
    void deepNestingIsCut()
    {
        QFETCH(QString, open);
        QFETCH(QString, close);
        QFETCH(QString, tag);
        QFETCH(int, kept);
        const int depth = 5 * html::MaximumNestingDepth;
        const auto document =
            parseHtmlDocument(u"<body><div>"_s + open.repeated(depth) + u"deep"_s + close.repeated(depth)
                              + u"</div><p>after</p>"_s);
        const QStringList texts = document->elementTexts(tag);
        QCOMPARE(texts.size(), kept);
        QVERIFY(texts.constFirst().contains(u"deep"_s));
        QCOMPARE(document->elementTexts(u"p"_s), QStringList{u"after"_s});
    }
};

QTEST_GUILESS_MAIN(TestMarkupGuard)
#include "tst_markupguard.moc"
