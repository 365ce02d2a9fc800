#include <memory>

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include "cli/clirun.h"
#include "store/database.h"
#include "store/loadsettings.h"
#include "support/resultcheck.h"
#include "support/tempprogramfolder.h"
#include "support/testhttpserver.h"

using namespace Qt::StringLiterals;
using namespace pagrion::test;

namespace {

// Two tables, the second nested in a cell of the first; an empty cell; text
// with a backslash; paragraphs, one with "|" in its text and one padded.
const QByteArray Page = R"(<html><body>
<table>
 <tr><td>名称</td><td> 价格 </td></tr>
 <tr><td>a</td><td></td><td>b</td></tr>
 <tr><td>内<table><tr><td>x</td><td>y</td></tr><tr><td>z</td></tr></table></td><td>c\d</td></tr>
</table>
<p>第一段</p><p>甲|乙</p><p> 丙 </p>
</body></html>)";

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private:
    TestHttpServer m_server;
    std::unique_ptr<TempProgramFolder> m_folder;
    QTemporaryDir m_emptyFolder;

    QString page() const { return m_server.url(u"/page"_s); }
    QString data() const { return m_folder->folder().root(); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_server.isListening());
        m_server.setPage(u"/page"_s, Page);
        m_server.setPage(u"/slow"_s, Page, "text/html; charset=utf-8", 30'000);
        m_folder = std::make_unique<TempProgramFolder>();
        QVERIFY2(m_folder->isValid(), qPrintable(m_folder->error()));
    }

    void output_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("expected");

        const QByteArray analysis = "\r\nTableName0\r\n"
                                    "名称｜价格<rows>\r\n"
                                    "a｜｜b<rows>\r\n"
                                    "内\nx\ty\nz｜c\\d<rows>\r\n"
                                    "\r\nTableName1\r\n"
                                    "x｜y<rows>\r\n"
                                    "z<rows>\r\n";
        QTest::newRow("analysis lists the nested table again under its own name")
            << QStringList{u"analyse"_s, page()} << analysis;
        QTest::newRow("analysis by the table class")
            << QStringList{u"analyse"_s, page(), u"--class"_s, u"表格"_s, u"--data"_s, data()} << analysis;
        QTest::newRow("analysis by a tag class lists its elements")
            << QStringList{u"analyse"_s, page(), u"--class"_s, u"段落"_s, u"--data"_s, data()}
            << QByteArray("第一段<rows>\r\n甲|乙<rows>\r\n丙<rows>\r\n");

        QTest::newRow("tables named loosely, filtered row, empty cell as two spaces")
            << QStringList{u"extract"_s, page(), u"--tables"_s, u"TableName0| tablename1 "_s,
                           u"--filter"_s, u"TableName0-0"_s}
            << QByteArray("a|  |b<rows>\r\n内\nx\ty\nz|c\\d<rows>\r\nx|y<rows>\r\nz<rows>\r\n");
        QTest::newRow("tag keeps \"|\" in the text and later indexes after a filtered row")
            << QStringList{u"extract"_s, page(), u"--tag"_s, u"P"_s, u"--filter"_s, u"TableName1-0"_s}
            << QByteArray("甲|乙<rows>\r\n丙<rows>\r\n");
        QTest::newRow("class picks the mode")
            << QStringList{u"extract"_s, page(), u"--class"_s, u"表格"_s, u"--tables"_s, u"TableName1"_s,
                           u"--data"_s, data()}
            << QByteArray("x|y<rows>\r\nz<rows>\r\n");
        QTest::newRow("no table of that name prints nothing")
            << QStringList{u"extract"_s, page(), u"--tables"_s, u"TableName9"_s} << QByteArray();

        QTest::newRow("grid: batch rows down to the final CR LF, escaped cells, no trailing blanks")
            << QStringList{u"extract"_s, page(), u"--tables"_s, u"TableName0"_s, u"--grid"_s}
            << QByteArray("名称\t价格\n"
                          "\\r\\na\t  \tb\n"
                          "\\r\\n内\\nx\\ty\\nz\tc\\\\d\n"
                          "\\r\\n\n");
        QTest::newRow("grid swapped")
            << QStringList{u"extract"_s, page(), u"--tables"_s, u"TableName0"_s, u"--grid"_s, u"--swap"_s}
            << QByteArray("名称\t\\r\\na\t\\r\\n内\\nx\\ty\\nz\t\\r\\n\n"
                          "价格\t  \tc\\\\d\n"
                          "\tb\n");
    }

    void output()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, expected);
        const CliRun run = runCli(arguments);
        QCOMPARE(run.err, QByteArray());
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, expected);
    }

    void failure_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("says");

        const QString x = u"extract"_s;
        const QStringList tables{u"--tables"_s, u"TableName0"_s};
        QTest::newRow("no command") << QStringList{} << 2 << QString();
        QTest::newRow("unknown command") << QStringList{u"fetch"_s, page()} << 2 << QString();
        QTest::newRow("two addresses") << QStringList{x, page(), page()} + tables << 2 << QString();
        QTest::newRow("nothing to extract") << QStringList{x, page()} << 2 << QString();
        QTest::newRow("tag and tables") << QStringList{x, page(), u"--tag"_s, u"p"_s} + tables << 2 << QString();
        QTest::newRow("blank table names") << QStringList{x, page(), u"--tables"_s, u"  "_s} << 2 << QString();
        QTest::newRow("table class without tables")
            << QStringList{x, page(), u"--class"_s, u"表格"_s, u"--data"_s, data()} << 2 << QString();
        QTest::newRow("unknown class") << QStringList{x, page(), u"--class"_s, u"无此模式"_s, u"--data"_s, data()}
            << 2 << QString();
        QTest::newRow("unknown option") << QStringList{x, page(), u"--bogus"_s} + tables << 2 << QString();
        QTest::newRow("option without value") << QStringList{x, page(), u"--tables"_s} << 2 << QString();
        QTest::newRow("swap without grid") << QStringList{x, page(), u"--swap"_s} + tables << 2 << QString();
        QTest::newRow("timeout not a positive number")
            << QStringList{x, page(), u"--timeout"_s, u"0"_s} + tables << 2 << QString();
        QTest::newRow("program folder missing")
            << QStringList{x, page(), u"--data"_s, data() + u"/none"_s} + tables << 2 << QString();

        QTest::newRow("server has no such page") << QStringList{x, m_server.url(u"/missing"_s)} + tables << 3
                                                 << u"HTTP 404"_s;
        TestHttpServer::Route gone;
        gone.status = 410;
        gone.body = Page;
        m_server.setRoute(u"/gone"_s, gone);
        QTest::newRow("error status with a page of its own") << QStringList{u"analyse"_s, m_server.url(u"/gone"_s)}
                                                             << 3 << u"HTTP 410"_s;
        m_server.setRedirect(u"/to-file"_s, u"file:///etc/hostname"_s);
        QTest::newRow("redirect to a local file") << QStringList{u"analyse"_s, m_server.url(u"/to-file"_s)} << 3
                                                  << u"file:"_s;
        QTest::newRow("page slower than the time limit")
            << QStringList{x, m_server.url(u"/slow"_s), u"--timeout"_s, u"0.3"_s} + tables << 3 << u"超时"_s;
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const QString refused = u"http://127.0.0.1:%1/"_s.arg(closed.serverPort());
        closed.close();
        QTest::newRow("connection refused") << QStringList{u"analyse"_s, refused} << 3 << u"连接被拒绝"_s;

        QTest::newRow("no databases in the program folder")
            << QStringList{u"analyse"_s, page(), u"--class"_s, u"表格"_s, u"--data"_s, m_emptyFolder.path()}
                << 4 << QString();

        // A configuration that is no database is told, not read as the default engine.
        QDir(m_emptyFolder.path()).mkpath(u"corrupt/data"_s);
        QFile corrupt(m_emptyFolder.filePath(u"corrupt/data/system.dll"_s));
        if (corrupt.open(QIODevice::WriteOnly))
            corrupt.write(QByteArray(4096, '\x5a'));
        corrupt.close();
        QTest::newRow("corrupt configuration")
            << QStringList{x, page(), u"--data"_s, m_emptyFolder.filePath(u"corrupt"_s)} + tables << 4 << u"已损坏"_s;

        const QString out = m_emptyFolder.filePath(u"out"_s);
        QTest::newRow("export to a name without a format word")
            << QStringList{u"export"_s, out + u".doc"_s, u"--data"_s, data()} << 2 << QString();
        QTest::newRow("export into a missing folder")
            << QStringList{u"export"_s, m_emptyFolder.filePath(u"none/out.xls"_s), u"--data"_s, data()}
                << 4 << QString();
        QTest::newRow("export without databases")
            << QStringList{u"export"_s, out + u".xls"_s, u"--data"_s, m_emptyFolder.path()} << 4 << QString();
    }

    void failure()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, says);
        const CliRun run = runCli(arguments);
        QCOMPARE(run.exitCode, exitCode);
        QCOMPARE(run.out, QByteArray());
        QVERIFY2(run.err.contains(says.toUtf8()), run.err.constData());
        // One plain line on standard error.
        QVERIFY2(run.err.startsWith("pagrion-cli: ") && run.err.endsWith('\n') && run.err.count('\n') == 1,
                 run.err.constData());
    }

    // The folder's word picks the format; an .xls name is written as the
    // workbook under the name with an x, and the output names that file.
    void exportNamesTheFileWritten()
    {
        {
            pagrion::Database db;
            QVERIFY(db.open(m_folder->folder().resultDatabasePath()));
            QVERIFY(db.run(u"insert into datalist (c1, c2) values ('名称', '价格'), ('a', 'b')"_s));
        }
        QTemporaryDir out;
        QVERIFY(QDir(out.path()).mkdir(u"txt"_s));
        const QString text = out.filePath(u"txt/out.html"_s);
        // The path alone on standard output, for scripts; the sentence on standard error.
        CliRun run = runCli({u"export"_s, text, u"--data"_s, data()});
        QCOMPARE(run.err, (u"pagrion-cli: 您成功输出,文件："_s + text + u'\n').toUtf8());
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, (text + u'\n').toUtf8());
        QFile written(text);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), QByteArray("\xEF\xBB\xBF第1列\t第2列\r\n名称\t价格\r\na\tb\r\n"));

        run = runCli({u"export"_s, out.filePath(u"r.xls"_s), u"--data"_s, data()});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, (out.filePath(u"r.xlsx"_s) + u'\n').toUtf8());
        QVERIFY(QFile::exists(out.filePath(u"r.xlsx"_s)));
        QVERIFY(!QFile::exists(out.filePath(u"r.xls"_s)));
    }

    // The limits saved in the settings window hold for every command;
    // --timeout overrides the stored time limit for one run.
    void storedLoadSettingsLimitPages()
    {
        TempProgramFolder folder;
        QVERIFY2(folder.isValid(), qPrintable(folder.error()));
        {
            pagrion::LoadSettings settings;
            PAGRION_VERIFY_OK(settings.setText(pagrion::LoadSettings::Field::TimeLimit, u"0.3"_s));
            PAGRION_VERIFY_OK(settings.setText(pagrion::LoadSettings::Field::MaxBody, u"1"_s));
            pagrion::Database db;
            PAGRION_VERIFY_OK(db.open(folder.folder().configDatabasePath()));
            PAGRION_VERIFY_OK(db.inTransaction([&] { return pagrion::writeLoadSettings(db, settings); }));
        }
        m_server.setPage(u"/late"_s, Page, "text/html; charset=utf-8", 1500);
        m_server.setPage(u"/big"_s, QByteArray(2 << 20, 'x'));
        const QStringList data{u"--data"_s, folder.folder().root(), u"--tables"_s, u"TableName0"_s};

        CliRun run = runCli(QStringList{u"extract"_s, m_server.url(u"/late"_s)} + data);
        QCOMPARE(run.exitCode, 3);
        QVERIFY2(run.err.contains("超时"), run.err.constData());
        run = runCli(QStringList{u"extract"_s, m_server.url(u"/late"_s), u"--timeout"_s, u"20"_s} + data);
        QCOMPARE(run.exitCode, 0);
        run = runCli(QStringList{u"extract"_s, m_server.url(u"/big"_s)} + data);
        QCOMPARE(run.exitCode, 3);
        QVERIFY2(run.err.contains("1 MB"), run.err.constData());

        run = runCli(QStringList{u"extract"_s, m_server.url(u"/late"_s), u"--timeout"_s, u"0"_s} + data);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains("“网页超时”"), run.err.constData());
    }

    void helpGoesToStandardOutput()
    {
        // A command's --help wins over whatever else is wrong on its line.
        const QList<QStringList> helpCalls{{u"--help"_s}, {u"extract"_s, u"--help"_s, u"--bogus"_s}};
        for (const QStringList &arguments : helpCalls) {
            const CliRun run = runCli(arguments);
            QCOMPARE(run.exitCode, 0);
            QVERIFY(run.out.startsWith("用法：pagrion-cli"));
            QCOMPARE(run.err, QByteArray());
        }
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
