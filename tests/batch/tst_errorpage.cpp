#include <QTest>

#include "batch/errorpage.h"
#include "engine/html/htmldocument.h"

using namespace Qt::StringLiterals;
using namespace pagrion;

class TestErrorPage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void bodyText_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<bool>("errorPage");

        for (const QString &text : errorPageTexts())
            QTest::newRow(qPrintable(text)) << u"<body><p>前文 %1 后文</p></body>"_s.arg(text) << true;
        QTest::newRow("split by inline markup") << u"<body>无法<b>找到</b>网页</body>"_s << true;
        QTest::newRow("ordinary page") << u"<body><table><tr><td>无法找到</td></tr></table></body>"_s << false;
        QTest::newRow("only in the title") << u"<head><title>无法找到网页</title></head><body>内容</body>"_s << false;
        QTest::newRow("case differs") << u"<body>http 404 - 无法找到文件</body>"_s << false;
        QTest::newRow("split across blocks") << u"<body><p>无法找到</p><p>网页</p></body>"_s << false;
        QTest::newRow("frameset without body")
            << u"<html><frameset><frame src=\"a.html\"></frameset></html>"_s << true;
    }

    void bodyText()
    {
        QFETCH(QString, html);
        QFETCH(bool, errorPage);
        QCOMPARE(isErrorPage(*parseHtmlDocument(html)), errorPage);
    }
};

QTEST_GUILESS_MAIN(TestErrorPage)
#include "tst_errorpage.moc"
