#include <cstdio>

#include <QCoreApplication>
#include <QThread>

#include "bench/batchbench.h"
#include "bench/extractionbench.h"

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::printf("pagrion-bench: %d cores\n", QThread::idealThreadCount());
    std::fflush(stdout);
    bool ok = pagrion::bench::runBatchTable();
    std::fflush(stdout);
    ok = pagrion::bench::runMemoryBench() && ok;
    std::fflush(stdout);
    ok = pagrion::bench::runExtractionBench() && ok;
    return ok ? 0 : 1;
}
