#include "bench/tlssitebench.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <optional>
#include <vector>

#include <QFile>
#include <QMap>
#include <QSet>
#include <QTemporaryDir>

#include "bench/batchruns.h"
#include "bench/childrun.h"
#include "bench/delayrelay.h"
#include "bench/generatedpages.h"
#include "bench/nginxserver.h"
#include "bench/testauthority.h"

using namespace Qt::StringLiterals;

namespace pagrion::bench {

namespace {

// Pages at once for every program: Pagrion's --concurrency, the peers' threads
// and requests in flight.
constexpr int Width = 16;
constexpr int OneWayDelaysMs[] = {25, 50};
// Long enough that starting a program weighs little beside its pages.
constexpr int PagesPerRun = Width * 50;

struct PageSize
{
    const char *name;
    int tables;         // of about 10 KB each
    double cpuTargetMs; // Pagrion's CPU time per page at most; 0: none
};
constexpr PageSize PageSizes[] = {{"10 KB", 1, 0}, {"80 KB", 8, 4.0}};

enum class Program { PagrionHttp2, PagrionHttp1, Requests, Scrapy };
constexpr Program Programs[] = {Program::PagrionHttp2, Program::PagrionHttp1, Program::Requests, Program::Scrapy};

const char *programName(Program program)
{
    switch (program) {
    case Program::PagrionHttp2: return "Pagrion static";
    case Program::PagrionHttp1: return "Pagrion static, HTTP/1.1";
    case Program::Requests: return "requests, 16 threads";
    case Program::Scrapy: return "Scrapy, 16 at once";
    }
    return "";
}

// The programs trust the test authority the way each of their users would
// give it: pagrion-cli as curl and OpenSSL read it (CURL_CA_BUNDLE first),
// requests by its own variable; Scrapy checks no certificate by default. The
// site is reached directly whatever proxy the environment names. The
// variables are as before once the section ends.
class SectionEnvironment final
{
public:
    explicit SectionEnvironment(const QString &authorityFile)
    {
        const QByteArray file = QFile::encodeName(authorityFile);
        for (const char *name : {"CURL_CA_BUNDLE", "SSL_CERT_FILE", "REQUESTS_CA_BUNDLE"})
            set(name, file);
        for (const char *name : {"no_proxy", "NO_PROXY"})
            set(name, "127.0.0.1");
    }
    ~SectionEnvironment()
    {
        for (const auto &[name, value] : m_before) {
            if (value)
                qputenv(name, *value);
            else
                qunsetenv(name);
        }
    }
    Q_DISABLE_COPY_MOVE(SectionEnvironment)

private:
    void set(const char *name, const QByteArray &value)
    {
        m_before.emplace_back(name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
        qputenv(name, value);
    }

    std::vector<std::pair<const char *, std::optional<QByteArray>>> m_before;
};

// What nginx logged of one run.
struct ConnectionFigures
{
    int requests = 0;
    double loadingSeconds = 0; // from the first answer to the last
    int connections = 0;
    int newSessions = 0;     // full TLS handshakes
    int resumedSessions = 0; // handshakes that resumed an earlier session
    QString protocols;       // HTTP's and TLS's versions: "h2 TLSv1.3"
};

ConnectionFigures connectionFigures(const QByteArray &log)
{
    ConnectionFigures figures;
    QMap<QByteArray, bool> resumedByConnection;
    QSet<QByteArray> protocols;
    double firstAnswer = 0;
    double lastAnswer = 0;
    for (const QByteArray &line : log.split('\n')) {
        const QList<QByteArray> words = line.split(' ');
        if (words.size() < 5)
            continue;
        const double answered = words[0].toDouble();
        firstAnswer = figures.requests == 0 ? answered : std::min(firstAnswer, answered);
        lastAnswer = std::max(lastAnswer, answered);
        ++figures.requests;
        resumedByConnection.insert(words[1], words[2] == "r");
        const QByteArray http = words[3] == "HTTP/2.0" ? "h2" : words[3].mid(5);
        protocols.insert(http + ' ' + words[4]);
    }
    figures.loadingSeconds = lastAnswer - firstAnswer;
    figures.connections = int(resumedByConnection.size());
    for (const bool resumed : std::as_const(resumedByConnection))
        ++(resumed ? figures.resumedSessions : figures.newSessions);
    QStringList names;
    for (const QByteArray &protocol : std::as_const(protocols))
        names << QString::fromLatin1(protocol);
    names.sort();
    figures.protocols = names.join(u", "_s);
    return figures;
}

struct Row
{
    double pagesPerSecond = 0; // over the whole run; 0 for a program skipped
    // Between the first page nginx answered and the last: without the
    // program's start and the first connection's set-up.
    double loadingPagesPerSecond = 0;
    double cpuMsPerPage = 0;
};

// The place one group of rows runs at: the site's two ports behind relays of
// one delay, with pages of one size.
struct Distant
{
    int oneWayMs;
    const PageSize &size;
    QString http2Pattern;
    QString http1Pattern;
};

ChildRun runProgram(Program program, const Distant &distant, const QString &folder)
{
    const QString peers = QStringLiteral(PAGRION_PEERS_DIR) + u'/';
    const QStringList peerArguments{distant.http2Pattern, QString::number(PagesPerRun), folder + u"/peer.sqlite"_s};
    const QStringList width{u"--concurrency"_s, QString::number(Width)};
    switch (program) {
    case Program::PagrionHttp2:
        return runChild(QStringLiteral(PAGRION_CLI),
                        pagrionBatchArguments(u"static"_s, distant.http2Pattern, PagesPerRun, folder, width));
    case Program::PagrionHttp1:
        return runChild(QStringLiteral(PAGRION_CLI),
                        pagrionBatchArguments(u"static"_s, distant.http1Pattern, PagesPerRun, folder, width));
    case Program::Requests: return runChild(PeerPython, QStringList{peers + u"threaded16.py"_s} + peerArguments);
    case Program::Scrapy: return runChild(PeerPython, QStringList{peers + u"scrapy16.py"_s} + peerArguments);
    }
    return {};
}

std::optional<QString> missingPeer(Program program)
{
    switch (program) {
    case Program::Requests: return missingPythonModules(u"requests, lxml"_s, u"python3-requests or python3-lxml"_s);
    case Program::Scrapy: return missingPythonModules(u"scrapy"_s, u"python3-scrapy"_s);
    default: return std::nullopt;
    }
}

void printHeading()
{
    std::printf("%-10s %-5s %-24s %5s %8s %8s %11s %10s %12s %12s %-16s %s\n", "round trip", "page", "program",
                "pages", "pages/s", "loading", "CPU ms/page", "conns/page", "new TLS/page", "resumed/page",
                "conns (new+res)", "protocols");
}

// One row of the table, or nullopt when the program ran and failed.
std::optional<Row> runRow(Program program, const Distant &distant, NginxServer &nginx)
{
    std::printf("%-10s %-5s %-24s ", qPrintable(u"%1 ms"_s.arg(2 * distant.oneWayMs)), distant.size.name,
                programName(program));
    std::fflush(stdout);
    if (const auto missing = missingPeer(program)) {
        std::printf("skipped: %s\n", qPrintable(*missing));
        return Row{};
    }
    QTemporaryDir folder;
    if (!folder.isValid() || !prepareProgramFolder(folder.path()))
        return std::nullopt;
    nginx.takeAccessLog(); // what came before this run
    const ChildRun run = runProgram(program, distant, folder.path());
    if (!runOk(run, PagesPerRun, programName(program))) {
        std::printf("failed\n");
        return std::nullopt;
    }
    const ConnectionFigures log = connectionFigures(nginx.takeAccessLog());
    const Row row{PagesPerRun / run.seconds,
                  log.loadingSeconds > 0 ? (log.requests - 1) / log.loadingSeconds : 0,
                  run.cpuSeconds * 1000.0 / PagesPerRun};
    const double pages = PagesPerRun;
    const QString connections = u"%1 (%2+%3)"_s.arg(log.connections).arg(log.newSessions).arg(log.resumedSessions);
    std::printf("%5d %8.1f %8.1f %11.2f %10.3f %12.3f %12.3f %-16s %s", PagesPerRun, row.pagesPerSecond,
                row.loadingPagesPerSecond, row.cpuMsPerPage, log.connections / pages, log.newSessions / pages,
                log.resumedSessions / pages, qPrintable(connections), qPrintable(log.protocols));
    if (log.requests != PagesPerRun)
        std::printf("; %d requests for %d pages", log.requests, PagesPerRun);
    std::printf("\n");
    std::fflush(stdout);
    return row;
}

// A Pagrion row beside the width's own limit, the peers and the CPU target.
void printRatios(const Distant &distant, Program program, const Row rows[])
{
    const Row &pagrion = rows[int(program)];
    if (pagrion.pagesPerSecond <= 0)
        return;
    const double limit = Width * 1000.0 / (2 * distant.oneWayMs);
    std::printf("%d ms, %s, %s: %.2f of the width's limit of %.0f pages/s while loading, %.2f over the whole run "
                "(target 0.9 or more)",
                2 * distant.oneWayMs, distant.size.name, programName(program), pagrion.loadingPagesPerSecond / limit,
                limit, pagrion.pagesPerSecond / limit);
    const auto against = [&](Program peer, const char *name, double target) {
        if (const double rate = rows[int(peer)].pagesPerSecond; rate > 0)
            std::printf(", %.2fx %s (target %.1fx or more)", pagrion.pagesPerSecond / rate, name, target);
    };
    against(Program::Requests, "requests", 1.0);
    against(Program::Scrapy, "Scrapy", 2.0);
    if (distant.size.cpuTargetMs > 0)
        std::printf(", %.2f ms CPU per page (target %.0f ms or less)", pagrion.cpuMsPerPage, distant.size.cpuTargetMs);
    std::printf("\n");
}

} // namespace

bool runTlsSiteTable()
{
    std::printf("distant TLS site: nginx over HTTPS behind a relay adding %d or %d ms each way; pages of %.1f and "
                "%.1f KB, %d a run, %d at once;\n  pages/s over the whole run and while loading (from nginx's first answer "
                "to its last); the connections that carried requests and their TLS handshakes as nginx logged them\n",
                OneWayDelaysMs[0], OneWayDelaysMs[1], generatedPage(1, PageSizes[0].tables).size() / 1000.0,
                generatedPage(1, PageSizes[1].tables).size() / 1000.0, PagesPerRun, Width);
    const TestAuthority authority;
    if (!authority.problem().isEmpty()) {
        std::printf("distant TLS site skipped: %s\n", qPrintable(authority.problem()));
        return true;
    }
    const SectionEnvironment environment(authority.authorityFile());
    printHeading();
    std::fflush(stdout);
    bool ok = true;
    for (const PageSize &size : PageSizes) {
        NginxServer nginx([&size](int n) { return generatedPage(n, size.tables); }, PagesPerRun,
                          authority.server());
        if (!nginx.problem().isEmpty()) {
            std::printf("%s pages skipped: %s\n", size.name, qPrintable(nginx.problem()));
            continue;
        }
        for (const int oneWayMs : OneWayDelaysMs) {
            const DelayRelay http2(nginx.port(), oneWayMs);
            const DelayRelay http1(nginx.http1Port(), oneWayMs);
            if (!http2.isListening() || !http1.isListening()) {
                std::fprintf(stderr, "bench: the delay relay cannot listen\n");
                return false;
            }
            const auto pattern = [](const DelayRelay &relay) {
                return u"https://127.0.0.1:%1%2"_s.arg(relay.port()).arg(PagePath);
            };
            const Distant distant{oneWayMs, size, pattern(http2), pattern(http1)};
            Row rows[std::size(Programs)] = {};
            for (const Program program : Programs) {
                const std::optional<Row> row = runRow(program, distant, nginx);
                ok = row && ok;
                rows[int(program)] = row.value_or(Row{});
            }
            for (const Program program : {Program::PagrionHttp2, Program::PagrionHttp1})
                printRatios(distant, program, rows);
            std::fflush(stdout);
        }
    }
    return ok;
}

} // namespace pagrion::bench
