#include <stdexcept>

#include <QTest>

#include "core/grid.h"

using namespace Qt::StringLiterals;
using namespace pagrion;

class TestGrid : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void resizingKeepsRemainingCellsAndAddsBlankOnes()
    {
        Grid grid(2, 2);
        grid.setText(0, 0, u"a"_s);
        grid.setText(1, 1, u"d"_s);

        grid.setCols(3);
        grid.setRows(3);
        QCOMPARE(grid.text(0, 0), u"a"_s);
        QCOMPARE(grid.text(1, 1), u"d"_s);
        QVERIFY(grid.text(2, 2).isEmpty());
        QVERIFY(grid.text(0, 2).isEmpty());

        grid.setCols(1);
        grid.setRows(1);
        QCOMPARE(grid.rows(), 1);
        QCOMPARE(grid.cols(), 1);
        QCOMPARE(grid.text(0, 0), u"a"_s);

        // Growing again brings blank cells back, not the old contents.
        grid.setCols(2);
        grid.setRows(2);
        QVERIFY(grid.text(1, 1).isEmpty());
    }

    void onlyWrittenCellsAreKept()
    {
        // A page of one wide row over many narrow ones: the narrow rows stay
        // one cell wide however wide the grid is.
        Grid grid(3, 10'000);
        grid.setText(1, 9'999, u"far"_s);
        grid.setText(2, 0, u"near"_s);
        QCOMPARE(grid.writtenCols(1), 10'000);
        QCOMPARE(grid.writtenCols(2), 1);
        QCOMPARE(grid.writtenCols(0), 0);
        QVERIFY(grid.text(2, 9'999).isEmpty());

        // Blank text keeps a cell blank without widening the row.
        grid.setText(0, 5, QString());
        QCOMPARE(grid.writtenCols(0), 0);

        // Narrowing cuts the written cells too; widening again brings blanks.
        grid.setCols(1);
        QVERIFY(grid.writtenCols(1) <= 1);
        grid.setCols(10'000);
        QVERIFY(grid.text(1, 9'999).isEmpty());
        QCOMPARE(grid.text(2, 0), u"near"_s);
    }

    void gridsWithTheSameCellsAreEqual()
    {
        Grid written(3, 3);
        written.setText(1, 2, u"x"_s);
        written.setText(1, 2, QString());
        QCOMPARE(written, Grid(3, 3));
        written.setText(2, 0, u"y"_s);
        QVERIFY(written != Grid(3, 3));
        Grid other(3, 3);
        other.setText(2, 0, u"y"_s);
        QCOMPARE(written, other);
        other.setCols(4);
        QVERIFY(written != other);
    }

    void zeroColumnsThenWidening()
    {
        Grid grid(3, 0);
        QCOMPARE(grid.rows(), 3);
        grid.setCols(2);
        grid.setText(2, 1, u"x"_s);
        QCOMPARE(grid.text(2, 1), u"x"_s);
    }

    void cellsOutsideTheGridAreRefused()
    {
        Grid grid(2, 2);
        QVERIFY(!grid.contains(2, 0));
        QVERIFY(!grid.contains(0, -1));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, grid.text(2, 0));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, grid.setText(0, 2, u"x"_s));
    }

    void lastRowBlank_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("cols");
        QTest::addColumn<QString>("lastRowText"); // written into the last column of the last row
        QTest::addColumn<bool>("blank");
        QTest::newRow("empty cells") << 3 << 2 << QString() << true;
        QTest::newRow("text") << 3 << 2 << u"x"_s << false;
        QTest::newRow("spaces are not blank") << 3 << 2 << u"  "_s << false;
        QTest::newRow("line break is not blank") << 3 << 2 << u"\r\n"_s << false;
        QTest::newRow("no columns") << 3 << 0 << QString() << true;
        QTest::newRow("no rows") << 0 << 2 << QString() << true;
    }
    void lastRowBlank()
    {
        QFETCH(int, rows);
        QFETCH(int, cols);
        QFETCH(QString, lastRowText);
        QFETCH(bool, blank);
        Grid grid(rows, cols);
        if (rows > 0 && cols > 0)
            grid.setText(rows - 1, cols - 1, lastRowText);
        QCOMPARE(GetGridLastRowNull(grid), blank);
    }

    void textAboveTheLastRowDoesNotCount()
    {
        Grid grid(2, 1);
        grid.setText(0, 0, u"header"_s);
        QVERIFY(GetGridLastRowNull(grid));
    }
};

QTEST_APPLESS_MAIN(TestGrid)
#include "tst_grid.moc"
