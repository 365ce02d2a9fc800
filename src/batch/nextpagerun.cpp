// Next-page runs: a chain of pages, each found by the "next page" link of
// the one before it.
#include "batch/batchrun.h"

#include <QSet>

#include "batch/nextpagelink.h"
#include "core/progress.h"
#include "core/textrules.h"
#include "engine/browser.h"
#include "engine/document.h"
#include "engine/pagewaiter.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

// The page's next-page link. Reading the page may raise DocumentError.
std::optional<QString> nextPageLink(const Browser &browser, const QRegularExpression &pattern)
{
    const auto document = browser.document();
    if (!document)
        return std::nullopt;
    return findNextPageLink(document->elementTexts(u"a"_s), document->anchorAddresses(), pattern);
}

// Why the chain does not go on to the page its last page links to; empty
// when it does.
QString chainEnding(const QString &next, const QSet<QString> &visited, qsizetype pages, int maxPages)
{
    if (visited.contains(pageKey(next)))
        return u"“下一页”链接指向已经采集过的网页，采集到此结束：%1"_s.arg(next);
    if (pages >= maxPages) {
        return u"已采集 %1 页，达到“%2”，采集到此结束。"_s.arg(pages).arg(
            loadSettingName(LoadSettings::Field::MaxNextPages));
    }
    return {};
}

} // namespace

BatchRun::Outcome BatchRun::runNextPages(const BatchSettings &settings)
{
    if (!tableNamesGiven(settings))
        return {};
    if (const std::optional<End> missing = missingDefinition(settings))
        return {*missing, m_stats, std::nullopt};

    m_host.runActive(true);
    const auto pages = pagesToVisit(settings, [&] { m_pageList = QStringList{trimSpaces(settings.address)}; });
    if (const End *end = std::get_if<End>(&pages))
        return ended(*end);
    return ended(followNextPages(settings, std::get<QList<int>>(pages)));
}

BatchRun::End BatchRun::followNextPages(const BatchSettings &settings, QList<int> wanted)
{
    const QRegularExpression pattern = nextPagePattern(settings.nextText);
    QSet<QString> visited;
    for (const QString &address : std::as_const(m_pageList))
        visited.insert(pageKey(address));
    // The chain's length is known only at its end.
    m_host.progress().start(settings.maxNextPages);

    while (!wanted.isEmpty()) {
        if (m_host.stopRequested())
            return End::Stopped;
        const int index = wanted.takeFirst();
        const QString address = m_pageList.at(index);
        // Only the list's last page leads further: a page before it was
        // followed already, in an earlier part of the run.
        const bool last = index == m_pageList.size() - 1;
        startPage(index, address);

        bool loaded = false;
        std::optional<QString> next;
        QString ending; // why the chain ends here though the page has a next link
        End end;
        {
            // One page at a time, as only a page tells the next; the look-ahead
            // goes before the list grows, so it never holds a copy being changed.
            LookAhead ahead(m_waiter, 1);
            ahead.start(m_pageList, {index});
            const LookAhead::Page page = ahead.next();
            loaded = page.end == PageWaiter::WaitEnd::Loaded && !page.browser->failure();
            try {
                if (loaded && last)
                    next = nextPageLink(*page.browser, pattern);
            } catch (const DocumentError &error) {
                m_host.message(QString::fromUtf8(error.what()));
                m_host.setBusy(false);
                return End::PageFailed;
            }
            if (next)
                ending = chainEnding(*next, visited, m_pageList.size(), settings.maxNextPages);
            if (!ending.isEmpty())
                next.reset();
            // Recorded with this page's records, so a run broken off after
            // them goes on with the next page.
            if (next)
                m_results->addPage(int(m_pageList.size()), *next);
            end = visitPage(settings, page, address);
        }
        m_host.setBusy(false);
        if (end != End::Finished)
            return end;
        m_host.pageFinished(m_stats);
        if (!last)
            continue;
        if (!loaded) {
            m_host.message(u"第 %1 页没有打开，找不到它的“下一页”链接，采集到此结束。"_s.arg(index + 1));
        } else if (next) {
            visited.insert(pageKey(*next));
            m_pageList << *next;
            wanted << index + 1;
        } else if (!ending.isEmpty()) {
            m_host.status(ending);
        }
    }
    return stored(m_results->finishRun()) ? End::Finished : End::StoreFailed;
}

} // namespace pagrion
