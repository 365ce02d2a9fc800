#include <QTest>

#include "engine/document.h"
#include "engine/html/htmldocument.h"
#include "extract/classlist.h"
#include "extract/extraction.h"
#include "layout/everyrow.h"

using namespace Qt::StringLiterals;
using namespace pagrion;

namespace {

using Rows = QList<QStringList>;

Result<RowRecords> rowsOf(const QString &html, const QString &tables = u"TableName0"_s,
                          const EveryRowOptions &options = {}, const QString &classValue = TableClass,
                          const QString &filter = {})
{
    const auto document = parseHtmlDocument(html, QUrl(u"http://site.test/dir/page.html"_s));
    return everyRowRecords(*document, {classValue, tables, filter}, options);
}

QString errorOf(const Result<RowRecords> &rows)
{
    return rows.ok() ? QString() : rows.error();
}

const QString Films = uR"(
<table>
  <thead>
    <tr><th rowspan="2">片名</th><th colspan="2">上映</th></tr>
    <tr><th>年份</th><th>地区</th></tr>
  </thead>
  <tr><td>霸王别姬</td><td rowspan="2">1993</td><td> 中国香港 </td></tr>
  <tr><td>活着</td><td>中国大陆</td></tr>
  <tr><td></td><td> </td></tr>
  <tr><th>片名</th><th>年份</th><th>地区</th></tr>
  <tr><td colspan="2">合计</td><td>2</td></tr>
</table>)"_s;

} // namespace

class TestEveryRow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Spanning cells fill every position they cover, header rows name the
    // columns and are not records, blank rows are left out.
    void automaticHeaderAndSpans()
    {
        const auto rows = rowsOf(Films);
        QVERIFY2(rows.ok(), qPrintable(errorOf(rows)));
        QCOMPARE(rows.value().names, (QStringList{u"片名"_s, u"上映 年份"_s, u"上映 地区"_s}));
        QCOMPARE(rows.value().records, (Rows{{u"霸王别姬"_s, u"1993"_s, u"中国香港"_s},
                                             {u"活着"_s, u"1993"_s, u"中国大陆"_s},
                                             {u"合计"_s, u"合计"_s, u"2"_s}}));
        QVERIFY(rows.value().emptyReason.isEmpty());
    }

    void headerRowSetting()
    {
        // No header: the <th> rows are records too, and nothing names the columns.
        auto rows = rowsOf(Films, u"TableName0"_s, {.headerRows = 0, .columns = {}});
        QVERIFY(rows.ok());
        QVERIFY(rows.value().names.isEmpty());
        QCOMPARE(rows.value().records.size(), 6);
        QCOMPARE(rows.value().records.first(), (QStringList{u"片名"_s, u"上映"_s, u"上映"_s}));

        // The first row heads the table whatever its cells are.
        rows = rowsOf(u"<table><tr><td>名称</td><td>价格</td></tr><tr><td>书</td><td>9</td></tr></table>"_s,
                      u"TableName0"_s, {.headerRows = 1, .columns = {}});
        QVERIFY(rows.ok());
        QCOMPARE(rows.value().names, (QStringList{u"名称"_s, u"价格"_s}));
        QCOMPARE(rows.value().records, (Rows{{u"书"_s, u"9"_s}}));
    }

    void columnChoice()
    {
        auto rows = rowsOf(Films, u"TableName0"_s, {.headerRows = EveryRowOptions::AutoHeaderRows, .columns = u"上映 地区| 1 |9"_s});
        QVERIFY2(rows.ok(), qPrintable(errorOf(rows)));
        QCOMPARE(rows.value().names, (QStringList{u"上映 地区"_s, u"片名"_s, QString()}));
        QCOMPARE(rows.value().records.first(), (QStringList{u"中国香港"_s, u"霸王别姬"_s, QString()}));

        rows = rowsOf(Films, u"TableName0"_s, {.headerRows = EveryRowOptions::AutoHeaderRows, .columns = u"价格"_s});
        QVERIFY(!rows.ok());
        QVERIFY2(rows.error().contains(u"价格"_s), qPrintable(rows.error()));
    }

    // Rows are named by their place among the table's own rows, as in the
    // analysis, and the filter leaves them out; several tables follow in page order.
    void filterAndSeveralTables()
    {
        const QString html = Films + u"<table><tr><td>x</td></tr><tr><td>y</td></tr></table>"_s;
        const auto rows = rowsOf(html, u"TableName1|tablename0"_s, {}, TableClass, u"TableName0-3|TableName1-0"_s);
        QVERIFY(rows.ok());
        QCOMPARE(rows.value().records, (Rows{{u"霸王别姬"_s, u"1993"_s, u"中国香港"_s},
                                             {u"合计"_s, u"合计"_s, u"2"_s},
                                             {u"y"_s}}));
    }

    void elementLists()
    {
        const QString html = uR"(<p>一 | 段</p><p> </p><a href="../x.html"> 链接 </a><a>无址</a><a href="/y"></a>)"_s;
        auto rows = rowsOf(html, u"TableName1"_s, {}, u"a"_s, u"TableName1-1"_s);
        QVERIFY(rows.ok());
        QCOMPARE(rows.value().records, (Rows{{u"链接"_s, u"http://site.test/x.html"_s},
                                             {QString(), u"http://site.test/y"_s}}));
        // A "|" in an element's text stays in its one column.
        rows = rowsOf(html, u"TableName1"_s, {}, u"p"_s);
        QVERIFY(rows.ok());
        QCOMPARE(rows.value().records, (Rows{{u"一 | 段"_s}}));
    }

    void reasonsForNoRecords()
    {
        auto rows = rowsOf(Films, u"TableName0|TableName3"_s, {}, TableClass, u"TableName0-2|TableName0-3|TableName0-6"_s);
        QVERIFY(rows.ok());
        QVERIFY(rows.value().records.isEmpty());
        QCOMPARE(rows.value().emptyReason, u"过滤后没有行"_s);

        rows = rowsOf(Films, u"TableName3|TableName4"_s);
        QCOMPARE(rows.value().emptyReason, u"网页中没有表格 TableName3、TableName4"_s);

        rows = rowsOf(Films, u"TableName1"_s, {}, u"h3"_s);
        QCOMPARE(rows.value().emptyReason, u"网页中没有 h3 元素"_s);
    }

    // Huge spans on every row of a long table stay within a few times the
    // table's own size instead of filling rows × 1000 positions.
    void hostileSpansStayBounded()
    {
        QString html = u"<table>"_s;
        for (int r = 0; r < 2000; ++r)
            html += u"<tr><td rowspan=\"65534\" colspan=\"1000\">x</td><td>y</td></tr>"_s;
        html += u"</table>"_s;
        const auto document = parseHtmlDocument(html);
        const AlignedTable table = alignTable(document->tables().constFirst());
        qsizetype positions = 0;
        for (const QStringList &row : table.rows)
            positions += row.size();
        QVERIFY2(positions <= 16 * 4000 + 1'000'000 + 4000, qPrintable(QString::number(positions)));
        QCOMPARE(table.rows.size(), 2000);
        QVERIFY(table.width <= MaxAlignedColumns);
    }
};

QTEST_GUILESS_MAIN(TestEveryRow)
#include "tst_everyrow.moc"
