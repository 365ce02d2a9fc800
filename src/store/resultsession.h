#pragma once

#include <functional>
#include <optional>

#include "core/grid.h"
#include "core/result.h"
#include "store/batchjournal.h"
#include "store/database.h"
#include "store/resultstore.h"
#include "store/runstore.h"

namespace pagrion {

// The result database as a batch run holds it: one connection for the whole
// run, opened when first needed and closed with the session. The file is in
// write-ahead-log mode: a page's commit needs no sync of the disk, and no
// crash of the program can undo it (a power cut may take back the last
// pages, whole). A page is one transaction, so the file holds whole pages
// only: its records and the note in the run's journal that it is done stand
// or fall together, which lets a broken-off run go on without storing a page
// twice. The window's single-page commands keep their own short connections
// to the same file.
class ResultSession final : public RunStore
{
public:
    ResultSession() = default;
    Q_DISABLE_COPY_MOVE(ResultSession)

    // delete from datalist.
    Status clearRecords() override;
    Result<std::optional<UnfinishedRun>> findUnfinishedRun(const QString &settings) override;
    Result<std::optional<qint64>> lastRunFinished(const QString &settings) override;
    Status beginRun(const QString &settings, const QStringList &pages) override;
    Result<QList<RecordedPage>> continueRun(qint64 run) override;
    Status finishRun() override;
    // The page is written in the next page's transaction, so a run whose
    // list grows from page to page never loses the page it is to go on with.
    void addPage(int index, const QString &address) override;
    // As appendRecords does, in one transaction: every row is stored, or,
    // when one fails, none is; unnamed columns get the page's names.
    Result<int> storePage(const Grid &records, const AppendOptions &options, const PageNote &note = {},
                          const WorkBudget *budget = nullptr) override;
    Status markPage(int index, PageState state, const QString &reason = {}) override;

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
