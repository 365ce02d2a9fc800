#include <optional>

#include <QTest>

#include "batch/nextpagelink.h"
#include "engine/html/htmldocument.h"
#include "store/loadsettings.h"

using namespace Qt::StringLiterals;
using namespace pagrion;

// The choice of a page's next-page link, read from the page as a run reads it.
class TestNextPageLink : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void choice_data()
    {
        QTest::addColumn<QString>("links");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("chosen"); // empty: none

        const QString next = LoadSettings::DefaultNextText;
        QTest::newRow("whole text before an earlier containing one")
            << u"<a href='about.html'>下一页面的说明</a><a href='p2.html'> 下一页 </a>"_s << next << u"p2.html"_s;
        QTest::newRow("first containing one when none is whole")
            << u"<a href='p1.html'>上一页</a><a href='p3.html'>下一页 (3)</a><a href='p9.html'>后页>></a>"_s << next
            << u"p3.html"_s;
        QTest::newRow("case does not matter") << u"<a href='p1.html'>Prev</a><a href='p3.html'>NEXT</a>"_s << next
                                              << u"p3.html"_s;
        QTest::newRow("no next link") << u"<a href='p1.html'>首页</a><a href='p2.html'>上一页</a><a>下一页</a>"_s
                                      << next << QString();
        QTest::newRow("only web addresses")
            << u"<a href='javascript:go(2)'>下一页</a><a href='mailto:a@b.test'>下一页</a>"
               "<a href='ftp://a.test/p2.html'>下一页</a><a href='p2.html'>下一页</a>"_s
            << next << u"p2.html"_s;
        QTest::newRow("image link without text") << u"<a href='ad.html'><img alt='下一页'></a><a href='p2.html'>›</a>"_s
                                                 << u"›|下一页|.*"_s << u"p2.html"_s;
    }
    void choice()
    {
        QFETCH(QString, links);
        QFETCH(QString, pattern);
        QFETCH(QString, chosen);
        const QUrl page(u"http://site.test/list/p1.html"_s);
        const auto document = parseHtmlDocument(u"<html><body>"_s + links + u"</body></html>"_s, page);
        const std::optional<QString> link =
            findNextPageLink(document->elementTexts(u"a"_s), document->anchorAddresses(), nextPagePattern(pattern));
        QCOMPARE(link, chosen.isEmpty() ? std::nullopt : std::optional(page.resolved(QUrl(chosen)).toString()));
    }

    void fragmentsLeadToTheSamePage()
    {
        QCOMPARE(pageKey(u"http://site.test/p1.html#top"_s), pageKey(u"http://site.test/p1.html"_s));
        QVERIFY(pageKey(u"http://site.test/p1.html?page=2"_s) != pageKey(u"http://site.test/p1.html"_s));
    }
};

QTEST_GUILESS_MAIN(TestNextPageLink)
#include "tst_nextpagelink.moc"
