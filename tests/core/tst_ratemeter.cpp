#include <QTest>

#include "core/ratemeter.h"

using namespace pagrion;

// The meter against a clock the test moves by hand.
class TestRateMeter : public QObject
{
    Q_OBJECT

private:
    qint64 now = 1'000'000; // any starting point
    RateMeter meter{[this] { return now; }};

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
        const RunRate rate = meter.rate(10);
        QCOMPARE(rate.elapsedMs, 4000);
        QCOMPARE(rate.pagesPerSecond, 0.0);
        QVERIFY(!rate.remainingMs);
    }

    void steadyRunGivesRateAndTimeLeft()
    {
        pages(10, 500);
        const RunRate rate = meter.rate(90);
        QCOMPARE(rate.elapsedMs, 5000);
        QCOMPARE(rate.pagesPerSecond, 2.0);
        QCOMPARE(rate.remainingMs, std::optional<qint64>(45'000));
        QCOMPARE(meter.rate(0).remainingMs, std::optional<qint64>(0));
    }

    // After a slow minute the site speeds up: the rate follows within the
    // window, the elapsed time stays the whole run's.
    void rateFollowsTheLastHalfMinute()
    {
        pages(60, 1000);
        pages(400, 100);
        const RunRate rate = meter.rate(100);
        QCOMPARE(rate.elapsedMs, 100'000);
        QVERIFY2(qAbs(rate.pagesPerSecond - 10.0) < 0.5, qPrintable(QString::number(rate.pagesPerSecond)));
        QVERIFY(*rate.remainingMs >= 9'500 && *rate.remainingMs <= 10'500);
    }

    // A run waiting on a page that does not come slows down as time passes,
    // so the time left grows instead of standing still.
    void stalledRunSlowsDown()
    {
        pages(60, 500);
        const RunRate before = meter.rate(40);
        now += 60'000;
        const RunRate stalled = meter.rate(40);
        QVERIFY(stalled.pagesPerSecond < before.pagesPerSecond / 2);
        QVERIFY(*stalled.remainingMs > 2 * *before.remainingMs);
    }
};

QTEST_GUILESS_MAIN(TestRateMeter)
#include "tst_ratemeter.moc"
