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
    // Static first: the peak memory printed for each run is the largest so far.
    bool batch = pagrion::bench::runBatchBench(pagrion::EngineKind::Static);
    std::fflush(stdout);
    batch = pagrion::bench::runBatchBench(pagrion::EngineKind::Browser) && batch;
    std::fflush(stdout);
    const bool extraction = pagrion::bench::runExtractionBench();
    return batch && extraction ? 0 : 1;
}
