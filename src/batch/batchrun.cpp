#include "batch/batchrun.h"

#include "engine/pageloader.h"
#include "batch/errorpage.h"
#include "batch/linkfilter.h"
#include "batch/pagelist.h"
#include "core/progress.h"
#include "core/textrules.h"
#include "extract/extraction.h"
#include "extract/writers.h"
#include "engine/browser.h"
#include "engine/pageaddress.h"
#include "store/resultstore.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

const QString NoTableNames = u"系统没有指定提取表单名称不能进行数据搜集！"_s;
const QString BuildingList = u"正在生成要搜索的页面..."_s;
const QString OpeningPages = u"正在准备打开网页... ..."_s;

// Building a list of thousands of addresses still lets the window repaint,
// without paying for an event round per address.
constexpr int EventsEvery = 256;

} // namespace

bool BatchHost::continueAfterStoreFailure()
{
    return true;
}
void BatchHost::pageStarted(int, const QString &) {}
void BatchHost::pageExtracted(const QString &) {}
void BatchHost::pageFinished(const BatchStats &) {}

BatchRun::BatchRun(PageLoader &loader, BatchHost &host, Grid &mainGrid, Grid &recordGrid, QStringList &pageList)
    : m_loader(loader)
    , m_host(host)
    , m_mainGrid(mainGrid)
    , m_recordGrid(recordGrid)
    , m_pageList(pageList)
{
}

BatchRun::Outcome BatchRun::run(const BatchSettings &settings)
{
    m_stats = {};
    m_results.emplace();
    m_definitions.emplace();
    const Outcome outcome = settings.mode == BatchSettings::Mode::Parameter ? runParameter(settings)
                                                                            : runLinks(settings);
    m_definitions.reset();
    m_results.reset();
    return outcome;
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
    if (trimSpaces(settings.tableNames).isEmpty()) {
        m_host.message(NoTableNames);
        return {};
    }
    if (range.problem) {
        m_host.message(rangeProblemMessage(*range.problem));
        return {};
    }

    m_host.runActive(true);
    Progress &progress = m_host.progress();
    progress.start(range.range.to - range.range.from + 2);
    m_host.status(BuildingList);
    m_pageList = parameterPages(settings.address, range.range);
    progress.setValue(int(m_pageList.size()));
    m_host.processEvents();
    progress.finish();

    const End end = clearResultsIfAsked(settings) ? visitPages(settings) : End::StoreFailed;
    m_host.status(end == End::Finished ? u"采集完成"_s : u"中断采集"_s);
    m_host.progress().finish();
    m_host.runActive(false);
    return {end, m_stats};
}

BatchRun::Outcome BatchRun::runLinks(const BatchSettings &settings)
{
    if (trimSpaces(settings.tableNames).isEmpty()) {
        m_host.message(NoTableNames);
        return {};
    }

    const auto endRun = [this](End end) {
        m_host.setBusy(false);
        m_host.status(u"搜索完成"_s);
        m_host.progress().finish();
        m_host.runActive(false);
        return Outcome{end, m_stats};
    };

    m_host.runActive(true);
    m_loader.navigate(settings.address);
    m_host.setBusy(true);
    m_loader.waitUntilLoaded();
    m_loader.waitWhileBusy();
    if (m_host.stopRequested())
        return endRun(End::Stopped);

    m_pageList.clear();
    QStringList links;
    try {
        links = m_loader.browser().document()->links();
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

    if (!clearResultsIfAsked(settings))
        return endRun(End::StoreFailed);
    if (m_pageList.isEmpty())
        return endRun(End::Finished);
    return endRun(visitPages(settings));
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

bool BatchRun::clearResultsIfAsked(const BatchSettings &settings)
{
    if (!settings.overwrite)
        return true;
    if (const Status cleared = m_results->clearRecords(); !cleared) {
        m_host.message(cleared.error());
        return m_host.continueAfterStoreFailure();
    }
    return true;
}

BatchRun::End BatchRun::visitPages(const BatchSettings &settings)
{
    m_host.processEvents();
    m_host.status(OpeningPages);
    Progress &progress = m_host.progress();
    progress.start(int(m_pageList.size()));
    const int count = int(m_pageList.size());
    for (int k = 0; k < count; ++k) {
        progress.setValue(k + 1);
        const End end = visitPage(settings, k);
        m_host.setBusy(false);
        if (end != End::Finished)
            return end;
        m_host.pageFinished(m_stats);
    }
    return End::Finished;
}

BatchRun::End BatchRun::visitPage(const BatchSettings &settings, int index)
{
    const QString address = trimSpaces(m_pageList[index]);
    m_host.pageStarted(index, address);
    m_host.pageExtracted({});
    m_loader.navigate(address);
    m_host.status(address);
    m_host.setBusy(true);
    ++m_stats.pages;
    const PageLoader::WaitEnd loaded = m_loader.waitUntilLoaded();
    m_loader.waitWhileBusy();
    if (m_host.stopRequested())
        return End::Stopped;

    const auto skip = [this] {
        ++m_stats.skipped;
        return End::Finished;
    };
    if (loaded == PageLoader::WaitEnd::TimedOut)
        return skip();

    const auto document = m_loader.browser().document();
    QString rowText;
    try {
        if (!document || isErrorPage(*document))
            return skip();
        rowText = extractionText(*document, {settings.classValue, settings.tableNames, settings.rowFilter});
    } catch (const DocumentError &error) {
        m_host.message(QString::fromUtf8(error.what()));
        return End::PageFailed;
    }
    m_host.pageExtracted(rowText);
    writeBatchPageGrid(m_mainGrid, rowText, settings.swap);

    prepareRecordGrid(settings.records, m_recordGrid);
    bool settingUnreadable = false;
    const Status applied = applyStoredDefinition(*m_definitions, settings.records, m_mainGrid, m_recordGrid, [&] {
        const Result<int> length = m_host.headLength();
        settingUnreadable = !length.ok();
        return length;
    });
    if (!applied) {
        m_host.message(applied.error());
        return settingUnreadable ? End::StoreFailed : End::DefinitionFailed;
    }
    const auto stored = m_results->storePage(m_recordGrid, {settings.skipEmptyFirstField});
    if (!stored) {
        m_host.message(stored.error());
        if (!m_host.continueAfterStoreFailure())
            return End::StoreFailed;
    } else {
        m_stats.records += stored.value();
    }
    return End::Finished;
}

} // namespace pagrion
