#include <QTest>

#include "batch/batchresume.h"

using namespace Qt::StringLiterals;
using namespace pagrion;

Q_DECLARE_METATYPE(pagrion::BatchSettings)

// A run published on a result server is worked by processes that know only
// its recorded settings: read back, they must be the run that was recorded.
class TestBatchResume : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void recordedSettingsReadBackAsTheSameRun_data()
    {
        QTest::addColumn<BatchSettings>("settings");
        BatchSettings layout;
        layout.address = u"http://host/list(*).html"_s;
        layout.from = u"1"_s;
        layout.to = u" 20"_s;
        layout.tableNames = u"TableName0|TableName2"_s;
        layout.rowFilter = u"TableName0-1"_s;
        layout.swap = true;
        layout.skipEmptyFirstField = true;
        layout.layout = Layout{{u"2,0"_s, std::nullopt, u"2,1|2,2"_s}, {u"3,0"_s}};
        QTest::newRow("layout with an empty cell") << layout;

        BatchSettings fields;
        fields.mode = BatchSettings::Mode::Links;
        fields.address = u"http://host/index.html"_s;
        fields.tableNames = u"TableName1"_s;
        fields.classValue = u"p"_s;
        fields.records = RecordSource::Fields;
        fields.fields = QList<Field>{{u"1"_s, u"标题"_s}, {u"2"_s, u"价格"_s}};
        fields.headLength = 12;
        QTest::newRow("links, fields and head length") << fields;

        BatchSettings rows;
        rows.tableNames = u"TableName0"_s;
        rows.records = RecordSource::EveryRow;
        rows.everyRow = {1, u"名称|3"_s};
        rows.sourceColumns = false;
        QTest::newRow("every row without source columns") << rows;
        rows.sourceColumns = std::nullopt;
        rows.everyRow = {};
        QTest::newRow("every row, automatic header, source columns") << rows;
    }
    void recordedSettingsReadBackAsTheSameRun()
    {
        QFETCH(BatchSettings, settings);
        const QString recorded = recordedSettings(settings);
        const std::optional<BatchSettings> read = settingsFromRecorded(recorded);
        QVERIFY(read);
        QCOMPARE(recordedSettings(*read), recorded);
        QCOMPARE(read->layout, settings.layout);
        QCOMPARE(read->fields, settings.fields);
        QCOMPARE(read->headLength, settings.headLength);
        QCOMPARE(addsSourceColumns(read->records, read->sourceColumns),
                 addsSourceColumns(settings.records, settings.sourceColumns));
    }

    void textThatIsNoRecordIsRefused()
    {
        QVERIFY(!settingsFromRecorded(u"{}"_s));
        QVERIFY(!settingsFromRecorded(u"not json"_s));
        QVERIFY(!settingsFromRecorded(u"{\"mode\":\"parameter\",\"records\":\"pictures\"}"_s));
    }
};

QTEST_GUILESS_MAIN(TestBatchResume)
#include "tst_batchresume.moc"
