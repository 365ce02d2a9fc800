#include "cli/terminalbatchhost.h"

#include <csignal>
#include <cstdio>

#include <unistd.h>

#include <QCoreApplication>
#include <QDateTime>

#include "batch/batchprogress.h"
#include "engine/pagewaiter.h"
#include "store/namedsetting.h"

using namespace Qt::StringLiterals;

namespace pagrion::cli {

namespace {

constexpr qint64 RedrawEveryMs = 100;
constexpr qint64 FiguresEveryMs = 10'000;

void writeError(const QString &text)
{
    std::fputs(text.toUtf8().constData(), stderr);
    std::fflush(stderr);
}

QString timestamp()
{
    return QDateTime::currentDateTime().toString(u"yyyy-MM-dd HH:mm:ss"_s);
}

} // namespace

TerminalBatchHost::TerminalBatchHost(PageWaiter &waiter)
    : m_waiter(waiter)
    , m_terminal(::isatty(STDERR_FILENO) == 1)
{
    m_ticker.setInterval(1000);
    QObject::connect(&m_ticker, &QTimer::timeout, &m_ticker, [this] { tick(); });
}

void TerminalBatchHost::stop(int signalNumber)
{
    if (m_stopSignal != 0)
        return;
    m_stopSignal = signalNumber;
    writeLine((signalNumber == SIGTERM ? u"收到终止信号"_s : u"收到中断信号"_s)
              + u"，停止采集：正在打开的网页不保存，已存入的记录保留。"_s);
    m_waiter.interrupt();
}

ExitCode TerminalBatchHost::exitCode(const BatchRun::Outcome &outcome) const
{
    switch (outcome.end) {
    case BatchRun::End::Refused:
        return ExitCode::Usage;
    case BatchRun::End::Finished:
        return outcome.stats.failed > 0 ? ExitCode::PagesFailed : ExitCode::Success;
    case BatchRun::End::Stopped:
        return m_stopSignal == SIGTERM ? ExitCode::Terminated : ExitCode::Stopped;
    case BatchRun::End::DefinitionFailed:
        return ExitCode::RunInterrupted;
    case BatchRun::End::PageFailed:
        return ExitCode::PageNotLoaded;
    case BatchRun::End::StoreFailed:
        return ExitCode::Database;
    }
    return ExitCode::Success;
}

void TerminalBatchHost::message(const QString &text)
{
    writeLine(text);
}

void TerminalBatchHost::status(const QString &text)
{
    // The page's own line already tells which page is open.
    if (m_pageIndex >= 0 && text == m_pageAddress)
        return;
    writeLine(text);
}

void TerminalBatchHost::runActive(bool active)
{
    if (active)
        return;
    m_ticker.stop();
    if (m_lineShown) {
        drawLine(true);
        writeError(u"\n"_s);
        m_lineShown = false;
    }
}

bool TerminalBatchHost::stopRequested()
{
    return m_stopSignal != 0;
}

void TerminalBatchHost::processEvents()
{
    QCoreApplication::processEvents();
}

Result<int> TerminalBatchHost::headLength()
{
    const auto stored = readHeadLength();
    if (!stored)
        return Error{stored.error()};
    if (!stored.value())
        return Error{u"配置数据库中没有 %1 设置（字段的表头长度）。"_s.arg(headLengthSetting())};
    return *stored.value();
}

void TerminalBatchHost::pageStarted(int index, const QString &address)
{
    if (!m_rate.started()) {
        m_rate.start();
        m_clock.start();
        m_ticker.start();
    }
    m_pageIndex = index;
    m_pageAddress = address;
    drawLine(false);
}

void TerminalBatchHost::pageEmpty(int, const QString &, const QString &reason)
{
    m_emptyReason = reason;
}

void TerminalBatchHost::pageFailed(int index, const QString &address, const QString &reason)
{
    writeLine(u"第 %1/%2 页失败（%3）：%4"_s.arg(index + 1).arg(m_progress.maximum).arg(reason, address));
}

void TerminalBatchHost::pageFinished(const BatchStats &stats)
{
    const bool skipped = stats.skipped > m_stats.skipped;
    const bool failed = stats.failed > m_stats.failed;
    const int added = stats.records - m_stats.records;
    m_stats = stats;
    m_pagesDone = m_pageIndex + 1;
    m_rate.pageDone();
    if (m_terminal) {
        drawLine(false);
        return;
    }
    const QString page = u"%1 第 %2/%3 页"_s.arg(timestamp()).arg(m_pagesDone).arg(m_progress.maximum);
    // A failed page was told by its own line, with the reason.
    if (skipped)
        writeMessage(u"%1跳过：%2"_s.arg(page, m_pageAddress));
    else if (!failed && added == 0 && !m_emptyReason.isEmpty())
        writeMessage(u"%1没有记录（%2）：%3"_s.arg(page, m_emptyReason, m_pageAddress));
    else if (!failed)
        writeMessage(u"%1存入 %2 条记录：%3"_s.arg(page).arg(added).arg(m_pageAddress));
    m_emptyReason.clear();
    tick();
}

void TerminalBatchHost::writeLine(const QString &text)
{
    if (m_lineShown)
        writeError(u"\r\x1b[K"_s);
    writeMessage(text);
    if (m_lineShown)
        drawLine(true);
}

void TerminalBatchHost::tick()
{
    if (m_terminal) {
        drawLine(true);
        return;
    }
    const qint64 now = m_clock.elapsed();
    if (now - m_lastFiguresMs < FiguresEveryMs)
        return;
    m_lastFiguresMs = now;
    // A log line keeps single spaces only, so the figures are apart by commas.
    writeMessage(u"%1 进度 %2"_s.arg(timestamp(), figures(u"，"_s)));
}

QString TerminalBatchHost::figures(const QString &separator) const
{
    return progressFigures(m_pagesDone, m_progress.maximum, m_stats, m_rate.rate(m_progress.maximum - m_pagesDone),
                           separator);
}

void TerminalBatchHost::drawLine(bool always)
{
    if (!m_terminal || m_pageIndex < 0)
        return;
    const qint64 now = m_clock.elapsed();
    if (!always && m_lineShown && now - m_lastDrawMs < RedrawEveryMs)
        return;
    m_lastDrawMs = now;
    m_lineShown = true;
    // Line wrapping is off while the line is drawn: a terminal narrower
    // than the line cuts it instead of breaking the redraw in place.
    writeError(u"\r\x1b[?7l"_s + figures(u"  "_s) + u"\x1b[K\x1b[?7h"_s);
}

void writeRunSummary(const BatchStats &stats, const std::optional<BatchStats> &resumedPart)
{
    const auto figures = [](const BatchStats &part) {
        return u"pages %1, skipped %2, failed %3, records %4"_s.arg(part.pages)
            .arg(part.skipped)
            .arg(part.failed)
            .arg(part.records);
    };
    const QString part = resumedPart ? u" (resumed: "_s + figures(*resumedPart) + u')' : QString();
    writeOutput(figures(stats) + part + u'\n');
    if (const QString reasons = failureReasons(stats); !reasons.isEmpty())
        writeOutput(u"失败原因：\n  "_s + QString(reasons).replace(u"\n"_s, u"\n  "_s) + u'\n');
}

} // namespace pagrion::cli
