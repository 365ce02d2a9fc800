#include <memory>

#include <QFile>
#include <QTest>

#include "cli/clirun.h"
#include "engine/cookiefile.h"
#include "support/loginsite.h"
#include "support/tempprogramfolder.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;

// Logins as a user of pagrion-cli meets them: made with one engine, seen by
// the other in the next run; brought in from a browser's cookie file.
class TestCliLogins : public QObject
{
    Q_OBJECT

private:
    LoginSite m_site;
    std::unique_ptr<TempProgramFolder> m_folder;

    // The paragraphs of a page, loaded with the engine.
    CliRun paragraphs(const QString &address, const QString &engine, const QStringList &more = {}) const
    {
        return runCli(QStringList{u"extract"_s, address, u"--tag"_s, u"p"_s, u"--engine"_s, engine, u"--data"_s,
                                  m_folder->folder().root()}
                      + more);
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_site.isListening()); }
    void init()
    {
        m_folder = std::make_unique<TempProgramFolder>();
        QVERIFY2(m_folder->isValid(), qPrintable(m_folder->error()));
    }
    void cleanup() { m_folder.reset(); }

    void aLoginHoldsForTheNextRun_data()
    {
        QTest::addColumn<QString>("loginEngine");
        QTest::addColumn<QString>("nextEngine");
        QTest::newRow("browser, then static") << u"browser"_s << u"static"_s;
        QTest::newRow("static, then browser") << u"static"_s << u"browser"_s;
        QTest::newRow("browser, then browser") << u"browser"_s << u"browser"_s;
    }

    void aLoginHoldsForTheNextRun()
    {
        QFETCH(QString, loginEngine);
        QFETCH(QString, nextEngine);
        const QString account = m_site.url(u"/account.html"_s);
        CliRun run = paragraphs(account, nextEngine);
        QCOMPARE(run.out, QByteArray(LoginSite::LoggedOut) + "<rows>\r\n");

        run = paragraphs(m_site.loginUrl(), loginEngine);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QByteArray(LoginSite::LoggedIn) + "<rows>\r\n");
        run = paragraphs(account, nextEngine);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QByteArray(LoginSite::LoggedIn) + "<rows>\r\n");
    }

    // A cookie file exported from a browser, with CR LF line ends: the login
    // is used at once and kept for later runs.
    void cookiesAreImported()
    {
        const QString exported = m_folder->folder().tempFolder() + u"/exported.txt"_s;
        QFile file(exported);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("# Netscape HTTP Cookie File\r\n" + m_site.sessionCookieLine() + "\r\n");
        file.close();
        const QString account = m_site.url(u"/account.html"_s);
        CliRun run = paragraphs(account, u"static"_s, {u"--cookies"_s, exported});
        QCOMPARE(run.out, QByteArray(LoginSite::LoggedIn) + "<rows>\r\n");
        QVERIFY2(run.err.contains("导入 1 个 cookie"), run.err.constData());
        run = paragraphs(account, u"browser"_s);
        QCOMPARE(run.out, QByteArray(LoginSite::LoggedIn) + "<rows>\r\n");

        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(R"([{"domain": "127.0.0.1", "name": "sid"}])");
        file.close();
        run = paragraphs(account, u"static"_s, {u"--cookies"_s, exported});
        QCOMPARE(run.exitCode, 4);
        QVERIFY2(run.err.contains("不是 Netscape 格式的 cookie 文件"), run.err.constData());
        QCOMPARE(run.out, QByteArray());
    }
};

QTEST_GUILESS_MAIN(TestCliLogins)
#include "tst_clilogins.moc"
