#include "store/export.h"

#include <algorithm>

#include <QStringList>

#include "core/progress.h"
#include "store/columnnames.h"
#include "store/database.h"
#include "store/datalisttable.h"
#include "store/programfolder.h"
#include "store/tablewriter.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

std::unique_ptr<TableWriter> writerFor(ExportFormat format)
{
    switch (format) {
    case ExportFormat::Workbook:
        return makeWorkbookWriter();
    case ExportFormat::Csv:
        return makeCsvWriter();
    case ExportFormat::Text:
        return makeTabTextWriter();
    case ExportFormat::Html:
        return makeHtmlTableWriter();
    }
    Q_UNREACHABLE();
}

// Counts the rows written and always hides the bar again.
class RowCounter final
{
public:
    RowCounter(Progress *progress, int maximum) : m_progress(progress)
    {
        if (m_progress)
            m_progress->start(maximum);
    }
    ~RowCounter()
    {
        if (m_progress)
            m_progress->finish();
    }
    Q_DISABLE_COPY_MOVE(RowCounter)

    void step()
    {
        // Reporting every row would cost more than the writing.
        if (m_progress && (++m_done % 256 == 0))
            m_progress->setValue(m_done);
    }

private:
    Progress *m_progress;
    int m_done = 0;
};

bool endsWithSuffix(const QString &path, QStringView suffix)
{
    return path.endsWith(suffix, Qt::CaseInsensitive);
}

} // namespace

std::optional<ExportTarget> exportTargetFor(const QString &chosenPath)
{
    const QString words = chosenPath.toLower();
    if (words.contains(u"xls"_s) || words.contains(u"csv"_s)) {
        if (endsWithSuffix(chosenPath, u".csv"))
            return ExportTarget{ExportFormat::Csv, chosenPath};
        if (endsWithSuffix(chosenPath, u".xls")) {
            // The added letter follows the case of the extension: r.XLS gives r.XLSX.
            const bool upper = chosenPath.back().isUpper();
            return ExportTarget{ExportFormat::Workbook, chosenPath + (upper ? u'X' : u'x')};
        }
        return ExportTarget{ExportFormat::Workbook, chosenPath};
    }
    if (words.contains(u"txt"_s))
        return ExportTarget{ExportFormat::Text, chosenPath};
    if (words.contains(u"html"_s))
        return ExportTarget{ExportFormat::Html, chosenPath};
    return std::nullopt;
}

QString unknownExportFormatMessage()
{
    return u"没有输出文件：文件名中要含有 xls 或 csv（电子表格）、txt（文本表格）或 html（网页表格），"
           u"如 data.xlsx、data.csv、data.txt、data.html。"_s;
}

Result<ExportReport> exportDatalist(const ExportTarget &target, Progress *progress)
{
    Database db;
    if (Status opened = db.open(programFolder().resultDatabasePath()); !opened)
        return Error{opened.error()};
    auto columns = readDatalistColumns(db);
    if (!columns)
        return Error{columns.error()};
    const auto use = measureDatalist(db, columns.value());
    if (!use)
        return Error{use.error()};
    // Without a readable field list the columns are simply numbered.
    const Result<QList<Field>> read = readFields();
    const QList<Field> fields = read ? read.value() : QList<Field>();
    const Result<QStringList> named = readColumnNames(db);
    if (!named)
        return Error{named.error()};

    // The columns that hold text, further when the field list or the
    // column names reach later ones, and at least one, so that even an
    // empty table has a header.
    DatalistColumns shown = std::move(columns).value();
    const qsizetype count = std::clamp<qsizetype>(
        std::max({use.value().usedColumns, fieldListWidth(fields), int(named.value().size())}), 1,
        shown.columns.size());
    shown.columns.resize(count);

    return exportRows(target, datalistHeader(int(count), fields, named.value()), use.value().records,
                      [&](const std::function<Status(const QStringList &)> &take) { return forEachRecord(db, shown, take); },
                      progress);
}

Result<ExportReport> exportRows(const ExportTarget &target, const QStringList &header, int records,
                                const std::function<Status(const std::function<Status(const QStringList &)> &)> &forEachRow,
                                Progress *progress)
{
    const std::unique_ptr<TableWriter> writer = writerFor(target.format);
    RowCounter counter(progress, records);
    if (Status started = writer->start(target.path, header); !started)
        return Error{started.error()};
    ExportReport report{target};
    QStringList cells;
    const Status written = forEachRow([&](const QStringList &stored) {
        cells.clear();
        for (const QString &cell : stored)
            cells << presentedCell(cell);
        counter.step();
        ++report.records;
        return writer->writeRow(cells);
    });
    if (!written)
        return Error{written.error()};
    if (Status finished = writer->finish(); !finished)
        return Error{finished.error()};
    report.cutCells = writer->cutCells();
    return report;
}

QString exportDoneMessage(const ExportReport &report)
{
    QString message = u"您成功输出,文件："_s + report.target.path;
    if (report.records == 0)
        message += u"\n结果表中没有记录：文件中只有标题行，共输出 0 条记录。"_s;
    if (report.cutCells > 0)
        message += u"\n有 %1 个单元格超过 Excel 单元格能容纳的 %2 个字符，工作簿中只保留了前 %2 个字符；"
                   u"输出为文本表格（.txt）或网页表格（.html）可保留全文。"_s.arg(report.cutCells).arg(MaxWorkbookCellLength);
    return message;
}

} // namespace pagrion
