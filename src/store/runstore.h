#pragma once

#include <optional>

#include <QList>
#include <QString>
#include <QStringList>

#include "core/grid.h"
#include "core/result.h"
#include "store/batchjournal.h"
#include "store/resultstore.h"

namespace pagrion {

class WorkBudget;

// What a run keeps with a page's records.
struct PageNote
{
    int index = -1;          // the run's page, -1 for none
    QString emptyReason;     // why the page may give no records
    QStringList columnNames; // names the page gives the result columns
};

// Where a batch run keeps its page list, its progress and its records: the
// result database of the program folder, or a result server that several
// processes share. A run calls these in order: a run found or begun, then
// its pages stored or marked one by one, then its end.
class RunStore
{
public:
    virtual ~RunStore() = default;

    // Empties the results before a fresh run (on a server: the runs with
    // the settings of the one begun next).
    virtual Status clearRecords() = 0;
    // The newest run with these settings that never finished.
    virtual Result<std::optional<UnfinishedRun>> findUnfinishedRun(const QString &settings) = 0;
    // Whether the newest run with these settings got to its end.
    // Its id when it did, nullopt when it did not or there is none.
    virtual Result<std::optional<qint64>> lastRunFinished(const QString &settings) = 0;
    // Records a new run, whose pages this store then marks.
    virtual Status beginRun(const QString &settings, const QStringList &pages) = 0;
    // Takes up a recorded run: its pages, with how far each got.
    virtual Result<QList<RecordedPage>> continueRun(qint64 run) = 0;
    // The run's pages are all done.
    virtual Status finishRun() = 0;
    // Adds a page to the end of the run's list, pending, written with the
    // next page marked.
    virtual void addPage(int index, const QString &address) = 0;

    // What storePage returns for a page another process has taken over:
    // nothing of it was stored.
    static constexpr int TakenOver = -1;
    // Stores a page's record rows (rows 1 to rows - 2, trimmed) and marks
    // the page stored, all or nothing. Returns the number stored. A budget
    // that ends raises WorkEnded, with nothing of the page stored.
    virtual Result<int> storePage(const Grid &records, const AppendOptions &options, const PageNote &note = {},
                                  const WorkBudget *budget = nullptr) = 0;
    // Marks the run's page skipped or failed.
    virtual Status markPage(int index, PageState state, const QString &reason = {}) = 0;

    // Whether other processes work on the same run, so that this one visits
    // only the pages it claims; the result database of one folder is one
    // process's alone.
    virtual bool sharesPages() const { return false; }
    // Up to count pages of the run for this process to visit, in list order;
    // none when no page is left to claim, or, unless waitForOthers, none is
    // free now.
    virtual Result<QList<int>> claimPages(int count, bool waitForOthers);
};

} // namespace pagrion
