#include "bench/batchbench.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "bench/batchruns.h"
#include "bench/childrun.h"
#include "bench/generatedpages.h"
#include "bench/nginxserver.h"
#include "bench/pageserver.h"
#include "store/database.h"
#include "store/loadsettings.h"
#include "store/programfolder.h"

using namespace Qt::StringLiterals;

namespace pagrion::bench {

namespace {

constexpr int LocalPages = 1000;
constexpr int DistantPages = 200;
constexpr int DistantDelayMs = 100;
constexpr int MemoryPages = 10'000;
constexpr int MemoryFirstSample = 1000;
// The full browser's rate at the distant server before it loaded pages ahead.
constexpr double BrowserBeforeLookAhead = 5.9;
constexpr int BrowserPagesTried[] = {2, 3}; // beside the default

enum class Program { PagrionStatic, PagrionBrowser, Sequential, Scrapy };
constexpr Program Programs[] = {Program::PagrionStatic, Program::PagrionBrowser, Program::Sequential,
                                Program::Scrapy};

const char *programName(Program program)
{
    switch (program) {
    case Program::PagrionStatic: return "Pagrion static";
    case Program::PagrionBrowser: return "Pagrion browser";
    case Program::Sequential: return "requests+lxml+sqlite";
    case Program::Scrapy: return "Scrapy, 16 at once";
    }
    return "";
}

// Page n of the generated set, the same bytes whichever server hands it out.
QByteArray page(int n)
{
    return generatedPage(n, 1);
}

PageServer::Pages servedPages(int count)
{
    return [count](const QByteArray &path) {
        static const QRegularExpression pagePath(u"^/page/(\\d+)\\.html$"_s);
        const auto match = pagePath.match(QString::fromLatin1(path));
        const int n = match.hasMatch() ? match.captured(1).toInt() : 0;
        return n >= 1 && n <= count ? page(n) : QByteArray();
    };
}

// Stores the number of pages the full browser loads at once in the
// folder's settings; 0 keeps the default.
bool setBrowserPages(int pages)
{
    if (pages == 0)
        return true;
    Database db;
    LoadSettings settings;
    settings.browserPages = pages;
    const Status written = db.open(programFolder().configDatabasePath()) ? db.inTransaction([&] {
        return writeLoadSettings(db, settings);
    }) : Status(Error{u"cannot open system.dll"_s});
    if (!written)
        std::fprintf(stderr, "bench: cannot store the browser pages: %s\n", qPrintable(written.error()));
    return written.ok();
}

// Why a peer cannot run here; nullopt when it can.
std::optional<QString> missingPeer(Program program)
{
    return program == Program::Scrapy ? missingPythonModules(u"scrapy"_s, u"python3-scrapy"_s)
                                      : missingPythonModules(u"requests, lxml"_s, u"python3-requests or python3-lxml"_s);
}

ChildRun runProgram(Program program, const QString &pattern, int pages, const QString &folder,
                    const std::function<void(pid_t)> &started = {})
{
    switch (program) {
    case Program::PagrionStatic:
    case Program::PagrionBrowser:
        return runChild(QStringLiteral(PAGRION_CLI),
                        pagrionBatchArguments(program == Program::PagrionStatic ? u"static"_s : u"browser"_s, pattern,
                                              pages, folder),
                        started);
    case Program::Sequential:
    case Program::Scrapy: {
        const QString script = program == Program::Sequential ? u"sequential.py"_s : u"scrapy16.py"_s;
        return runChild(PeerPython, {QStringLiteral(PAGRION_PEERS_DIR) + u'/' + script, pattern,
                                     QString::number(pages), folder + u"/peer.sqlite"_s});
    }
    }
    return {};
}

void printHeading()
{
    std::printf("%-18s %-22s %6s %8s %10s %12s %8s\n", "server", "program", "pages", "pages/s", "records/s",
                "CPU ms/page", "peak MB");
}

struct RowFigures
{
    double pagesPerSecond = 0; // 0 for a program skipped
    double cpuMsPerPage = 0;
};

// One row of the table, or nullopt when the program ran and failed.
// browserPages other than 0 sets the full browser's pages at once.
std::optional<RowFigures> runRow(const char *server, Program program, const QString &pattern, int pages,
                                 int browserPages = 0)
{
    const QString name = browserPages ? u"%1, %2 pages"_s.arg(QString::fromLatin1(programName(program))).arg(browserPages)
                                      : QString::fromLatin1(programName(program));
    std::printf("%-18s %-22s ", server, qPrintable(name));
    std::fflush(stdout);
    if (program == Program::Sequential || program == Program::Scrapy) {
        if (const auto missing = missingPeer(program)) {
            std::printf("skipped: %s\n", qPrintable(*missing));
            std::fflush(stdout);
            return RowFigures{};
        }
    }
    QTemporaryDir folder;
    if (!folder.isValid() || !prepareProgramFolder(folder.path()) || !setBrowserPages(browserPages))
        return std::nullopt;
    const ChildRun run = runProgram(program, pattern, pages, folder.path());
    if (!runOk(run, pages, programName(program))) {
        std::printf("failed\n");
        return std::nullopt;
    }
    const RowFigures figures{pages / run.seconds, run.cpuSeconds * 1000.0 / pages};
    std::printf("%6d %8.1f %10.0f %12.2f %8.1f\n", pages, figures.pagesPerSecond,
                figures.pagesPerSecond * RowsPerTable, figures.cpuMsPerPage, run.peakMegabytes);
    std::fflush(stdout);
    return figures;
}

void printRatio(const char *what, double rate, double against, double target)
{
    if (rate <= 0 || against <= 0)
        return;
    std::printf("%s: %.2fx (target %.1fx or more)\n", what, rate / against, target);
}

// The parser alone on the same page, parsed as many times as a run loads
// pages: the part of a page's CPU time no engine built on this parser can
// save. Negative when it cannot be measured.
double parserAloneMsPerPage(int times)
{
    QTemporaryDir folder;
    QFile file(folder.filePath(u"page.html"_s));
    if (!folder.isValid() || !file.open(QIODevice::WriteOnly) || file.write(page(1)) < 0)
        return -1;
    file.close();
    const ChildRun run = runChild(QStringLiteral(GUMBO_ALONE), {file.fileName(), QString::number(times)});
    return run.exitCode == 0 ? run.cpuSeconds * 1000.0 / times : -1;
}

// The CPU a static run spends per page once started: a run of `pages` less
// a run of one page, so that two programs that start up differently compare
// by their work on pages alone. Negative when a run fails.
double cpuMsPerPageOnce(const QString &cli, const QString &pattern, int pages)
{
    double cpuSeconds[2] = {};
    const int counts[2] = {1, pages};
    for (int i = 0; i < 2; ++i) {
        QTemporaryDir folder;
        if (!folder.isValid() || !prepareProgramFolder(folder.path()))
            return -1;
        const ChildRun run = runChild(cli, pagrionBatchArguments(u"static"_s, pattern, counts[i], folder.path()));
        if (!runOk(run, counts[i], "the CPU run"))
            return -1;
        cpuSeconds[i] = run.cpuSeconds;
    }
    return (cpuSeconds[1] - cpuSeconds[0]) * 1000.0 / (pages - 1);
}

// Beside an earlier build of pagrion-cli (PAGRION_BEFORE_CLI, which make
// bench BEFORE=<commit> builds), the static engine's CPU per page before and
// now, each the median of three runs.
void compareWithBefore(const QString &pattern)
{
    const QString before = qEnvironmentVariable("PAGRION_BEFORE_CLI");
    if (before.isEmpty())
        return;
    const auto median = [&](const QString &cli) {
        std::vector<double> runs;
        for (int i = 0; i < 3; ++i)
            runs.push_back(cpuMsPerPageOnce(cli, pattern, LocalPages));
        std::sort(runs.begin(), runs.end());
        return runs[1];
    };
    const double was = median(before);
    const double now = median(QStringLiteral(PAGRION_CLI));
    if (was <= 0 || now <= 0) {
        std::printf("loopback, static CPU per page before and now: not measured\n");
        return;
    }
    std::printf("loopback, static CPU per page without start-up, median of 3: before %.2f ms (%s), now %.2f ms "
                "(%+.1f%%)\n",
                was, qPrintable(qEnvironmentVariable("PAGRION_BEFORE")), now, (now / was - 1.0) * 100.0);
}

} // namespace

bool runBatchTable()
{
    std::printf("pages: one table of %d x %d cells, %.1f KB, %d records each\n", RowsPerTable, CellsPerRow,
                double(page(1).size()) / 1000.0, RowsPerTable);
    printHeading();
    bool ok = true;
    const auto run = [&ok](const char *server, Program program, const QString &pattern, int pages,
                           int browserPages = 0) {
        const std::optional<RowFigures> figures = runRow(server, program, pattern, pages, browserPages);
        ok = figures && ok;
        return figures.value_or(RowFigures{});
    };
    double rates[std::size(Programs)] = {};
    double staticCpuMs = 0;
    {
        const NginxServer nginx(&page, LocalPages);
        const char *server = "nginx, loopback";
        if (!nginx.problem().isEmpty()) {
            std::printf("%-18s skipped: %s\n", server, qPrintable(nginx.problem()));
        } else {
            for (const Program program : Programs) {
                const RowFigures figures = run(server, program, nginx.url(PagePath), LocalPages);
                rates[int(program)] = figures.pagesPerSecond;
                if (program == Program::PagrionStatic)
                    staticCpuMs = figures.cpuMsPerPage;
            }
            compareWithBefore(nginx.url(PagePath));
        }
    }
    printRatio("loopback, static against requests+lxml+sqlite", rates[int(Program::PagrionStatic)],
               rates[int(Program::Sequential)], 2.0);
    if (staticCpuMs > 0) {
        const double parserMs = parserAloneMsPerPage(LocalPages);
        std::printf("loopback, static CPU per page: %.2f ms (target 1.2 ms or less); the parser alone on the same "
                    "page: %.2f ms\n",
                    staticCpuMs, parserMs);
    }

    const PageServer distant(servedPages(DistantPages), DistantDelayMs);
    const char *server = "100 ms per answer";
    for (const Program program : Programs)
        rates[int(program)] = run(server, program, distant.url(PagePath), DistantPages).pagesPerSecond;
    for (const int pages : BrowserPagesTried)
        run(server, Program::PagrionBrowser, distant.url(PagePath), DistantPages, pages);
    printRatio("100 ms, static against Scrapy 16 at once", rates[int(Program::PagrionStatic)],
               rates[int(Program::Scrapy)], 1.0);
    printRatio("100 ms, browser against 5.9 pages/s before look-ahead", rates[int(Program::PagrionBrowser)],
               BrowserBeforeLookAhead, 4.0);
    return ok;
}

bool runMemoryBench()
{
    QTemporaryDir folder;
    PageServer server(servedPages(MemoryPages));
    if (!folder.isValid() || !server.isListening() || !prepareProgramFolder(folder.path()))
        return false;
    pid_t child = 0;
    double firstPeak = 0;
    QObject::connect(&server, &PageServer::requestReceived, &server, [&](int count) {
        if (count == MemoryFirstSample)
            firstPeak = peakMegabytesOf(child);
    });
    const ChildRun run = runProgram(Program::PagrionStatic, server.url(PagePath), MemoryPages, folder.path(),
                                    [&child](pid_t pid) { child = pid; });
    if (!runOk(run, MemoryPages, "the memory run"))
        return false;
    std::printf("memory, static run of %d pages: peak %.1f MB after %d pages, %.1f MB after %d (%+.1f%%)\n",
                MemoryPages, firstPeak, MemoryFirstSample, run.peakMegabytes, MemoryPages,
                firstPeak > 0 ? (run.peakMegabytes / firstPeak - 1.0) * 100.0 : 0.0);
    return true;
}

} // namespace pagrion::bench
