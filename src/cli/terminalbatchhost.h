#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QTimer>

#include "batch/batchrun.h"
#include "cli/cliterminal.h"
#include "core/progress.h"
#include "core/ratemeter.h"

namespace pagrion {
class PageWaiter;
}

namespace pagrion::cli {

// A batch run's surroundings in a terminal: messages and status lines go to
// standard error, and so does the progress. On a terminal it is one line
// redrawn in place (pages done of all, records, skipped, failed, pages per
// second, time taken and left); otherwise, for a log, a line with the time
// for every page and a line with those figures every ten seconds. A run
// whose results cannot be stored ends at once: pages that cannot be kept are
// not worth loading.
class TerminalBatchHost final : public BatchHost
{
public:
    explicit TerminalBatchHost(PageWaiter &waiter);

    // Ends the run like the stop button: the page being loaded is not stored.
    // signalNumber is the signal that asked for it (SIGINT or SIGTERM).
    void stop(int signalNumber);

    // The exit status for a run that ended so.
    ExitCode exitCode(const BatchRun::Outcome &outcome) const;

    void message(const QString &text) override;
    bool continueAfterStoreFailure() override { return false; }
    void status(const QString &text) override;
    Progress &progress() override { return m_progress; }
    void runActive(bool active) override;
    void setBusy(bool) override {}
    bool stopRequested() override;
    void processEvents() override;
    Result<int> headLength() override;
    void pageStarted(int index, const QString &address) override;
    void pageFailed(int index, const QString &address, const QString &reason) override;
    void pageEmpty(int index, const QString &address, const QString &reason) override;
    void pageFinished(const BatchStats &stats) override;

private:
    class PageProgress final : public Progress
    {
    public:
        void start(int maximum) override { this->maximum = maximum; }
        void setValue(int) override {}
        void finish() override {}
        int maximum = 0;
    };

    void writeLine(const QString &text);
    void drawLine(bool always);
    // Every second: the line on a terminal shows the time going on, and a
    // log gets its figures line when one is due.
    void tick();
    QString figures(const QString &separator) const;

    PageWaiter &m_waiter;
    PageProgress m_progress;
    const bool m_terminal;
    int m_stopSignal = 0; // the signal that stopped the run, 0 while it goes on

    BatchStats m_stats;
    int m_pageIndex = -1;
    int m_pagesDone = 0; // position of the last page done, from 1
    QString m_pageAddress;
    QString m_emptyReason; // why the page being finished stored nothing
    RateMeter m_rate;
    QTimer m_ticker;
    QElapsedTimer m_clock;
    qint64 m_lastDrawMs = -1;
    qint64 m_lastFiguresMs = 0;
    bool m_lineShown = false;
};

// The summary on standard output: "pages N, skipped S, failed F, records R",
// a resumed run's part in brackets, then the reasons pages failed.
void writeRunSummary(const BatchStats &stats, const std::optional<BatchStats> &resumedPart = std::nullopt);

} // namespace pagrion::cli
