#include <QTest>

#include "core/pace.h"

using namespace pagrion;

// The meter against a clock the test moves by hand.
class TestPace : public QObject
{
    Q_OBJECT

private:
    qint64 now = 1'000'000; // any starting point
    PaceMeter meter{[this] { return now; }};

    // One page done every stepMs, count times.
    void pages(int count, qint64 stepMs)
    {
        for (int i = 0; i < count; ++i) {
            now += stepMs;
            meter.pageDone();
        }
    }

private Q_SLOTS:
    void init()
    {
        now = 1'000'000;
        meter.start();
    }

    void nothingKnownBeforeTheFirstPage()
    {
        now += 4000;
        const Pace pace = meter.pace(10);
        QCOMPARE(pace.elapsedMs, 4000);
        QCOMPARE(pace.pagesPerSecond, 0.0);
        QVERIFY(!pace.remainingMs);
    }

    void steadyRunGivesRateAndTimeLeft()
    {
        pages(10, 500);
        const Pace pace = meter.pace(90);
        QCOMPARE(pace.elapsedMs, 5000);
        QCOMPARE(pace.pagesPerSecond, 2.0);
        QCOMPARE(pace.remainingMs, std::optional<qint64>(45'000));
        QCOMPARE(meter.pace(0).remainingMs, std::optional<qint64>(0));
    }

    // After a slow minute the site speeds up: the rate follows within the
    // window, the elapsed time stays the whole run's.
    void rateFollowsTheLastHalfMinute()
    {
        pages(60, 1000);
        pages(400, 100);
        const Pace pace = meter.pace(100);
        QCOMPARE(pace.elapsedMs, 100'000);
        QVERIFY2(qAbs(pace.pagesPerSecond - 10.0) < 0.5, qPrintable(QString::number(pace.pagesPerSecond)));
        QVERIFY(*pace.remainingMs >= 9'500 && *pace.remainingMs <= 10'500);
    }

    // A run waiting on a page that does not come slows down as time passes,
    // so the time left grows instead of standing still.
    void stalledRunSlowsDown()
    {
        pages(60, 500);
        const Pace before = meter.pace(40);
        now += 60'000;
        const Pace stalled = meter.pace(40);
        QVERIFY(stalled.pagesPerSecond < before.pagesPerSecond / 2);
        QVERIFY(*stalled.remainingMs > 2 * *before.remainingMs);
    }
};

QTEST_GUILESS_MAIN(TestPace)
#include "tst_pace.moc"
