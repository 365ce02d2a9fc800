#include <optional>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "store/database.h"
#include "store/databasesetup.h"
#include "store/positionaltable.h"
#include "support/resultcheck.h"
#include "support/tempprogramfolder.h"

using namespace Qt::StringLiterals;
using namespace pagrion;

namespace {

QStringList numbered(int first, int last)
{
    QStringList names;
    for (int n = first; n <= last; ++n)
        names.append(u"c"_s + QString::number(n));
    return names;
}

QStringList column(Database &db, const QString &select)
{
    QStringList values;
    const auto rows = db.selectAll(select);
    for (const QSqlRecord &row : rows ? rows.value() : QList<QSqlRecord>())
        values.append(row.value(0).toString());
    return values;
}

} // namespace

class TestSchema : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { QVERIFY2(m_folder.emplace().isValid(), qPrintable(m_folder->error())); }
    void cleanup() { m_folder.reset(); }

    void tablesLiveInTheirDatabase_data()
    {
        QTest::addColumn<bool>("config");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("columns");
        QTest::newRow("datalist") << false << u"datalist"_s << QStringList{u"id"_s} + numbered(1, 255);
        QTest::newRow("SearchInfor") << true << u"SearchInfor"_s
                                     << QStringList{u"id"_s, u"web"_s, u"TableName"_s, u"TableRow"_s,
                                                    u"Rowchange"_s, u"classname"_s, u"Records"_s, u"HeaderRows"_s,
                                                    u"Columns"_s, u"SourceColumns"_s};
        QTest::newRow("DataFormat") << true << u"DataFormat"_s << numbered(0, 49);
        QTest::newRow("FileName") << true << u"FileName"_s << QStringList{u"id"_s, u"filedname"_s};
        QTest::newRow("SearchFlag") << true << u"SearchFlag"_s << QStringList{u"classtext"_s, u"calssvalue"_s};
        QTest::newRow("WebErr") << true << u"WebErr"_s << QStringList{u"WebErr"_s};
        QTest::newRow("VarTable") << true << u"VarTable"_s << QStringList{u"varname"_s, u"varvalue"_s};
        QTest::newRow("LoadSetting") << true << u"LoadSetting"_s << QStringList{u"name"_s, u"value"_s};
    }

    void tablesLiveInTheirDatabase()
    {
        QFETCH(bool, config);
        QFETCH(QString, table);
        QFETCH(QStringList, columns);
        const ProgramFolder paths = programFolder();
        Database own;
        Database other;
        QVERIFY(own.open(config ? paths.configDatabasePath() : paths.resultDatabasePath()));
        QVERIFY(other.open(config ? paths.resultDatabasePath() : paths.configDatabasePath()));
        const auto found = tableColumns(own, table);
        PAGRION_VERIFY_OK(found);
        QCOMPARE(found.value(), columns);
        QVERIFY(!tableColumns(other, table));
    }

    void startingContent()
    {
        Database db;
        QVERIFY(db.open(programFolder().configDatabasePath()));
        // Start-up selects the first class, so it must be table mode.
        QCOMPARE(column(db, u"select calssvalue from SearchFlag"_s).value(0), u"table"_s);
        QCOMPARE(column(db, u"select varname from VarTable"_s), QStringList{u"PubLenfiled"_s});
        // A fragment excludes every link that contains it: none may hit an ordinary page.
        const QStringList fragments = column(db, u"select upper(trim(WebErr)) from WebErr"_s);
        QVERIFY(!fragments.isEmpty());
        for (const QString &fragment : fragments)
            QVERIFY2(!fragment.isEmpty() && !u"HTTPS://WWW.EXETER.AC.UK/NEWS/A.ASP?P=2#TOP"_s.contains(fragment),
                     qPrintable(fragment));
    }

    void wideningAddsColumnsAndKeepsRows_data()
    {
        QTest::addColumn<PositionalTable>("table");
        QTest::addColumn<int>("wanted");
        QTest::addColumn<QStringList>("added");
        QTest::newRow("datalist wider") << PositionalTable::Datalist << 257 << QStringList{u"c256"_s, u"c257"_s};
        QTest::newRow("datalist wide enough") << PositionalTable::Datalist << 3 << QStringList();
        QTest::newRow("DataFormat wider") << PositionalTable::DataFormat << 51 << QStringList{u"c50"_s};
    }

    void wideningAddsColumnsAndKeepsRows()
    {
        QFETCH(PositionalTable, table);
        QFETCH(int, wanted);
        QFETCH(QStringList, added);
        Database db;
        const bool config = table == PositionalTable::DataFormat;
        QVERIFY(db.open(config ? programFolder().configDatabasePath() : programFolder().resultDatabasePath()));
        const QString name = tableName(table);
        const QStringList before = dataColumns(db, table).value();
        QVERIFY(db.run(u"insert into %1 (c1) values ('kept')"_s.arg(name)));

        const Status widened = ensureDataColumns(db, table, wanted);
        PAGRION_VERIFY_OK(widened);
        QCOMPARE(dataColumns(db, table).value(), before + added);
        QCOMPARE(column(db, u"select c1 from %1"_s.arg(name)), QStringList{u"kept"_s});
    }

    void existingDatabasesAreNeverReplaced()
    {
        QTemporaryDir dir;
        const ProgramFolder folder(dir.path());
        const auto first = createMissingDatabases(folder, test::sourceSqlFiles());
        PAGRION_VERIFY_OK(first);
        QCOMPARE(first.value(), (QStringList{folder.resultDatabasePath(), folder.configDatabasePath()}));
        QVERIFY(QFileInfo(folder.tempFolder()).isDir());
        {
            Database db;
            QVERIFY(db.open(folder.resultDatabasePath()));
            QVERIFY(db.run(u"insert into datalist (c1) values ('collected')"_s));
        }
        QVERIFY(QFile::remove(folder.configDatabasePath()));

        const auto second = createMissingDatabases(folder, test::sourceSqlFiles());
        PAGRION_VERIFY_OK(second);
        QCOMPARE(second.value(), QStringList{folder.configDatabasePath()});
        Database db;
        QVERIFY(db.open(folder.resultDatabasePath()));
        QCOMPARE(column(db, u"select c1 from datalist"_s), QStringList{u"collected"_s});
    }

    void failedBuildLeavesNoFile()
    {
        QTemporaryDir dir;
        QFile script(dir.filePath(u"broken.sql"_s));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("-- @database x.db\ncreate table t (a text);\ninsert into nosuch values (1);\n");
        script.close();

        const Status created = createDatabase(dir.filePath(u"data/x.db"_s), u"x.db"_s, {script.fileName()});
        QVERIFY(!created);
        QVERIFY2(created.error().contains(u"nosuch"_s), qPrintable(created.error()));
        QCOMPARE(QDir(dir.filePath(u"data"_s)).entryList(QDir::Files), QStringList());
    }

private:
    std::optional<test::TempProgramFolder> m_folder;
};

QTEST_GUILESS_MAIN(TestSchema)
#include "tst_schema.moc"
