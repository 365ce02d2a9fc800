#include "cli/batchcommand.h"

#include <algorithm>

#include "batch/batchprogress.h"
#include "batch/batchrun.h"
#include "cli/cliterminal.h"
#include "cli/commandline.h"
#include "cli/joboptions.h"
#include "cli/pageload.h"
#include "cli/serveroptions.h"
#include "cli/stopsignal.h"
#include "cli/terminalbatchhost.h"
#include "core/textrules.h"
#include "engine/browser.h"
#include "engine/pagewaiter.h"
#include "store/database.h"
#include "store/programfolder.h"

using namespace Qt::StringLiterals;

namespace pagrion::cli {

namespace {

struct BatchOptions
{
    QCommandLineOption site{u"site"_s,
                            u"按这个网址保存的采集设置（表名称、要去掉的行、行列转换、采集分析模式、记录方式）提取每个网页，"
                            u"命令行上给出的设置代替保存的。给出 --tables（或元素的 --class）时可以不用。"_s,
                            u"网址"_s};
    QCommandLineOption pattern{u"pattern"_s, u"参数调用：含通配符 (*) 的地址，(*) 依次换成 --from 到 --to 的每个整数。"_s,
                               u"地址模式"_s};
    QCommandLineOption from{u"from"_s, u"参数的起始值。"_s, u"起始值"_s};
    QCommandLineOption to{u"to"_s, u"参数的结束值。"_s, u"结束值"_s};
    QCommandLineOption links{u"links"_s, u"网页URL：采集这个网页中所有连接指向的网页。"_s, u"起始网页"_s};
    QCommandLineOption nextPage{u"next-page"_s,
                                u"下一页：从这个网页开始，沿“下一页”链接逐页采集，直到没有下一页、链接回到采集过的网页或达到 --max-pages。"_s,
                                u"起始网页"_s};
    QCommandLineOption nextText{
        u"next-text"_s,
        u"“下一页”链接的文字，正则表达式，不区分大小写（默认按系统设置，未设置时 %1）；文字完全符合的链接优先。"_s.arg(
            LoadSettings::DefaultNextText),
        u"正则表达式"_s};
    QCommandLineOption maxPages{
        u"max-pages"_s,
        u"--next-page 最多采集的网页数（默认按系统设置，未设置时 %1）。"_s.arg(LoadSettings::DefaultMaxNextPages),
        u"页数"_s};
    QCommandLineOption overwrite{u"overwrite"_s, u"采集第一个网页之前清空结果数据库中已有的记录。"_s};
    QCommandLineOption skipEmptyFirst{u"skip-empty-first"_s, u"不存第一个字段为空的记录。"_s};
    QCommandLineOption concurrency{
        u"concurrency"_s,
        u"同一网站最多同时打开的网页数（默认按系统设置，未设置时 %1）；1 为一页接一页地打开。"_s.arg(
            LoadSettings::DefaultConcurrency),
        u"个数"_s};
    QCommandLineOption retries{
        u"retries"_s,
        u"网页因超时、连接中断或 HTTP 429、500、502、503、504 打开失败时再试的次数（默认按系统设置，未设置时 %1），"
        u"每次先等 1、2、4……秒（最多 60 秒），服务器要求更久时按服务器的。"_s.arg(LoadSettings::DefaultRetries),
        u"次数"_s};
    QCommandLineOption delay{u"delay"_s, u"向同一网站发出两次请求之间至少间隔的秒数，可以带小数（默认按系统设置，未设置时 0）。"_s,
                             u"秒数"_s};
    QCommandLineOption maxBodyMb{
        u"max-body-mb"_s,
        u"一个网页最多读取的兆字节数，超过即算打开失败（默认按系统设置，未设置时 %1）。"_s.arg(PageLimits::DefaultMaxBodyBytes >> 20),
        u"兆字节"_s};
    QCommandLineOption aheadMb{
        u"ahead-mb"_s,
        u"预先打开、等待处理的网页最多占用的兆字节数（默认按系统设置，未设置时 %1）；网页很大时可以调小。"_s.arg(
            LoadSettings::DefaultAheadBytes >> 20),
        u"兆字节"_s};
    QCommandLineOption resume{u"resume"_s,
                              u"继续上次用相同设置进行、没有完成的批量采集：已处理过的网页（已存入、跳过或失败）不再打开，"
                              u"其余网页照常采集（不清空结果数据库）。上次用相同设置的采集已经完成时不再采集；找不到用相同设置进行的采集时不采集（退出状态 2），结果数据库不变。"_s};
};

// The options that set a load setting for this run only.
void applyLoadOptions(const QCommandLineParser &parser, const BatchOptions &options, LoadSettings &load)
{
    const LoadOption fields[]{
        {options.concurrency, LoadSettings::Field::Concurrency},
        {options.retries, LoadSettings::Field::Retries},
        {options.delay, LoadSettings::Field::Delay},
        {options.maxBodyMb, LoadSettings::Field::MaxBody},
        {options.aheadMb, LoadSettings::Field::AheadMemory},
        {options.nextText, LoadSettings::Field::NextText},
        {options.maxPages, LoadSettings::Field::MaxNextPages},
    };
    pagrion::cli::applyLoadOptions(parser, fields, load);
}

// The run's job: the settings saved for --site, when it is given, with the
// job options in their place.
SiteJob batchJob(const QCommandLineParser &parser, const BatchOptions &options, const JobOptions &jobOptions)
{
    SiteJob job;
    const bool bySite = parser.isSet(options.site);
    if (bySite)
        job.settings = savedSettings(parser.value(options.site));
    job = jobOptions.applied(parser, job);
    if (!bySite && trimSpaces(job.settings.tableName).isEmpty())
        fail(ExitCode::Usage, u"请用 --site 指定使用哪个网址保存的采集设置，或用 --tables 给出要提取的表名称。"_s);
    return job;
}

// The run's settings as the window holds them once the job is set up in it.
BatchSettings jobSettings(const SiteJob &job)
{
    BatchSettings settings;
    settings.tableNames = job.settings.tableName;
    settings.rowFilter = job.settings.tableRow;
    settings.swap = job.settings.rowchange;
    settings.classValue = classFor(job.settings.classname).value;
    settings.records = job.settings.records.value_or(RecordSource::Layout);
    settings.everyRow = job.settings.everyRow;
    settings.sourceColumns = job.settings.sourceColumns;
    settings.layout = job.layout;
    settings.fields = job.fields;
    settings.headLength = job.headLength;
    return settings;
}

// The run would only tell a missing result database at its first page.
void requireResultDatabase()
{
    Database db;
    if (const Status opened = db.open(programFolder().resultDatabasePath()); !opened)
        fail(ExitCode::Database, opened.error());
}

} // namespace

int runBatch(const QStringList &arguments)
{
    CommandLine commandLine(
        u"pagrion-cli batch (--site 网址 | --tables 表名称) (--pattern 地址模式 --from 起始值 --to 结束值 | --links 起始网页 | "
        u"--next-page 起始网页) [选项]"_s,
        u"批量采集：按网址保存的采集设置或命令行上给出的设置提取每个网页，用排版、字段或逐行记录生成记录，"
        u"追加到结果数据库 data/data.mdb。"
        u"失败的网页（HTTP 错误、超时、连接被拒绝、排版或字段与网页不符等）不存任何记录，在标准错误中列出网页和原因，"
        u"采集照常进行。按 Ctrl+C（或发送 SIGTERM）停止：正在打开的网页不保存，已存入的记录保留，用 --resume 可以接着采集。\n"
        u"退出状态：0 采集完成，1 没有可用的排版或字段，2 命令行或检查有误，4 数据库出错，"
        u"5 采集完成但有网页失败，130 被 Ctrl+C 停止，143 被 SIGTERM 停止。"_s,
        CommandLine::Pages::Loaded);
    QCommandLineParser &parser = commandLine.parser();
    const BatchOptions options;
    const JobOptions jobOptions;
    parser.addOptions({options.site, options.pattern, options.from, options.to, options.links, options.nextPage,
                       options.nextText, options.maxPages});
    jobOptions.addTo(parser);
    parser.addOptions({options.overwrite, options.skipEmptyFirst, options.concurrency, options.retries, options.delay,
                       options.maxBodyMb, options.aheadMb, options.resume});
    const ServerOptions serverOptions;
    serverOptions.addTo(parser, true);

    commandLine.parse(arguments);
    if (commandLine.helpRequested()) {
        writeOutput(commandLine.helpText());
        return int(ExitCode::Success);
    }
    if (!parser.positionalArguments().isEmpty())
        fail(ExitCode::Usage, u"多余的参数：%1"_s.arg(parser.positionalArguments().join(u' ')));
    const std::pair<const QCommandLineOption &, BatchSettings::Mode> modes[]{
        {options.pattern, BatchSettings::Mode::Parameter},
        {options.links, BatchSettings::Mode::Links},
        {options.nextPage, BatchSettings::Mode::NextPage},
    };
    const auto given = [&](const auto &mode) { return parser.isSet(mode.first); };
    if (std::ranges::count_if(modes, given) != 1)
        fail(ExitCode::Usage, u"请用 --pattern、--links 或 --next-page 之一指定要采集的网页。"_s);
    const auto &[pages, mode] = *std::ranges::find_if(modes, given);
    if (mode != BatchSettings::Mode::Parameter && (parser.isSet(options.from) || parser.isSet(options.to)))
        fail(ExitCode::Usage, u"--from 和 --to 只能和 --pattern 一起使用。"_s);
    if (mode != BatchSettings::Mode::NextPage && (parser.isSet(options.nextText) || parser.isSet(options.maxPages)))
        fail(ExitCode::Usage, u"--next-text 和 --max-pages 只能和 --next-page 一起使用。"_s);

    BatchSettings settings = jobSettings(batchJob(parser, options, jobOptions));
    settings.mode = mode;
    settings.address = parser.value(pages);
    // Missing values reach the run's own check, which names the problem.
    settings.from = parser.value(options.from);
    settings.to = parser.value(options.to);
    settings.overwrite = parser.isSet(options.overwrite);
    settings.skipEmptyFirstField = parser.isSet(options.skipEmptyFirst);
    settings.resume = parser.isSet(options.resume);
    applyLoadOptions(parser, options, commandLine.loadSettings());
    settings.useLoadSettings(commandLine.loadSettings());
    const int leaseMs = serverOptions.leaseMs(parser);
    std::shared_ptr<ServerStore> server;
    if (parser.isSet(serverOptions.server))
        server = openServer(parser.value(serverOptions.server));
    else
        requireResultDatabase();

    const std::unique_ptr<Browser> browser = commandLine.browser();
    PageWaiter waiter(*browser);
    TerminalBatchHost host(waiter);
    StopSignal stopSignal;
    QObject::connect(&stopSignal, &StopSignal::stopRequested, &waiter, [&] { host.stop(stopSignal.signalNumber()); });
    if (server) {
        if (const Status published = publishOnServer(
                settings, server, parser.value(serverOptions.server), leaseMs, [&] { return host.headLength(); },
                [&] { return host.stopRequested(); });
            !published)
            fail(ExitCode::Database, published.error());
    }

    Grid mainGrid;
    Grid recordGrid;
    QStringList pageList;
    BatchRun run(waiter, host, mainGrid, recordGrid, pageList);
    const BatchRun::Outcome outcome = run.run(settings);
    if (outcome.end != BatchRun::End::Refused)
        writeRunSummary(outcome.stats, outcome.resumedPart);
    return int(host.exitCode(outcome));
}

} // namespace pagrion::cli
