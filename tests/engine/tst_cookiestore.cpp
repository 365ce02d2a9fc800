#include <algorithm>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "engine/cookiefile.h"
#include "engine/cookiestore.h"
#include "engine/staticbrowser.h"
#include "support/loginsite.h"
#include "support/resultcheck.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;

namespace {

constexpr int LoadDeadlineMs = 10'000;

StoredCookie cookie(const QByteArray &name, const QByteArray &value = "1", qint64 expires = 0)
{
    StoredCookie made;
    made.domain = ".example.com";
    made.name = name;
    made.value = value;
    made.expires = expires;
    return made;
}

// The names of the cookies in the file, in the file's order.
QByteArrayList namesInFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {"<no file>"};
    QByteArrayList names;
    for (const StoredCookie &stored : parseCookieFile(file.readAll()))
        names << stored.name + '=' + stored.value;
    return names;
}

QByteArrayList namesIn(const CookieStore &store)
{
    QByteArrayList names;
    for (const StoredCookie &stored : store.cookies())
        names << stored.name + '=' + stored.value;
    std::sort(names.begin(), names.end());
    return names;
}

bool writeFile(const QString &path, const QByteArray &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

QString pageText(StaticBrowser &browser, const QString &address)
{
    QSignalSpy completed(&browser, &Browser::DownloadComplete);
    browser.Navigate(address);
    if (!completed.wait(LoadDeadlineMs))
        return u"<not loaded>"_s;
    return browser.document()->bodyText().value_or(u"<no body>"_s);
}

} // namespace

class TestCookieStore : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    LoginSite m_site;

    QString path() const { return m_dir.filePath(u"cookies.txt"_s); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(m_site.isListening());
    }
    void cleanup() { QFile::remove(path()); }

    // Lines as curl and browsers' export tools write them, and the line
    // curl reads back for each; an empty one where a line holds no cookie.
    void linesOfCookieFiles_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("read");
        const QByteArray curlLine = ".example.com\tTRUE\t/\tFALSE\t1999999999\tid\t42";
        QTest::newRow("curl's domain cookie") << curlLine << curlLine;
        QTest::newRow("host only, secure, session") << QByteArray("example.com\tFALSE\t/shop\tTRUE\t0\tsid\tx")
                                                    << QByteArray("example.com\tFALSE\t/shop\tTRUE\t0\tsid\tx");
        QTest::newRow("HttpOnly, domain in capitals")
            << QByteArray("#HttpOnly_.Example.COM\tTRUE\t/\tTRUE\t0\tsid\tx")
            << QByteArray("#HttpOnly_.example.com\tTRUE\t/\tTRUE\t0\tsid\tx");
        QTest::newRow("CR LF of a Windows tool") << curlLine + "\r\n" << curlLine;
        QTest::newRow("no value") << QByteArray("example.com\tFALSE\t/\tFALSE\t0\tempty")
                                  << QByteArray("example.com\tFALSE\t/\tFALSE\t0\tempty\t");
        QTest::newRow("expiry with a fraction") << QByteArray(".example.com\tTRUE\t/\tFALSE\t1999999999.25\tid\t42")
                                                << curlLine;
        // The flag decides whether subdomains get the cookie, not the dot.
        QTest::newRow("dot but host only") << QByteArray(".example.com\tFALSE\t/\tFALSE\t0\ta\t1")
                                           << QByteArray("example.com\tFALSE\t/\tFALSE\t0\ta\t1");
        QTest::newRow("header") << QByteArray("# Netscape HTTP Cookie File") << QByteArray();
        QTest::newRow("too few fields") << QByteArray("example.com\tFALSE\t/\tFALSE\t0") << QByteArray();
        QTest::newRow("flag that is none") << QByteArray("example.com\tyes\t/\tFALSE\t0\ta\t1") << QByteArray();
        QTest::newRow("blanks for tabs") << QByteArray("example.com FALSE / FALSE 0 a 1") << QByteArray();
    }

    void linesOfCookieFiles()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, read);
        const std::optional<StoredCookie> parsed = parseCookieLine(line);
        QCOMPARE(parsed ? cookieLine(*parsed) : QByteArray(), read);
        if (parsed)
            QCOMPARE(parseCookieLine(cookieLine(*parsed)), parsed);
    }

    // Two processes with one data folder: each merges its changes into what
    // the other wrote, and takes in the other's when it looks again.
    void twoProcessesLoseNoChanges()
    {
        CookieStore window(path());
        CookieStore cli(path());
        window.set(cookie("a"));
        cli.set(cookie("b"));
        PAGRION_VERIFY_OK(window.write());
        PAGRION_VERIFY_OK(cli.write());
        QCOMPARE(namesInFile(path()), (QByteArrayList{"a=1", "b=1"}));

        QSignalSpy changed(&window, &CookieStore::changed);
        window.refresh();
        QCOMPARE(namesIn(window), (QByteArrayList{"a=1", "b=1"}));
        QCOMPARE(changed.count(), 1);

        cli.update({cookie("b", "2")}, {cookie("a").key()});
        window.set(cookie("c"));
        // Without a write asked for, the changes are in the file shortly after.
        QTRY_COMPARE(namesInFile(path()), (QByteArrayList{"b=2", "c=1"}));
    }

    void forgettingReachesEveryProcess()
    {
        CookieStore window(path());
        CookieStore cli(path());
        cli.set(cookie("sid"));
        PAGRION_VERIFY_OK(cli.write());
        window.refresh();
        PAGRION_VERIFY_OK(window.clear());
        QCOMPARE(namesInFile(path()), QByteArrayList());

        cli.refresh();
        QCOMPARE(namesIn(cli), QByteArrayList());
        // A file removed by hand forgets them as well.
        cli.set(cookie("new"));
        PAGRION_VERIFY_OK(cli.write());
        window.refresh();
        QCOMPARE(namesIn(window), QByteArrayList{"new=1"});
        QVERIFY(QFile::remove(path()));
        window.refresh();
        QCOMPARE(namesIn(window), QByteArrayList());
    }

    // Session cookies survive a restart; expired ones go; only the user may
    // read the file.
    void whatIsKept()
    {
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        {
            CookieStore store(path());
            store.update({cookie("session"), cookie("later", "1", now + 3600), cookie("gone", "1", now + 3600)});
            store.set(cookie("gone", "2", now - 1));
            store.set(cookie("past", "1", now - 1));
        }
        CookieStore restarted(path());
        QCOMPARE(namesIn(restarted), (QByteArrayList{"later=1", "session=1"}));
        const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
        QCOMPARE(QFileInfo(path()).permissions() & others, QFile::Permissions());
    }

    void importTakesCookieFilesOnly()
    {
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        const QString exported = m_dir.filePath(u"exported.txt"_s);
        QVERIFY(writeFile(exported, "# Netscape HTTP Cookie File\r\n# exported by a browser\r\n\r\n"
                                    ".example.com\tTRUE\t/\tFALSE\t"
                                        + QByteArray::number(now + 3600) + "\ttoken\tt1\r\n"
                                    ".example.com\tTRUE\t/\tFALSE\t"
                                        + QByteArray::number(now - 3600) + "\told\to1\r\n"));
        CookieStore store(path());
        const Result<int> imported = store.importFile(exported);
        PAGRION_VERIFY_OK(imported);
        QCOMPARE(imported.value(), 1);
        QCOMPARE(namesInFile(path()), QByteArrayList{"token=t1"});

        const QString json = m_dir.filePath(u"cookies.json"_s);
        QVERIFY(writeFile(json, R"([{"domain": ".example.com", "name": "token"}])"));
        const Result<int> refused = store.importFile(json);
        QVERIFY(!refused.ok());
        QVERIFY2(refused.error().contains(u"不是 Netscape 格式的 cookie 文件"_s), qPrintable(refused.error()));
        QVERIFY(!store.importFile(m_dir.filePath(u"missing.txt"_s)).ok());
        QCOMPARE(namesInFile(path()), QByteArrayList{"token=t1"});
    }

    // A login of the fast engine is in the store while the run goes on, and
    // the next run, a process of its own, is logged in with it.
    void theFastEngineKeepsItsLogins()
    {
        const QString account = m_site.url(u"/account.html"_s);
        {
            CookieStore store(path());
            StaticBrowser browser;
            QVERIFY(pageText(browser, m_site.loginUrl()).contains(QString::fromUtf8(LoginSite::LoggedIn)));
            const StoredCookie session = *parseCookieLine(m_site.sessionCookieLine());
            QTRY_COMPARE(store.cookies().value(session.key()), session);
        }
        CookieStore store(path());
        StaticBrowser browser;
        QVERIFY(pageText(browser, account).contains(QString::fromUtf8(LoginSite::LoggedIn)));
    }

    // What another process writes is sent from the next page on.
    void theFastEngineSeesLoginsOfOthers()
    {
        const QString account = m_site.url(u"/account.html"_s);
        CookieStore mine(path());
        StaticBrowser browser;
        QVERIFY(pageText(browser, account).contains(QString::fromUtf8(LoginSite::LoggedOut)));
        {
            CookieStore other(path());
            other.set(*parseCookieLine(m_site.sessionCookieLine()));
        }
        QVERIFY(pageText(browser, account).contains(QString::fromUtf8(LoginSite::LoggedIn)));
        {
            CookieStore other(path());
            PAGRION_VERIFY_OK(other.clear());
        }
        QVERIFY(pageText(browser, account).contains(QString::fromUtf8(LoginSite::LoggedOut)));
        QCOMPARE(CookieStore::current(), &mine);
    }
};

QTEST_GUILESS_MAIN(TestCookieStore)
#include "tst_cookiestore.moc"
