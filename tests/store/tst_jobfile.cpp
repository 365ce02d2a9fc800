#include <QJsonDocument>
#include <QTest>

#include "store/database.h"
#include "store/jobfile.h"
#include "store/namedsetting.h"
#include "support/resultcheck.h"
#include "support/tempprogramfolder.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;

Q_DECLARE_METATYPE(SiteJob)

namespace {

SiteJob layoutJob()
{
    SiteJob job{{u"http://shop.test/list?p=1"_s, u"TableName0|TableName2"_s, u"TableName0-1"_s, true, u"表格"_s}};
    job.settings.records = RecordSource::Layout;
    job.layout = Layout{{u"2,0"_s, std::nullopt, u"2,1|3,1"_s}, {}, {u""_s}};
    return job;
}

SiteJob fieldsJob()
{
    SiteJob job{{u"http://news.test/"_s, u"TableName1"_s, {}, false, u"段落"_s}};
    job.settings.records = RecordSource::Fields;
    job.settings.sourceColumns = true;
    job.fields = QList<Field>{{u"1"_s, u"标题"_s}, {u"2"_s, u"日期"_s}};
    job.headLength = 6;
    return job;
}

SiteJob everyRowJob()
{
    SiteJob job{{u"http://rows.test/"_s, u"TableName0"_s, {}, false, u"表格"_s}};
    job.settings.records = RecordSource::EveryRow;
    job.settings.everyRow = {2, u"名称|3"_s};
    job.settings.sourceColumns = false;
    return job;
}

QJsonObject jsonOf(const QByteArray &text)
{
    return QJsonDocument::fromJson(text).object();
}

} // namespace

class TestJobFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void jobsSurviveTheirJson_data()
    {
        QTest::addColumn<SiteJob>("job");
        QTest::newRow("layout with null and empty cells, empty row") << layoutJob();
        QTest::newRow("field list with head length") << fieldsJob();
        QTest::newRow("every row") << everyRowJob();
        QTest::newRow("no record choice") << SiteJob{{u"http://a.test/"_s, {}, {}, false, {}}};
    }
    void jobsSurviveTheirJson()
    {
        QFETCH(SiteJob, job);
        const auto read = jobFromJson(jobToJson(job));
        PAGRION_VERIFY_OK(read);
        QVERIFY(read.value() == job);
    }

    void wrongShapesAreNamed_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("message");
        const QByteArray head = R"("format": "pagrion-job", "version": 1, "web": "http://a.test/")";
        const auto job = [&head](const QByteArray &rest) -> QByteArray { return "{" + head + rest + "}"; };
        QTest::newRow("not a job") << QByteArray(R"({"web": "x"})") << u"不是采集任务文件"_s;
        QTest::newRow("array") << QByteArray("[1]") << u"不是采集任务文件"_s;
        QTest::newRow("later version") << QByteArray(R"({"format": "pagrion-job", "version": 2, "web": "x"})")
                                       << u"版本"_s;
        QTest::newRow("no address") << QByteArray(R"({"format": "pagrion-job", "version": 1})") << u"“web”"_s;
        QTest::newRow("swap as text") << job(R"(, "swap": "yes")") << u"“swap”"_s;
        QTest::newRow("unknown record choice") << job(R"(, "records": "table")") << u"“table”"_s;
        QTest::newRow("three header rows") << job(R"(, "headerRows": "3")") << u"“headerRows”"_s;
        QTest::newRow("number in a layout") << job(R"(, "layout": [["2,0", 5]])") << u"“layout”"_s;
        QTest::newRow("field without name") << job(R"(, "records": "fields", "fields": [{"id": "1"}])")
                                            << u"“fields”"_s;
        QTest::newRow("negative head length") << job(R"(, "headLength": -1)") << u"“headLength”"_s;
        QTest::newRow("fields for a layout job") << job(R"(, "fields": [{"id": 1, "filedname": "a"}])")
                                                 << u"layout"_s;
        QTest::newRow("layout for an every-row job") << job(R"(, "records": "rows", "layout": [["2,0"]])")
                                                     << u"rows"_s;
    }
    void wrongShapesAreNamed()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, message);
        const auto read = jobFromJson(jsonOf(json));
        QVERIFY(!read.ok());
        QVERIFY2(read.error().contains(message), qPrintable(read.error()));
    }

    // A saved job comes back with the definition its record choice uses; the
    // stored layout's null columns after its values stay out of the file.
    void savedJobsComeBackWithTheirDefinition()
    {
        TempProgramFolder folder;
        QVERIFY2(folder.isValid(), qPrintable(folder.error()));
        QVERIFY(!readSiteJob(u"http://shop.test/list?p=1"_s).value().has_value());
        for (const SiteJob &job : {layoutJob(), fieldsJob(), everyRowJob()}) {
            PAGRION_VERIFY_OK(saveSiteJob(job));
            const auto read = readSiteJob(job.settings.web);
            PAGRION_VERIFY_OK(read);
            QVERIFY(read.value().has_value());
            const QJsonObject json = jobToJson(*read.value());
            QCOMPARE(json, jobToJson(job));
        }
        // The every-row job left the field list and its head length alone.
        QCOMPARE(readHeadLength().value(), std::optional<int>(6));
        QCOMPARE(readFields().value(), *fieldsJob().fields);
    }

    // The settings, the definition and the head length are saved together
    // or not at all, and a job sets the swap flag of a known address.
    void savingIsAllOrNothing()
    {
        TempProgramFolder folder;
        QVERIFY2(folder.isValid(), qPrintable(folder.error()));
        SiteJob before = layoutJob();
        before.settings.rowchange = false;
        PAGRION_VERIFY_OK(saveSiteJob(before));

        SiteJob job = fieldsJob();
        job.settings.web = before.settings.web;
        job.settings.rowchange = true;
        {
            Database db;
            PAGRION_VERIFY_OK(db.open(folder.folder().configDatabasePath()));
            PAGRION_VERIFY_OK(db.run(u"create trigger refuse before insert on VarTable "
                                     "begin select raise(abort, 'refused'); end"_s));
        }
        const Status failed = saveSiteJob(job);
        QVERIFY(!failed.ok());
        QVERIFY2(failed.error().contains(u"refused"_s), qPrintable(failed.error()));
        QCOMPARE(jobToJson(*readSiteJob(job.settings.web).value()), jobToJson(before));

        job.headLength.reset();
        PAGRION_VERIFY_OK(saveSiteJob(job));
        QVERIFY(readSiteJob(job.settings.web).value()->settings.rowchange);
        QVERIFY(readLayout().value().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestJobFile)
#include "tst_jobfile.moc"
