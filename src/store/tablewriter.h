#pragma once

#include <memory>

#include <QString>
#include <QStringList>

#include "core/result.h"

namespace pagrion {

// The longest text a spreadsheet cell holds; a workbook cuts longer text there.
inline constexpr qsizetype MaxWorkbookCellLength = 32767;

// Writes one table to a file: a header row, then the rows one at a time, so
// the table never has to be held in memory. Nothing appears at the path until
// finish() succeeds; a writer dropped before that leaves the path untouched.
// Cells come in as presentedCell() gives them: line breaks inside are LF.
class TableWriter
{
public:
    virtual ~TableWriter() = default;

    virtual Status start(const QString &path, const QStringList &header) = 0;
    virtual Status writeRow(const QStringList &cells) = 0;
    virtual Status finish() = 0;

    // How many cells were cut because the format cannot hold them whole.
    virtual int cutCells() const { return 0; }
};

// An Office Open XML workbook: a bold, frozen header with an autofilter,
// columns fitted to their contents, every cell text. One sheet, more when
// the rows outgrow it.
std::unique_ptr<TableWriter> makeWorkbookWriter();
// CSV as spreadsheets read it: UTF-8 with a byte order mark, commas, quoted
// cells where needed, rows ended by CR LF.
std::unique_ptr<TableWriter> makeCsvWriter();
// The same with tabs between the cells.
std::unique_ptr<TableWriter> makeTabTextWriter();
// A UTF-8 web page holding one table whose cells are text to a spreadsheet.
std::unique_ptr<TableWriter> makeHtmlTableWriter();

} // namespace pagrion
