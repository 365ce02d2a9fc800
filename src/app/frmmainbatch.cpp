// The main window's batch command: the window's controls bound to a batch run.
#include "app/frmmain.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "app/frmwebpreview.h"
#include "batch/batchprogress.h"
#include "batch/batchresume.h"
#include "batch/batchrun.h"
#include "batch/serverrun.h"
#include "core/ratemeter.h"
#include "engine/pagewaiter.h"
#include "platform/current.h"
#include "platform/dialogs.h"
#include "platform/progressbinding.h"
#include "platform/rowtextedit.h"
#include "store/frmresults.h"
#include "store/loadsettings.h"
#include "store/server/serversession.h"
#include "store/server/serverstore.h"
#include "store/serversetting.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

// Pages may pass a thousand a second, and laying out a page's row text
// costs more than extracting it: the box shows the newest text at most this
// often, and the last one when the run ends.
constexpr int ShowRowTextEveryMs = 100;

// The run's progress in the window: ProgressBar2 tells the page being
// handled of all, the rate and the time left; the status line the address
// of that page, with the pages failed so far once there are any.
class WindowBatchHost final : public BatchHost
{
public:
    explicit WindowBatchHost(FrmMain &window)
        : m_window(window)
        , m_progress(window.ProgressBar2)
    {
        // Building the page list shows the percentage.
        m_window.ProgressBar2->setFormat(u"%p%"_s);
        m_showText.setSingleShot(true);
        QObject::connect(&m_showText, &QTimer::timeout, &m_showText, [this] { showRowText(); });
    }

    void message(const QString &text) override { m_window.showInformation(text); }
    void status(const QString &text) override
    {
        if (m_stats.failed > 0 && text == m_address)
            m_window.Label4->setText(u"%1　（失败 %2 页）"_s.arg(text).arg(m_stats.failed));
        else
            m_window.Label4->setText(text);
    }
    Progress &progress() override { return m_progress; }
    void runActive(bool active) override
    {
        if (!active && m_showText.isActive())
            showRowText();
        m_window.command7->setVisible(active);
        if (FrmWebPreview *preview = m_window.webPreview())
            preview->setOffline(active);
    }
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
    void pageStarted(int index, const QString &address) override
    {
        if (!m_rate.started())
            m_rate.start();
        m_position = index + 1;
        m_address = address;
        m_inPage = true;
        showRate();
    }
    // The preview shows each page as it is handled, as the run loaded it.
    void pageLoaded(int, std::shared_ptr<const Document> document) override
    {
        if (FrmWebPreview *preview = m_window.webPreview())
            preview->showPage(std::move(document));
    }
    void pageExtracted(const QString &rowText) override
    {
        m_rowText = rowText;
        if (m_showText.isActive())
            return;
        const qint64 sinceShown = m_textShown.isValid() ? m_textShown.elapsed() : ShowRowTextEveryMs;
        if (sinceShown >= ShowRowTextEveryMs)
            showRowText();
        else
            m_showText.start(int(ShowRowTextEveryMs - sinceShown));
    }
    void pageFailed(int, const QString &address, const QString &reason) override
    {
        m_window.Label4->setText(u"失败（%1）：%2"_s.arg(reason, address));
        if (FrmWebPreview *preview = m_window.webPreview())
            preview->setNotRead(reason);
    }
    void pageFinished(const BatchStats &stats) override
    {
        FrmWebPreview *preview = m_window.webPreview();
        if (preview && stats.skipped > m_stats.skipped)
            preview->setNotRead(u"错误页，采集时跳过"_s);
        m_stats = stats;
        m_inPage = false;
        m_rate.pageDone();
        showRate();
    }

private:
    void showRowText()
    {
        m_showText.stop();
        m_window.Text2->setText(m_rowText);
        m_textShown.start();
    }

    void showRate()
    {
        QProgressBar *bar = m_window.ProgressBar2;
        const int pagesLeft = bar->maximum() - m_position + (m_inPage ? 1 : 0);
        bar->setFormat(progressBarText(m_position, bar->maximum(), m_rate.rate(pagesLeft)));
    }

    FrmMain &m_window;
    ProgressBarProgress m_progress;
    RateMeter m_rate;
    BatchStats m_stats;
    int m_position = 0; // of the page being handled or last handled, from 1
    QString m_address;
    bool m_inPage = false;
    QString m_rowText; // the newest page's, shown or waiting for m_showText
    QTimer m_showText;
    QElapsedTimer m_textShown;
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
    settings.records = recordSource();
    settings.everyRow.headerRows = headerRowsFromText(Combo2->currentText()).value_or(EveryRowOptions::AutoHeaderRows);
    settings.everyRow.columns = Text7->text();
    settings.sourceColumns = Check4->isChecked();
    settings.overwrite = Check2->isChecked();
    settings.skipEmptyFirstField = Check3->isChecked();
    // Unreadable settings give the defaults; the run tells about the
    // database when it reads the layout from it.
    const Result<LoadSettings> stored = readLoadSettings();
    const LoadSettings load = stored ? stored.value() : LoadSettings();
    settings.useLoadSettings(load);
    return settings;
}

bool FrmMain::runBatch(BatchSettings::Mode mode)
{
    SaveSearch();
    IsStopped = false;
    BatchSettings settings = batchSettings(mode);
    const Result<QString> server = readResultServer();
    if (!server) {
        showInformation(server.error());
        return false;
    }
    if (!server.value().isEmpty()) {
        // On a server a run with the same settings is joined, finished or
        // not, as on every machine working on it; 自动覆盖上次保存记录 starts
        // it afresh.
        Label4->setText(u"正在连接结果服务器……"_s);
        Label4->repaint();
        auto opened = ServerStore::open(server.value());
        Label4->clear();
        if (!opened) {
            showInformation(opened.error()
                            + u"\n\n请在“系统设置”中检查结果服务器的连接 URI 和密码。没有开始采集，本机的数据没有改动。"_s);
            return false;
        }
        if (const Status published =
                publishOnServer(settings, std::shared_ptr<ServerStore>(std::move(opened).value()), server.value(),
                                ServerWork::DefaultLeaseMs, [this] { return headLength(); }, [this] { return IsStopped; });
            !published) {
            showInformation(published.error());
            return false;
        }
    } else if (const std::optional<UnfinishedRun> unfinished = unfinishedRun(settings)) {
        // A run with these settings that was stopped or broken off may go on
        // where it was; Cancel starts it afresh.
        settings.resume = Current<Dialogs>::get().question(
            windowTitle(), u"上次用相同设置进行的批量采集没有完成（已完成 %1/%2 页）。\n"
                           u"是否从中断处继续采集？已处理过的网页不再打开，结果表也不清空。\n"
                           u"选“取消”将从头开始采集。"_s.arg(unfinished->done).arg(unfinished->pages));
    }
    WindowBatchHost host(*this);
    BatchRun run(*m_waiter, host, MSFlexGrid1, MSFlexGrid2, List1);
    const BatchRun::Outcome outcome = run.run(settings);
    // The run's last status is its end status ("采集完成", "中断采集" or
    // "搜索完成"); the totals follow it once a page was opened.
    if (outcome.end != BatchRun::End::Refused && outcome.stats.pages > 0)
        Label4->setText(Label4->text() + u"："_s + runTotals(outcome.stats)
                        + (outcome.resumedPart ? u"（本次继续采集：%1）"_s.arg(runTotals(*outcome.resumedPart)) : QString()));
    if (outcome.stats.failed > 0)
        showInformation(u"有 %1 页打开或处理失败，没有存入记录：\n"_s.arg(outcome.stats.failed) + failureReasons(outcome.stats));
    return true;
}

bool FrmMain::RunParameter()
{
    return runBatch(BatchSettings::Mode::Parameter);
}

bool FrmMain::RunWebUrl()
{
    return runBatch(BatchSettings::Mode::Links);
}

bool FrmMain::RunNextPage()
{
    return runBatch(BatchSettings::Mode::NextPage);
}

void FrmMain::command6_Click()
{
    if (Text6->text().isEmpty())
        return;
    const bool ran = Option4->isChecked() ? RunParameter() : Option9->isChecked() ? RunNextPage() : RunWebUrl();
    if (ran && Current<Dialogs>::get().question(windowTitle(), u"采集完成是否查看采集结果！"_s))
        FrmResults::showFor(this);
    IsStopped = true;
}

} // namespace pagrion
