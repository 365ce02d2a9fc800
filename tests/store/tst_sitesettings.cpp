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
