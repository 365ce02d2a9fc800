#include "batch/batchrun.h"

#include <numeric>
#include <utility>
#include <variant>

#include "batch/batchlog.h"
#include "batch/batchresume.h"
#include "batch/errorpage.h"
#include "batch/linkfilter.h"
#include "batch/pagelist.h"
#include "core/progress.h"
#include "core/textrules.h"
#include "core/workbudget.h"
#include "engine/browser.h"
#include "engine/pageaddress.h"
#include "engine/pagewaiter.h"
#include "extract/extraction.h"
#include "extract/writers.h"
#include "layout/definitionreader.h"
#include "store/batchlock.h"
#include "store/resultsession.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

const QString BuildingList = u"正在生成要搜索的页面..."_s;
const QString OpeningPages = u"正在准备打开网页... ..."_s;

// Building a list of thousands of addresses still lets the window repaint,
// without paying for an event round per address.
constexpr int EventsEvery = 256;

// How many pages load at once. A static page costs little until it is
// handled, so the engine keeps its requests per host in flight with as many
// pages again finished and waiting their turn; the full browser holds a
// whole page with its scripts for each. One request at a time loads one
// page at a time.
int pagesAtOnce(const BatchSettings &settings, EngineKind engine)
{
    const int concurrency = std::max(settings.policy.concurrency, 1);
    if (engine == EngineKind::Static)
        return 2 * concurrency - 1;
    return std::min(concurrency, std::max(settings.browserPages, 1));
}

// The run's limits, policy and media on the waiter's browser while the run
// lasts; its own again afterwards.
class RunBrowserSettings final
{
public:
    RunBrowserSettings(Browser &browser, const BatchSettings &settings)
        : m_browser(browser)
        , m_limits(browser.limits())
        , m_policy(browser.loadPolicy())
        , m_loadsMedia(browser.loadsMedia())
    {
        m_browser.setLimits(settings.limits);
        m_browser.setLoadPolicy(settings.policy);
        m_browser.setLoadsMedia(settings.loadMedia);
    }
    ~RunBrowserSettings()
    {
        m_browser.setLimits(m_limits);
        m_browser.setLoadPolicy(m_policy);
        m_browser.setLoadsMedia(m_loadsMedia);
    }
    Q_DISABLE_COPY_MOVE(RunBrowserSettings)

private:
    Browser &m_browser;
    PageLimits m_limits;
    LoadPolicy m_policy;
    bool m_loadsMedia;
};

QList<int> allPages(qsizetype count)
{
    QList<int> pages(count);
    std::iota(pages.begin(), pages.end(), 0);
    return pages;
}

} // namespace

BatchStats &BatchStats::operator+=(const BatchStats &other)
{
    pages += other.pages;
    skipped += other.skipped;
    failed += other.failed;
    records += other.records;
    for (auto it = other.failures.cbegin(); it != other.failures.cend(); ++it)
        failures[it.key()] += it.value();
    return *this;
}

void BatchSettings::useLoadSettings(const LoadSettings &load)
{
    limits = load.pageLimits();
    policy = load.loadPolicy();
    browserPages = load.browserPages;
    aheadBytes = load.aheadBytes;
    loadMedia = !load.batchWithoutMedia;
    nextText = load.nextText;
    maxNextPages = load.maxNextPages;
}

bool BatchHost::continueAfterStoreFailure()
{
    return true;
}
void BatchHost::pageStarted(int, const QString &) {}
void BatchHost::pageLoaded(int, std::shared_ptr<const Document>) {}
void BatchHost::pageExtracted(const QString &) {}
void BatchHost::pageFailed(int, const QString &, const QString &) {}
void BatchHost::pageEmpty(int, const QString &, const QString &) {}
void BatchHost::pageFinished(const BatchStats &) {}

BatchRun::BatchRun(PageWaiter &waiter, BatchHost &host, Grid &mainGrid, Grid &recordGrid, QStringList &pageList)
    : m_waiter(waiter)
    , m_host(host)
    , m_mainGrid(mainGrid)
    , m_recordGrid(recordGrid)
    , m_pageList(pageList)
{
}

BatchRun::Outcome BatchRun::run(const BatchSettings &settings)
{
    m_stats = {};
    m_earlier.reset();
    m_results = settings.runStore ? settings.runStore() : std::make_unique<ResultSession>();
    if (m_results->sharesPages() && settings.mode == BatchSettings::Mode::NextPage) {
        m_host.message(u"下一页采集要一页接一页地找到下一个网页，不能分给多个进程，不能使用结果服务器。"_s);
        m_results.reset();
        return {};
    }
    // Held until the run returns: a second process would store pages twice.
    // Processes sharing a run keep apart by their claims instead.
    std::optional<Result<BatchLock>> lock;
    if (!m_results->sharesPages()) {
        lock.emplace(BatchLock::acquire());
        if (!*lock) {
            m_host.message(lock->error());
            m_results.reset();
            return {};
        }
    }
    m_definitions.emplace();
    const RunBrowserSettings browserSettings(m_waiter.browser(), settings);
    qCInfo(lcBatch).noquote() << batchStartLogText(settings, m_waiter.browser().engine());
    const Outcome outcome = [&] {
        switch (settings.mode) {
        case BatchSettings::Mode::Parameter:
            return runParameter(settings);
        case BatchSettings::Mode::Links:
            return runLinks(settings);
        case BatchSettings::Mode::NextPage:
            return runNextPages(settings);
        }
        Q_UNREACHABLE();
    }();
    m_records.reset();
    m_definitions.reset();
    m_results.reset();
    // A run taken up again is told whole, with this part of it beside.
    Outcome whole = outcome;
    if (m_earlier) {
        whole.resumedPart = outcome.stats;
        whole.stats = *std::exchange(m_earlier, std::nullopt);
        whole.stats += outcome.stats;
    }
    qCInfo(lcBatch).noquote() << batchEndLogText(whole.end, whole.stats);
    return whole;
}

BatchRun::Outcome BatchRun::runParameter(const BatchSettings &settings)
{
    // The user's own mistakes are told in the order the boxes are read; a
    // range the page list cannot hold is refused last.
    const RangeCheck range = checkParameterRange(settings.from, settings.to);
    if (range.problem == RangeProblem::NoValues || range.problem == RangeProblem::EndBeforeStart) {
        m_host.message(rangeProblemMessage(*range.problem));
        return {};
    }
    if (!settings.address.contains(Wildcard)) {
        m_host.message(u"系统不存在通配符无法搜集信息！"_s);
        return {};
    }
    if (!tableNamesGiven(settings))
        return {};
    if (range.problem) {
        m_host.message(rangeProblemMessage(*range.problem));
        return {};
    }
    if (const std::optional<End> missing = missingDefinition(settings))
        return {*missing, m_stats, std::nullopt};

    m_host.runActive(true);
    const auto pages = pagesToVisit(settings, [&] {
        Progress &progress = m_host.progress();
        progress.start(range.range.to - range.range.from + 2);
        m_host.status(BuildingList);
        m_pageList = parameterPages(settings.address, range.range);
        progress.setValue(int(m_pageList.size()));
        m_host.processEvents();
        progress.finish();
    });
    if (const End *end = std::get_if<End>(&pages))
        return ended(*end);
    return ended(visitPages(settings, std::get<QList<int>>(pages)));
}

std::variant<QList<int>, BatchRun::End> BatchRun::pagesToVisit(const BatchSettings &settings,
                                                               const std::function<void()> &buildList)
{
    if (settings.resume)
        return resumeRun(settings);
    buildList();
    if (std::optional<QList<int>> begun = beginRun(settings))
        return *std::move(begun);
    return End::StoreFailed;
}

bool BatchRun::tableNamesGiven(const BatchSettings &settings)
{
    if (!trimSpaces(settings.tableNames).isEmpty())
        return true;
    m_host.message(u"系统没有指定提取表单名称不能进行数据搜集！"_s);
    return false;
}

BatchRun::Outcome BatchRun::ended(End end, const QString &finishedStatus)
{
    // A stop asked for while the store was out of reach (a result server
    // being reconnected to) is what ended the run, not the store.
    if (end == End::StoreFailed && m_host.stopRequested())
        end = End::Stopped;
    m_host.setBusy(false);
    // A run that ended early says so, unlike one that went through its list.
    m_host.status(end == End::Finished ? finishedStatus : u"中断采集"_s);
    m_host.progress().finish();
    m_host.runActive(false);
    return {end, m_stats, std::nullopt};
}

BatchRun::Outcome BatchRun::runLinks(const BatchSettings &settings)
{
    if (!tableNamesGiven(settings))
        return {};
    if (const std::optional<End> missing = missingDefinition(settings))
        return {*missing, m_stats, std::nullopt};

    const auto endRun = [this](End end) { return ended(end, u"搜索完成"_s); };

    m_host.runActive(true);
    if (settings.resume) {
        const auto resumed = resumeRun(settings);
        if (const End *end = std::get_if<End>(&resumed))
            return endRun(*end);
        return endRun(visitPages(settings, std::get<QList<int>>(resumed)));
    }
    m_waiter.navigate(settings.address);
    m_host.setBusy(true);
    m_waiter.waitUntilLoaded();
    m_waiter.waitWhileBusy();
    if (m_host.stopRequested())
        return endRun(End::Stopped);

    m_pageList.clear();
    QStringList links;
    try {
        links = m_waiter.browser().document()->links();
    } catch (const DocumentError &error) {
        m_host.message(QString::fromUtf8(error.what()));
        return endRun(End::PageFailed);
    }
    if (links.isEmpty()) {
        m_host.message(u"该页面没有可搜索的信息。"_s);
        return endRun(End::Finished);
    }
    if (!buildLinkPages(links, QUrl::fromUserInput(settings.address)))
        return endRun(End::Refused);

    const std::optional<QList<int>> wanted = beginRun(settings);
    if (!wanted)
        return endRun(End::StoreFailed);
    if (m_pageList.isEmpty())
        return endRun(End::Finished);
    return endRun(visitPages(settings, *wanted));
}

bool BatchRun::buildLinkPages(const QStringList &links, const QUrl &startPage)
{
    Progress &progress = m_host.progress();
    progress.start(int(std::min<qsizetype>(links.size(), std::numeric_limits<int>::max())));
    m_host.status(BuildingList);
    const LinkFilter filter = LinkFilter::load();
    for (qsizetype j = 0; j < links.size(); ++j) {
        const QString link = trimSpaces(links[j]);
        // A page from the web never leads the run to local files or to
        // data:, javascript: or ftp: addresses.
        if (filter.allows(link) && mayFollow(startPage, QUrl(link)))
            m_pageList << link;
        if (j % EventsEvery == 0) {
            progress.setValue(int(j + 1));
            m_host.processEvents();
        }
    }
    progress.finish();
    if (m_pageList.size() > MaxPages) {
        m_host.message(u"该页面的链接超过32767个，无法一次采集，请换一个起始页面！"_s);
        m_pageList.clear();
        return false;
    }
    return true;
}

std::variant<QList<int>, BatchRun::End> BatchRun::resumeRun(const BatchSettings &settings)
{
    const QString recorded = recordedSettings(settings);
    const auto found = m_results->findUnfinishedRun(recorded);
    if (!found) {
        m_host.message(found.error());
        return End::StoreFailed;
    }
    if (!found.value()) {
        // A run ended by a kill between its last page and its exit is whole:
        // going on with it must not collect every page again.
        if (const auto finished = m_results->lastRunFinished(recorded); finished && finished.value()) {
            m_host.message(u"用相同设置进行的上次批量采集已经完成，没有需要继续采集的网页。"_s);
            m_pageList.clear();
            // Its totals are the run's, failed pages included.
            if (const auto pages = m_results->continueRun(*finished.value()))
                m_earlier = recordedTotals(pages.value());
            return QList<int>{};
        }
        // Starting afresh could empty the results the user meant to keep.
        m_host.message(u"没有找到用相同设置进行、尚未完成的批量采集，没有开始采集，结果表没有改动。"
                       u"设置与上次不同时请改回上次的设置，或不带继续采集的选项重新开始。"_s);
        return End::Refused;
    }
    const UnfinishedRun &run = *found.value();
    const auto pages = m_results->continueRun(run.id);
    if (!pages) {
        m_host.message(pages.error());
        return End::StoreFailed;
    }
    m_pageList.clear();
    QList<int> wanted;
    for (const RecordedPage &page : pages.value()) {
        m_pageList << page.address;
        if (page.state == PageState::Pending)
            wanted << page.index;
    }
    // A shared run's totals change under other processes: this one tells its own part.
    if (!m_results->sharesPages())
        m_earlier = recordedTotals(pages.value());
    m_host.status(u"继续上次没有完成的采集：已完成 %1/%2 页"_s.arg(run.pages - wanted.size()).arg(run.pages));
    return wanted;
}

std::optional<QList<int>> BatchRun::beginRun(const BatchSettings &settings)
{
    if (settings.overwrite && !stored(m_results->clearRecords()))
        return std::nullopt;
    if (!stored(m_results->beginRun(recordedSettings(settings), m_pageList)))
        return std::nullopt;
    return allPages(m_pageList.size());
}

bool BatchRun::stored(const Status &status)
{
    if (status)
        return true;
    m_host.message(status.error());
    return m_host.continueAfterStoreFailure();
}

BatchRun::End BatchRun::visitPages(const BatchSettings &settings, const QList<int> &wanted)
{
    m_host.processEvents();
    m_host.status(OpeningPages);
    m_host.progress().start(int(m_pageList.size()));
    QStringList addresses;
    addresses.reserve(m_pageList.size());
    for (const QString &entry : std::as_const(m_pageList))
        addresses << trimSpaces(entry);
    if (!m_results->sharesPages()) {
        if (const End end = visitList(settings, addresses, wanted); end != End::Finished)
            return end;
        return stored(m_results->finishRun()) ? End::Finished : End::StoreFailed;
    }
    // A few pages at a time: a page claimed is soon visited, and the pages
    // of a process that dies are soon free again. The next claim is made
    // while the last pages of one still load, so the look-ahead does not run
    // dry between them; only when none is free does the process wait for
    // the other processes' pages (one of them may die).
    const int batch = 4 * pagesAtOnce(settings, m_waiter.browser().engine());
    const auto claimMore = [&] { return m_results->claimPages(batch, false); };
    for (bool first = true;; first = false) {
        if (m_host.stopRequested())
            return End::Stopped;
        const Result<QList<int>> claimed = m_results->claimPages(batch, true);
        if (!claimed) {
            m_host.message(claimed.error());
            return End::StoreFailed;
        }
        if (claimed.value().isEmpty()) {
            // Joined a run whose pages the other processes had all done.
            if (first)
                m_host.message(u"结果服务器上用相同设置的批量采集已经完成，没有需要采集的网页。"
                               u"要重新采集请加上覆盖上次记录的选项。"_s);
            break;
        }
        if (const End end = visitList(settings, addresses, claimed.value(), claimMore); end != End::Finished)
            return end;
    }
    if (m_host.stopRequested())
        return End::Stopped;
    return stored(m_results->finishRun()) ? End::Finished : End::StoreFailed;
}

BatchRun::End BatchRun::visitList(const BatchSettings &settings, const QStringList &addresses, const QList<int> &wanted,
                                  std::function<Result<QList<int>>()> more)
{
    LookAhead ahead(m_waiter, pagesAtOnce(settings, m_waiter.browser().engine()), settings.aheadBytes);
    ahead.start(addresses, wanted);
    while (!ahead.atEnd()) {
        // A stop asked for while the last page was handled spares the next its wait.
        if (m_host.stopRequested())
            return End::Stopped;
        if (more && ahead.notStarted() == 0) {
            const Result<QList<int>> claimed = more();
            if (!claimed) {
                m_host.message(claimed.error());
                return End::StoreFailed;
            }
            if (claimed.value().isEmpty())
                more = nullptr;
            ahead.append(claimed.value());
        }
        const int index = ahead.nextIndex();
        const QString &address = addresses.at(index);
        startPage(index, address);
        const LookAhead::Page page = ahead.next();
        const End end = visitPage(settings, page, address);
        m_host.setBusy(false);
        if (end != End::Finished)
            return end;
        ahead.done();
        m_host.pageFinished(m_stats);
    }
    return End::Finished;
}

void BatchRun::startPage(int index, const QString &address)
{
    m_host.progress().setValue(index + 1);
    m_host.pageStarted(index, address);
    m_host.pageExtracted({});
    m_host.status(address);
    m_host.setBusy(true);
}

BatchRun::End BatchRun::visitPage(const BatchSettings &settings, const LookAhead::Page &page, const QString &address)
{
    if (m_host.stopRequested() || page.end == PageWaiter::WaitEnd::Interrupted)
        return End::Stopped;
    ++m_stats.pages;

    const Browser &browser = *page.browser;
    // A load that did not end leaves the browser on the page before.
    m_host.pageLoaded(page.index, page.end == PageWaiter::WaitEnd::Loaded ? browser.document() : nullptr);
    const std::optional<LoadFailure> failure =
        page.end == PageWaiter::WaitEnd::TimedOut ? LoadFailure::timeout() : browser.failure();
    if (failure)
        return failPage(page.index, address, failure->reason);

    // What is done with the loaded page keeps to the page's time limit as
    // well, and a stop ends it within a second, storing nothing of it.
    const WorkBudget budget(browser.timeLimitMs(), [this] {
        m_host.processEvents();
        return m_host.stopRequested();
    });
    try {
        return handlePage(settings, page.index, address, browser, budget);
    } catch (const DocumentError &error) {
        // A stop signal ends a read at once; the host learns of it from the
        // event loop.
        m_host.processEvents();
        if (m_host.stopRequested())
            return End::Stopped;
        return failPage(page.index, address, QString::fromUtf8(error.what()));
    } catch (const WorkEnded &ended) {
        switch (ended.end()) {
        case WorkBudget::End::Stopped:
            m_host.processEvents();
            return End::Stopped;
        case WorkBudget::End::TimedOut:
            return failPage(page.index, address,
                            u"网页的内容太多，在 %1 秒内没有处理完。"_s.arg(budget.timeLimitMs() / 1000.0));
        }
        return End::Stopped;
    }
}

BatchRun::End BatchRun::handlePage(const BatchSettings &settings, int index, const QString &address,
                                   const Browser &browser, const WorkBudget &budget)
{
    const ExtractionSettings extraction{settings.classValue, settings.tableNames, settings.rowFilter};
    const auto document = browser.document();
    if (!document || isErrorPage(*document)) {
        ++m_stats.skipped;
        return stored(m_results->markPage(index, PageState::Skipped)) ? End::Finished : End::StoreFailed;
    }
    QString rowText;
    // Every row a record reads the tables themselves, not their row text.
    if (settings.records != RecordSource::EveryRow) {
        rowText = extractionText(*document, extraction, nullptr, &budget);
        writeBatchPageGrid(m_mainGrid, rowText, settings.swap, &budget);
    }
    const Result<PageRecords::Page> filled =
        m_records->fill(*document, extraction, rowText, address, m_mainGrid, m_recordGrid, budget);
    if (!filled)
        return failPage(index, address, filled.error());
    m_host.pageExtracted(filled.value().rowText);
    const PageNote note{index, filled.value().emptyReason, filled.value().columnNames};
    const auto records = m_results->storePage(m_recordGrid, {settings.skipEmptyFirstField}, note, &budget);
    if (!records) {
        // Nothing of the page was kept (a full disk, say): it failed, and the
        // message of the failure tells why.
        ++m_stats.failed;
        ++m_stats.failures[records.error()];
        return stored(Error{records.error()}) ? End::Finished : End::StoreFailed;
    }
    // Another process took the page over and stores it itself.
    if (records.value() == RunStore::TakenOver) {
        --m_stats.pages;
        m_host.status(u"第 %1 页已由其他进程接手，这里不保存：%2"_s.arg(index + 1).arg(address));
        return End::Finished;
    }
    m_stats.records += records.value();
    if (records.value() == 0) {
        qCInfo(lcBatch).noquote() << u"第 %1 页 %2 没有记录：%3"_s.arg(QString::number(index + 1), address,
                                                                    note.emptyReason);
        m_host.pageEmpty(index, address, note.emptyReason);
    }
    return End::Finished;
}

BatchRun::End BatchRun::failPage(int index, const QString &address, const QString &reason)
{
    ++m_stats.failed;
    ++m_stats.failures[reason];
    qCWarning(lcBatch).noquote() << u"第 %1 页 %2 失败：%3"_s.arg(QString::number(index + 1), address, reason);
    m_host.pageFailed(index, address, reason);
    return stored(m_results->markPage(index, PageState::Failed, reason)) ? End::Finished : End::StoreFailed;
}

std::optional<BatchRun::End> BatchRun::missingDefinition(const BatchSettings &settings)
{
    RecordDefinition definition{settings.records, settings.everyRow,
                                addsSourceColumns(settings.records, settings.sourceColumns),
                                settings.layout, settings.fields, settings.headLength};
    m_records.emplace(definition, *m_definitions, [this] { return m_host.headLength(); });
    bool settingUnreadable = false;
    const Status ready = m_records->check(settingUnreadable);
    if (ready)
        return std::nullopt;
    m_host.message(ready.error());
    return settingUnreadable ? End::StoreFailed : End::DefinitionFailed;
}

} // namespace pagrion
