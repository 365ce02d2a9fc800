#include <QTest>

#include "batch/batchprogress.h"

using namespace Qt::StringLiterals;
using namespace pagrion;

class TestBatchProgress : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void durations_data()
    {
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<QString>("text");
        QTest::newRow("half a second rounds up") << qint64(500) << u"0:01"_s;
        QTest::newRow("minutes") << qint64(754'000) << u"12:34"_s;
        QTest::newRow("hours pad minutes") << qint64(3'725'000) << u"1:02:05"_s;
        QTest::newRow("days stay in hours") << qint64(90'000'000) << u"25:00:00"_s;
        QTest::newRow("below zero") << qint64(-5) << u"0:00"_s;
    }
    void durations()
    {
        QFETCH(qint64, ms);
        QFETCH(QString, text);
        QCOMPARE(durationText(ms), text);
    }

    void progressTexts()
    {
        const RunRate unknown{3000, 0, std::nullopt};
        QCOMPARE(progressBarText(1, 200, unknown), u"1/200  -- 页/秒  剩余 --"_s);

        const RunRate going{9000, 4.2, 39'000};
        QCOMPARE(progressBarText(37, 200, going), u"37/200  4.2 页/秒  剩余 0:39"_s);
        BatchStats stats;
        stats.pages = 37;
        stats.records = 1850;
        stats.skipped = 2;
        stats.failed = 1;
        QCOMPARE(progressFigures(37, 200, stats, going),
                 u"37/200 页  记录 1850  跳过 2  失败 1  4.2 页/秒  已用 0:09  剩余 0:39"_s);
        QCOMPARE(progressFigures(37, 200, stats, going, u"，"_s),
                 u"37/200 页，记录 1850，跳过 2，失败 1，4.2 页/秒，已用 0:09，剩余 0:39"_s);
        QCOMPARE(runTotals(stats), u"共 37 页，1850 条记录，跳过 2 页，失败 1 页"_s);

        // A polite run with a long delay still shows a rate above zero.
        const RunRate slow{60'000, 0.05, 200'000};
        QVERIFY(progressBarText(3, 13, slow).contains(u"0.05 页/秒"_s));
    }
};

QTEST_GUILESS_MAIN(TestBatchProgress)
#include "tst_batchprogress.moc"
