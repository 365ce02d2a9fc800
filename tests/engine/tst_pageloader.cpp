#include <QTest>
#include <QTimer>

#include "engine/pageloader.h"
#include "support/fakes.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;

class TestPageLoader : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void completionWhileBusyDoesNotCount()
    {
        FakeBrowser browser;
        PageLoader loader(browser);
        loader.navigate(u"http://a.test/"_s);
        QVERIFY(!loader.PageLoaded());

        browser.emitDownloadComplete(); // still busy
        QVERIFY(!loader.PageLoaded());

        browser.setBusy(false);
        QVERIFY(!loader.PageLoaded()); // only a completion raises the flag
        browser.emitDownloadComplete();
        QVERIFY(loader.PageLoaded());

        loader.navigate(u"http://b.test/"_s);
        QVERIFY(!loader.PageLoaded());
    }

    void waitEndsWithTheLoad()
    {
        FakeBrowser browser;
        PageLoader loader(browser);
        loader.navigate(u"http://a.test/"_s);
        QTimer::singleShot(10, &browser, [&] { browser.finishLoad(); });
        QCOMPARE(loader.waitUntilLoaded(), PageLoader::WaitEnd::Loaded);
        QCOMPARE(loader.waitWhileBusy(), PageLoader::WaitEnd::Loaded);
    }

    void waitWhileBusyFollowsTheBrowser()
    {
        FakeBrowser browser;
        PageLoader loader(browser);
        browser.setBusy(true);
        QTimer::singleShot(10, &browser, [&] { browser.setBusy(false); });
        QCOMPARE(loader.waitWhileBusy(), PageLoader::WaitEnd::Loaded);
    }

    void interruptEndsTheWait()
    {
        FakeBrowser browser;
        PageLoader loader(browser);
        loader.navigate(u"http://a.test/"_s);
        QTimer::singleShot(10, &loader, [&] { loader.interrupt(); });
        QCOMPARE(loader.waitUntilLoaded(), PageLoader::WaitEnd::Interrupted);
        QVERIFY(!loader.PageLoaded());
        // The busy wait that follows a stopped load does not wait either,
        // until the next navigation.
        QCOMPARE(loader.waitWhileBusy(), PageLoader::WaitEnd::Interrupted);
        loader.navigate(u"http://b.test/"_s);
        QTimer::singleShot(10, &browser, [&] { browser.finishLoad(); });
        QCOMPARE(loader.waitUntilLoaded(), PageLoader::WaitEnd::Loaded);
    }

    void silentBrowserTimesOut()
    {
        FakeBrowser browser;
        browser.setTimeLimitMs(10);
        PageLoader loader(browser);
        loader.navigate(u"http://a.test/"_s);
        QCOMPARE(loader.waitUntilLoaded(), PageLoader::WaitEnd::TimedOut);
    }
};

QTEST_GUILESS_MAIN(TestPageLoader)
#include "tst_pageloader.moc"
