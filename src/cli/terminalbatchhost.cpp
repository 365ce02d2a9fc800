#include "cli/terminalbatchhost.h"

#include <csignal>
#include <cstdio>

#include <unistd.h>

#include <QCoreApplication>

#include "engine/pageloader.h"
#include "store/namedsetting.h"

using namespace Qt::StringLiterals;

namespace pagrion::cli {

namespace {

constexpr int BarWidth = 24;
constexpr qint64 RedrawEveryMs = 100;

void writeError(const QString &text)
{
    std::fputs(text.toUtf8().constData(), stderr);
    std::fflush(stderr);
}

} // namespace

void TerminalBatchHost::PageProgress::start(int maximum)
{
    this->maximum = maximum;
}

TerminalBatchHost::TerminalBatchHost(PageLoader &loader)
    : m_loader(loader)
    , m_terminal(::isatty(STDERR_FILENO) == 1)
{
}

void TerminalBatchHost::stop(int signalNumber)
{
    if (m_stopSignal != 0)
        return;
    m_stopSignal = signalNumber;
    writeLine((signalNumber == SIGTERM ? u"收到终止信号"_s : u"收到中断信号"_s)
              + u"，停止采集：正在打开的网页不保存，已存入的记录保留。"_s);
    m_loader.interrupt();
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
    // The page's own line or the bar already tells which page is open.
    if (m_pageIndex >= 0 && text == m_pageAddress)
        return;
    writeLine(text);
}

void TerminalBatchHost::runActive(bool active)
{
    if (active)
        return;
    if (m_barShown) {
        drawBar(true);
        writeError(u"\n"_s);
        m_barShown = false;
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
    const auto setting = readNamedSetting(headLengthSetting());
    if (!setting)
        return Error{setting.error()};
    if (!setting.value())
        return Error{u"配置数据库中没有 %1 设置（字段的表头长度）。"_s.arg(headLengthSetting())};
    return headLengthFrom(*setting.value());
}

void TerminalBatchHost::pageStarted(int index, const QString &address)
{
    if (m_pageIndex < 0)
        m_clock.start();
    m_pageIndex = index;
    m_pageAddress = address;
    drawBar(false);
}

void TerminalBatchHost::pageFailed(int index, const QString &address, const QString &reason)
{
    writeLine(u"第 %1/%2 页打开失败（%3）：%4"_s.arg(index + 1).arg(m_progress.maximum).arg(reason, address));
}

void TerminalBatchHost::pageFinished(const BatchStats &stats)
{
    const bool failed = stats.failed > m_stats.failed;
    const bool skipped = stats.skipped > m_stats.skipped;
    const int added = stats.records - m_stats.records;
    m_stats = stats;
    if (m_terminal) {
        drawBar(false);
        return;
    }
    if (failed)
        return; // told by its own line
    const QString page = u"第 %1/%2 页"_s.arg(m_pageIndex + 1).arg(m_progress.maximum);
    writeMessage(skipped ? u"%1跳过：%2"_s.arg(page, m_pageAddress)
                         : u"%1存入 %2 条记录：%3"_s.arg(page).arg(added).arg(m_pageAddress));
}

void TerminalBatchHost::writeLine(const QString &text)
{
    if (m_barShown)
        writeError(u"\r\x1b[K"_s);
    writeMessage(text);
    if (m_barShown)
        drawBar(true);
}

void TerminalBatchHost::drawBar(bool always)
{
    if (!m_terminal || m_pageIndex < 0)
        return;
    const qint64 now = m_clock.elapsed();
    if (!always && m_barShown && now - m_lastDrawMs < RedrawEveryMs)
        return;
    m_lastDrawMs = now;
    m_barShown = true;

    const int total = std::max(m_progress.maximum, 1);
    const int done = std::min(m_stats.pages, total);
    const int filled = int(qint64(BarWidth) * done / total);
    const double rate = now > 0 ? m_stats.pages * 1000.0 / double(now) : 0.0;
    writeError(u"\r["_s + QString(filled, u'#') + QString(BarWidth - filled, u'-') + u"] "_s
               + u"%1/%2 页  跳过 %3  记录 %4  %5 页/秒"_s.arg(done)
                     .arg(total)
                     .arg(m_stats.skipped)
                     .arg(m_stats.records)
                     .arg(rate, 0, 'f', 1)
               + u"\x1b[K"_s);
}

} // namespace pagrion::cli
