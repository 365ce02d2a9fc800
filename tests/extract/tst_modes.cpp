#include <QTest>

#include "core/progress.h"
#include "engine/html/htmldocument.h"
#include "extract/elementmode.h"
#include "extract/extraction.h"
#include "extract/tablemode.h"

using namespace Qt::StringLiterals;
using namespace pagrion;

namespace {

class RecordingProgress final : public Progress
{
public:
    void start(int maximum) override { events << u"start %1"_s.arg(maximum); }
    void setValue(int value) override { last = value; }
    void finish() override { events << u"finish"_s; }
    QStringList events;
    int last = 0;
};

const QString NestedPage = u"<table><tr><td>a</td><td></td><td>b</td></tr>"
                           "<tr><td>x<table><tr><td>in</td></tr></table></td></tr></table>"_s;

} // namespace

class TestModes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void analysisListsEveryTableWithItsRows()
    {
        const auto document = parseHtmlDocument(NestedPage);
        RecordingProgress progress;
        const QString text = tableAnalysisText(*document, &progress);
        QCOMPARE(text, u"\r\nTableName0\r\na｜｜b<rows>\r\nx\nin<rows>\r\n"
                       "\r\nTableName1\r\nin<rows>\r\n"_s);
        QCOMPARE(progress.events, (QStringList{u"start 2"_s, u"finish"_s}));
        QCOMPARE(progress.last, 2);
    }

    void analysisOfARowWithoutCellsEatsTheLineFeedBefore()
    {
        const auto document = parseHtmlDocument(u"<table><tr><td>a</td></tr><tr></tr></table>"_s);
        QCOMPARE(tableAnalysisText(*document), u"\r\nTableName0\r\na<rows>\r<rows>\r\n"_s);
    }

    void extraction_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("tables");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty cell as two spaces") << NestedPage << u"TableName0"_s << QString()
                                                  << u"a|  |b<rows>\r\nx\nin<rows>\r\n"_s;
        QTest::newRow("nested table by its own name") << NestedPage << u" tablename1 "_s << QString()
                                                      << u"in<rows>\r\n"_s;
        QTest::newRow("filter keeps row indexes")
            << u"<table><tr><td>0</td></tr><tr><td>1</td></tr><tr><td>2</td></tr></table>"_s << u"TableName0"_s
            << u"TableName0-1"_s << u"0<rows>\r\n2<rows>\r\n"_s;
        QTest::newRow("row without cells gives nothing")
            << u"<table><tr></tr><tr><td>z</td></tr></table>"_s << u"TableName0"_s << QString() << u"z<rows>\r\n"_s;
        QTest::newRow("all-empty row stays")
            << u"<table><tr><td> </td><td></td></tr></table>"_s << u"TableName0"_s << QString()
            << u"  |  <rows>\r\n"_s;
        QTest::newRow("tables in page order")
            << u"<table><tr><td>0</td></tr></table><table><tr><td>1</td></tr></table>"
               "<table><tr><td>2</td></tr></table>"_s
            << u"TableName2|TableName0"_s << QString() << u"0<rows>\r\n2<rows>\r\n"_s;
        QTest::newRow("names that match nothing") << NestedPage << u"  "_s << QString() << QString();
    }
    void extraction()
    {
        QFETCH(QString, html);
        QFETCH(QString, tables);
        QFETCH(QString, filter);
        QFETCH(QString, expected);
        const auto document = parseHtmlDocument(html);
        QCOMPARE(tableExtractionText(*document, tables, filter), expected);
        QCOMPARE(extractionText(*document, {u"table"_s, tables, filter}), expected);
    }

    void elementList()
    {
        const auto document = parseHtmlDocument(
            u"<p>x</p><p> y|z </p><div><p>outer<span>s</span></p></div><p></p>"_s);
        RecordingProgress progress;
        QCOMPARE(elementListText(*document, u"p"_s, QString(), &progress),
                 u"x<rows>\r\ny|z<rows>\r\nouters<rows>\r\n<rows>\r\n"_s);
        QCOMPARE(progress.events, (QStringList{u"start 4"_s, u"finish"_s}));
        QCOMPARE(progress.last, 4);

        // Filtered elements keep their row names and still count as progress.
        QCOMPARE(elementListText(*document, u"p"_s, u"TableName1-1|tablename1-3"_s, &progress),
                 u"x<rows>\r\nouters<rows>\r\n"_s);
        QCOMPARE(progress.last, 4);

        QCOMPARE(extractionText(*document, {u"p"_s, u"TableName1"_s, QString()}).count(u"<rows>"_s), 4);
        QVERIFY(extractionText(*document, {u"p"_s, QString(), QString()}).isEmpty());
    }

    void elementListWithoutElementsTouchesNothing()
    {
        const auto document = parseHtmlDocument(u"<p>x</p>"_s);
        RecordingProgress progress;
        QVERIFY(elementListText(*document, u"li"_s, QString(), &progress).isEmpty());
        QVERIFY(elementListText(*document, QString(), QString(), &progress).isEmpty());
        QVERIFY(progress.events.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestModes)
#include "tst_modes.moc"
