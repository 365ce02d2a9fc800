#pragma once

#include <functional>

#include <QList>
#include <QProcess>
#include <QSignalSpy>
#include <QSqlRecord>
#include <QStringList>
#include <QTest>

#include "store/database.h"
#include "support/tempprogramfolder.h"

namespace pagrion::test {

struct CliRun
{
    int exitCode = -1; // -1 when the program crashed or did not end in time
    QByteArray out;
    QByteArray err;
};

// Runs the built pagrion-cli. Waits on the process's own signal so this
// process's event loop keeps a test server answering meanwhile; whileRunning,
// when given, is called once the program has started.
// Commands that load pages run on the static engine unless the test names
// one: it is the faster of the two and gives the same texts.
inline CliRun runCli(QStringList arguments, const std::function<void(QProcess &)> &whileRunning = {})
{
    const QStringList loadingPages{QStringLiteral("analyse"), QStringLiteral("extract"), QStringLiteral("batch")};
    if (!arguments.isEmpty() && loadingPages.contains(arguments.first()) && !arguments.contains(QStringLiteral("--engine")))
        arguments.insert(1, QStringLiteral("--engine=static"));
    QProcess process;
    QSignalSpy finished(&process, &QProcess::finished);
    process.start(QStringLiteral(PAGRION_CLI), arguments);
    CliRun run;
    const bool started = process.waitForStarted();
    if (started && whileRunning)
        whileRunning(process);
    if (!started || (finished.isEmpty() && !finished.wait(60'000))) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    if (process.exitStatus() == QProcess::NormalExit)
        run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

// A page with one table: a head row, then the item's name and price.
inline QByteArray tablePage(int item)
{
    return QStringLiteral("<html><body><table><tr><td>名称</td><td>价格</td></tr><tr><td>物品%1</td><td>%2</td></tr>"
                          "</table></body></html>")
        .arg(item)
        .arg(item * 10)
        .toUtf8();
}

// The first two columns of each stored record, in the order stored, the
// first trimmed of the line break extracted cells begin with.
inline QList<QStringList> storedRecords(const TempProgramFolder &folder)
{
    Database db;
    if (!db.open(folder.folder().resultDatabasePath()))
        return {};
    const auto rows = db.selectAll(QStringLiteral("select * from datalist order by id"));
    QList<QStringList> records;
    for (const QSqlRecord &row : rows.value())
        records << QStringList{row.value(1).toString().trimmed(), row.value(2).toString()};
    return records;
}

// Jobs given as options ("job"), each with the records ("expected") it
// makes of the pages tablePage(1) and tablePage(2), read as storedRecords does.
inline void addJobRows()
{
    QTest::addColumn<QStringList>("job");
    QTest::addColumn<QList<QStringList>>("expected");
    QTest::newRow("layout") << QStringList{QStringLiteral("--layout"), QStringLiteral("2,0/2,1")}
                            << QList<QStringList>{{QStringLiteral("物品1"), QStringLiteral("10")},
                                                  {QStringLiteral("物品2"), QStringLiteral("20")}};
    // The names stand in the first column only, so the price finds nothing.
    QTest::newRow("fields") << QStringList{QStringLiteral("--fields"), QStringLiteral("1=物品;2=价格"),
                                           QStringLiteral("--head-length"), QStringLiteral("4")}
                            << QList<QStringList>{{QStringLiteral("物品1"), QString()},
                                                  {QStringLiteral("物品2"), QString()}};
    const QStringList head{QStringLiteral("名称"), QStringLiteral("价格")};
    const QStringList item1{QStringLiteral("物品1"), QStringLiteral("10")};
    const QStringList item2{QStringLiteral("物品2"), QStringLiteral("20")};
    // The head row holds <td> cells: only the setting makes it a header.
    QTest::newRow("every row, automatic header") << QStringList{QStringLiteral("--every-row")}
                                                 << QList<QStringList>{head, item1, head, item2};
    QTest::newRow("every row, first row heads")
        << QStringList{QStringLiteral("--every-row"), QStringLiteral("--header-rows"), QStringLiteral("1")}
        << QList<QStringList>{item1, item2};
    QTest::newRow("every row, columns by name and number")
        << QStringList{QStringLiteral("--every-row"), QStringLiteral("--header-rows"), QStringLiteral("1"),
                       QStringLiteral("--columns"), QStringLiteral("价格|1")}
        << QList<QStringList>{{QStringLiteral("10"), QStringLiteral("物品1")}, {QStringLiteral("20"), QStringLiteral("物品2")}};
}

} // namespace pagrion::test
