#include "cli/sitecommand.h"

#include <array>

#include <QDir>

#include "cli/cliterminal.h"
#include "cli/commandline.h"
#include "cli/joboptions.h"
#include "store/jobfile.h"

using namespace Qt::StringLiterals;

namespace pagrion::cli {

namespace {

// Parses the subcommand's arguments; false when only its help was asked for,
// which is then written.
bool parseCommand(CommandLine &commandLine, const QStringList &arguments)
{
    commandLine.parse(arguments);
    if (!commandLine.helpRequested())
        return true;
    writeOutput(commandLine.helpText());
    return false;
}

// A line per setting, in the notation the job options take.
QString jobText(const SiteJob &job)
{
    const SiteSettings &settings = job.settings;
    const auto yesNo = [](bool value) { return value ? u"是"_s : u"否"_s; };
    QStringList lines{
        u"网址：%1"_s.arg(settings.web),
        u"表名称：%1"_s.arg(settings.tableName),
        u"要去掉的行：%1"_s.arg(settings.tableRow),
        u"行列转换：%1"_s.arg(yesNo(settings.rowchange)),
        u"采集分析模式：%1"_s.arg(settings.classname),
        u"记录方式：%1"_s.arg(settings.records ? recordSourceCaption(*settings.records)
                                               : recordSourceCaption(RecordSource::Layout) + u"（未选择，默认）"_s),
        u"表头行数：%1"_s.arg(headerRowsText(settings.everyRow.headerRows)),
        u"保留的列：%1"_s.arg(settings.everyRow.columns.isEmpty() ? u"全部"_s : settings.everyRow.columns),
        u"来源网址和行号两列：%1"_s.arg(settings.sourceColumns ? yesNo(*settings.sourceColumns) : u"默认"_s),
    };
    if (job.layout)
        lines << u"排版：%1"_s.arg(layoutText(*job.layout));
    if (job.fields)
        lines << u"字段：%1"_s.arg(fieldsText(*job.fields));
    if (job.headLength)
        lines << u"字段截取长度：%1"_s.arg(*job.headLength);
    return lines.join(u'\n') + u'\n';
}

int runSave(const QStringList &arguments)
{
    CommandLine commandLine(
        u"pagrion-cli site save 网址 [选项]"_s,
        u"保存网址的采集设置，和窗口提取时保存的一样：表名称、要去掉的行、行列转换、采集分析模式和记录方式，"
        u"给出的排版或字段（保存排版会清空保存的字段，反过来也一样），以及字段截取长度。"
        u"已经保存过的网址，没有给出的设置保持不变。\n"
        u"退出状态：0 已保存，2 命令行有误，4 数据库无法读写。"_s,
        CommandLine::Pages::None);
    const JobOptions jobOptions;
    jobOptions.addTo(commandLine.parser());
    commandLine.parser().addPositionalArgument(u"网址"_s, u"要保存采集设置的网址。"_s);
    if (!parseCommand(commandLine, arguments))
        return int(ExitCode::Success);
    const QString web = commandLine.singleArgument(u"网址"_s);
    if (web.isEmpty())
        fail(ExitCode::Usage, u"网址不能为空。"_s);

    const auto stored = readSiteSettings(web);
    if (!stored)
        fail(ExitCode::Database, stored.error());
    SiteJob job;
    job.settings.web = web;
    if (stored.value())
        job.settings = *stored.value();
    job = jobOptions.applied(commandLine.parser(), job);
    if (const Status saved = saveSiteJob(job); !saved)
        fail(ExitCode::Database, saved.error());
    writeOutput(u"已保存网址“%1”的采集设置。\n"_s.arg(web));
    return int(ExitCode::Success);
}

int runShow(const QStringList &arguments)
{
    CommandLine commandLine(u"pagrion-cli site show 网址"_s,
                            u"显示网址保存的采集设置，以及它的记录方式所用的排版或字段（写法和采集设置选项的一样）。\n"
                            u"退出状态：0 成功，2 命令行有误或没有保存过这个网址，4 数据库无法读取。"_s,
                            CommandLine::Pages::None);
    commandLine.parser().addPositionalArgument(u"网址"_s, u"保存过采集设置的网址。"_s);
    if (!parseCommand(commandLine, arguments))
        return int(ExitCode::Success);
    writeOutput(jobText(savedJob(commandLine.singleArgument(u"网址"_s))));
    return int(ExitCode::Success);
}

int runExport(const QStringList &arguments)
{
    CommandLine commandLine(u"pagrion-cli site export 网址 文件.json"_s,
                            u"把网址的采集任务写入一个 JSON 文件：保存的采集设置，它的记录方式所用的排版或字段，"
                            u"用字段时还有字段截取长度。在另一台电脑上用 site import 导入。\n"
                            u"退出状态：0 成功，2 命令行有误或没有保存过这个网址，4 数据库无法读取或文件无法写入。"_s,
                            CommandLine::Pages::None);
    commandLine.parser().addPositionalArgument(u"网址"_s, u"保存过采集设置的网址。"_s);
    commandLine.parser().addPositionalArgument(u"文件.json"_s, u"要写入的文件。"_s);
    if (!parseCommand(commandLine, arguments))
        return int(ExitCode::Success);
    const QStringList given = commandLine.positionalArguments({u"网址"_s, u"要写入的文件"_s});
    const SiteJob job = savedJob(given.at(0));
    if (const Status written = writeJobFile(given.at(1), job); !written)
        fail(ExitCode::Database, written.error());
    writeOutput(u"已把网址“%1”的采集任务写入 %2\n"_s.arg(job.settings.web, QDir::toNativeSeparators(given.at(1))));
    return int(ExitCode::Success);
}

int runImport(const QStringList &arguments)
{
    CommandLine commandLine(u"pagrion-cli site import 文件.json"_s,
                            u"导入 site export 写下的采集任务：保存其中网址的采集设置，其中的排版或字段代替保存的，"
                            u"有字段截取长度时也保存。文件有误时什么都不改变。\n"
                            u"退出状态：0 已导入，2 命令行或文件内容有误，4 文件无法读取或不是 JSON，或数据库无法写入。"_s,
                            CommandLine::Pages::None);
    commandLine.parser().addPositionalArgument(u"文件.json"_s, u"要导入的文件。"_s);
    if (!parseCommand(commandLine, arguments))
        return int(ExitCode::Success);
    const Result<QJsonObject> json = readJobFile(commandLine.singleArgument(u"要导入的文件"_s));
    if (!json)
        fail(ExitCode::Database, json.error());
    const Result<SiteJob> job = jobFromJson(json.value());
    if (!job)
        fail(ExitCode::Usage, job.error());
    if (const Status saved = saveSiteJob(job.value()); !saved)
        fail(ExitCode::Database, saved.error());
    writeOutput(u"已导入网址“%1”的采集任务。\n"_s.arg(job.value().settings.web));
    return int(ExitCode::Success);
}

const std::array<Command, 4> &subcommands()
{
    static const std::array<Command, 4> list{{
        {u"save"_s, u"保存网址的采集设置：site save 网址 [采集设置选项]"_s, &runSave},
        {u"show"_s, u"显示网址保存的采集设置和排版或字段：site show 网址"_s, &runShow},
        {u"export"_s, u"把网址的采集任务写入 JSON 文件：site export 网址 文件.json"_s, &runExport},
        {u"import"_s, u"从 JSON 文件导入采集任务：site import 文件.json"_s, &runImport},
    }};
    return list;
}

} // namespace

int runSite(const QStringList &arguments)
{
    const QString help = u"用法：pagrion-cli site 子命令 [选项]\n"
                         u"不用窗口设置网址的采集任务，查看它，或把它搬到另一台电脑上。\n\n子命令：\n"_s
                         + commandList(subcommands(), 8) + u"\n用 pagrion-cli site 子命令 --help 查看各子命令的选项。\n"_s;
    return dispatchCommand(arguments, subcommands(), help, u"pagrion-cli site"_s, u"子命令"_s);
}

} // namespace pagrion::cli
