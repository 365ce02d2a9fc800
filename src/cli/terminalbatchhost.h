#pragma once

#include <QElapsedTimer>
#include <QString>

#include "batch/batchrun.h"
#include "cli/cliterminal.h"
#include "core/progress.h"

namespace pagrion {
class PageLoader;
}

namespace pagrion::cli {

// A batch run's surroundings in a terminal: messages and status lines go to
// standard error; so does the progress, as a bar redrawn in place when
// standard error is a terminal and as one line per page otherwise. A run
// whose results cannot be stored ends at once: pages that cannot be kept are
// not worth loading.
class TerminalBatchHost final : public BatchHost
{
public:
    explicit TerminalBatchHost(PageLoader &loader);

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
    void pageFinished(const BatchStats &stats) override;

private:
    class PageProgress final : public Progress
    {
    public:
        explicit PageProgress(TerminalBatchHost &host) : m_host(host) {}
        void start(int maximum) override;
        void setValue(int) override {}
        void finish() override {}
        int maximum = 0;

    private:
        TerminalBatchHost &m_host;
    };

    void writeLine(const QString &text);
    void drawBar(bool always);

    PageLoader &m_loader;
    PageProgress m_progress{*this};
    const bool m_terminal;
    int m_stopSignal = 0; // the signal that stopped the run, 0 while it goes on

    BatchStats m_stats;
    int m_pageIndex = -1;
    QString m_pageAddress;
    QElapsedTimer m_clock;
    qint64 m_lastDrawMs = -1;
    bool m_barShown = false;
};

} // namespace pagrion::cli
