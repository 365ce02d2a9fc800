#pragma once

#include <memory>

#include <QString>
#include <QStringList>

#include "core/result.h"

namespace pagrion {

// Writes one table to a file: a header row, then the rows one at a time, so
// the table never has to be held in memory. Nothing appears at the path until
// finish() succeeds; a writer dropped before that leaves the path untouched.
// Cells come in cleaned of the control characters no format accepts.
class TableWriter
{
public:
    virtual ~TableWriter() = default;

    // A writer that lays out its columns by their contents sees the header
    // and every row through measure() before start().
    virtual bool needsMeasuring() const { return false; }
    virtual void measure(const QStringList &cells) { Q_UNUSED(cells); }

    virtual Status start(const QString &path, const QStringList &header) = 0;
    virtual Status writeRow(const QStringList &cells) = 0;
    virtual Status finish() = 0;
};

// An Office Open XML workbook with one sheet, more when the rows outgrow it.
std::unique_ptr<TableWriter> makeSpreadsheetWriter();
// Plain text in UTF-8: columns aligned by display width, a rule under the header.
std::unique_ptr<TableWriter> makeTextTableWriter();
// A UTF-8 HTML page holding one table.
std::unique_ptr<TableWriter> makeHtmlTableWriter();

} // namespace pagrion
