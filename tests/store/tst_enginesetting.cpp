#include <optional>

#include <QTest>

#include "store/database.h"
#include "store/enginesetting.h"
#include "support/resultcheck.h"
#include "support/tempprogramfolder.h"

using namespace Qt::StringLiterals;
using namespace pagrion;

namespace {

bool execConfig(const QString &statement)
{
    Database db;
    return db.open(programFolder().configDatabasePath()) && db.run(statement).ok();
}

} // namespace

class TestEngineSetting : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { QVERIFY2(m_folder.emplace().isValid(), qPrintable(m_folder->error())); }
    void cleanup() { m_folder.reset(); }

    // Whatever an older database holds, the program starts with an engine.
    void readsTheStoredEngine_data()
    {
        QTest::addColumn<QString>("change"); // run on the fresh database first
        QTest::addColumn<EngineKind>("expected");
        QTest::newRow("fresh database") << QString() << EngineKind::Browser;
        QTest::newRow("static, written loosely") << u"update BrowserEngine set engine = ' Static'"_s << EngineKind::Static;
        QTest::newRow("unknown name") << u"update BrowserEngine set engine = 'ie6'"_s << EngineKind::Browser;
        QTest::newRow("no row") << u"delete from BrowserEngine"_s << EngineKind::Browser;
        QTest::newRow("database from before the setting") << u"drop table BrowserEngine"_s << EngineKind::Browser;
    }
    void readsTheStoredEngine()
    {
        QFETCH(QString, change);
        QFETCH(EngineKind, expected);
        if (!change.isEmpty())
            QVERIFY(execConfig(change));
        const auto read = readEngineSetting();
        PAGRION_VERIFY_OK(read);
        QCOMPARE(read.value(), expected);
    }

    void savingWorksOnOldDatabasesToo()
    {
        QVERIFY(execConfig(u"drop table BrowserEngine"_s));
        QVERIFY(saveEngineSetting(EngineKind::Static));
        QCOMPARE(readEngineSetting().value(), EngineKind::Static);
        QVERIFY(saveEngineSetting(EngineKind::Browser));
        QCOMPARE(readEngineSetting().value(), EngineKind::Browser);
    }

private:
    std::optional<test::TempProgramFolder> m_folder;
};

QTEST_GUILESS_MAIN(TestEngineSetting)
#include "tst_enginesetting.moc"
