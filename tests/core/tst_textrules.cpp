#include <QTest>

#include "core/textrules.h"

using namespace Qt::StringLiterals;
using namespace pagrion;

class TestTextRules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void trimSpaces_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("spaces both sides") << u"  a b  "_s << u"a b"_s;
        QTest::newRow("only spaces") << u"   "_s << QString();
        QTest::newRow("tab and line breaks stay") << u"\t a\r\n "_s << u"\t a\r\n"_s;
        QTest::newRow("ideographic space stays") << u"\u3000x\u3000"_s << u"\u3000x\u3000"_s;
        QTest::newRow("empty") << QString() << QString();
    }
    void trimSpaces()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(pagrion::trimSpaces(text), expected);
    }

    void sameName_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("same");
        QTest::newRow("case differs") << u"tablename0"_s << u"TableName0"_s << true;
        QTest::newRow("space is significant") << u"TableName0 "_s << u"TableName0"_s << false;
        QTest::newRow("different") << u"TableName1"_s << u"TableName10"_s << false;
        QTest::newRow("chinese") << u"表格"_s << u"表格"_s << true;
    }
    void sameName()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, same);
        QCOMPARE(pagrion::sameName(a, b), same);
    }

    void readNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("expected");
        QTest::newRow("integer") << u"42"_s << 42.0;
        QTest::newRow("blanks between digits") << u" 1 2"_s << 12.0;
        QTest::newRow("tab and line feed ignored") << u"\t3\n4"_s << 34.0;
        QTest::newRow("sign") << u"-7"_s << -7.0;
        QTest::newRow("plus sign") << u"+7"_s << 7.0;
        QTest::newRow("sign after blank") << u" - 5"_s << -5.0;
        QTest::newRow("decimal") << u"2.5"_s << 2.5;
        QTest::newRow("second point stops") << u"1.2.3"_s << 1.2;
        QTest::newRow("leading point") << u".5"_s << 0.5;
        QTest::newRow("exponent") << u"1.5e3"_s << 1500.0;
        QTest::newRow("D exponent") << u"2D2"_s << 200.0;
        QTest::newRow("negative exponent") << u"5E-1"_s << 0.5;
        QTest::newRow("exponent without digits") << u"3e"_s << 3.0;
        QTest::newRow("exponent sign without digits") << u"3e+x"_s << 3.0;
        QTest::newRow("stops at letter") << u"12abc3"_s << 12.0;
        QTest::newRow("no number") << u"abc"_s << 0.0;
        QTest::newRow("empty") << QString() << 0.0;
        QTest::newRow("sign only") << u"-"_s << 0.0;
        QTest::newRow("full-width digit is not a digit") << u"１2"_s << 0.0;
        QTest::newRow("carriage return stops") << u"1\r2"_s << 1.0;
    }
    void readNumber()
    {
        QFETCH(QString, text);
        QFETCH(double, expected);
        QCOMPARE(pagrion::readNumber(text), expected);
    }

    void overflowingNumberIsRefusedByRounding()
    {
        QVERIFY(!roundToInt32(pagrion::readNumber(u"1e400"_s)));
        QVERIFY(!roundToInt32(pagrion::readNumber(u"-1e400"_s)));
    }

    void rounding_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("fits16");
        QTest::addColumn<int>("rounded16");
        QTest::addColumn<bool>("fits32");
        QTest::addColumn<qint64>("rounded32");
        QTest::newRow("half to even down") << 2.5 << true << 2 << true << qint64(2);
        QTest::newRow("half to even up") << 3.5 << true << 4 << true << qint64(4);
        QTest::newRow("negative half") << -2.5 << true << -2 << true << qint64(-2);
        QTest::newRow("below half") << 2.49 << true << 2 << true << qint64(2);
        QTest::newRow("16-bit max") << 32767.0 << true << 32767 << true << qint64(32767);
        QTest::newRow("16-bit max plus half rounds even to 32768")
            << 32767.5 << false << 0 << true << qint64(32768);
        QTest::newRow("16-bit min") << -32768.0 << true << -32768 << true << qint64(-32768);
        QTest::newRow("16-bit min minus half rounds even") << -32768.5 << true << -32768 << true << qint64(-32768);
        QTest::newRow("16-bit overflow") << 32768.0 << false << 0 << true << qint64(32768);
        QTest::newRow("32-bit max") << 2147483647.0 << false << 0 << true << qint64(2147483647);
        QTest::newRow("32-bit overflow") << 2147483647.5 << false << 0 << false << qint64(0);
        QTest::newRow("32-bit min") << -2147483648.0 << false << 0 << true << qint64(-2147483648LL);
        QTest::newRow("32-bit underflow") << -2147483649.0 << false << 0 << false << qint64(0);
    }
    void rounding()
    {
        QFETCH(double, value);
        QFETCH(bool, fits16);
        QFETCH(int, rounded16);
        QFETCH(bool, fits32);
        QFETCH(qint64, rounded32);
        const auto as16 = roundToInt16(value);
        QCOMPARE(as16.has_value(), fits16);
        if (fits16)
            QCOMPARE(int(*as16), rounded16);
        const auto as32 = roundToInt32(value);
        QCOMPARE(as32.has_value(), fits32);
        if (fits32)
            QCOMPARE(qint64(*as32), rounded32);
    }

    void lengthsCountUtf16Units()
    {
        // A character outside the basic plane counts as two positions.
        QCOMPARE(u"a\U0001F600b"_s.size(), 4);
    }
};

QTEST_APPLESS_MAIN(TestTextRules)
#include "tst_textrules.moc"
