#include "cli/exportcommand.h"

#include <QDir>
#include <QFileInfo>

#include "cli/cliterminal.h"
#include "cli/commandline.h"
#include "store/export.h"

using namespace Qt::StringLiterals;

namespace pagrion::cli {

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

    const Result<ExportReport> exported = exportDatalist(*target);
    if (!exported)
        fail(ExitCode::Database, exported.error());
    // The file's path alone on standard output, so a script can take it up.
    writeMessage(exportDoneMessage(exported.value()));
    writeOutput(QDir::toNativeSeparators(exported.value().target.path) + u'\n');
    return int(ExitCode::Success);
}

} // namespace pagrion::cli
