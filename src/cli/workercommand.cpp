#include "cli/workercommand.h"

#include <QEventLoop>
#include <QSet>
#include <QTimer>

#include "batch/batchresume.h"
#include "batch/batchrun.h"
#include "cli/cliterminal.h"
#include "cli/commandline.h"
#include "cli/serveroptions.h"
#include "cli/stopsignal.h"
#include "cli/terminalbatchhost.h"
#include "engine/browser.h"
#include "engine/pagewaiter.h"
#include "store/server/serverstore.h"

using namespace Qt::StringLiterals;

namespace pagrion::cli {

namespace {

// How often a waiting worker looks for new runs.
constexpr int LookForRunsEveryMs = 2000;

struct WorkerOptions
{
    QCommandLineOption concurrency{u"concurrency"_s,
                                   u"同一网站最多同时打开的网页数（默认按系统设置，未设置时 %1）。"_s.arg(
                                       LoadSettings::DefaultConcurrency),
                                   u"个数"_s};
    QCommandLineOption retries{u"retries"_s, u"网页打开失败时再试的次数（默认按系统设置）。"_s, u"次数"_s};
    QCommandLineOption delay{u"delay"_s, u"向同一网站发出两次请求之间至少间隔的秒数（默认按系统设置）。"_s, u"秒数"_s};
    QCommandLineOption wait{u"wait"_s, u"没有未完成的采集时不退出，等待新发布的采集（用 Ctrl+C 结束）。"_s};
};

// Lets the stop signal through while nothing is to be done.
void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int runWorker(const QStringList &arguments)
{
    CommandLine commandLine(
        u"pagrion-cli worker --server URI [--concurrency 个数] [--engine 引擎] [--wait] [选项]"_s,
        u"在结果服务器上采集：依次认领服务器上每个未完成的批量采集的网页（每次几页），按采集发布时的设置提取并把记录存到服务器，"
        u"直到没有剩下的网页（--wait 时继续等待新的采集）。不需要本机的采集设置和结果数据库。"
        u"按 Ctrl+C（或发送 SIGTERM）停止：认领了还没有采集完的网页立即交还，由其他进程采集。\n"
        u"退出状态：0 完成，2 命令行有误，4 结果服务器无法连接或出错，5 完成但有网页失败，130 被 Ctrl+C 停止，143 被 SIGTERM 停止。"_s,
        CommandLine::Pages::Loaded);
    QCommandLineParser &parser = commandLine.parser();
    const ServerOptions serverOptions;
    serverOptions.addTo(parser, true);
    const WorkerOptions options;
    parser.addOptions({options.concurrency, options.retries, options.delay, options.wait});
    commandLine.parse(arguments);
    if (commandLine.helpRequested()) {
        writeOutput(commandLine.helpText());
        return int(ExitCode::Success);
    }
    if (!parser.positionalArguments().isEmpty())
        fail(ExitCode::Usage, u"多余的参数：%1"_s.arg(parser.positionalArguments().join(u' ')));
    if (!parser.isSet(serverOptions.server))
        fail(ExitCode::Usage, u"请用 --server 指定结果服务器。"_s);
    const LoadOption loadOptions[]{
        {options.concurrency, LoadSettings::Field::Concurrency},
        {options.retries, LoadSettings::Field::Retries},
        {options.delay, LoadSettings::Field::Delay},
    };
    applyLoadOptions(parser, loadOptions, commandLine.loadSettings());
    const int leaseMs = serverOptions.leaseMs(parser);
    const QString uri = parser.value(serverOptions.server);
    const std::shared_ptr<ServerStore> server = openServer(uri);

    const std::unique_ptr<Browser> browser = commandLine.browser();
    PageWaiter waiter(*browser);
    TerminalBatchHost host(waiter);
    StopSignal stopSignal;
    QObject::connect(&stopSignal, &StopSignal::stopRequested, &waiter, [&] { host.stop(stopSignal.signalNumber()); });
    const auto stopped = [&] { return host.stopRequested(); };

    BatchStats total;
    BatchRun::Outcome last{BatchRun::End::Finished, {}, std::nullopt};
    QSet<qint64> passedOver; // runs this process cannot work on: unreadable settings, no job
    while (!stopped()) {
        const auto runs = server->openRuns();
        if (!runs)
            fail(ExitCode::Database, runs.error());
        bool worked = false;
        for (const ServerRun &run : runs.value()) {
            if (stopped() || passedOver.contains(run.id))
                continue;
            std::optional<BatchSettings> settings = settingsFromRecorded(run.settings);
            if (!settings) {
                host.message(u"结果服务器上的采集 %1 的设置无法读取（可能由较新版本的 Pagrion 发布），跳过。"_s.arg(run.id));
                passedOver.insert(run.id);
                continue;
            }
            settings->useLoadSettings(commandLine.loadSettings());
            settings->resume = true;
            shareRun(*settings, server, uri, leaseMs, run.id, stopped);
            host.status(u"采集 %1：%2"_s.arg(run.id).arg(settings->address));
            Grid mainGrid;
            Grid recordGrid;
            QStringList pageList;
            BatchRun batch(waiter, host, mainGrid, recordGrid, pageList);
            last = batch.run(*settings);
            total += last.stats;
            worked = true;
            if (last.end == BatchRun::End::StoreFailed)
                break;
            // Such a run would end the same way at every turn.
            if (last.end != BatchRun::End::Finished && last.end != BatchRun::End::Stopped)
                passedOver.insert(run.id);
        }
        if (last.end == BatchRun::End::StoreFailed || (!worked && !parser.isSet(options.wait)))
            break;
        if (!worked)
            pause(LookForRunsEveryMs);
    }
    writeRunSummary(total);
    if (stopped())
        last.end = BatchRun::End::Stopped;
    else if (last.end != BatchRun::End::StoreFailed)
        last.end = BatchRun::End::Finished;
    last.stats = total;
    return int(host.exitCode(last));
}

} // namespace pagrion::cli
