// The main window's batch command: the window's controls bound to a batch run.
#include "app/frmmain.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "engine/pageloader.h"
#include "batch/batchresume.h"
#include "batch/batchrun.h"
#include "platform/current.h"
#include "platform/dialogs.h"
#include "platform/progressbinding.h"
#include "platform/rowtextedit.h"
#include "store/frmresults.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

class WindowBatchHost final : public BatchHost
{
public:
    explicit WindowBatchHost(FrmMain &window)
        : m_window(window)
        , m_progress(window.ProgressBar2)
    {
    }

    void message(const QString &text) override { m_window.showInformation(text); }
    void status(const QString &text) override { m_window.Label4->setText(text); }
    Progress &progress() override { return m_progress; }
    void runActive(bool active) override { m_window.command7->setVisible(active); }
    void setBusy(bool busy) override
    {
        if (busy)
            m_window.DoFalse();
        else
            m_window.DoTrue();
    }
    bool stopRequested() override { return m_window.IsStopped; }
    void processEvents() override { QCoreApplication::processEvents(); }
    Result<int> headLength() override { return m_window.headLength(); }
    void pageExtracted(const QString &rowText) override { m_window.Text2->setText(rowText); }

private:
    FrmMain &m_window;
    ProgressBarProgress m_progress;
};

} // namespace

BatchSettings FrmMain::batchSettings(BatchSettings::Mode mode) const
{
    BatchSettings settings;
    settings.mode = mode;
    settings.address = Text6->text();
    settings.from = TxtFrom->text();
    settings.to = TxtTo->text();
    settings.tableNames = Text4->text();
    settings.rowFilter = Text3->text();
    settings.classValue = m_classValue;
    settings.swap = Check1->isChecked();
    settings.records = Option6->isChecked() ? RecordSource::Layout : RecordSource::Fields;
    settings.overwrite = Check2->isChecked();
    settings.skipEmptyFirstField = Check3->isChecked();
    return settings;
}

void FrmMain::runBatch(BatchSettings::Mode mode)
{
    SaveSearch();
    IsStopped = false;
    BatchSettings settings = batchSettings(mode);
    // A run with these settings that was stopped or broken off may go on
    // where it was; Cancel starts it afresh.
    if (const std::optional<UnfinishedRun> unfinished = unfinishedRun(settings)) {
        settings.resume = Current<Dialogs>::get().question(
            windowTitle(), u"上次用相同设置进行的批量采集没有完成（已完成 %1/%2 页）。\n"
                           u"是否从中断处继续采集？已存入记录的网页不再打开，结果表也不清空。\n"
                           u"选“取消”将从头开始采集。"_s.arg(unfinished->done).arg(unfinished->pages));
    }
    WindowBatchHost host(*this);
    BatchRun run(*m_loader, host, MSFlexGrid1, MSFlexGrid2, List1);
    run.run(settings);
}

void FrmMain::RunParameter()
{
    runBatch(BatchSettings::Mode::Parameter);
}

void FrmMain::RunWebUrl()
{
    runBatch(BatchSettings::Mode::Links);
}

void FrmMain::command6_Click()
{
    if (Text6->text().isEmpty())
        return;
    if (Option4->isChecked())
        RunParameter();
    else
        RunWebUrl();
    if (Current<Dialogs>::get().question(windowTitle(), u"采集完成是否查看采集结果！"_s))
        FrmResults::showFor(this);
    IsStopped = true;
}

} // namespace pagrion
