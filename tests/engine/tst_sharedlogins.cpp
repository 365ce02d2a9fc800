#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "engine/cookiestore.h"
#include "engine/staticbrowser.h"
#include "engine/webengine/webenginebrowser.h"
#include "support/loginsite.h"
#include "support/resultcheck.h"
#include "support/webenginetest.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;

namespace {

constexpr int LoadDeadlineMs = 15'000;
const QString LoggedIn = QString::fromUtf8(LoginSite::LoggedIn);
const QString LoggedOut = QString::fromUtf8(LoginSite::LoggedOut);

QString bodyOf(const Browser &browser)
{
    return browser.document()->bodyText().value_or(u"<no body>"_s);
}

// Outlives the application: the engine still writes into the profile's
// folder while it shuts down.
const QTemporaryDir &folder()
{
    static const QTemporaryDir dir;
    return dir;
}

QString pageText(Browser &browser, const QString &address)
{
    QSignalSpy completed(&browser, &Browser::DownloadComplete);
    browser.Navigate(address);
    return completed.wait(LoadDeadlineMs) ? bodyOf(browser) : u"<not loaded>"_s;
}

} // namespace

// The full browser and the fast engine share one login through the
// program's cookie store, within a process and across processes.
class TestSharedLogins : public QObject
{
    Q_OBJECT

private:
    LoginSite m_site;
    std::unique_ptr<CookieStore> m_store;

    QString account() const { return m_site.url(u"/account.html"_s); }
    StoredCookie session() const { return *parseCookieLine(m_site.sessionCookieLine()); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_site.isListening());
        QVERIFY(folder().isValid());
        m_store = std::make_unique<CookieStore>(folder().filePath(u"cookies.txt"_s));
    }
    void init() { PAGRION_VERIFY_OK(m_store->clear()); }
    void cleanupTestCase() { m_store.reset(); }

    // A user fills in the site's form in the window's browser.
    void aFormLoginInTheBrowserIsTheFastEngines()
    {
        WebEngineBrowser browser;
        QVERIFY(pageText(browser, m_site.url(u"/login.html"_s)).contains(u"登录"_s));
        browser.view()->page()->runJavaScript(
            u"var f = document.forms[0]; f.user.value = 'alice'; f.password.value = 'secret'; f.submit();"_s);
        QTRY_VERIFY_WITH_TIMEOUT(bodyOf(browser).contains(LoggedIn), LoadDeadlineMs);
        QTRY_COMPARE(m_store->cookies().value(session().key()), session());

        StaticBrowser fast;
        QVERIFY(pageText(fast, account()).contains(LoggedIn));
    }

    void aLoginOfTheFastEngineIsTheBrowsers()
    {
        WebEngineBrowser browser;
        QVERIFY(pageText(browser, account()).contains(LoggedOut));
        StaticBrowser fast;
        QVERIFY(pageText(fast, m_site.loginUrl()).contains(LoggedIn));
        QTRY_VERIFY(m_store->cookies().contains(session().key()));
        QVERIFY(pageText(browser, account()).contains(LoggedIn));
        // A cookie the site sets for later reaches the other engine with its expiry.
        QVERIFY(pageText(fast, m_site.url(u"/visit.html"_s)).contains(u"欢迎光临"_s));
        QTRY_VERIFY(m_store->cookies().contains("127.0.0.1\t/\tseen"));
        QVERIFY(m_store->cookies().value("127.0.0.1\t/\tseen").expires > 0);
    }

    void forgettingLogsBothEnginesOut()
    {
        m_store->set(session());
        WebEngineBrowser browser;
        StaticBrowser fast;
        QVERIFY(pageText(browser, account()).contains(LoggedIn));
        PAGRION_VERIFY_OK(m_store->clear());
        QVERIFY(pageText(browser, account()).contains(LoggedOut));
        QVERIFY(pageText(fast, account()).contains(LoggedOut));
    }

    // pagrion-cli logs in while the window is open: the window's next page
    // is logged in.
    void aLoginOfAnotherProcessIsSeenOnTheNextPage()
    {
        WebEngineBrowser browser;
        QVERIFY(pageText(browser, account()).contains(LoggedOut));
        {
            CookieStore other(m_store->filePath());
            other.set(session());
        }
        QVERIFY(pageText(browser, account()).contains(LoggedIn));
    }
};

PAGRION_WEBENGINE_TEST_MAIN(TestSharedLogins)
#include "tst_sharedlogins.moc"
