#include <QTest>

#include "layout/definitionreader.h"
#include "layout/layouts.h"
#include "support/resultcheck.h"
#include "support/tempprogramfolder.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;

namespace {

// Grids written as rows of texts.
using Rows = QList<QStringList>;

Grid gridOf(const Rows &rows, qsizetype minCols = 0)
{
    qsizetype cols = minCols;
    for (const QStringList &row : rows)
        cols = std::max(cols, row.size());
    Grid grid(int(rows.size()), int(cols));
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < rows.at(r).size(); ++c)
            grid.setText(r, c, rows.at(r).at(c));
    return grid;
}

// The page of the layout examples: (2,0) a, (2,1) b, (3,1) c, and a first cell
// that begins with a line break as extracted cells do.
Grid samplePage()
{
    return gridOf({{u"第1列"_s, u"第2列"_s},
                   {u"\r\nh"_s, u"x"_s},
                   {u"a"_s, u"b"_s},
                   {u"\r\nd"_s, u"c"_s},
                   {}});
}

Rows rowsOf(const Grid &grid)
{
    Rows rows;
    for (int r = 0; r < grid.rows(); ++r) {
        rows.append(QStringList());
        for (int c = 0; c < grid.cols(); ++c)
            rows.last() << grid.text(r, c);
    }
    return rows;
}

constexpr std::nullopt_t Null = std::nullopt;

} // namespace

class TestLayouts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void applyLayout_data()
    {
        QTest::addColumn<Layout>("layout");
        QTest::addColumn<Rows>("expected"); // the record grid afterwards, prepared with 2 rows and 2 columns
        QTest::addColumn<QString>("error");  // part of the error, empty when it succeeds

        const QString ok;
        QTest::newRow("joined references") << Layout{{u"2,0"_s, u"2,1|3,1"_s}} << Rows{{}, {u"a"_s, u"bc"_s}, {}} << ok;
        QTest::newRow("two records in order") << Layout{{u"3,1"_s}, {u"2,0"_s}} << Rows{{}, {u"c"_s}, {u"a"_s}, {}} << ok;
        QTest::newRow("null column, line break kept") << Layout{{u"2,0"_s, Null, u"1,0"_s}}
                                                      << Rows{{}, {u"a"_s, {}, u"\r\nh"_s}, {}} << ok;
        QTest::newRow("spaces around numbers and cell") << Layout{{u" 3, 1 "_s, u"   "_s}} << Rows{{}, {u"c"_s}, {}} << ok;
        QTest::newRow("empty first record keeps rows in place") << Layout{{u"4,0"_s}, {Null, u"2,0"_s}}
                                                                << Rows{{}, {}, {{}, u"a"_s}, {}} << ok;
        QTest::newRow("empty last records leave one blank row") << Layout{{u"2,0"_s}, {u"4,0"_s}, {u"4,1"_s}}
                                                                << Rows{{}, {u"a"_s}, {}} << ok;

        QTest::newRow("trailing bar") << Layout{{u"2,0"_s, u"3,1|"_s}} << Rows{{}, {u"a"_s}} << u"空的单元格坐标"_s;
        QTest::newRow("no comma") << Layout{{u"3"_s}} << Rows{{}, {}} << u"缺少逗号"_s;
        QTest::newRow("outside the page") << Layout{{u"5,0"_s}} << Rows{{}, {}} << u"不在表格内"_s;
        QTest::newRow("beyond 16 bits") << Layout{{u"32768,0"_s}} << Rows{{}, {}} << u"超出范围"_s;
        // Within a cell the pieces fail in their order.
        QTest::newRow("outside before unreadable") << Layout{{u"9,0|3"_s}} << Rows{{}, {}} << u"9,0 不在表格内"_s;
        QTest::newRow("unreadable after a good piece") << Layout{{u"2,0|3"_s}} << Rows{{}, {}} << u"缺少逗号"_s;
        // A part without a number reads as 0.
        QTest::newRow("later record fails, earlier stays") << Layout{{u"2,0"_s}, {u"x,y"_s, u"1"_s}}
                                                           << Rows{{}, {u"a"_s}, {u"第1列"_s}} << u"排版第2行第2列"_s;
    }

    void applyLayout()
    {
        QFETCH(Layout, layout);
        QFETCH(Rows, expected);
        QFETCH(QString, error);
        Grid target(2, 2);
        const Status applied = pagrion::applyLayout(layout, samplePage(), target);
        QCOMPARE(applied.ok(), error.isEmpty());
        if (!applied)
            QVERIFY2(applied.error().contains(error), qPrintable(applied.error()));
        QCOMPARE(rowsOf(target), rowsOf(gridOf(expected, 2)));
    }

    void applyFields_data()
    {
        QTest::addColumn<QList<Field>>("fields");
        QTest::addColumn<int>("headLength");
        QTest::addColumn<QStringList>("page"); // column 0 of rows 1 and up
        QTest::addColumn<Rows>("expected");    // the record grid afterwards
        QTest::addColumn<QString>("error");

        const QString ok;
        const QList<Field> abcd{{u"1"_s, u"AB"_s}, {u"2"_s, u"CD"_s}};
        const QStringList abcdPage{u"AB: x"_s, u"\r\nCD: y"_s};
        QTest::newRow("head 4") << abcd << 4 << abcdPage << Rows{{}, {u"AB: x"_s, u"\r\nCD: y"_s}, {}} << ok;
        QTest::newRow("head 2 spent on the line break") << abcd << 2 << abcdPage << Rows{{}, {u"AB: x"_s}, {}} << ok;
        QTest::newRow("head 0 matches nothing") << abcd << 0 << abcdPage << Rows{{}, {}} << ok;
        QTest::newRow("last matching row wins") << QList<Field>{{u"1"_s, u" K "_s}} << 10
                                                << QStringList{u"x"_s, u"  K1"_s, u"y"_s, u"K2 "_s}
                                                << Rows{{}, {u"K2"_s}, {}} << ok;
        QTest::newRow("empty name takes the last non-empty row") << QList<Field>{{u"1"_s, u"  "_s}} << 10
                                                                 << QStringList{u"a"_s, u"b"_s, u"   "_s}
                                                                 << Rows{{}, {u"b"_s}, {}} << ok;
        QTest::newRow("one row fills two fields, case counts")
            << QList<Field>{{u"2"_s, u"AB"_s}, {u"1"_s, u"A"_s}, {u"3"_s, u"ab"_s}} << 10 << QStringList{u"ABC"_s}
            << Rows{{}, {u"ABC"_s, u"ABC"_s}, {}} << ok;
        QTest::newRow("a bad id that never matches") << QList<Field>{{u"0"_s, u"zz"_s}, {u"1"_s, u"a"_s}} << 5
                                                     << QStringList{u"a"_s} << Rows{{}, {u"a"_s}, {}} << ok;

        const QString badId = u"超出记录的字段范围"_s;
        QTest::newRow("id 0") << QList<Field>{{u"0"_s, u"a"_s}} << 5 << QStringList{u"a"_s} << Rows{{}, {}} << badId;
        QTest::newRow("id beyond fields + 1") << QList<Field>{{u"3"_s, u"a"_s}} << 5 << QStringList{u"a"_s} << Rows{{}, {}} << badId;
        QTest::newRow("negative head length") << abcd << -1 << abcdPage << Rows{{}, {}} << u"不能小于 0"_s;
    }

    void applyFields()
    {
        QFETCH(QList<Field>, fields);
        QFETCH(int, headLength);
        QFETCH(QStringList, page);
        QFETCH(Rows, expected);
        QFETCH(QString, error);
        Rows pageRows{{u"第1列"_s}};
        for (const QString &first : page)
            pageRows.append({first});
        // Prepared as a batch run prepares it for a field list.
        Grid record(2, 50);
        const Status applied = pagrion::applyFields(fields, headLength, gridOf(pageRows), record);
        QCOMPARE(applied.ok(), error.isEmpty());
        if (!applied)
            QVERIFY2(applied.error().contains(error), qPrintable(applied.error()));
        QCOMPARE(rowsOf(record), rowsOf(gridOf(expected, fields.size() + 1)));
    }

    void readerSeesDefinitionsSavedMeanwhile()
    {
        TempProgramFolder folder;
        QVERIFY2(folder.isValid(), qPrintable(folder.error()));
        PAGRION_VERIFY_OK(saveLayout({{u"2,0"_s}}));
        DefinitionReader reader;
        const auto apply = [&reader] {
            Grid target(2, 2);
            const auto plan = reader.layout();
            return plan && pagrion::applyLayout(plan.value(), samplePage(), target) ? rowsOf(target) : Rows();
        };
        QCOMPARE(apply(), (Rows{{{}, {}}, {u"a"_s, {}}, {{}, {}}}));
        QCOMPARE(apply(), (Rows{{{}, {}}, {u"a"_s, {}}, {{}, {}}}));

        // The reader holds its connection, yet the editors' saves go through
        // and the next page sees them.
        PAGRION_VERIFY_OK(saveLayout({{u"3,1"_s}}));
        QCOMPARE(apply(), (Rows{{{}, {}}, {u"c"_s, {}}, {{}, {}}}));
        PAGRION_VERIFY_OK(saveFields({{u"1"_s, u"名"_s}}));
        const auto fields = reader.fields();
        PAGRION_VERIFY_OK(fields);
        QCOMPARE(fields.value().size(), 1);
        QVERIFY(reader.layout().value().rows.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestLayouts)
#include "tst_layouts.moc"
