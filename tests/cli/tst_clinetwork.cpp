#include <QFile>
#include <QScopeGuard>
#include <QTcpServer>
#include <QTest>

#include "cli/clirun.h"
#include "support/testhttpserver.h"
#include "support/testproxy.h"
#include "support/tlsfixtures.h"

using namespace Qt::StringLiterals;
using namespace pagrion::test;

namespace {

const QByteArray Page = "<html><body><table><tr><td>经过代理</td></tr></table></body></html>";

const char *const NetworkVariables[]{"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY",
                                     "no_proxy",   "NO_PROXY",    "SSL_CERT_FILE", "CURL_CA_BUNDLE", "SSL_CERT_DIR"};

// Sets "name=value" pairs for the programs this test starts, until the guard goes.
auto environment(const QStringList &variables)
{
    for (const QString &variable : variables)
        qputenv(variable.section(u'=', 0, 0).toLatin1().constData(), variable.section(u'=', 1).toUtf8());
    return qScopeGuard([variables] {
        for (const QString &variable : variables)
            qunsetenv(variable.section(u'=', 0, 0).toLatin1().constData());
    });
}

// The table's text when the page loaded; otherwise the program's message.
QString analyse(const QString &engine, const QString &address, const QStringList &options = {})
{
    const CliRun run = runCli(QStringList{u"analyse"_s, address, u"--engine"_s, engine} + options);
    if (run.exitCode == 0)
        return QString::fromUtf8(run.out).contains(u"经过代理"_s) ? u"loaded"_s : QString::fromUtf8(run.out);
    return u"exit %1: %2"_s.arg(run.exitCode).arg(QString::fromUtf8(run.err).trimmed());
}

// The first column of a test's data, "engine", and rows for each engine.
void addEngines(const std::function<void()> &addOtherColumns, const std::function<void(const QString &engine)> &addRows)
{
    QTest::addColumn<QString>("engine");
    addOtherColumns();
    for (const QString &engine : {u"static"_s, u"browser"_s})
        addRows(engine);
}

} // namespace

// Proxies, the User-Agent and certificates as a user meets them: through
// pagrion-cli, in both engines alike.
class TestCliNetwork : public QObject
{
    Q_OBJECT

private:
    TestHttpServer m_plain;
    TestHttpServer m_secure{tlsFixture(u"server"_s)};

private Q_SLOTS:
    void initTestCase()
    {
        for (const char *name : NetworkVariables)
            qunsetenv(name);
        m_plain.setPage(u"/page"_s, Page);
        m_secure.setPage(u"/page"_s, Page);
    }

    // site.test is known to the proxy alone: it loads only when the proxy
    // resolves the name.
    void proxyFromTheOptionOrTheEnvironment_data()
    {
        const auto columns = [] {
            QTest::addColumn<QStringList>("options");
            QTest::addColumn<QStringList>("variables"); // %1: the proxy's port
            QTest::addColumn<bool>("secure");
            QTest::addColumn<QString>("passed"); // %1: the page's port
        };
        addEngines(columns, [](const QString &engine) {
            const auto row = [&](const char *name) -> QTestData & { return QTest::addRow("%s, %s", qPrintable(engine), name) << engine; };
            row("--proxy http") << QStringList{u"--proxy"_s, u"127.0.0.1:%1"_s} << QStringList() << false
                                << u"http://site.test:%1/page"_s;
            row("--proxy socks5h, https") << QStringList{u"--proxy"_s, u"socks5h://127.0.0.1:%1"_s} << QStringList()
                                          << true << u"site.test:%1"_s;
            row("http_proxy") << QStringList() << QStringList{u"http_proxy=http://127.0.0.1:%1"_s} << false
                              << u"http://site.test:%1/page"_s;
            row("https_proxy, tunnel") << QStringList() << QStringList{u"https_proxy=127.0.0.1:%1"_s} << true
                                       << u"site.test:%1"_s;
        });
    }
    void proxyFromTheOptionOrTheEnvironment()
    {
        QFETCH(QString, engine);
        QFETCH(QStringList, options);
        QFETCH(QStringList, variables);
        QFETCH(bool, secure);
        QFETCH(QString, passed);
        TestProxy proxy;
        proxy.addHost(u"site.test"_s);
        const QString port = QString::number(proxy.port());
        const auto set = environment(variables.replaceInStrings(u"%1"_s, port) << u"SSL_CERT_FILE="_s + testAuthorityFile());
        const TestHttpServer &server = secure ? m_secure : m_plain;
        const QString address = u"%1://site.test:%2/page"_s.arg(secure ? u"https"_s : u"http"_s).arg(server.port());
        QCOMPARE(analyse(engine, address, options.replaceInStrings(u"%1"_s, port)), u"loaded"_s);
        QVERIFY2(proxy.passedTargets().contains(passed.arg(server.port())), qPrintable(proxy.passedTargets().join(u' ')));
    }

    // --proxy "" goes straight to the site whatever the environment says.
    void noProxyOverridesTheEnvironment_data()
    {
        addEngines([] {}, [](const QString &engine) { QTest::newRow(qPrintable(engine)) << engine; });
    }
    void noProxyOverridesTheEnvironment()
    {
        QFETCH(QString, engine);
        TestProxy proxy;
        const auto set = environment({u"http_proxy="_s + proxy.url(), u"all_proxy="_s + proxy.url()});
        QCOMPARE(analyse(engine, m_plain.url(u"/page"_s), {u"--proxy"_s, QString()}), u"loaded"_s);
        QVERIFY(proxy.passages().isEmpty());
    }

    void proxyFailuresNameTheProxy_data()
    {
        const auto columns = [] {
            QTest::addColumn<QString>("scheme");
            QTest::addColumn<QString>("trouble");
            QTest::addColumn<QString>("reason"); // %1: the proxy's host and port; empty: loads
        };
        addEngines(columns, [](const QString &engine) {
            const auto row = [&](const char *name) -> QTestData & { return QTest::addRow("%s, %s", qPrintable(engine), name) << engine; };
            row("unreachable") << u"http"_s << u"unreachable"_s << u"无法连接代理服务器 %1"_s;
            row("refusing") << u"http"_s << u"refusing"_s << u"代理服务器 %1 没有转发这个网页"_s;
            row("wrong login") << u"http"_s << u"wrong"_s << u"代理服务器 %1 拒绝登录：需要正确的用户名和密码"_s;
            row("right login") << u"http"_s << u"login"_s << QString();
            row("socks login") << u"socks5h"_s << u"login"_s
                               << (engine == u"static" ? QString() : u"代理服务器 %1 没有转发这个网页（完整浏览器无法登录 SOCKS 代理服务器）"_s);
        });
    }
    void proxyFailuresNameTheProxy()
    {
        QFETCH(QString, engine);
        QFETCH(QString, scheme);
        QFETCH(QString, trouble);
        QFETCH(QString, reason);
        TestProxy proxy;
        proxy.addHost(u"site.test"_s);
        proxy.setCredentials("me", "s:cret");
        proxy.setRefusing(trouble == u"refusing");
        QUrl address(proxy.url(scheme));
        if (trouble == u"unreachable") {
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost));
            address.setPort(closed.serverPort());
        } else {
            address.setUserName(u"me"_s);
            address.setPassword(trouble == u"wrong" ? u"wrong"_s : u"s:cret"_s);
        }
        const auto set = environment({u"SSL_CERT_FILE="_s + testAuthorityFile()});
        const QString outcome = analyse(engine, u"https://site.test:%1/page"_s.arg(m_secure.port()),
                                        {u"--proxy"_s, address.toString()});
        if (reason.isEmpty())
            QCOMPARE(outcome, u"loaded"_s);
        else
            QVERIFY2(outcome.startsWith(u"exit 3"_s) && outcome.contains(reason.arg(u"127.0.0.1:%1"_s.arg(address.port()))),
                     qPrintable(outcome));
    }

    // Unless the user sets one, both engines send the full browser's own, so
    // that a site sends them the same page.
    void bothEnginesSendTheSameUserAgent_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("expected"); // empty: the full browser's own
        QTest::newRow("the full browser's") << QStringList() << QString();
        QTest::newRow("--user-agent") << QStringList{u"--user-agent"_s, u"Pagrion-Test/1.0 (测试)"_s}
                                      << u"Pagrion-Test/1.0 (测试)"_s;
    }
    void bothEnginesSendTheSameUserAgent()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, expected);
        TestHttpServer server;
        server.setPage(u"/page"_s, Page);
        QStringList sent;
        for (const QString &engine : {u"static"_s, u"browser"_s}) {
            QCOMPARE(analyse(engine, server.url(u"/page"_s), options), u"loaded"_s);
            sent << QString::fromUtf8(server.requestsFor(u"/page"_s).constLast().headers.value("user-agent"));
        }
        QCOMPARE(sent.at(0), sent.at(1));
        if (expected.isEmpty())
            QVERIFY2(sent.at(0).contains(u"QtWebEngine/"_s) && sent.at(0).contains(u"Chrome/"_s), qPrintable(sent.at(0)));
        else
            QCOMPARE(sent.at(0), expected);
    }

    // The full browser trusts the certificates the static engine trusts, and
    // names what is wrong with one as it does.
    void certificatesAlikeInBothEngines_data()
    {
        const auto columns = [] {
            QTest::addColumn<QString>("certificate");
            QTest::addColumn<bool>("authorityKnown");
            QTest::addColumn<QString>("outcome");
        };
        addEngines(columns, [](const QString &engine) {
            const auto row = [&](const char *name) -> QTestData & { return QTest::addRow("%s, %s", qPrintable(engine), name) << engine; };
            row("SSL_CERT_FILE names the authority") << u"server"_s << true << u"loaded"_s;
            row("unknown authority") << u"server"_s << false << u"服务器的证书不受信任：签发者不在本机信任的证书中"_s;
            row("expired") << u"expired"_s << true << u"服务器的证书已过期"_s;
            row("another host's") << u"otherhost"_s << true << u"服务器的证书不属于 127.0.0.1"_s;
        });
    }
    void certificatesAlikeInBothEngines()
    {
        QFETCH(QString, engine);
        QFETCH(QString, certificate);
        QFETCH(bool, authorityKnown);
        QFETCH(QString, outcome);
        TestHttpServer server(tlsFixture(certificate));
        server.setPage(u"/page"_s, Page);
        const auto set = environment(authorityKnown ? QStringList{u"SSL_CERT_FILE="_s + testAuthorityFile()} : QStringList());
        const QString result = analyse(engine, server.url(u"/page"_s));
        if (outcome == u"loaded")
            QCOMPARE(result, outcome);
        else
            QVERIFY2(result.startsWith(u"exit 3"_s) && result.contains(u"TLS 安全连接出错："_s + outcome), qPrintable(result));
    }
};

QTEST_GUILESS_MAIN(TestCliNetwork)
#include "tst_clinetwork.moc"
