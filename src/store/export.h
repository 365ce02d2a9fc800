#pragma once

#include <optional>

#include <QString>

#include "core/result.h"

namespace pagrion {

class Progress;

enum class ExportFormat
{
    Spreadsheet,
    Text,
    Html,
};

// The format the words in a chosen path ask for: anywhere in the path,
// folders included, without regard to letter case, "xls" or "csv" before
// "txt" before "html". nullopt when the path holds none of them.
std::optional<ExportFormat> exportFormatFor(const QString &path);

// "Microsoft Excel (*.xls)", "MS-DOS Text (*.txt)" or "HTML (*.html)".
QString exportFormatName(ExportFormat format);

// What the user is told when a path names no format.
QString unknownExportFormatMessage();

// Writes datalist to path: a header row of column names, then every record in
// id order, the columns running up to the last one that holds text in any
// record. Rows are streamed from the database, so a large table is never held
// in memory. The file appears only when it is complete; a failure leaves an
// existing file at path as it was. progress, when given, counts rows.
Status exportDatalist(const QString &path, ExportFormat format, Progress *progress = nullptr);

} // namespace pagrion
