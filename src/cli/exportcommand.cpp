#include "cli/exportcommand.h"

#include <QDir>
#include <QFileInfo>

#include "cli/cliterminal.h"
#include "cli/commandline.h"
#include "cli/serveroptions.h"
#include "store/export.h"
#include "store/server/serverexport.h"
#include "store/server/serverreport.h"
#include "store/server/serverstore.h"

using namespace Qt::StringLiterals;

namespace pagrion::cli {

namespace {

// The records of the run numbered runId, or of the newest run, in page-list order.
Result<ExportReport> exportFromServer(const ExportTarget &target, const QString &uri, const QString &runId)
{
    const auto server = openServer(uri);
    std::optional<qint64> run;
    if (!runId.isEmpty()) {
        bool ok = false;
        run = runId.toLongLong(&ok);
        if (!ok)
            fail(ExitCode::Usage, u"--run：采集的编号是一个整数（见 status 命令）。"_s);
        const auto found = server->run(*run);
        if (!found)
            return Error{found.error()};
        if (!found.value())
            fail(ExitCode::Usage, u"结果服务器上没有编号为 %1 的采集。"_s.arg(*run));
    } else {
        const auto newest = newestServerRun(server->connection());
        if (!newest)
            return Error{newest.error()};
        if (!newest.value())
            fail(ExitCode::Usage, u"结果服务器上还没有批量采集，没有可输出的记录。"_s);
        run = newest.value();
    }
    return exportServerRun(target, server->connection(), *run);
}

} // namespace

int runExport(const QStringList &arguments)
{
    CommandLine commandLine(
        u"pagrion-cli export 文件 [选项]"_s,
        u"把结果数据库 data/data.mdb 的记录输出到文件：文件的完整路径（文件夹也算在内）中含有 xls 或 csv 时为电子表格"
        u"（名为 *.csv 的写成 CSV，名为 *.xls 的写成加上 x 的 *.xlsx 工作簿，其他名称写成工作簿），"
        u"否则含有 txt 时为制表符分隔的文本表格，否则含有 html 时为网页表格。输出后在标准输出中只打印实际写入的文件，"
        u"便于脚本使用，说明文字在标准错误中。\n"
        u"退出状态：0 输出完成，2 命令行有误或路径中没有这些字样，4 数据库无法读取或文件无法写入（包括文件夹不存在）。"_s,
        CommandLine::Pages::None);
    commandLine.parser().addPositionalArgument(u"文件"_s, u"要输出的文件。"_s);
    const ServerOptions serverOptions;
    serverOptions.addTo(commandLine.parser(), false);
    const QCommandLineOption run{u"run"_s, u"和 --server 一起使用：输出结果服务器上这次采集的记录（默认最新的一次，编号见 status 命令）。"_s,
                                 u"编号"_s};
    commandLine.parser().addOption(run);

    commandLine.parse(arguments);
    if (commandLine.helpRequested()) {
        writeOutput(commandLine.helpText());
        return int(ExitCode::Success);
    }
    const QString file = QFileInfo(commandLine.singleArgument(u"输出文件"_s)).absoluteFilePath();
    const std::optional<ExportTarget> target = exportTargetFor(QDir::toNativeSeparators(file));
    if (!target)
        fail(ExitCode::Usage, unknownExportFormatMessage());
    if (!QFileInfo(file).absoluteDir().exists())
        fail(ExitCode::Database, u"找不到文件夹：%1"_s.arg(QDir::toNativeSeparators(QFileInfo(file).absolutePath())));

    const QCommandLineParser &parser = commandLine.parser();
    if (parser.isSet(run) && !parser.isSet(serverOptions.server))
        fail(ExitCode::Usage, u"--run 只能和 --server 一起使用。"_s);
    const Result<ExportReport> exported = parser.isSet(serverOptions.server)
                                              ? exportFromServer(*target, parser.value(serverOptions.server),
                                                                 parser.isSet(run) ? parser.value(run) : QString())
                                              : exportDatalist(*target);
    if (!exported)
        fail(ExitCode::Database, exported.error());
    // The file's path alone on standard output, so a script can take it up.
    writeMessage(exportDoneMessage(exported.value()));
    writeOutput(QDir::toNativeSeparators(exported.value().target.path) + u'\n');
    return int(ExitCode::Success);
}

} // namespace pagrion::cli
