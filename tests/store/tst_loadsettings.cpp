#include <optional>

#include <QSqlRecord>
#include <QTest>

#include "store/database.h"
#include "store/enginesetting.h"
#include "store/loadsettings.h"
#include "store/systemsettings.h"
#include "support/resultcheck.h"
#include "support/tempprogramfolder.h"

using namespace Qt::StringLiterals;
using namespace pagrion;

Q_DECLARE_METATYPE(LoadSettings::Field)

namespace {

bool execConfig(const QString &statement)
{
    Database db;
    return db.open(programFolder().configDatabasePath()) && db.run(statement).ok();
}

// name=value of every row of a configuration table, sorted.
QStringList rowsOf(const QString &select)
{
    Database db;
    if (!db.open(programFolder().configDatabasePath()))
        return {u"<no database>"_s};
    const auto rows = db.selectAll(select);
    if (!rows)
        return {rows.error()};
    QStringList texts;
    for (const QSqlRecord &row : rows.value())
        texts << row.value(0).toString() + u'=' + row.value(1).toString();
    texts.sort();
    return texts;
}

LoadSettings customSettings()
{
    LoadSettings settings;
    settings.concurrency = 2;
    settings.delayMs = 1500;
    settings.retries = 5;
    settings.timeLimitMs = 300;
    settings.maxBodyBytes = qint64(8) << 20;
    settings.maxTextBytes = qint64(32) << 20;
    settings.browserPages = 2;
    settings.batchWithoutMedia = false;
    settings.maxNextPages = 50;
    settings.nextText = u"下一頁|次へ"_s;
    return settings;
}

} // namespace

class TestLoadSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { QVERIFY2(m_folder.emplace().isValid(), qPrintable(m_folder->error())); }
    void cleanup() { m_folder.reset(); }

    void defaultsWithoutStoredValues_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("fresh database") << QString();
        QTest::newRow("database from before the table") << u"drop table LoadSetting"_s;
        QTest::newRow("values a hand edit broke") << u"insert into LoadSetting values ('concurrency', 'viele'), "
                                                     "('timeout', '0'), ('retries', '2.5'), ('unknown', '7'), "
                                                     "('nexttext', '(')"_s;
    }
    void defaultsWithoutStoredValues()
    {
        QFETCH(QString, change);
        if (!change.isEmpty())
            QVERIFY(execConfig(change));
        const auto read = readLoadSettings();
        PAGRION_VERIFY_OK(read);
        QVERIFY(read.value() == LoadSettings());
    }

    void unreadableDatabaseIsAnError()
    {
        QVERIFY(QFile::remove(programFolder().configDatabasePath()));
        QVERIFY(!readLoadSettings());
    }

    // The table keeps the values as the window shows them; a database from
    // before the table gets it on the first save.
    void savedValuesComeBack()
    {
        QVERIFY(execConfig(u"drop table LoadSetting"_s));
        PAGRION_VERIFY_OK(saveSystemSettings(u"12"_s, EngineKind::Static, customSettings(), NetworkSettings(),
                                             LogLevel::Errors, {}));
        QCOMPARE(rowsOf(u"select name, value from LoadSetting"_s),
                 (QStringList{u"aheadmb=256"_s, u"batchnomedia=0"_s, u"browserpages=2"_s, u"concurrency=2"_s, u"delay=1.5"_s,
                              u"maxbodymb=8"_s, u"maxnextpages=50"_s, u"maxtextmb=32"_s, u"nexttext=下一頁|次へ"_s,
                              u"retries=5"_s, u"stylesheets=1"_s, u"timeout=0.3"_s}));
        QCOMPARE(rowsOf(u"select varname, varvalue from VarTable"_s), QStringList{u"PubLenfiled=12"_s});
        QCOMPARE(readEngineSetting().value(), EngineKind::Static);
        const auto read = readLoadSettings();
        PAGRION_VERIFY_OK(read);
        QVERIFY(read.value() == customSettings());

        // Names are matched whatever their case, values with blanks around.
        QVERIFY(execConfig(u"update LoadSetting set name = 'Concurrency', value = ' 3 ' where name = 'concurrency'"_s));
        QCOMPARE(readLoadSettings().value().concurrency, 3);
    }

    // One transaction: a refused row leaves all three tables as they were.
    void failedSaveChangesNothing()
    {
        PAGRION_VERIFY_OK(saveSystemSettings(u"12"_s, EngineKind::Static, customSettings(), NetworkSettings(),
                                             LogLevel::Errors, {}));
        const QStringList load = rowsOf(u"select name, value from LoadSetting"_s);
        QVERIFY(execConfig(u"create trigger refuse before insert on LoadSetting when new.name = 'timeout' "
                           "begin select raise(abort, 'timeout refused'); end"_s));
        const Status saved = saveSystemSettings(u"99"_s, EngineKind::Browser, LoadSettings(), NetworkSettings(),
                                                LogLevel::Errors, {});
        QVERIFY(!saved);
        QVERIFY2(saved.error().contains(u"timeout refused"_s), qPrintable(saved.error()));
        QCOMPARE(rowsOf(u"select varname, varvalue from VarTable"_s), QStringList{u"PubLenfiled=12"_s});
        QCOMPARE(readEngineSetting().value(), EngineKind::Static);
        QCOMPARE(rowsOf(u"select name, value from LoadSetting"_s), load);
    }

    void valuesAreChecked_data()
    {
        using F = LoadSettings::Field;
        QTest::addColumn<LoadSettings::Field>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown"); // empty: refused
        QTest::newRow("one request at a time") << F::Concurrency << u" 1 "_s << u"1"_s;
        QTest::newRow("no requests") << F::Concurrency << u"0"_s << QString();
        QTest::newRow("half a request") << F::Concurrency << u"1.5"_s << QString();
        QTest::newRow("empty") << F::Retries << u""_s << QString();
        QTest::newRow("a quarter second") << F::Delay << u"0.25"_s << u"0.25"_s;
        QTest::newRow("negative delay") << F::Delay << u"-1"_s << QString();
        QTest::newRow("thousands separator") << F::Delay << u"1,500"_s << QString();
        QTest::newRow("no time at all") << F::TimeLimit << u"0"_s << QString();
        QTest::newRow("infinite") << F::TimeLimit << u"inf"_s << QString();
        QTest::newRow("whole megabytes") << F::MaxBody << u"128"_s << u"128"_s;
        QTest::newRow("part of a megabyte") << F::MaxText << u"0.5"_s << QString();
        QTest::newRow("switch neither") << F::BatchWithoutMedia << u"2"_s << QString();
        QTest::newRow("no next pages") << F::MaxNextPages << u"0"_s << QString();
        QTest::newRow("pattern with blanks around") << F::NextText << u" 下一页|下页 "_s << u"下一页|下页"_s;
        QTest::newRow("blank pattern") << F::NextText << u"  "_s << QString();
        QTest::newRow("unbalanced pattern") << F::NextText << u"下一页)"_s << QString();
    }
    void valuesAreChecked()
    {
        QFETCH(LoadSettings::Field, field);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        LoadSettings settings = customSettings();
        const Status taken = settings.setText(field, typed);
        QCOMPARE(taken.ok(), !shown.isEmpty());
        if (taken) {
            QCOMPARE(settings.text(field), shown);
            return;
        }
        // The message names the setting, and nothing changed.
        QVERIFY2(taken.error().contains(u"“%1”"_s.arg(loadSettingName(field))), qPrintable(taken.error()));
        QVERIFY(settings == customSettings());
    }

private:
    std::optional<test::TempProgramFolder> m_folder;
};

QTEST_GUILESS_MAIN(TestLoadSettings)
#include "tst_loadsettings.moc"
