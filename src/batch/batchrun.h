#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <variant>

#include <QMap>
#include <QString>
#include <QStringList>
#include <QUrl>

#include "batch/pagerecords.h"
#include "core/grid.h"
#include "core/result.h"
#include "engine/loadpolicy.h"
#include "engine/lookahead.h"
#include "engine/pagelimits.h"
#include "layout/definitionreader.h"
#include "store/loadsettings.h"
#include "store/runstore.h"

namespace pagrion {

class Browser;
class Document;
class PageWaiter;
class Progress;
class WorkBudget;

// Everything a batch run reads, taken from the window's controls or from the
// command line's options.
struct BatchSettings
{
    // An address pattern through a number range, every link of a start
    // page, or a chain of next-page links from a start page.
    enum class Mode { Parameter, Links, NextPage };

    Mode mode = Mode::Parameter;
    QString address;        // pattern with "(*)", or the start page
    QString from;           // range as typed (parameter runs)
    QString to;
    QString tableNames;     // table-name list
    QString rowFilter;      // row filter list
    QString classValue;     // "table" or a tag name
    bool swap = false;      // rows and columns swapped
    RecordSource records = RecordSource::Layout;
    EveryRowOptions everyRow;          // how 逐行记录 reads the tables
    std::optional<bool> sourceColumns; // unset: as addsSourceColumns() decides
    // A job given whole (on the command line): used instead of the stored
    // layout, field list or head length.
    std::optional<Layout> layout;
    std::optional<QList<Field>> fields;
    std::optional<int> headLength;
    // Next-page runs: the link text that leads on (a regular expression) and
    // the most pages one chain visits.
    QString nextText = LoadSettings::DefaultNextText;
    int maxNextPages = LoadSettings::DefaultMaxNextPages;
    bool overwrite = false;         // empty the result table first
    bool skipEmptyFirstField = false;

    // How the pages load: the load settings' defaults until useLoadSettings.
    PageLimits limits; // what one page may cost: time, body size
    LoadPolicy policy = LoadSettings{}.loadPolicy(); // requests at once per host, pause, retries
    // Pages the full browser loads at once, each a whole page with its
    // scripts (the static engine keeps its requests per host in flight).
    int browserPages = LoadSettings::DefaultBrowserPages;
    qint64 aheadBytes = LoadSettings::DefaultAheadBytes; // what pages loaded ahead may hold
    bool loadMedia = false; // the full browser fetches images, fonts and media
    // Go on with the newest unfinished run of these settings, if there is one.
    bool resume = false;
    // Where the run is kept when not in the program folder's result
    // database: a store other processes may share the run through.
    std::function<std::unique_ptr<RunStore>()> runStore;

    void useLoadSettings(const LoadSettings &load);
};

struct BatchStats
{
    int pages = 0;   // pages of the list handled (one a stop cut short is not)
    int skipped = 0; // of those, pages showing an error text
    int failed = 0;  // of those, pages that did not load
    int records = 0; // records stored
    QMap<QString, int> failures; // pages failed, by reason

    BatchStats &operator+=(const BatchStats &other);
};

// What a run tells and asks its surroundings: the window binds these to its
// controls, the command line to the terminal.
class BatchHost
{
public:
    virtual ~BatchHost() = default;

    virtual void message(const QString &text) = 0;
    // After the message of a failed store or emptying of the result table:
    // true to go on with the next page (the window's way), false to end.
    virtual bool continueAfterStoreFailure();
    virtual void status(const QString &text) = 0;
    virtual Progress &progress() = 0;
    // The run has started or ended (the stop button shows meanwhile).
    virtual void runActive(bool active) = 0;
    // The working controls are disabled while a page is handled.
    virtual void setBusy(bool busy) = 0;
    virtual bool stopRequested() = 0;
    // Lets the surroundings breathe while a long list is built.
    virtual void processEvents() = 0;
    // The head length of the field list from the stored setting; an error
    // when it cannot be read, which ends the run.
    virtual Result<int> headLength() = 0;

    virtual void pageStarted(int index, const QString &address);
    // The page being handled has loaded: the document its analysis reads,
    // held until pageFinished; null when the load did not end in time.
    virtual void pageLoaded(int index, std::shared_ptr<const Document> document);
    virtual void pageExtracted(const QString &rowText);
    // The page did not load, for this reason ("HTTP 404", "超时"); nothing
    // of it is stored. pageFinished follows.
    virtual void pageFailed(int index, const QString &address, const QString &reason);
    // The page was handled but stored no record, for this reason ("过滤后没有行").
    virtual void pageEmpty(int index, const QString &address, const QString &reason);
    virtual void pageFinished(const BatchStats &stats);
};

// One batch run over the browser of a page waiter, which loads the pages
// ahead of the one being handled (beside it, when its engine can) while
// every page is still handled in the order of the list. The run is recorded
// in the result database page by page, so a run broken off can go on. The
// grids and the page list are the caller's, so a window can show them.
class BatchRun final
{
public:
    enum class End {
        Refused,          // a check failed; nothing was started
        Finished,
        Stopped,          // the user asked to stop
        DefinitionFailed, // there was no layout or field list to apply
        PageFailed,       // the start page of a link run could not be read
        StoreFailed,      // the results or the settings could not be read or written
    };
    struct Outcome
    {
        End end = End::Refused;
        BatchStats stats; // of the whole run, a resumed one included
        std::optional<BatchStats> resumedPart; // what this process did of a resumed run
    };

    BatchRun(PageWaiter &waiter, BatchHost &host, Grid &mainGrid, Grid &recordGrid, QStringList &pageList);

    Outcome run(const BatchSettings &settings);

private:
    Outcome runParameter(const BatchSettings &settings);
    Outcome runLinks(const BatchSettings &settings);
    Outcome runNextPages(const BatchSettings &settings);
    // False, after telling the user, when the run has no table names.
    bool tableNamesGiven(const BatchSettings &settings);
    // The end status and the outcome of a run over pages: finishedStatus
    // when it went through its list, "中断采集" when it ended early.
    Outcome ended(End end, const QString &finishedStatus = QStringLiteral("采集完成"));
    bool buildLinkPages(const QStringList &links, const QUrl &startPage);
    // Takes up the unfinished run with these settings into the page list:
    // the pages still to visit, or how the run ends, after telling why, when
    // there is no such run (Refused: nothing is changed) or the results
    // cannot be read.
    std::variant<QList<int>, End> resumeRun(const BatchSettings &settings);
    // The pages to visit: what is left of the run taken up again, or every
    // page of a new one, whose list buildList makes; or how the run ends.
    std::variant<QList<int>, End> pagesToVisit(const BatchSettings &settings, const std::function<void()> &buildList);
    // Empties the results when asked and records the run; the pages to
    // visit, or nullopt when the run must end.
    std::optional<QList<int>> beginRun(const BatchSettings &settings);
    // Visits the wanted pages of the list, or, of a run shared with other
    // processes, the pages this one claims; Finished, or why the run ended early.
    End visitPages(const BatchSettings &settings, const QList<int> &wanted);
    // more, when given, is asked for the next pages once all of these are loading.
    End visitList(const BatchSettings &settings, const QStringList &addresses, const QList<int> &wanted,
                  std::function<Result<QList<int>>()> more = nullptr);
    // Visits the wanted pages of a next-page run, the list growing by the
    // page each page at its end leads to; Finished, or why the run ended early.
    End followNextPages(const BatchSettings &settings, QList<int> wanted);
    // Shows the page as the one being handled.
    void startPage(int index, const QString &address);
    // Finished for a page done, skipped or failed, otherwise why the run ends.
    End visitPage(const BatchSettings &settings, const LookAhead::Page &page, const QString &address);
    // The page stored nothing, for this reason; the run goes on unless the
    // mark cannot be stored.
    // Reads a loaded page, turns it into records and stores them.
    End handlePage(const BatchSettings &settings, int index, const QString &address, const Browser &browser,
                   const WorkBudget &budget);
    End failPage(int index, const QString &address, const QString &reason);
    // Before any page: nullopt when the run has what it turns pages into
    // records with; otherwise how it ends, after telling the user why.
    std::optional<End> missingDefinition(const BatchSettings &settings);
    // False when the run must end after a store failure.
    bool stored(const Status &status);

    PageWaiter &m_waiter;
    BatchHost &m_host;
    Grid &m_mainGrid;
    Grid &m_recordGrid;
    QStringList &m_pageList;
    BatchStats m_stats;
    // Both held for the length of one run.
    std::unique_ptr<RunStore> m_results;
    std::optional<DefinitionReader> m_definitions;
    std::optional<PageRecords> m_records;
    std::optional<BatchStats> m_earlier; // of a resumed run, before this process took it up
};

} // namespace pagrion
