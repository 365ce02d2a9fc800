#pragma once

#include <optional>

#include "core/grid.h"
#include "core/result.h"
#include "store/database.h"
#include "store/resultstore.h"

namespace pagrion {

// The result database as a batch run holds it: one connection for the whole
// run, opened when first needed and closed with the session. The file is in
// write-ahead-log mode: a page's commit needs no sync of the disk, and no
// crash of the program can undo it (a power cut may take back the last
// pages, whole). A page is one transaction, so the file holds whole pages
// only; whatever must stand or fall with a page's records goes into
// storePage's transaction. The window's single-page commands keep their own
// short connections to the same file.
class ResultSession final
{
public:
    ResultSession() = default;
    Q_DISABLE_COPY_MOVE(ResultSession)

    // delete from datalist.
    Status clearRecords();

    // Appends a page's record rows (as appendRecords does) in one
    // transaction: every row is stored, or, when one fails, none is.
    // Returns the number stored.
    Result<int> storePage(const Grid &records, const AppendOptions &options);

private:
    // Opens the file unless it is open; a failed open is tried again at the
    // next call, as a store that failed once may work at the next page.
    Status open();

    Database m_db;
    std::optional<RecordAppender> m_appender; // uses m_db, so declared after it
};

} // namespace pagrion
