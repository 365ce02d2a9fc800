#include <memory>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "cli/clirun.h"
#include "store/definitions.h"
#include "store/sitesettings.h"
#include "support/resultcheck.h"
#include "support/tempprogramfolder.h"
#include "support/testhttpserver.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;

namespace {

const QString Site = u"http://shop.test/list"_s;

QString showText(const QStringList &lines)
{
    return lines.join(u'\n') + u'\n';
}

} // namespace

class TestCliSite : public QObject
{
    Q_OBJECT

private:
    TestHttpServer m_server;
    std::unique_ptr<TempProgramFolder> m_folder;
    QTemporaryDir m_files;

    static CliRun run(const TempProgramFolder &folder, const QStringList &arguments)
    {
        return runCli(QStringList{u"site"_s} + arguments + QStringList{u"--data"_s, folder.folder().root()});
    }
    CliRun run(const QStringList &arguments) const { return run(*m_folder, arguments); }
    QString show(const TempProgramFolder &folder) const
    {
        return QString::fromUtf8(run(folder, {u"show"_s, Site}).out);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_server.isListening());
        for (int i = 1; i <= 2; ++i)
            m_server.setPage(u"/item%1.html"_s.arg(i), tablePage(i));
    }
    void init()
    {
        m_folder = std::make_unique<TempProgramFolder>();
        QVERIFY2(m_folder->isValid(), qPrintable(m_folder->error()));
    }
    void cleanup() { m_folder.reset(); }

    // Each save changes what it is given; the record choice without a
    // definition leaves the stored one alone.
    void savesShowAsTheyWereGiven()
    {
        CliRun saved = run({u"save"_s, Site, u"--tables"_s, u"TableName0"_s, u"--filter"_s, u"TableName0-1"_s,
                            u"--swap"_s, u"--layout"_s, u" 2,0/2,1|02,0;;3,0/"_s});
        QCOMPARE(saved.exitCode, 0);
        QCOMPARE(QString::fromUtf8(saved.out), u"已保存网址“%1”的采集设置。\n"_s.arg(Site));
        const QStringList settings{u"网址："_s + Site, u"表名称：TableName0"_s, u"要去掉的行：TableName0-1"_s,
                                   u"行列转换：是"_s, u"采集分析模式：表格"_s};
        QCOMPARE(show(*m_folder), showText(settings + QStringList{
            u"记录方式：调用排版"_s, u"表头行数：自动"_s, u"保留的列：全部"_s, u"来源网址和行号两列：默认"_s,
            u"排版：2,0/2,1|2,0;;3,0"_s}));

        saved = run({u"save"_s, Site, u"--every-row"_s, u"--header-rows"_s, u"1"_s, u"--columns"_s, u"名称|3"_s,
                     u"--source-columns"_s, u"off"_s});
        QCOMPARE(saved.exitCode, 0);
        QCOMPARE(show(*m_folder), showText(settings + QStringList{
            u"记录方式：逐行记录"_s, u"表头行数：1"_s, u"保留的列：名称|3"_s, u"来源网址和行号两列：否"_s}));
        QCOMPARE(readLayout().value().size(), 3);

        saved = run({u"save"_s, Site, u"--fields"_s, u"1=物品; 2=价格;"_s, u"--head-length"_s, u"7"_s});
        QCOMPARE(saved.exitCode, 0);
        QCOMPARE(show(*m_folder), showText(settings + QStringList{
            u"记录方式：调用字段"_s, u"表头行数：1"_s, u"保留的列：名称|3"_s, u"来源网址和行号两列：否"_s,
            u"字段：1=物品;2=价格"_s, u"字段截取长度：7"_s}));
        QVERIFY(readLayout().value().isEmpty());

        // A class given by its value is saved by its text; an element class
        // brings its one list.
        QCOMPARE(run({u"save"_s, u"http://p.test/"_s, u"--class"_s, u"P"_s}).exitCode, 0);
        const auto paragraphs = readSiteSettings(u"http://p.test/"_s);
        PAGRION_VERIFY_OK(paragraphs);
        QCOMPARE(paragraphs.value()->classname, u"段落"_s);
        QCOMPARE(paragraphs.value()->tableName, u"TableName1"_s);
    }

    void jobsMoveToAnotherFolder_data() { addJobRows(); }
    void jobsMoveToAnotherFolder()
    {
        QFETCH(QStringList, job);
        QFETCH(QList<QStringList>, expected);
        QCOMPARE(run(QStringList{u"save"_s, Site, u"--tables"_s, u"TableName0"_s} + job).exitCode, 0);
        const QString file = m_files.filePath(u"任务.json"_s);
        const CliRun exported = run({u"export"_s, Site, file});
        QCOMPARE(exported.exitCode, 0);
        QVERIFY(exported.out.contains(file.toUtf8()));

        TempProgramFolder other;
        QVERIFY2(other.isValid(), qPrintable(other.error()));
        const CliRun imported = run(other, {u"import"_s, file});
        QCOMPARE(imported.exitCode, 0);
        QCOMPARE(QString::fromUtf8(imported.out), u"已导入网址“%1”的采集任务。\n"_s.arg(Site));
        QCOMPARE(show(other), show(*m_folder));

        for (const TempProgramFolder *folder : {m_folder.get(), &other}) {
            const CliRun batch = runCli({u"batch"_s, u"--data"_s, folder->folder().root(), u"--site"_s, Site,
                                         u"--pattern"_s, m_server.url(u"/item(*).html"_s), u"--from"_s, u"1"_s,
                                         u"--to"_s, u"2"_s});
            QCOMPARE(batch.exitCode, 0);
            QCOMPARE(storedRecords(*folder), expected);
        }
    }

    void refusalsChangeNothing_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        const QString saved = u"http://saved.test/"_s;
        QTest::newRow("unknown subcommand") << QStringList{u"load"_s} << QByteArray() << 2 << u"“load”"_s;
        QTest::newRow("show unsaved") << QStringList{u"show"_s, Site} << QByteArray() << 2 << Site;
        QTest::newRow("export unsaved") << QStringList{u"export"_s, Site, u"<file>"_s} << QByteArray() << 2 << Site;
        QTest::newRow("export into no folder")
            << QStringList{u"export"_s, saved, u"/nonexistent/任务.json"_s} << QByteArray() << 4 << u"找不到文件夹"_s;
        QTest::newRow("save, bad layout") << QStringList{u"save"_s, Site, u"--layout"_s, u"2;0"_s} << QByteArray() << 2
                                          << u"“2”"_s;
        QTest::newRow("save, empty address") << QStringList{u"save"_s, QString()} << QByteArray() << 2 << u"网址"_s;
        QTest::newRow("import missing file") << QStringList{u"import"_s, u"<missing>"_s} << QByteArray() << 4
                                             << u"找不到文件"_s;
        QTest::newRow("import corrupt file") << QStringList{u"import"_s, u"<file>"_s}
                                             << QByteArray(R"({"format": "pagrion-job", "web": )") << 4 << u"JSON"_s;
        QTest::newRow("import wrong shape")
            << QStringList{u"import"_s, u"<file>"_s}
            << QByteArray(R"({"format": "pagrion-job", "version": 1, "web": "a.test", "swap": 1})") << 2
            << u"“swap”"_s;
    }
    void refusalsChangeNothing()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, file);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        PAGRION_VERIFY_OK(saveSiteSettings({u"http://saved.test/"_s, u"TableName0"_s, {}, false, u"表格"_s}));
        const QString path = m_files.filePath(u"job.json"_s);
        QFile::remove(path);
        if (!file.isEmpty()) {
            QFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly) && out.write(file) == file.size());
        }
        arguments.replaceInStrings(u"<file>"_s, path);
        arguments.replaceInStrings(u"<missing>"_s, m_files.filePath(u"missing.json"_s));
        const CliRun refused = run(arguments);
        QCOMPARE(refused.exitCode, exitCode);
        QCOMPARE(refused.out, QByteArray());
        QVERIFY2(refused.err.count('\n') == 1 && refused.err.contains(message.toUtf8()), refused.err.constData());
        QCOMPARE(readSiteAddresses().value(), QStringList{u"http://saved.test/"_s});
        QCOMPARE(QFile::exists(path), !file.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCliSite)
#include "tst_clisite.moc"
