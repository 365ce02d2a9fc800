#include "cli/program.h"

#include <array>
#include <cstdio>

#include <QCoreApplication>

#include "cli/analysecommand.h"
#include "cli/batchcommand.h"
#include "cli/cliterminal.h"
#include "cli/commandline.h"
#include "cli/exportcommand.h"
#include "cli/extractcommand.h"
#include "cli/sitecommand.h"
#include "cli/statuscommand.h"
#include "cli/workercommand.h"
#include "core/programlog.h"
#include "engine/document.h"

using namespace Qt::StringLiterals;

namespace pagrion::cli {

namespace {

const std::array<Command, 7> &commands()
{
    static const std::array<Command, 7> list{{
        {u"analyse"_s, u"列出网页中所有表格及其各行（表格分析）"_s, &runAnalyse},
        {u"extract"_s, u"提取指定表格或标签元素的行文字"_s, &runExtract},
        {u"batch"_s, u"批量采集，把每个网页的记录存入结果数据库"_s, &runBatch},
        {u"export"_s, u"把结果数据库的记录输出为电子表格、文本表格或网页表格"_s, &runExport},
        {u"site"_s, u"保存、查看、导出和导入网址的采集设置（采集任务）"_s, &runSite},
        {u"worker"_s, u"认领结果服务器上的网页并采集，可在任何机器上运行"_s, &runWorker},
        {u"status"_s, u"显示结果服务器上各次批量采集的进度"_s, &runStatus},
    }};
    return list;
}

QString generalHelp()
{
    QString text = u"用法：pagrion-cli 命令 [选项]\n"
                   u"从网页中提取表格和元素的文字；只有 batch 把记录写入结果数据库。\n\n命令：\n"_s;
    text += commandList(commands(), 10);
    text += u"\n用 pagrion-cli 命令 --help 查看各命令的选项。\n"_s;
    text += u"退出状态：0 成功，1 批量采集没有可用的排版或字段，2 命令行有误，3 网页无法打开，"
            u"4 数据库或文件无法读写，5 批量采集有网页失败，130 批量采集被 Ctrl+C 停止，143 批量采集被 SIGTERM 停止。\n"_s;
    return text;
}

// The command line speaks in one-line messages of its own; Qt's notes about
// its environment (a missing runtime folder and the like) would only be noise
// between them. Serious trouble still gets through.
void quietMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

} // namespace

void quietQtMessages()
{
    qInstallMessageHandler(quietMessages);
    // The program's own log is silent unless a command is asked to be --verbose.
    setLogLevel(LogLevel::Off);
    static const ProgramLogRoute log(writeLogLine);
}

int runCommandLine(QCoreApplication &app)
{
    QCoreApplication::setApplicationName(u"pagrion-cli"_s);
    installCommandLineTexts(app);
    try {
        return dispatchCommand(QCoreApplication::arguments(), commands(), generalHelp(), u"pagrion-cli"_s, u"命令"_s);
    } catch (const Failure &failure) {
        return report(failure);
    } catch (const pagrion::DocumentError &error) {
        return report({ExitCode::PageNotLoaded, QString::fromUtf8(error.what())});
    }
}

} // namespace pagrion::cli
