#pragma once

#include <memory>
#include <optional>
#include <vector>

#include <QStringList>

#include "core/grid.h"
#include "core/result.h"

struct sqlite3_stmt;

// The result table datalist: records appended from a grid, emptied on request.
namespace pagrion {

class Database;
class WorkBudget;

struct AppendOptions
{
    bool skipEmptyFirstField = false; // leave out rows whose first cell is blank once trimmed
};

// Whether row i of a record grid is a record to store: rows 1 to rows - 2,
// less those with a blank first cell when the options leave them out.
bool isStoredRow(const Grid &grid, int row, const AppendOptions &options);

// Appends a record grid's rows to datalist over an open connection: rows 1
// to rows - 2 (row 0 is the header, the last row the blank one), column j
// into data column j + 1, each cell trimmed of spaces. The insert is compiled
// once per grid width and reused for every row after it. It runs on SQLite's
// own interface, over the connection's handle: a page can hold a million
// records, and Qt's binding costs several times SQLite's work per row.
class RecordAppender final
{
public:
    explicit RecordAppender(Database &db) : m_db(db) {}

    // Makes ready for a grid this wide: widens the table when it is
    // narrower (in a transaction of its own, so never inside another one)
    // and compiles the insert.
    Status prepare(int cols);

    struct Appended
    {
        int stored = 0;
        std::optional<Error> failure; // the row that failed; the rows after it were not tried
    };
    // Needs prepare(grid.cols()) first. Opens no transaction: the caller's
    // decides what a failing row does to the rows before it. A budget ends
    // a long append with WorkEnded.
    Appended append(const Grid &grid, const AppendOptions &options, const WorkBudget *budget = nullptr);

private:
    Database &m_db;
    struct Finalize
    {
        void operator()(sqlite3_stmt *statement) const;
    };

    QStringList m_columns; // datalist's data columns as last read
    int m_preparedCols = -1;
    std::unique_ptr<sqlite3_stmt, Finalize> m_insert;
    std::vector<QByteArray> m_cells; // a row's texts while SQLite reads them
};

// The window's save of one grid, on a connection of its own: all rows go in
// one transaction; if a row fails, the rows before it are committed and the
// error says what failed. Returns the number of records stored. A grid wider
// than the table widens it first.
Result<int> appendRecords(const Grid &grid, const AppendOptions &options);

// delete from datalist, and forgets the batch runs recorded beside it.
Status clearRecords();
Status clearRecords(Database &db);

// The save of a grid window: the table is emptied first when overwrite is
// set (that deletion stands even if appending fails), then the rows go in.
Result<int> saveGridRecords(const Grid &grid, bool overwrite, const AppendOptions &options);

} // namespace pagrion
