#include <QTest>

#include "batch/linkfilter.h"
#include "batch/pagelist.h"
#include "store/database.h"
#include "support/resultcheck.h"
#include "support/tempprogramfolder.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;

Q_DECLARE_METATYPE(std::optional<RangeProblem>)

class TestPageList : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void ranges_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<std::optional<RangeProblem>>("problem");
        QTest::addColumn<QStringList>("pages"); // for the pattern "p(*)"
        using P = std::optional<RangeProblem>;
        QTest::newRow("one page") << u"3"_s << u"3"_s << P() << QStringList{u"p3"_s};
        QTest::newRow("end before start") << u"5"_s << u"3"_s << P(RangeProblem::EndBeforeStart) << QStringList();
        QTest::newRow("both bounds round to 2") << u"1.5"_s << u"2.5"_s << P() << QStringList{u"p2"_s};
        QTest::newRow("a space reads 0") << u" "_s << u"1"_s << P() << QStringList{u"p0"_s, u"p1"_s};
        QTest::newRow("empty start") << QString() << u"1"_s << P(RangeProblem::NoValues) << QStringList();
        QTest::newRow("empty end") << u"1"_s << QString() << P(RangeProblem::NoValues) << QStringList();
        QTest::newRow("negative") << u"-2"_s << u"0"_s << P() << QStringList{u"p-2"_s, u"p-1"_s, u"p0"_s};
        QTest::newRow("outside 32 bits") << u"0"_s << u"3e9"_s << P(RangeProblem::OutOfRange) << QStringList();
        QTest::newRow("too many pages") << u"1"_s << u"32768"_s << P(RangeProblem::TooManyPages) << QStringList();
    }
    void ranges()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(std::optional<RangeProblem>, problem);
        QFETCH(QStringList, pages);
        const RangeCheck check = checkParameterRange(from, to);
        QCOMPARE(check.problem, problem);
        if (!problem)
            QCOMPARE(parameterPages(u"p(*)"_s, check.range), pages);
    }

    void largestRangeFits()
    {
        const RangeCheck check = checkParameterRange(u"1"_s, u"32767"_s);
        QVERIFY(!check.problem);
        const QStringList pages = parameterPages(u"(*)"_s, check.range);
        QCOMPARE(pages.size(), MaxPages);
        QCOMPARE(pages.last(), u"32767"_s);
    }

    void everyWildcardGetsTheNumberAndSpacesAreTrimmed()
    {
        const QStringList pages = parameterPages(u"  http://a.test/(*)/list_(*).html "_s, {7, 8});
        QCOMPARE(pages, (QStringList{u"http://a.test/7/list_7.html"_s, u"http://a.test/8/list_8.html"_s}));
    }

    void linkFilter_data()
    {
        QTest::addColumn<QStringList>("fragments");
        QTest::addColumn<QString>("link");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("no fragments") << QStringList() << u"http://a.test/"_s << true;
        QTest::newRow("case is ignored") << QStringList{u"MAILTO:"_s} << u"mailto:x@a.test"_s << false;
        QTest::newRow("surrounding blanks ignored") << QStringList{u"  javascript: "_s} << u" javascript:void(0) "_s
                                                    << false;
        QTest::newRow("inner blanks count") << QStringList{u"a b"_s} << u"http://ab.test/"_s << true;
        QTest::newRow("empty fragment matches any address") << QStringList{u"  "_s} << u"http://a.test/"_s << false;
        QTest::newRow("empty fragment keeps an empty address") << QStringList{QString()} << u" "_s << true;
    }
    void linkFilter()
    {
        QFETCH(QStringList, fragments);
        QFETCH(QString, link);
        QFETCH(bool, allowed);
        QCOMPARE(LinkFilter::fromFragments(fragments).allows(link), allowed);
    }

    void storedFilter()
    {
        TempProgramFolder folder;
        QVERIFY(folder.isValid());
        QVERIFY(!GetWebFlag(u"javascript:open()"_s));
        QVERIFY(GetWebFlag(u"http://a.test/page.html"_s));
        {
            Database db;
            PAGRION_VERIFY_OK(db.open(folder.folder().configDatabasePath()));
            PAGRION_VERIFY_OK(db.run(u"delete from WebErr"_s));
            PAGRION_VERIFY_OK(db.run(u"insert into WebErr(WebErr) values(null)"_s));
        }
        QVERIFY(GetWebFlag(u"javascript:open()"_s)); // a null fragment never matches

        QVERIFY(QFile::remove(folder.folder().configDatabasePath()));
        QVERIFY(!GetWebFlag(u"http://a.test/page.html"_s)); // unreadable filter: every link left out
    }
};

QTEST_GUILESS_MAIN(TestPageList)
#include "tst_pagelist.moc"
