#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTest>

#include "core/programlog.h"
#include "core/rotatinglog.h"

using namespace Qt::StringLiterals;
using namespace pagrion;

namespace {

Q_LOGGING_CATEGORY(lcProbe, "pagrion.probe", QtWarningMsg)

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class TestProgramLog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Lines of 10 bytes under a cap of 35: three lines a file. Ten lines
    // leave the newest in the log, the three files before it numbered
    // newest first, and the oldest line gone.
    void fileRotatesAtItsCapKeepingTheNewest()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"temp/pagrion.log"_s); // the folder is made at the first line
        RotatingLogFile log(path, 35, 2);
        for (char c = 'a'; c <= 'j'; ++c)
            log.write(QByteArray(9, c) + '\n');
        QCOMPARE(contents(path), QByteArray("jjjjjjjjj\n"));
        QCOMPARE(contents(path + u".1"_s), QByteArray("ggggggggg\nhhhhhhhhh\niiiiiiiii\n"));
        QCOMPARE(contents(path + u".2"_s), QByteArray("ddddddddd\neeeeeeeee\nfffffffff\n"));
        QVERIFY(!QFile::exists(path + u".3"_s));
    }

    // A file left by an earlier start counts towards the cap; a line longer
    // than the cap is kept whole in a file of its own.
    void earlierFileCountsAndLongLinesAreKept()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"pagrion.log"_s);
        {
            RotatingLogFile earlier(path, 20, 3);
            earlier.write("earlier start\n");
        }
        RotatingLogFile log(path, 20, 3);
        const QByteArray longLine = QByteArray(30, 'x') + '\n';
        log.write(longLine);
        log.write("short\n");
        QCOMPARE(contents(path), QByteArray("short\n"));
        QCOMPARE(contents(path + u".1"_s), longLine);
        QCOMPARE(contents(path + u".2"_s), QByteArray("earlier start\n"));
    }

    // Each level lets through what it names and what the one before it does;
    // the route hands the program's lines to its writer and nothing else.
    void levelsAndRoute()
    {
        QList<QByteArray> lines;
        {
            const ProgramLogRoute route([&lines](const QByteArray &line) { lines << line; });
            setLogLevel(LogLevel::Errors);
            QVERIFY(!lcProbe().isInfoEnabled());
            qCWarning(lcProbe) << "failed";
            qCInfo(lcProbe) << "loaded";
            setLogLevel(LogLevel::Info);
            qCInfo(lcProbe).noquote() << u"已载入 http://例子.test/"_s;
            qCDebug(lcProbe) << "detail";
            setLogLevel(LogLevel::Detail);
            qCDebug(lcProbe) << "detail";
            setLogLevel(LogLevel::Off);
            QVERIFY(!lcProbe().isWarningEnabled());
            qCCritical(lcProbe) << "critical";
        }
        qCWarning(lcProbe) << "after the route";
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines[0].endsWith(" 错误 probe: failed\n"), lines[0].constData());
        QVERIFY2(lines[1].endsWith(" 信息 probe: 已载入 http://例子.test/\n"_ba), lines[1].constData());
        QVERIFY2(lines[2].endsWith(" 详细 probe: detail\n"), lines[2].constData());
        // Starts with the local time to the millisecond.
        QVERIFY(QDateTime::fromString(QString::fromUtf8(lines[0].left(23)), u"yyyy-MM-dd HH:mm:ss.zzz"_s).isValid());
    }
};

QTEST_GUILESS_MAIN(TestProgramLog)
#include "tst_programlog.moc"
