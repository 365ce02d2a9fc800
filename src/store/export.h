#pragma once

#include <functional>
#include <optional>

#include <QString>
#include <QStringList>

#include "core/result.h"

namespace pagrion {

class Progress;

// The kinds of file datalist is exported to.
enum class ExportFormat
{
    Workbook, // an Excel workbook (xlsx)
    Csv,      // comma-separated values
    Text,     // tab-separated text
    Html,     // a web page with one table
};

// What a chosen path is exported as, and the file that is written.
struct ExportTarget
{
    ExportFormat format;
    QString path;

    bool operator==(const ExportTarget &) const = default;
};

// The words in a chosen path pick the format: anywhere in the path, folders
// included, without regard to letter case, "xls" or "csv" ask for a
// spreadsheet, else "txt" for a text table, else "html" for a web page;
// nullopt when the path holds none of them. A spreadsheet named *.csv is
// written as CSV; one named *.xls is the workbook under the name with an "x"
// added, because a workbook is not the old binary format the extension
// promises; any other name gets the workbook under that name.
std::optional<ExportTarget> exportTargetFor(const QString &chosenPath);

// What the user is told when a path names no format.
QString unknownExportFormatMessage();

struct ExportReport
{
    ExportTarget target;
    int records = 0;
    int cutCells = 0; // cells longer than the format holds, cut at its limit
};

// Writes datalist to target.path: a header row ("第1列", … or the field list's
// names), then every record in id order. Rows are streamed from the database,
// so a large table is never held in memory. The file appears only when it is
// complete; a failure leaves an existing file at the path as it was. progress,
// when given, counts rows.
Result<ExportReport> exportDatalist(const ExportTarget &target, Progress *progress = nullptr);

// Writes rows of any source the way exportDatalist writes datalist's: the
// header, then each row forEachRow hands over (records of them, for the
// progress), every cell as presentedCell gives it.
Result<ExportReport> exportRows(const ExportTarget &target, const QStringList &header, int records,
                                const std::function<Status(const std::function<Status(const QStringList &)> &)> &forEachRow,
                                Progress *progress = nullptr);

// The success message, "您成功输出,文件：" and the file written, followed by
// what else the user must know: that no record was written, or that cells
// were cut and which formats keep them whole.
QString exportDoneMessage(const ExportReport &report);

} // namespace pagrion
