#include <QTest>

#include "store/database.h"
#include "store/definitions.h"
#include "support/resultcheck.h"
#include "support/tempprogramfolder.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;

class TestDefinitions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void savingOneDefinitionEmptiesTheOtherInOneTransaction()
    {
        TempProgramFolder folder;
        QVERIFY2(folder.isValid(), qPrintable(folder.error()));
        PAGRION_VERIFY_OK(saveFields({{u"1"_s, u"AB"_s}}));
        LayoutRow wide(60); // wider than the shipped table
        wide[59] = u"1,59"_s;
        const Layout layout{{u"3,1"_s, std::nullopt, u" 2,0 "_s}, {u"1,0|1,1"_s}, wide};
        PAGRION_VERIFY_OK(saveLayout(layout));

        auto checkStored = [&] {
            const auto read = readLayout();
            PAGRION_VERIFY_OK(read);
            QCOMPARE(read.value().size(), layout.size());
            for (int k = 0; k < layout.size(); ++k)
                for (int c = 0; c < read.value().at(k).size(); ++c)
                    QCOMPARE(read.value().at(k).at(c), c < layout.at(k).size() ? layout.at(k).at(c) : std::nullopt);
            const auto fields = readFields();
            PAGRION_VERIFY_OK(fields);
            QVERIFY(fields.value().isEmpty());
        };
        checkStored();
        if (QTest::currentTestFailed())
            return;

        // A refused insert takes both deletions back with it.
        {
            Database db;
            PAGRION_VERIFY_OK(db.open(folder.folder().configDatabasePath()));
            PAGRION_VERIFY_OK(db.run(u"create trigger refuse before insert on FileName when new.filedname = 'bad' "
                                     "begin select raise(abort, 'refused'); end"_s));
        }
        const Status failed = saveFields({{u"1"_s, u"good"_s}, {u"2"_s, u"bad"_s}});
        QVERIFY(!failed.ok());
        QVERIFY2(failed.error().contains(u"refused"_s), qPrintable(failed.error()));
        checkStored();
    }
};

QTEST_GUILESS_MAIN(TestDefinitions)
#include "tst_definitions.moc"
