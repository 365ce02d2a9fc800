#include <QTest>

#include "engine/hostpace.h"

using namespace Qt::StringLiterals;
using namespace pagrion;

namespace {

qint64 booked(HostPace &pace, const QString &host, int pauseMs)
{
    qint64 wait = -1;
    pace.book(host, pauseMs, [&](qint64 answered) { wait = answered; });
    return wait;
}

} // namespace

class TestHostPace : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void startsAreAPauseApartPerHost()
    {
        LocalHostPace pace;
        QVERIFY(pace.paces(u"a"_s, 500));
        QVERIFY(!pace.paces(u"a"_s, 0));
        QCOMPARE(booked(pace, u"a"_s, 500), 0);
        // Each start booked goes behind the one before it; another host waits for none.
        QVERIFY(booked(pace, u"a"_s, 500) > 400);
        QVERIFY(booked(pace, u"a"_s, 500) > 900);
        QCOMPARE(booked(pace, u"b"_s, 500), 0);
        // Without a pause a host waits only for the starts booked already.
        QVERIFY(booked(pace, u"a"_s, 0) > 1400);
        QCOMPARE(booked(pace, QString(), 500), 0);
    }

    void holdOffHoldsTheHostEvenWithoutAPause()
    {
        LocalHostPace pace;
        pace.holdOff(u"a"_s, 60'000);
        QVERIFY(pace.paces(u"a"_s, 0));
        QVERIFY(!pace.paces(u"b"_s, 0));
        QVERIFY(booked(pace, u"a"_s, 0) > 59'000);
        // A shorter hold-off after it does not cut it short.
        pace.holdOff(u"a"_s, 1'000);
        QVERIFY(pace.waitMs(u"a"_s) > 59'000);
    }
};

QTEST_GUILESS_MAIN(TestHostPace)
#include "tst_hostpace.moc"
