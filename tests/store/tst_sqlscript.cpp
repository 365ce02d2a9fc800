#include <QTest>

#include "store/sqlscript.h"
#include "support/resultcheck.h"

using namespace Qt::StringLiterals;
using namespace pagrion;

class TestSqlScript : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void statementsOfOneSection_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("expected"); // the statements of section "a.db"
        QTest::newRow("sections, comments, CR LF")
            << u"-- top\r\n-- @database a.db\r\nx; -- not y;\r\n-- @database b.db\r\nz;\r\n-- @database a.db\r\ny\r\n;"_s
            << QStringList{u"x"_s, u"y"_s};
        QTest::newRow("separators and marker inside quotes")
            << u"-- @database a.db\ninsert into t values ('it''s;', 'c--d\n-- @database b.db\n');"_s
            << QStringList{u"insert into t values ('it''s;', 'c--d\n-- @database b.db\n')"_s};
    }

    void statementsOfOneSection()
    {
        QFETCH(QString, script);
        QFETCH(QStringList, expected);
        const auto statements = scriptStatements(script, u"a.db"_s);
        PAGRION_VERIFY_OK(statements);
        QCOMPARE(statements.value(), expected);
    }

    void malformedScriptsAreRefused_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("line");
        QTest::newRow("statement outside sections") << u"-- top\nx;\n-- @database a.db\n"_s << 2;
        QTest::newRow("no semicolon before a section") << u"-- @database a.db\nx\n-- @database b.db\n"_s << 2;
        QTest::newRow("no semicolon at the end") << u"-- @database a.db\nx;\n\ny"_s << 4;
        QTest::newRow("unclosed quote") << u"-- @database a.db\ninsert into t values ('it's');\n"_s << 2;
    }

    void malformedScriptsAreRefused()
    {
        QFETCH(QString, script);
        QFETCH(int, line);
        const auto statements = scriptStatements(script, u"a.db"_s);
        QVERIFY(!statements);
        QVERIFY2(statements.error().contains(u"第 %1 行"_s.arg(line)), qPrintable(statements.error()));
    }
};

QTEST_GUILESS_MAIN(TestSqlScript)
#include "tst_sqlscript.moc"
