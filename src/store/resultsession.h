#pragma once

#include <functional>
#include <optional>

#include "core/grid.h"
#include "core/result.h"
#include "store/batchjournal.h"
#include "store/database.h"
#include "store/resultstore.h"

namespace pagrion {

// What a run keeps with a page's records.
struct PageNote
{
    int index = -1;          // the run's page, -1 for none
    QString emptyReason;     // why the page may give no records
    QStringList columnNames; // names the page gives datalist's columns
};

// The result database as a batch run holds it: one connection for the whole
// run, opened when first needed and closed with the session. The file is in
// write-ahead-log mode: a page's commit needs no sync of the disk, and no
// crash of the program can undo it (a power cut may take back the last
// pages, whole). A page is one transaction, so the file holds whole pages
// only: its records and the note in the run's journal that it is done stand
// or fall together, which lets a broken-off run go on without storing a page
// twice. The window's single-page commands keep their own short connections
// to the same file.
class ResultSession final
{
public:
    ResultSession() = default;
    Q_DISABLE_COPY_MOVE(ResultSession)

    // delete from datalist.
    Status clearRecords();

    // The newest run with these settings that never finished.
    Result<std::optional<UnfinishedRun>> findUnfinishedRun(const QString &settings);
    // Whether the newest run with these settings got to its end.
    // Its id when it did, nullopt when it did not or there is none.
    Result<std::optional<qint64>> lastRunFinished(const QString &settings);
    // Records a new run, whose pages this session then marks.
    Status beginRun(const QString &settings, const QStringList &pages);
    // Takes up a recorded run: its pages, with how far each got.
    Result<QList<RecordedPage>> continueRun(qint64 run);
    // The run's pages are all done.
    Status finishRun();
    // Adds a page to the end of the run's list, pending. It is written with
    // the next page marked (stored, skipped or failed), in that page's
    // transaction, so a run whose list grows from page to page never loses
    // the page it is to go on with.
    void addPage(int index, const QString &address);

    // Appends a page's record rows (as appendRecords does) in one
    // transaction: every row is stored, or, when one fails, none is. In the
    // same transaction the run's page is marked stored (with the reason
    // when no record was stored) and unnamed columns get the page's names.
    // Returns the number stored. A budget that ends raises WorkEnded, with
    // nothing of the page stored.
    Result<int> storePage(const Grid &records, const AppendOptions &options, const PageNote &note = {},
                          const WorkBudget *budget = nullptr);
    // Marks the run's page skipped or failed.
    Status markPage(int index, PageState state, const QString &reason = {});

private:
    struct AddedPage
    {
        int index;
        QString address;
    };

    // Runs a page's work in one transaction with the pages added since the
    // last page marked; they are written first, so the work may mark them.
    Status withAddedPages(const std::function<Status()> &work);

    // Opens the file unless it is open; a failed open is tried again at the
    // next call, as a store that failed once may work at the next page.
    Status open();

    Database m_db;
    // Both use m_db, so they are declared after it.
    std::optional<RecordAppender> m_appender;
    std::optional<BatchJournal> m_journal;
    std::optional<qint64> m_run; // the run being recorded
    QList<AddedPage> m_added;     // not yet written
};

} // namespace pagrion
