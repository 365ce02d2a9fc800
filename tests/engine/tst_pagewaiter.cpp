#include <QTest>
#include <QTimer>

#include "engine/pagewaiter.h"
#include "support/fakes.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;

class TestPageWaiter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void completionWhileBusyDoesNotCount()
    {
        FakeBrowser browser;
        PageWaiter waiter(browser);
        waiter.navigate(u"http://a.test/"_s);
        QVERIFY(!waiter.PageLoaded());

        browser.emitDownloadComplete(); // still busy
        QVERIFY(!waiter.PageLoaded());

        browser.setBusy(false);
        QVERIFY(!waiter.PageLoaded()); // only a completion raises the flag
        browser.emitDownloadComplete();
        QVERIFY(waiter.PageLoaded());

        waiter.navigate(u"http://b.test/"_s);
        QVERIFY(!waiter.PageLoaded());
    }

    void waitEndsWithTheLoad()
    {
        FakeBrowser browser;
        PageWaiter waiter(browser);
        waiter.navigate(u"http://a.test/"_s);
        QTimer::singleShot(10, &browser, [&] { browser.finishLoad(); });
        QCOMPARE(waiter.waitUntilLoaded(), PageWaiter::WaitEnd::Loaded);
        QCOMPARE(waiter.waitWhileBusy(), PageWaiter::WaitEnd::Loaded);
    }

    void waitWhileBusyFollowsTheBrowser()
    {
        FakeBrowser browser;
        PageWaiter waiter(browser);
        browser.setBusy(true);
        QTimer::singleShot(10, &browser, [&] { browser.setBusy(false); });
        QCOMPARE(waiter.waitWhileBusy(), PageWaiter::WaitEnd::Loaded);
    }

    void interruptEndsTheWait()
    {
        FakeBrowser browser;
        PageWaiter waiter(browser);
        waiter.navigate(u"http://a.test/"_s);
        QTimer::singleShot(10, &waiter, [&] { waiter.interrupt(); });
        QCOMPARE(waiter.waitUntilLoaded(), PageWaiter::WaitEnd::Interrupted);
        QVERIFY(!waiter.PageLoaded());
        // The busy wait that follows a stopped load does not wait either,
        // until the next navigation.
        QCOMPARE(waiter.waitWhileBusy(), PageWaiter::WaitEnd::Interrupted);
        waiter.navigate(u"http://b.test/"_s);
        QTimer::singleShot(10, &browser, [&] { browser.finishLoad(); });
        QCOMPARE(waiter.waitUntilLoaded(), PageWaiter::WaitEnd::Loaded);
    }

    void silentBrowserTimesOut()
    {
        FakeBrowser browser;
        browser.setTimeLimitMs(10);
        PageWaiter waiter(browser);
        waiter.navigate(u"http://a.test/"_s);
        QCOMPARE(waiter.waitUntilLoaded(), PageWaiter::WaitEnd::TimedOut);
    }
};

QTEST_GUILESS_MAIN(TestPageWaiter)
#include "tst_pagewaiter.moc"
