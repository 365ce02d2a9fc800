#include "cli/analysecommand.h"

#include "cli/cliterminal.h"
#include "cli/commandline.h"
#include "cli/pageload.h"
#include "engine/browser.h"
#include "extract/classlist.h"
#include "extract/elementmode.h"
#include "extract/tablemode.h"

using namespace Qt::StringLiterals;

namespace pagrion::cli {

int runAnalyse(const QStringList &arguments)
{
    CommandLine commandLine(u"pagrion-cli analyse 地址 [选项]"_s,
                            u"分析网页：列出所有表格及其各行，表名称从 TableName0 起。"_s, CommandLine::Pages::Loaded);
    QCommandLineParser &parser = commandLine.parser();
    const QCommandLineOption classOption(
        u"class"_s, u"按这个采集分析模式分析（读取配置数据库）：表格模式列出表格，其他模式列出该标签的元素。"_s,
        u"分析模式"_s);
    parser.addOption(classOption);
    parser.addPositionalArgument(u"地址"_s, u"要分析的网页地址。"_s);

    commandLine.parse(arguments);
    if (commandLine.helpRequested()) {
        writeOutput(commandLine.helpText());
        return int(ExitCode::Success);
    }
    const QString address = commandLine.singleArgument(u"网页地址"_s);
    const QString classValue = parser.isSet(classOption) ? classValueFor(parser.value(classOption)) : TableClass;

    const std::unique_ptr<Browser> browser = commandLine.browser();
    const auto document = loadPage(*browser, address);
    writeOutput(classValue == TableClass ? tableAnalysisText(*document) : elementListText(*document, classValue, {}));
    return int(ExitCode::Success);
}

} // namespace pagrion::cli
