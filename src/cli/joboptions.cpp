#include "cli/joboptions.h"

#include <algorithm>

#include <QRegularExpression>
#include <QStringList>

#include "cli/cliterminal.h"
#include "cli/commandline.h"
#include "core/textrules.h"
#include "extract/rowtext.h"

using namespace Qt::StringLiterals;

namespace pagrion::cli {

namespace {

// The largest row or column a layout can name.
constexpr int MaxReference = 32767;

// A reference as the stored layout holds it, or nullopt when the piece is
// not two whole numbers within range.
std::optional<QString> cellReference(const QString &piece)
{
    static const QRegularExpression form(u"^ *([0-9]{1,5}) *, *([0-9]{1,5}) *$"_s);
    const QRegularExpressionMatch match = form.match(piece);
    if (!match.hasMatch())
        return std::nullopt;
    const int row = match.captured(1).toInt();
    const int col = match.captured(2).toInt();
    if (row > MaxReference || col > MaxReference)
        return std::nullopt;
    return u"%1,%2"_s.arg(row).arg(col);
}

std::optional<int> wholeNumber(const QString &text)
{
    bool ok = false;
    const int number = trimSpaces(text).toInt(&ok);
    return ok && number >= 0 ? std::optional<int>(number) : std::nullopt;
}

[[noreturn]] void failUnsaved(const QString &web)
{
    fail(ExitCode::Usage, u"没有保存过网址“%1”的采集设置。"_s.arg(web));
}

[[noreturn]] void failOption(const QCommandLineOption &option, const QString &message)
{
    fail(ExitCode::Usage, u"--"_s + option.names().constFirst() + u"："_s + message);
}

} // namespace

JobOptions::JobOptions()
    : m_tables(u"tables"_s, u"要提取的表名称，多个表用“|”分开，如 TableName2|TableName3。"_s, u"表名称"_s)
    , m_filter(u"filter"_s, u"要去掉的行，多个行用“|”分开，如 TableName1-10|TableName2-3。"_s, u"行名称"_s)
    , m_class(u"class"_s, u"采集分析模式：分析模式列表中的名称（如 表格、段落）或它的值（如 table、p），默认为表格。"_s,
              u"分析模式"_s)
    , m_swap(u"swap"_s, u"行列转换。"_s)
    , m_everyRow(u"every-row"_s, u"逐行记录：表格的每一行（或每个元素）存为一条记录。"_s)
    , m_useFields(u"use-fields"_s, u"用保存的字段生成记录。"_s)
    , m_layout(u"layout"_s,
               u"用这个排版生成记录：排版的行用“;”分开，一行中的单元格用“/”分开，一个单元格引用的多个表格单元用“|”连接，"
               u"每个引用写成“行,列”（行从 1 起，列从 0 起），如 \"1,0/1,1|1,2;2,0\"。"_s,
               u"排版"_s)
    , m_fields(u"fields"_s, u"用这些字段生成记录：字段用“;”分开，每个写成“编码=名称”，如 \"1=标题;2=价格\"。"_s, u"字段"_s)
    , m_headerRows(u"header-rows"_s, u"逐行记录时的表头行数：自动、0、1 或 2（默认自动：单元格全是表头单元格的行）。"_s,
                   u"行数"_s)
    , m_columns(u"columns"_s,
                u"逐行记录时保留的列及其顺序，用“|”分开，写表头文字或从 1 起的列号，如 \"名称|价格|3\"（默认保留全部列）。"_s,
                u"列"_s)
    , m_sourceColumns(u"source-columns"_s,
                      u"记录末尾是否加上“来源网址”和“行号”两列：on 或 off（默认只在逐行记录时加上）。"_s, u"on|off"_s)
    , m_headLength(u"head-length"_s,
                   u"字段截取长度：在每行开头的多少个字符中查找字段名称（默认按系统设置中的“获取字段字符范围”）。"_s,
                   u"字符数"_s)
{
}

void JobOptions::addTo(QCommandLineParser &parser) const
{
    parser.addOptions({m_tables, m_filter, m_class, m_swap, m_everyRow, m_useFields, m_layout, m_fields, m_headerRows,
                       m_columns, m_sourceColumns, m_headLength});
}

SiteJob JobOptions::applied(const QCommandLineParser &parser, SiteJob job) const
{
    SiteSettings &settings = job.settings;
    if (parser.isSet(m_class)) {
        const AnalysisClass chosen = classFor(parser.value(m_class));
        settings.classname = chosen.text;
        // An element list has the one list the class choice names.
        if (chosen.value != TableClass && !parser.isSet(m_tables))
            settings.tableName = elementName(1);
    } else if (settings.classname.isEmpty()) {
        settings.classname = classFor(TableClass).text;
    }
    if (parser.isSet(m_tables)) {
        settings.tableName = parser.value(m_tables);
        if (trimSpaces(settings.tableName).isEmpty())
            failOption(m_tables, u"没有给出表名称。"_s);
    }
    if (parser.isSet(m_filter))
        settings.tableRow = parser.value(m_filter);
    if (parser.isSet(m_swap))
        settings.rowchange = true;
    applyRecordChoice(parser, job);

    const RecordSource records = settings.records.value_or(RecordSource::Layout);
    for (const QCommandLineOption *option : {&m_headerRows, &m_columns}) {
        if (parser.isSet(*option) && records != RecordSource::EveryRow)
            failOption(*option, u"只用于逐行记录（--every-row）。"_s);
    }
    if (parser.isSet(m_headerRows)) {
        const std::optional<int> rows = headerRowsFromText(parser.value(m_headerRows));
        if (!rows)
            failOption(m_headerRows, u"只能是 自动、0、1 或 2。"_s);
        settings.everyRow.headerRows = *rows;
    }
    if (parser.isSet(m_columns))
        settings.everyRow.columns = parser.value(m_columns);
    if (parser.isSet(m_sourceColumns)) {
        const QString value = trimSpaces(parser.value(m_sourceColumns)).toLower();
        if (value != u"on"_s && value != u"off"_s)
            failOption(m_sourceColumns, u"只能是 on 或 off。"_s);
        settings.sourceColumns = value == u"on"_s;
    }
    if (parser.isSet(m_headLength)) {
        if (records != RecordSource::Fields)
            failOption(m_headLength, u"只用于字段（--fields 或 --use-fields）。"_s);
        job.headLength = wholeNumber(parser.value(m_headLength));
        if (!job.headLength)
            failOption(m_headLength, u"应为不小于 0 的整数，“%1”不符合要求。"_s.arg(parser.value(m_headLength)));
    }
    return job;
}

void JobOptions::applyRecordChoice(const QCommandLineParser &parser, SiteJob &job) const
{
    const QList<const QCommandLineOption *> choices{&m_everyRow, &m_useFields, &m_layout, &m_fields};
    const auto given = std::count_if(choices.cbegin(), choices.cend(),
                                     [&parser](const QCommandLineOption *option) { return parser.isSet(*option); });
    if (given == 0)
        return;
    if (given > 1)
        fail(ExitCode::Usage, u"--every-row、--use-fields、--layout 和 --fields 只能用其中一个。"_s);
    job.layout.reset();
    job.fields.reset();
    if (parser.isSet(m_everyRow)) {
        job.settings.records = RecordSource::EveryRow;
    } else if (parser.isSet(m_useFields)) {
        job.settings.records = RecordSource::Fields;
    } else if (parser.isSet(m_layout)) {
        const Result<Layout> layout = layoutFromText(parser.value(m_layout));
        if (!layout)
            failOption(m_layout, layout.error());
        job.settings.records = RecordSource::Layout;
        job.layout = layout.value();
    } else {
        const Result<QList<Field>> fields = fieldsFromText(parser.value(m_fields));
        if (!fields)
            failOption(m_fields, fields.error());
        job.settings.records = RecordSource::Fields;
        job.fields = fields.value();
    }
}

SiteSettings savedSettings(const QString &web)
{
    const auto stored = readSiteSettings(web);
    if (!stored)
        fail(ExitCode::Database, stored.error());
    if (!stored.value())
        failUnsaved(web);
    return *stored.value();
}

SiteJob savedJob(const QString &web)
{
    const auto stored = readSiteJob(web);
    if (!stored)
        fail(ExitCode::Database, stored.error());
    if (!stored.value())
        failUnsaved(web);
    return *stored.value();
}

Result<Layout> layoutFromText(const QString &text)
{
    if (trimSpaces(text).isEmpty())
        return Error{u"没有给出排版。"_s};
    Layout layout;
    for (const QString &rowText : text.split(u';')) {
        LayoutRow row;
        for (const QString &cellText : rowText.split(u'/')) {
            if (trimSpaces(cellText).isEmpty()) {
                row.append(std::nullopt);
                continue;
            }
            QStringList references;
            for (const QString &piece : cellText.split(u'|')) {
                const std::optional<QString> reference = cellReference(piece);
                if (!reference)
                    return Error{u"单元格引用“%1”应为“行,列”两个 0 到 %2 之间的整数，如 1,0。"_s.arg(trimSpaces(piece))
                                     .arg(MaxReference)};
                references << *reference;
            }
            row.append(references.join(u'|'));
        }
        layout.append(row);
    }
    return layout;
}

QString layoutText(const Layout &layout)
{
    QStringList rows;
    for (const LayoutRow &row : layout) {
        QStringList cells;
        for (const std::optional<QString> &cell : row)
            cells << cell.value_or(QString());
        while (!cells.isEmpty() && cells.constLast().isEmpty())
            cells.removeLast();
        rows << cells.join(u'/');
    }
    return rows.join(u';');
}

Result<QList<Field>> fieldsFromText(const QString &text)
{
    QList<Field> fields;
    for (const QString &piece : text.split(u';')) {
        if (trimSpaces(piece).isEmpty())
            continue;
        const qsizetype equals = piece.indexOf(u'=');
        const std::optional<int> id = wholeNumber(piece.left(equals));
        const QString name = trimSpaces(piece.mid(equals + 1));
        if (equals < 0 || !id || *id < 1 || name.isEmpty())
            return Error{u"字段“%1”应写成“编码=名称”，编码为从 1 起的整数，如 1=标题。"_s.arg(trimSpaces(piece))};
        fields << Field{QString::number(*id), name};
    }
    if (fields.isEmpty())
        return Error{u"没有给出字段。"_s};
    return fields;
}

QString fieldsText(const QList<Field> &fields)
{
    QStringList pieces;
    for (const Field &field : fields)
        pieces << field.id + u'=' + field.filedname;
    return pieces.join(u';');
}

} // namespace pagrion::cli
