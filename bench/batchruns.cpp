#include "bench/batchruns.h"

#include <cstdio>

#include <QProcess>
#include <QRegularExpression>

#include "bench/generatedpages.h"
#include "layout/layouts.h"
#include "store/databasesetup.h"
#include "store/programfolder.h"
#include "store/sitesettings.h"

using namespace Qt::StringLiterals;

namespace pagrion::bench {

const QString PagePath = u"/page/(*).html"_s;
const QString PeerPython = u"/usr/bin/python3"_s;

namespace {

const QString Site = u"http://bench.test/list"_s;

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

// The records a run reports in its summary line, which every program prints.
int reportedRecords(const QByteArray &out)
{
    static const QRegularExpression records(u"records (\\d+)"_s);
    const auto match = records.match(QString::fromUtf8(out));
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

} // namespace

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

QStringList pagrionBatchArguments(const QString &engine, const QString &pattern, int pages, const QString &folder,
                                  const QStringList &more)
{
    return QStringList{u"batch"_s, u"--engine"_s, engine,   u"--site"_s, Site,           u"--data"_s, folder,
                       u"--pattern"_s, pattern, u"--from"_s, u"1"_s, u"--to"_s, QString::number(pages)}
        + more;
}

std::optional<QString> missingPythonModules(const QString &modules, const QString &packages)
{
    QProcess probe;
    probe.start(PeerPython, {u"-c"_s, u"import "_s + modules});
    if (probe.waitForFinished(60'000) && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0)
        return std::nullopt;
    return packages + u" is not installed"_s;
}

bool runOk(const ChildRun &run, int pages, const char *what)
{
    if (run.exitCode == 0 && reportedRecords(run.out) == pages * RowsPerTable)
        return true;
    std::fprintf(stderr, "bench: %s failed (exit %d): %s%s\n", what, run.exitCode, run.out.constData(),
                 run.err.right(2000).constData());
    return false;
}

} // namespace pagrion::bench
