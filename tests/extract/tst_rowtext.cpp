#include <QTest>

#include "extract/rowtext.h"
#include "extract/writers.h"

using namespace Qt::StringLiterals;
using namespace pagrion;

namespace {

// The preview command's clearing: one column, two rows.
Grid clearedPreviewGrid()
{
    Grid grid(2, 2);
    grid.setCols(1);
    grid.setRows(2);
    return grid;
}

QStringList column(const Grid &grid, int col)
{
    QStringList cells;
    for (int row = 0; row < grid.rows(); ++row)
        cells << grid.text(row, col);
    return cells;
}

QStringList row(const Grid &grid, int r)
{
    QStringList cells;
    for (int col = 0; col < grid.cols(); ++col)
        cells << grid.text(r, col);
    return cells;
}

const QString TwoRows = u"a|b<rows>\r\nc<rows>\r\n"_s;

QList<QStringList> texts(const QList<QList<QStringView>> &rows)
{
    QList<QStringList> result;
    for (const QList<QStringView> &cells : rows) {
        result.append(QStringList());
        for (const QStringView cell : cells)
            result.last() << cell.toString();
    }
    return result;
}

} // namespace

class TestRowText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void reading_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<QStringList>>("rows");
        QTest::newRow("two rows") << TwoRows
                                  << QList<QStringList>{{u"a"_s, u"b"_s}, {u"\r\nc"_s}, {u"\r\n"_s}};
        QTest::newRow("no marker holds no rows") << u"a|b"_s << QList<QStringList>{};
        QTest::newRow("empty text") << QString() << QList<QStringList>{};
        QTest::newRow("leading marker gives an empty row")
            << u"<rows>x<rows>"_s << QList<QStringList>{{}, {u"x"_s}, {}};
        QTest::newRow("empty cells stay, nothing trimmed")
            << u" a ||<rows>"_s << QList<QStringList>{{u" a "_s, QString(), QString()}, {}};
        QTest::newRow("marker is case-sensitive")
            << u"a<ROWS>b<rows>"_s << QList<QStringList>{{u"a<ROWS>b"_s}, {}};
    }
    void reading()
    {
        QFETCH(QString, text);
        QFETCH(QList<QStringList>, rows);
        QCOMPARE(texts(readRowText(text)), rows);
    }

    void nameLists_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("contains");
        QTest::newRow("trimmed and case-blind") << u"TableName0| tablename2 "_s << u"TableName2"_s << true;
        QTest::newRow("whole names, not ranges") << u"TableName1-10"_s << u"TableName1-1"_s << false;
        QTest::newRow("row name") << u"TableName0-1|TableName2-0"_s << u"TableName2-0"_s << true;
        QTest::newRow("empty list") << QString() << u"TableName0"_s << false;
        QTest::newRow("spaces only") << u"   "_s << u"TableName0"_s << false;
        QTest::newRow("name itself is not trimmed") << u"TableName0"_s << u"TableName0 "_s << false;
        QTest::newRow("tab is not trimmed") << u"\tTableName0"_s << u"TableName0"_s << false;
    }
    void nameLists()
    {
        QFETCH(QString, list);
        QFETCH(QString, name);
        QFETCH(bool, contains);
        const NameList names(list);
        QCOMPARE(GetTableName(name, names), contains);
        QCOMPARE(GetTableRows(name, names), !contains);
    }

    void names()
    {
        QCOMPARE(elementName(0), u"TableName0"_s);
        QCOMPARE(rowName(elementName(12), 3), u"TableName12-3"_s);
    }

    void previewWriterStraight()
    {
        Grid grid = clearedPreviewGrid();
        writeRowText(grid, TwoRows, EmptyPiece::KeepRow);
        writeColumnHeads(grid);
        QCOMPARE(grid.cols(), 2);
        QCOMPARE(grid.rows(), 5);
        QCOMPARE(row(grid, 0), (QStringList{u"第1列"_s, u"第2列"_s}));
        QCOMPARE(row(grid, 1), (QStringList{u"a"_s, u"b"_s}));
        QCOMPARE(row(grid, 2), (QStringList{u"\r\nc"_s, QString()}));
        QCOMPARE(row(grid, 3), (QStringList{u"\r\n"_s, QString()}));
        QVERIFY(GetGridLastRowNull(grid));
    }

    void previewWriterTransposed()
    {
        Grid grid = clearedPreviewGrid();
        QVERIFY(writeRowTextTransposed(grid, TwoRows));
        writeColumnHeads(grid);
        QCOMPARE(grid.cols(), 3);
        QCOMPARE(grid.rows(), 4);
        QCOMPARE(row(grid, 0), (QStringList{u"第1列"_s, u"第2列"_s, u"第3列"_s}));
        QCOMPARE(column(grid, 0).mid(1), (QStringList{u"a"_s, u"b"_s, QString()}));
        QCOMPARE(grid.text(1, 1), u"\r\nc"_s);
        QCOMPARE(grid.text(1, 2), u"\r\n"_s);
    }

    void textWithoutRowsWritesNothing()
    {
        Grid grid = clearedPreviewGrid();
        grid.setText(1, 0, u"old"_s);
        const Grid before = grid;
        writeRowText(grid, u"no marker"_s, EmptyPiece::KeepRow);
        QCOMPARE(grid, before);
        QVERIFY(!writeRowTextTransposed(grid, u"no marker"_s));
        QCOMPARE(grid, before);
    }

    void emptyFirstRowKeepsABlankGridRow()
    {
        Grid grid = clearedPreviewGrid();
        writeRowText(grid, u"<rows>\r\nx|y<rows>"_s, EmptyPiece::KeepRow);
        QCOMPARE(row(grid, 1), (QStringList{QString(), QString()}));
        QCOMPARE(row(grid, 2), (QStringList{u"\r\nx"_s, u"y"_s}));
    }

    void mainGridWriterWidensAsRowsGrow()
    {
        Grid grid(100, 100); // as a batch page prepares it
        writeRowText(grid, u"a|b|c<rows>d|e<rows>f|g|h|i|j<rows>"_s, EmptyPiece::NoRow);
        QCOMPARE(grid.cols(), 5);
        QCOMPARE(row(grid, 1), (QStringList{u"a"_s, u"b"_s, u"c"_s, QString(), QString()}));
        QCOMPARE(row(grid, 2).first(), u"d"_s);
        QCOMPARE(row(grid, 3), (QStringList{u"f"_s, u"g"_s, u"h"_s, u"i"_s, u"j"_s}));
    }

    void allEmptyRowDoesNotShiftTheRowsAfterIt_data()
    {
        QTest::addColumn<int>("preparedRows");
        QTest::newRow("cleared grid") << 2;
        QTest::newRow("batch grid") << 100;
    }
    void allEmptyRowDoesNotShiftTheRowsAfterIt()
    {
        QFETCH(int, preparedRows);
        for (const EmptyPiece mode : {EmptyPiece::KeepRow, EmptyPiece::NoRow}) {
            Grid grid(preparedRows, 1);
            writeRowText(grid, u"a|b<rows>|<rows>c|d<rows>"_s, mode);
            QCOMPARE(row(grid, 1), (QStringList{u"a"_s, u"b"_s}));
            QCOMPARE(row(grid, 2), (QStringList{QString(), QString()}));
            QCOMPARE(row(grid, 3), (QStringList{u"c"_s, u"d"_s}));
        }

        Grid transposed(2, 1);
        QVERIFY(writeRowTextTransposed(transposed, u"a||c<rows>x|y|z<rows>"_s));
        QCOMPARE(column(transposed, 0).mid(1, 3), (QStringList{u"a"_s, QString(), u"c"_s}));
        QCOMPARE(column(transposed, 1).mid(1, 3), (QStringList{u"x"_s, u"y"_s, u"z"_s}));
        QVERIFY(GetGridLastRowNull(transposed));
    }

    void wideRowOverManyNarrowRows_data()
    {
        QTest::addColumn<bool>("swap");
        QTest::newRow("straight") << false;
        QTest::newRow("transposed") << true;
    }
    void wideRowOverManyNarrowRows()
    {
        // One row of 10,000 cells, then 10,000 rows of one: the grid is
        // 10,000 wide, yet each narrow row holds one cell.
        QFETCH(bool, swap);
        constexpr int N = 10'000;
        QStringList wide;
        for (int i = 0; i < N; ++i)
            wide << u"w%1"_s.arg(i);
        QString text = wide.join(u'|') + RowEnd;
        for (int i = 0; i < N; ++i)
            text += u"n%1"_s.arg(i) + RowEnd;

        Grid grid;
        writeBatchPageGrid(grid, text, swap);
        if (!swap) {
            QCOMPARE(grid.cols(), N);
            QCOMPARE(grid.rows(), N + 4); // header, wide row, narrow rows, the CR LF row, blank
            QCOMPARE(grid.text(1, N - 1), u"w9999"_s);
            QCOMPARE(grid.text(N + 1, 0), u"\r\nn9999"_s);
            QCOMPARE(grid.writtenCols(N + 1), 1);
        } else {
            QCOMPARE(grid.cols(), N + 2);
            QCOMPARE(grid.rows(), N + 2);
            QCOMPARE(grid.text(N, 0), u"w9999"_s);
            QCOMPARE(grid.text(1, N), u"\r\nn9999"_s);
            QCOMPARE(grid.writtenCols(N), 1);
        }
        QVERIFY(GetGridLastRowNull(grid));

        // The next page's reset blanks it all.
        writeBatchPageGrid(grid, u"a|b<rows>"_s, false);
        QCOMPARE(grid.rows(), 100);
        QCOMPARE(grid.cols(), 2);
        for (int r = 2; r < grid.rows(); ++r)
            QCOMPARE(grid.writtenCols(r), 0);
    }

    void writerKeepsOneBlankRowAtTheEnd()
    {
        Grid grid = clearedPreviewGrid();
        writeRowText(grid, u"a<rows>b<rows>c"_s, EmptyPiece::KeepRow);
        QCOMPARE(grid.rows(), 5);
        QVERIFY(GetGridLastRowNull(grid));
    }
};

QTEST_APPLESS_MAIN(TestRowText)
#include "tst_rowtext.moc"
