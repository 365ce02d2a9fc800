#include <cstdio>

#include <QCoreApplication>
#include <QStringList>
#include <QThread>

#include "bench/batchbench.h"
#include "bench/enginetargets.h"
#include "bench/extractionbench.h"
#include "bench/tlssitebench.h"

using namespace Qt::StringLiterals;

// Sections can be named on the command line (batch, tls, memory,
// extraction, engine); without names all of them run.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList named = app.arguments().mid(1);
    const auto wanted = [&](const QString &section) { return named.isEmpty() || named.contains(section); };
    std::printf("pagrion-bench: %d cores\n", QThread::idealThreadCount());
    std::fflush(stdout);
    bool ok = true;
    if (wanted(u"batch"_s))
        ok = pagrion::bench::runBatchTable() && ok;
    std::fflush(stdout);
    if (wanted(u"tls"_s))
        ok = pagrion::bench::runTlsSiteTable() && ok;
    std::fflush(stdout);
    if (wanted(u"memory"_s))
        ok = pagrion::bench::runMemoryBench() && ok;
    std::fflush(stdout);
    if (wanted(u"extraction"_s))
        ok = pagrion::bench::runExtractionBench() && ok;
    std::fflush(stdout);
    if (wanted(u"engine"_s))
        ok = pagrion::bench::runEngineTargets() && ok;
    return ok ? 0 : 1;
}
