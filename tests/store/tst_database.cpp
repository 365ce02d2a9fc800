#include <QFile>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QTest>

#include "store/database.h"
#include "support/resultcheck.h"
#include "support/tempprogramfolder.h"

using namespace Qt::StringLiterals;
using namespace pagrion;

class TestDatabase : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void openRefusesWhatIsNotADatabase_data()
    {
        QTest::addColumn<QByteArray>("content"); // empty: no file at all
        QTest::newRow("missing file") << QByteArray();
        QTest::newRow("not a database") << QByteArray("Standard Jet DB\n");
    }

    void openRefusesWhatIsNotADatabase()
    {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"system.dll"_s);
        if (!content.isEmpty()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) > 0);
        }
        Database db;
        const Status opened = db.open(path);
        QVERIFY(!opened && !db.isOpen());
        if (content.isEmpty())
            QVERIFY2(opened.error().contains(u"system.dll"_s), qPrintable(opened.error()));
        QCOMPARE(QFile::exists(path), !content.isEmpty()); // never created
    }

    void valuesRoundTripUnchanged_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("apostrophes") << u"O'Brien's ''"_s;
        QTest::newRow("statement inside") << u"x'); delete from datalist; --"_s;
        QTest::newRow("empty, not null") << u""_s;
    }

    void valuesRoundTripUnchanged()
    {
        QFETCH(QString, value);
        test::TempProgramFolder folder;
        QVERIFY2(folder.isValid(), qPrintable(folder.error()));
        Database db;
        QVERIFY(db.open(folder.folder().resultDatabasePath()));
        QVERIFY(db.run(u"insert into datalist (c1, c2) values (?, ?)"_s, {value, u"next"_s}));
        const auto rows = db.selectAll(u"select c1, c2 from datalist where c1 = ?"_s, {value});
        PAGRION_VERIFY_OK(rows);
        QCOMPARE(rows.value().size(), 1);
        QCOMPARE(rows.value().first().value(0).toString(), value);
        QVERIFY(!rows.value().first().value(0).isNull());
        QCOMPARE(rows.value().first().value(1).toString(), u"next"_s);
    }

    void connectionIsGoneAfterScope()
    {
        test::TempProgramFolder folder;
        QVERIFY2(folder.isValid(), qPrintable(folder.error()));
        const QStringList before = QSqlDatabase::connectionNames();
        {
            Database result;
            Database config;
            QVERIFY(result.open(folder.folder().resultDatabasePath()));
            QVERIFY(config.open(folder.folder().configDatabasePath()));
            QCOMPARE(QSqlDatabase::connectionNames().size(), before.size() + 2);
        }
        QCOMPARE(QSqlDatabase::connectionNames(), before);
    }
};

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
