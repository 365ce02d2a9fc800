#include <QTest>

#include "extract/classlist.h"
#include "store/database.h"
#include "support/resultcheck.h"
#include "support/tempprogramfolder.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;

class TestClassList : public QObject
{
    Q_OBJECT

private:
    // Replaces the shipped class list with these (text, value) rows.
    static void storeClasses(const TempProgramFolder &folder, const QList<QPair<QString, QString>> &classes)
    {
        Database db;
        PAGRION_VERIFY_OK(db.open(folder.folder().configDatabasePath()));
        PAGRION_VERIFY_OK(db.run(u"delete from SearchFlag"_s));
        for (const auto &[text, value] : classes)
            PAGRION_VERIFY_OK(db.run(u"insert into SearchFlag(classtext, calssvalue) values(?, ?)"_s, {text, value}));
    }

private Q_SLOTS:
    void shippedListStartsWithTableMode()
    {
        TempProgramFolder folder;
        QVERIFY(folder.isValid());
        const auto texts = loadClassTexts();
        PAGRION_VERIFY_OK(texts);
        QVERIFY(texts.value().size() > 1);
        const auto first = classValueOf(texts.value().first());
        PAGRION_VERIFY_OK(first);
        QCOMPARE(first.value(), TableClass);
    }

    void valuesAreTrimmedAndTheFirstMatchDecides()
    {
        TempProgramFolder folder;
        QVERIFY(folder.isValid());
        storeClasses(folder, {{u"大表"_s, u" TABLE "_s},
                              {u"it's"_s, u"p"_s},
                              {u"重复"_s, u"span"_s},
                              {u"重复"_s, u"div"_s},
                              {u"制表"_s, u"\tli "_s}});

        const auto texts = loadClassTexts();
        PAGRION_VERIFY_OK(texts);
        QCOMPARE(texts.value(), (QStringList{u"大表"_s, u"it's"_s, u"重复"_s, u"重复"_s, u"制表"_s}));

        QCOMPARE(classValueOf(u"大表"_s).value(), u"TABLE"_s); // case is the caller's business
        QCOMPARE(classValueOf(u"it's"_s).value(), u"p"_s);
        QCOMPARE(classValueOf(u"重复"_s).value(), u"span"_s);
        QCOMPARE(classValueOf(u"制表"_s).value(), u"\tli"_s);
        QCOMPARE(classValueOf(u"没有"_s).value(), QString());
    }
};

QTEST_GUILESS_MAIN(TestClassList)
#include "tst_classlist.moc"
