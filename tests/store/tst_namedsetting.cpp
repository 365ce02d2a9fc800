#include <optional>

#include <QFile>
#include <QTest>

#include "store/database.h"
#include "store/getvarvalue.h"
#include "store/namedsetting.h"
#include "support/fakes.h"
#include "support/resultcheck.h"
#include "support/tempprogramfolder.h"

using namespace Qt::StringLiterals;
using namespace pagrion;

namespace {

struct ProgramEnded
{
};

// The fatal exit throws, so the test survives the end of the program.
class ThrowingExit final
{
public:
    ThrowingExit() : m_previous(setFatalExit([](int) { throw ProgramEnded{}; })) {}
    ~ThrowingExit() { setFatalExit(m_previous); }

private:
    FatalExit m_previous;
};

bool execConfig(const QString &statement)
{
    Database db;
    return db.open(programFolder().configDatabasePath()) && db.run(statement).ok();
}

QStringList varTable()
{
    Database db;
    if (!db.open(programFolder().configDatabasePath()))
        return {u"<no database>"_s};
    const auto rows = db.selectAll(u"select varname || '=' || ifnull(varvalue, '<null>') from VarTable"_s);
    QStringList lines;
    for (const QSqlRecord &row : rows ? rows.value() : QList<QSqlRecord>())
        lines.append(row.value(0).toString());
    return lines;
}

} // namespace

class TestNamedSetting : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { QVERIFY2(m_folder.emplace().isValid(), qPrintable(m_folder->error())); }
    void cleanup() { m_folder.reset(); }

    void readsStoredValue_data()
    {
        QTest::addColumn<QString>("row"); // values of the one VarTable row
        QTest::addColumn<QString>("name");
        QTest::addColumn<std::optional<QString>>("expected"); // nullopt: no row
        QTest::newRow("value") << u"'x', '7'"_s << u"x"_s << std::optional(u"7"_s);
        QTest::newRow("apostrophes") << u"'o''k', 'it''s'"_s << u"o'k"_s << std::optional(u"it's"_s);
        QTest::newRow("empty value") << u"'x', ''"_s << u"x"_s << std::optional(u""_s);
        QTest::newRow("null value") << u"'x', null"_s << u"x"_s << std::optional(QString());
        QTest::newRow("no row") << u"'x', '7'"_s << u"y"_s << std::optional<QString>();
    }

    void readsStoredValue()
    {
        QFETCH(QString, row);
        QFETCH(QString, name);
        QFETCH(std::optional<QString>, expected);
        QVERIFY(execConfig(u"delete from VarTable"_s));
        QVERIFY(execConfig(u"insert into VarTable (varname, varvalue) values (%1)"_s.arg(row)));

        const auto read = readNamedSetting(name);
        PAGRION_VERIFY_OK(read);
        QCOMPARE(read.value(), expected);
        if (expected) {
            QCOMPARE(read.value()->isNull(), expected->isNull());
            test::FakeDialogs dialogs;
            ThrowingExit exit;
            QCOMPARE(GetVarValue(name), *expected);
            QVERIFY(dialogs.calls.isEmpty());
        }
    }

    void missingSettingEndsProgram_data()
    {
        QTest::addColumn<bool>("removeDatabase");
        QTest::newRow("no row") << false;
        QTest::newRow("no configuration database") << true;
    }

    void missingSettingEndsProgram()
    {
        QFETCH(bool, removeDatabase);
        QVERIFY(removeDatabase ? QFile::remove(programFolder().configDatabasePath())
                               : execConfig(u"delete from VarTable"_s));
        test::FakeDialogs dialogs;
        ThrowingExit exit;

        QVERIFY_THROWS_EXCEPTION(ProgramEnded, GetVarValue(u"PubLenfiled"_s));
        QCOMPARE(dialogs.calls.size(), 1);
        QCOMPARE(dialogs.calls.first().kind, u"information"_s);
        QCOMPARE(dialogs.calls.first().title, u"警告"_s);
        QCOMPARE(dialogs.calls.first().text, u"系统遇到严重问题请与供应商联系！"_s);
        QCOMPARE(QFile::exists(programFolder().configDatabasePath()), !removeDatabase);
    }

    void savingLeavesOnlyTheNewRow()
    {
        QVERIFY(execConfig(u"insert into VarTable (varname, varvalue) values ('other', '1')"_s));
        QVERIFY(savePubLenfiled(u"4"_s));
        QCOMPARE(varTable(), QStringList{u"PubLenfiled=4"_s});
        QVERIFY(savePubLenfiled(QString())); // an empty box
        QCOMPARE(varTable(), QStringList{u"PubLenfiled="_s});
    }

    void failedSaveKeepsOldRows()
    {
        const QStringList before = varTable();
        QVERIFY(!before.isEmpty());
        QVERIFY(execConfig(u"create trigger refuse before insert on VarTable "
                           "begin select raise(abort, 'insert refused'); end"_s));
        const Status saved = savePubLenfiled(u"4"_s);
        QVERIFY(!saved);
        QVERIFY2(saved.error().contains(u"insert refused"_s), qPrintable(saved.error()));
        QCOMPARE(varTable(), before);
    }

private:
    std::optional<test::TempProgramFolder> m_folder;

    void headLengthIsReadLenientlyAndMustFit()
    {
        QCOMPARE(headLengthFrom(u" 1 2"_s).value(), 12);
        QCOMPARE(headLengthFrom(u"2.5"_s).value(), 2);
        QCOMPARE(headLengthFrom(u"abc"_s).value(), 0);
        const Result<int> tooLong = headLengthFrom(u"1e10"_s);
        QVERIFY(!tooLong.ok());
        QVERIFY(tooLong.error().contains(u"1e10"_s));
    }
};

QTEST_GUILESS_MAIN(TestNamedSetting)
#include "tst_namedsetting.moc"
