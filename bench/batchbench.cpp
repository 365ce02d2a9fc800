#include "bench/batchbench.h"

#include <cstdio>
#include <sys/resource.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include "bench/generatedpages.h"
#include "bench/pageserver.h"
#include "layout/layouts.h"
#include "store/databasesetup.h"
#include "store/sitesettings.h"

using namespace Qt::StringLiterals;

namespace pagrion::bench {

namespace {

constexpr int Pages = 1000;
const QString Site = u"http://bench.test/list"_s;

// Page n answers at /page/n.html; one table per page.
QByteArray servedPage(const QByteArray &path)
{
    static const QRegularExpression pagePath(u"^/page/(\\d+)\\.html$"_s);
    const auto match = pagePath.match(QString::fromLatin1(path));
    const int n = match.hasMatch() ? match.captured(1).toInt() : 0;
    return n >= 1 && n <= Pages ? generatedPage(n, 1) : QByteArray();
}

// Every row of the page's table is a record of its six cells.
Layout rowLayout()
{
    Layout layout;
    for (int row = 1; row <= RowsPerTable; ++row) {
        LayoutRow cells;
        for (int col = 0; col < CellsPerRow; ++col)
            cells << u"%1,%2"_s.arg(row).arg(col);
        layout << cells;
    }
    return layout;
}

bool prepareProgramFolder(const QString &root)
{
    const QString data = QStringLiteral(PAGRION_SOURCE_DIR) + u"/data/"_s;
    const auto created = createMissingDatabases(ProgramFolder(root), {data + u"schema.sql"_s, data + u"seed.sql"_s});
    setProgramFolder(root);
    Status saved = created ? saveSiteSettings({Site, u"TableName0"_s, QString(), false, u"表格"_s})
                           : Status(Error{created.error()});
    if (saved)
        saved = saveLayout(rowLayout());
    if (!saved)
        std::fprintf(stderr, "bench: cannot prepare the databases: %s\n", qPrintable(saved.error()));
    return saved.ok();
}

} // namespace

bool runBatchBench(EngineKind engine)
{
    QTemporaryDir folder;
    PageServer server(&servedPage);
    if (!folder.isValid() || !server.isListening() || !prepareProgramFolder(folder.path()))
        return false;

    QProcess cli;
    QEventLoop loop;
    QObject::connect(&cli, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&cli, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    // Only a safety net against a hung child; the figures carry no limit.
    QTimer::singleShot(10 * 60 * 1000, &loop, &QEventLoop::quit);
    cli.setStandardErrorFile(QProcess::nullDevice());

    QElapsedTimer clock;
    clock.start();
    cli.start(QStringLiteral(PAGRION_CLI),
              {u"batch"_s, u"--engine"_s, engineName(engine), u"--site"_s, Site, u"--data"_s, folder.path(), u"--pattern"_s,
               server.url(u"/page/(*).html"_s), u"--from"_s, u"1"_s, u"--to"_s, QString::number(Pages)});
    loop.exec();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;

    const QByteArray expected = "pages " + QByteArray::number(Pages) + ", skipped 0, records "
        + QByteArray::number(Pages * RowsPerTable) + "\n";
    const QByteArray summary = cli.readAllStandardOutput();
    if (cli.state() != QProcess::NotRunning || cli.exitStatus() != QProcess::NormalExit || cli.exitCode() != 0
        || summary != expected) {
        cli.kill();
        cli.waitForFinished();
        std::fprintf(stderr, "bench: pagrion-cli batch failed (exit %d): %s\n", cli.exitCode(), summary.constData());
        return false;
    }

    // The peak is the largest of all children so far (the browser engine's
    // own processes included), so the lighter engine is measured first.
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const double records = double(Pages) * RowsPerTable;
    std::printf("batch %-8s %d pages of %d x %d cells, %.0f records in %.2f s\n"
                "               %.1f pages/s, %.0f records/s, peak memory %.1f MB\n",
                qPrintable(engineName(engine)), Pages, RowsPerTable, CellsPerRow, records, seconds, Pages / seconds,
                records / seconds, double(usage.ru_maxrss) / 1024.0);
    return true;
}

} // namespace pagrion::bench
