#include <QTest>

#include "extract/pagelabels.h"

using namespace Qt::StringLiterals;
using namespace pagrion;

// How the page preview reads what its labels report and where a picked name
// goes. That the labels count as the analysis does is held against real pages
// in tests/app/tst_frmwebpreview.cpp.
class TestPageLabels : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void namesFollowTheClass()
    {
        PageLabeller labeller(u"token"_s);
        QCOMPARE(labeller.labelName(12), u"TableName12"_s);
        labeller.setClassValue(u"P"_s);
        QCOMPARE(labeller.labelName(7), u"TableName1-7"_s);
        labeller.setClassValue(u"table"_s);
        QCOMPARE(labeller.labelName(7), u"TableName7"_s);
    }

    void reportsAreReadOnlyWithTheToken()
    {
        const PageLabeller labeller(u"f00d"_s);
        const auto picked = labeller.read(u"f00d{\"kind\":\"picked\",\"index\":3}"_s);
        QVERIFY(picked);
        QCOMPARE(picked->kind, LabelReport::Kind::Picked);
        QCOMPARE(picked->index, 3);

        const auto labelled = labeller.read(
            u"f00d{\"kind\":\"labelled\",\"labels\":[{\"name\":\"TableName0\",\"shown\":true,\"first\":\"a｜b\","
            "\"x\":10.5,\"y\":8,\"width\":70,\"height\":16},{\"name\":\"TableName1\",\"shown\":false,\"first\":\"\"}]}"_s);
        QVERIFY(labelled);
        QCOMPARE(labelled->labels.size(), 2);
        QCOMPARE(labelled->labels[0].name, u"TableName0"_s);
        QCOMPARE(labelled->labels[0].firstCells, u"a｜b"_s);
        QCOMPARE(labelled->labels[0].box, QRectF(10.5, 8, 70, 16));
        QVERIFY(labelled->labels[0].shown);
        QVERIFY(!labelled->labels[1].shown);

        // What the page itself logs, or forges without knowing the token.
        QVERIFY(!labeller.read(u"{\"kind\":\"picked\",\"index\":3}"_s));
        QVERIFY(!labeller.read(u"beef{\"kind\":\"picked\",\"index\":3}"_s));
        QVERIFY(!labeller.read(u"f00d{\"kind\":\"picked\"}"_s));
        QVERIFY(!labeller.read(u"f00d{\"kind\":\"picked\",\"index\":-1}"_s));
        QVERIFY(!labeller.read(u"f00d not json"_s));
        QVERIFY(!PageLabeller(QString()).read(u"{\"kind\":\"picked\",\"index\":0}"_s));
    }

    void addName_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty") << QString() << u"TableName3"_s << u"TableName3"_s;
        QTest::newRow("spaces only") << u"  "_s << u"TableName3"_s << u"TableName3"_s;
        QTest::newRow("joined by |") << u"TableName0"_s << u"TableName3"_s << u"TableName0|TableName3"_s;
        QTest::newRow("after a closing |") << u"TableName0|"_s << u"TableName3"_s << u"TableName0|TableName3"_s;
        QTest::newRow("named already, as the lists match") << u"tablename3 |TableName0"_s << u"TableName3"_s
                                                           << u"tablename3 |TableName0"_s;
        QTest::newRow("a row beside its table") << u"TableName1"_s << u"TableName1-7"_s
                                                << u"TableName1|TableName1-7"_s;
    }
    void addName()
    {
        QFETCH(QString, list);
        QFETCH(QString, name);
        QTEST(pagrion::addName(list, name), "expected");
    }
};

QTEST_MAIN(TestPageLabels)
#include "tst_pagelabels.moc"
