#include "cli/extractcommand.h"

#include "cli/cliterminal.h"
#include "cli/commandline.h"
#include "cli/pageload.h"
#include "engine/browser.h"
#include "core/grid.h"
#include "core/textrules.h"
#include "extract/classlist.h"
#include "extract/extraction.h"
#include "extract/rowtext.h"
#include "extract/writers.h"

using namespace Qt::StringLiterals;

namespace pagrion::cli {

namespace {

struct ExtractOptions
{
    QCommandLineOption tables{u"tables"_s, u"要提取的表名称，多个表用“|”分开，如 TableName0|TableName3。"_s,
                              u"表名称"_s};
    QCommandLineOption tag{u"tag"_s, u"提取这个标签的所有元素，每个元素一行（行名称为 TableName1-序号）。"_s,
                           u"标签"_s};
    QCommandLineOption classOption{u"class"_s, u"按这个采集分析模式提取（读取配置数据库）；表格模式还要 --tables。"_s,
                                   u"分析模式"_s};
    QCommandLineOption filter{u"filter"_s, u"要去掉的行，多个行用“|”分开，如 TableName1-10|TableName2-3。"_s,
                              u"行名称"_s};
    QCommandLineOption grid{u"grid"_s, u"输出批量采集时这个网页在主表格中得到的单元格（每行一行，单元格用制表符分开，行尾的空单元格不输出），而不是行文字。"_s};
    QCommandLineOption swap{u"swap"_s, u"与 --grid 一起使用：行列转换。"_s};
};

// What the extract command would read from the window: the mode (class value)
// and the table-name list it needs, from --tables, --tag or --class.
ExtractionSettings settingsFrom(const QCommandLineParser &parser, const ExtractOptions &options)
{
    ExtractionSettings settings;
    settings.rowFilter = parser.value(options.filter);
    if (parser.isSet(options.tag)) {
        if (parser.isSet(options.tables) || parser.isSet(options.classOption))
            fail(ExitCode::Usage, u"--tag 不能和 --tables 或 --class 一起使用。"_s);
        settings.classValue = trimSpaces(parser.value(options.tag)).toLower();
        if (settings.classValue.isEmpty())
            fail(ExitCode::Usage, u"--tag 没有给出标签。"_s);
        if (settings.classValue == TableClass)
            fail(ExitCode::Usage, u"提取表格请用 --tables。"_s);
        // The element list mode's only list, as the class choice names it.
        settings.tableNames = elementName(1);
        return settings;
    }
    if (!parser.isSet(options.tables) && !parser.isSet(options.classOption))
        fail(ExitCode::Usage, u"请用 --tables、--tag 或 --class 指定要提取的内容。"_s);
    settings.classValue =
        parser.isSet(options.classOption) ? classValueFor(parser.value(options.classOption)) : TableClass;
    if (settings.classValue != TableClass) {
        if (parser.isSet(options.tables))
            fail(ExitCode::Usage, u"这个采集分析模式提取的是 %1 元素，不用 --tables。"_s.arg(settings.classValue));
        settings.tableNames = elementName(1);
        return settings;
    }
    if (!parser.isSet(options.tables))
        fail(ExitCode::Usage, u"表格模式要用 --tables 指定表名称。"_s);
    settings.tableNames = parser.value(options.tables);
    if (trimSpaces(settings.tableNames).isEmpty())
        fail(ExitCode::Usage, u"--tables 没有给出表名称。"_s);
    return settings;
}

// Backslash, tab, CR and LF written as \\, \t, \r and \n, so every cell stays
// on its line and the text can be read back exactly.
QString escapedCell(const QString &cell)
{
    QString escaped;
    escaped.reserve(cell.size());
    for (const QChar c : cell) {
        switch (c.unicode()) {
        case u'\\': escaped += u"\\\\"; break;
        case u'\t': escaped += u"\\t"; break;
        case u'\r': escaped += u"\\r"; break;
        case u'\n': escaped += u"\\n"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

// One line per grid row from row 1 (row 0 is the header, never written) to
// the last row holding text, cells separated by tabs up to the row's last
// cell holding text: the blank cells after it would only add tabs. A cell
// holds text when it is not the empty string, the same exact test as the
// last-row check, so cells of spaces count, and so does the CR LF that the
// final row marker leaves in column 0: the layouts see that cell too. The
// blank rows the batch prepared below are left out.
QString gridText(const Grid &grid)
{
    const auto textEnd = [&grid](int row) {
        int end = grid.writtenCols(row);
        while (end > 0 && grid.text(row, end - 1).isEmpty())
            --end;
        return end;
    };
    int lastRow = grid.rows() - 1;
    while (lastRow >= 1 && textEnd(lastRow) == 0)
        --lastRow;

    QString text;
    for (int row = 1; row <= lastRow; ++row) {
        const int end = textEnd(row);
        for (int col = 0; col < end; ++col) {
            if (col > 0)
                text += u'\t';
            text += escapedCell(grid.text(row, col));
        }
        text += u'\n';
    }
    return text;
}

} // namespace

int runExtract(const QStringList &arguments)
{
    CommandLine commandLine(
        u"pagrion-cli extract 地址 (--tables 表名称 | --tag 标签 | --class 分析模式) [选项]"_s,
        u"提取网页中指定表格或标签元素的行文字：每行的单元格用“|”分开，以 <rows> 和回车换行结束。"_s,
        CommandLine::Pages::Loaded);
    QCommandLineParser &parser = commandLine.parser();
    const ExtractOptions options;
    parser.addOptions({options.tables, options.tag, options.classOption, options.filter, options.grid, options.swap});
    parser.addPositionalArgument(u"地址"_s, u"要提取的网页地址。"_s);

    commandLine.parse(arguments);
    if (commandLine.helpRequested()) {
        writeOutput(commandLine.helpText());
        return int(ExitCode::Success);
    }
    const QString address = commandLine.singleArgument(u"网页地址"_s);
    if (parser.isSet(options.swap) && !parser.isSet(options.grid))
        fail(ExitCode::Usage, u"--swap 只能和 --grid 一起使用。"_s);
    const ExtractionSettings settings = settingsFrom(parser, options);

    const std::unique_ptr<Browser> browser = commandLine.browser();
    const auto document = loadPage(*browser, address);
    const QString rowText = extractionText(*document, settings);
    if (!parser.isSet(options.grid)) {
        writeOutput(rowText);
        return int(ExitCode::Success);
    }
    Grid mainGrid;
    writeBatchPageGrid(mainGrid, rowText, parser.isSet(options.swap));
    writeOutput(gridText(mainGrid));
    return int(ExitCode::Success);
}

} // namespace pagrion::cli
