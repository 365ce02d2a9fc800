#include <QFile>
#include <QTest>

#include "store/database.h"
#include "store/sitesettings.h"
#include "support/resultcheck.h"
#include "support/tempprogramfolder.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;

class TestSiteSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void saveTwiceKeepsOneRowAndTheFirstSwapFlag()
    {
        TempProgramFolder folder;
        QVERIFY2(folder.isValid(), qPrintable(folder.error()));
        const QString web = u"http://example.test/it's?page=1"_s;
        PAGRION_VERIFY_OK(saveSiteSettings({web, u"TableName0"_s, u"TableName0-1"_s, true, u"表格"_s}));
        PAGRION_VERIFY_OK(saveSiteSettings({web, u"TableName'2"_s, QString(), false, u"段落"_s}));

        const auto read = readSiteSettings(web);
        PAGRION_VERIFY_OK(read);
        QVERIFY(read.value().has_value());
        QCOMPARE(*read.value(), (SiteSettings{web, u"TableName'2"_s, QString(), true, u"段落"_s}));

        const auto addresses = readSiteAddresses();
        PAGRION_VERIFY_OK(addresses);
        QCOMPARE(addresses.value(), QStringList{web});
    }

    // The window's saves keep the first swap flag; a job saved whole sets it.
    // The record choice changes with every save, back to unset too.
    void recordChoiceIsSavedAndReplaced()
    {
        TempProgramFolder folder;
        QVERIFY(folder.isValid());
        const QString web = u"http://rows.test/"_s;
        SiteSettings settings{web, u"TableName0"_s, {}, false, u"表格"_s};
        settings.records = RecordSource::EveryRow;
        settings.everyRow = {1, u"名称|3"_s};
        settings.sourceColumns = false;
        PAGRION_VERIFY_OK(saveSiteSettings(settings));
        QCOMPARE(*readSiteSettings(web).value(), settings);

        SiteSettings changed{web, u"TableName1"_s, {}, true, u"表格"_s};
        PAGRION_VERIFY_OK(saveSiteSettings(changed));
        changed.rowchange = false;
        QCOMPARE(*readSiteSettings(web).value(), changed);

        Database db;
        PAGRION_VERIFY_OK(db.open(folder.folder().configDatabasePath()));
        changed.rowchange = true;
        changed.records = RecordSource::Fields;
        PAGRION_VERIFY_OK(writeSiteSettings(db, changed, SwapFlag::Replace));
        QCOMPARE(*readSiteSettings(web).value(), changed);
    }

    // A configuration database from before the record choice reads as the
    // defaults and gets the columns at its first save.
    void olderTableIsUpgradedWhenSaved()
    {
        TempProgramFolder folder;
        QVERIFY(folder.isValid());
        {
            Database db;
            PAGRION_VERIFY_OK(db.open(folder.folder().configDatabasePath()));
            PAGRION_VERIFY_OK(db.run(u"drop table SearchInfor"_s));
            PAGRION_VERIFY_OK(db.run(u"create table SearchInfor (id integer primary key autoincrement, web text, "
                                     "TableName text, TableRow text, Rowchange integer, classname text)"_s));
            PAGRION_VERIFY_OK(db.run(u"insert into SearchInfor (web, TableName, TableRow, Rowchange, classname) "
                                     "values ('http://old.test/', 'TableName2', '', 1, '表格')"_s));
        }
        const SiteSettings old{u"http://old.test/"_s, u"TableName2"_s, u""_s, true, u"表格"_s};
        QCOMPARE(*readSiteSettings(old.web).value(), old);

        SiteSettings upgraded = old;
        upgraded.records = RecordSource::EveryRow;
        upgraded.sourceColumns = true;
        PAGRION_VERIFY_OK(saveSiteSettings(upgraded));
        QCOMPARE(*readSiteSettings(old.web).value(), upgraded);
        SiteSettings added{u"http://new.test/"_s, u"TableName0"_s, {}, false, u"段落"_s};
        added.records = RecordSource::Fields;
        PAGRION_VERIFY_OK(saveSiteSettings(added));
        QCOMPARE(*readSiteSettings(added.web).value(), added);
    }

    void addressesComeNewestFirst()
    {
        TempProgramFolder folder;
        QVERIFY(folder.isValid());
        for (const QString &web : {u"http://a.test/"_s, u"http://b.test/"_s, u"http://c.test/"_s})
            PAGRION_VERIFY_OK(saveSiteSettings({web, {}, {}, false, {}}));
        PAGRION_VERIFY_OK(saveSiteSettings({u"http://a.test/"_s, u"x"_s, {}, false, {}})); // an update keeps its place
        const auto addresses = readSiteAddresses();
        PAGRION_VERIFY_OK(addresses);
        QCOMPARE(addresses.value(), (QStringList{u"http://c.test/"_s, u"http://b.test/"_s, u"http://a.test/"_s}));
    }

    void unknownAddressAndNullColumns()
    {
        TempProgramFolder folder;
        QVERIFY(folder.isValid());
        const auto missing = readSiteSettings(u"http://nowhere.test/"_s);
        PAGRION_VERIFY_OK(missing);
        QVERIFY(!missing.value().has_value());

        {
            Database db;
            PAGRION_VERIFY_OK(db.open(folder.folder().configDatabasePath()));
            PAGRION_VERIFY_OK(db.run(u"insert into SearchInfor(web) values('http://null.test/')"_s));
        }
        const auto nulls = readSiteSettings(u"http://null.test/"_s);
        PAGRION_VERIFY_OK(nulls);
        QCOMPARE(*nulls.value(), (SiteSettings{u"http://null.test/"_s, {}, {}, false, {}}));
    }

    void emptyAddressTouchesNoDatabase()
    {
        TempProgramFolder folder;
        QVERIFY(folder.isValid());
        QVERIFY(QFile::remove(folder.folder().configDatabasePath()));
        PAGRION_VERIFY_OK(saveSiteSettings({QString(), u"TableName0"_s, {}, false, {}}));
        // With an address the missing database is an error, not a new file.
        QVERIFY(!saveSiteSettings({u"http://a.test/"_s, {}, {}, false, {}}).ok());
        QVERIFY(!QFile::exists(folder.folder().configDatabasePath()));
        QVERIFY(!readSiteAddresses().ok());
    }
};

QTEST_GUILESS_MAIN(TestSiteSettings)
#include "tst_sitesettings.moc"
