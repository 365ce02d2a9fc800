#include "store/server/serversession.h"

#include <algorithm>

#include <QEventLoop>
#include <QTimer>

#include "core/textrules.h"
#include "core/workbudget.h"
#include "store/server/leasekeeper.h"
#include "store/server/serverhostpace.h"
#include "store/server/serverstore.h"

using namespace Qt::StringLiterals;

namespace pagrion {

ServerSession::ServerSession(std::shared_ptr<ServerStore> store, ServerWork work)
    : m_store(std::move(store))
    , m_work(std::move(work))
{
    if (m_work.run)
        workOn(*m_work.run);
}

ServerSession::~ServerSession()
{
    m_keeper.reset();
    // A process that cannot reach the server now leaves its claims to expire.
    std::ignore = m_store->release();
}

Status ServerSession::clearRecords()
{
    m_replace = true;
    return success();
}

Result<std::optional<UnfinishedRun>> ServerSession::findUnfinishedRun(const QString &settings)
{
    const auto found = m_work.run ? m_store->run(*m_work.run) : m_store->newestRun(settings);
    if (!found)
        return Error{found.error()};
    if (!found.value() || found.value()->finished)
        return std::optional<UnfinishedRun>();
    return std::optional<UnfinishedRun>(UnfinishedRun{found.value()->id, found.value()->pages, 0});
}

Result<std::optional<qint64>> ServerSession::lastRunFinished(const QString &settings)
{
    const auto found = m_work.run ? m_store->run(*m_work.run) : m_store->newestRun(settings);
    if (!found)
        return Error{found.error()};
    if (!found.value() || !found.value()->finished)
        return std::optional<qint64>();
    return std::optional<qint64>(found.value()->id);
}

Status ServerSession::beginRun(const QString &settings, const QStringList &pages)
{
    const auto published = m_store->publish(settings, pages, m_replace);
    if (!published)
        return Error{published.error()};
    workOn(published.value().id);
    if (!published.value().joined)
        return success();
    // The same settings may give other pages now (a start page whose links
    // changed): the run on the server is then another run.
    const auto recorded = m_store->pages(*m_run);
    if (!recorded)
        return Error{recorded.error()};
    bool same = recorded.value().size() == pages.size();
    for (qsizetype i = 0; same && i < pages.size(); ++i)
        same = recorded.value().at(i).address == pages.at(i);
    if (same)
        return success();
    m_run.reset();
    return Error{u"结果服务器上用相同设置发布的采集（编号 %1）的网页列表与这次生成的不同，可能是起始网页的链接变了。"
                 u"要重新开始请加 --overwrite（原来的记录将被删除），要接着原来的采集请用 worker。"_s.arg(published.value().id)};
}

void ServerSession::workOn(qint64 run)
{
    m_run = run;
    if (m_work.pace)
        m_work.pace->useRun(run);
}

Result<QList<RecordedPage>> ServerSession::continueRun(qint64 run)
{
    workOn(run);
    return m_store->pages(run);
}

Status ServerSession::finishRun()
{
    return m_run ? m_store->finishIfDone(*m_run) : success();
}

Result<int> ServerSession::storePage(const Grid &records, const AppendOptions &options, const PageNote &note,
                                     const WorkBudget *budget)
{
    QList<QStringList> rows;
    for (int i = 1; i <= records.rows() - 2; ++i) {
        checkWork(budget);
        if (!isStoredRow(records, i, options))
            continue;
        QStringList cells;
        cells.reserve(records.cols());
        for (int j = 0; j < records.cols(); ++j)
            cells << trimSpaces(records.text(i, j));
        rows << cells;
    }
    if (!m_run || note.index < 0)
        return Error{u"结果服务器上没有这次采集。"_s};
    const auto stored = m_store->storePage(*m_run, note.index, rows, note.emptyReason, note.columnNames);
    if (!stored)
        return Error{stored.error()};
    return stored.value() ? int(rows.size()) : TakenOver;
}

Status ServerSession::markPage(int index, PageState state, const QString &reason)
{
    if (!m_run)
        return success();
    const auto marked = m_store->markPage(*m_run, index, state, reason);
    return marked ? success() : Status(Error{marked.error()});
}

Result<QList<int>> ServerSession::claimPages(int count, bool waitForOthers)
{
    if (!m_run)
        return QList<int>{};
    if (!m_keeper)
        m_keeper = std::make_unique<LeaseKeeper>(m_work.uri, m_store->owner(), m_work.leaseMs);
    for (;;) {
        auto claimed = m_store->claim(*m_run, count, m_work.leaseMs);
        if (!claimed || !claimed.value().isEmpty() || !waitForOthers)
            return claimed;
        const Result<bool> pending = m_store->hasPending(*m_run);
        if (!pending)
            return Error{pending.error()};
        if (!pending.value())
            return claimed;
        QEventLoop loop;
        QTimer::singleShot(std::clamp(m_work.leaseMs / 4, 50, 1000), &loop, &QEventLoop::quit);
        loop.exec();
        if (m_work.interrupted && m_work.interrupted())
            return QList<int>{};
    }
}

} // namespace pagrion
