#include <algorithm>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include "cli/clirun.h"
#include "store/enginesetting.h"
#include "support/testhttpserver.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;

namespace {

// Long enough to look at the program while it waits for the page.
constexpr int AnswerDelayMs = 1'500;
constexpr int RunDeadlineMs = 60'000;

// The static engine finds the first table; the full browser runs the script
// and finds the second in its place.
const QByteArray Page = "<html><body><table><tr><td>页面表格</td></tr></table>"
                        "<script>document.body.innerHTML = '<table><tr><td>脚本表格</td></tr></table>';</script>"
                        "</body></html>";

const QStringList FullBrowserLibraries{u"libQt6WebEngineCore"_s, u"libQt6Widgets"_s, u"libQt6Gui"_s};

struct WatchedRun
{
    int exitCode = -1;
    QString out;
    QString err;
    bool watched = false; // looked at while it waited for the page
    QStringList libraries; // those of FullBrowserLibraries the program had loaded
    bool hadChildren = false;
};

QStringList loadedOf(qint64 pid)
{
    QFile maps(u"/proc/%1/maps"_s.arg(pid));
    if (!maps.open(QIODevice::ReadOnly))
        return {u"(no maps)"_s};
    const QString text = QString::fromLocal8Bit(maps.readAll());
    QStringList loaded;
    for (const QString &library : FullBrowserLibraries) {
        if (text.contains(u'/' + library))
            loaded << library;
    }
    return loaded;
}

bool hasChildren(qint64 pid)
{
    const QDir tasks(u"/proc/%1/task"_s.arg(pid));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile children(tasks.filePath(task + u"/children"_s));
        if (children.open(QIODevice::ReadOnly) && !children.readAll().trimmed().isEmpty())
            return true;
    }
    return false;
}

// Runs pagrion-cli as from a terminal without any display, and looks at it
// while the server holds back the page.
WatchedRun runWatched(const QStringList &arguments, TestHttpServer &server, const QString &path)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &name : {u"QT_QPA_PLATFORM"_s, u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s})
        environment.remove(name);
    QProcess process;
    process.setProcessEnvironment(environment);
    QSignalSpy finished(&process, &QProcess::finished);
    const int requestsBefore = server.requestCount(path);
    process.start(QStringLiteral(PAGRION_CLI), arguments);
    WatchedRun run;
    if (!process.waitForStarted())
        return run;
    // Looked at only while it waits for the page; a command that loads none is not.
    const bool waiting = QTest::qWaitFor(
        [&] { return server.requestCount(path) > requestsBefore || !finished.isEmpty(); }, RunDeadlineMs);
    if (waiting && finished.isEmpty()) {
        run.watched = true;
        run.libraries = loadedOf(process.processId());
        run.hadChildren = hasChildren(process.processId());
    }
    if (finished.isEmpty() && !finished.wait(RunDeadlineMs)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    if (process.exitStatus() == QProcess::NormalExit)
        run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// Every line the program's own, none from Qt about a display or a platform
// plugin it did not find.
bool onlyOwnMessages(const QString &err)
{
    const QStringList lines = err.split(u'\n', Qt::SkipEmptyParts);
    return std::ranges::all_of(lines, [](const QString &line) { return line.startsWith(u"pagrion-cli: "_s); });
}

} // namespace

// pagrion-cli starts the full browser only for the commands that load pages
// with it: everything else runs without a display, a GUI application or
// Chromium's libraries, and a command that needs the full browser still gets
// it, the same process going on with it, with nothing done twice.
class TestCliEngines : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_folder.isValid());
        auto route = TestHttpServer::page(Page);
        route.delayMs = AnswerDelayMs;
        m_server.setRoute(u"/page"_s, route);
        m_cookieFile = m_folder.folder().tempFolder() + u"/cookies.txt"_s;
        QFile cookies(m_cookieFile);
        QVERIFY(cookies.open(QIODevice::WriteOnly));
        cookies.write("# Netscape HTTP Cookie File\n127.0.0.1\tFALSE\t/\tFALSE\t0\tsid\tabc\n");
    }

    void commandsRunWithTheEngineTheyNeed_data()
    {
        QTest::addColumn<QString>("storedEngine");
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<bool>("fullBrowser");
        const QStringList extract{u"extract"_s, m_server.url(u"/page"_s), u"--tag"_s, u"td"_s};
        const QStringList batch{u"batch"_s, u"--tables"_s, u"TableName0"_s, u"--every-row"_s, u"--overwrite"_s,
                                u"--pattern"_s, m_server.url(u"/page?n=(*)"_s), u"--from"_s, u"1"_s, u"--to"_s, u"1"_s};
        const QStringList staticEngine{u"--engine"_s, u"static"_s};
        const QStringList browserEngine{u"--engine"_s, u"browser"_s};
        QTest::newRow("extract --engine static") << u"browser"_s << extract + staticEngine << false;
        QTest::newRow("batch --engine static") << u"browser"_s << batch + staticEngine << false;
        QTest::newRow("extract, static engine set") << u"static"_s << extract << false;
        QTest::newRow("extract --engine browser") << u"static"_s << extract + browserEngine << true;
        QTest::newRow("batch, full browser set") << u"browser"_s << batch << true;
    }
    void commandsRunWithTheEngineTheyNeed()
    {
        QFETCH(QString, storedEngine);
        QFETCH(QStringList, command);
        QFETCH(bool, fullBrowser);
        QVERIFY(saveEngineSetting(*engineFromName(storedEngine)));

        const WatchedRun run = runWatched(
            command + QStringList{u"--data"_s, m_folder.folder().root(), u"--cookies"_s, m_cookieFile}, m_server,
            u"/page"_s);
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.watched);
        QCOMPARE(run.libraries, fullBrowser ? FullBrowserLibraries : QStringList());
        if (!fullBrowser)
            QVERIFY(!run.hadChildren);
        QVERIFY2(onlyOwnMessages(run.err), qPrintable(run.err));
        // Taken in once, though the command began in pagrion-cli.
        QCOMPARE(run.err.count(u"导入 1 个 cookie"_s), 1);
        const QString expected = fullBrowser ? u"脚本表格"_s : u"页面表格"_s;
        if (command.first() == u"extract"_s) {
            QVERIFY2(run.out.contains(expected), qPrintable(run.out));
        } else {
            QVERIFY2(run.out.startsWith(u"pages 1, skipped 0, failed 0, records 1"_s), qPrintable(run.out));
            const QList<QStringList> records = storedRecords(m_folder);
            QCOMPARE(records.size(), 1);
            QCOMPARE(records.constFirst().constFirst(), expected);
        }
    }

    void commandsWithoutPagesNeedNoDisplay()
    {
        for (const QStringList &command : {QStringList{u"--help"_s}, QStringList{u"site"_s, u"--help"_s},
                                           QStringList{u"export"_s, m_folder.folder().tempFolder() + u"/out.csv"_s,
                                                       u"--data"_s, m_folder.folder().root()}}) {
            const WatchedRun run = runWatched(command, m_server, u"/none"_s);
            QVERIFY2(run.exitCode == 0 && onlyOwnMessages(run.err), qPrintable(command.join(u' ') + u": "_s + run.err));
        }
    }

private:
    TempProgramFolder m_folder;
    TestHttpServer m_server;
    QString m_cookieFile;
};

QTEST_GUILESS_MAIN(TestCliEngines)
#include "tst_cliengines.moc"
