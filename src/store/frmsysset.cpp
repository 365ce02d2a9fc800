#include "store/frmsysset.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/progress.h"
#include "core/rotatinglog.h"
#include "core/textrules.h"
#include "engine/cookiestore.h"
#include "frame/skinnedframe.h"
#include "platform/current.h"
#include "platform/dialogs.h"
#include "platform/widgetnames.h"
#include "store/enginesetting.h"
#include "store/export.h"
#include "store/frmresults.h"
#include "store/getvarvalue.h"
#include "store/jobfile.h"
#include "store/logsetting.h"
#include "store/namedsetting.h"
#include "store/networksettingsbox.h"
#include "store/programfolder.h"
#include "store/resultstore.h"
#include "store/server/serverexport.h"
#include "store/serversetting.h"
#include "store/systemsettings.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

// Keeps the window painted while an export runs on this thread; input waits
// until the export is done.
class RepaintingProgress final : public Progress
{
public:
    void start(int) override { m_sinceRepaint.start(); }
    void setValue(int) override
    {
        if (m_sinceRepaint.elapsed() < 100)
            return;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        m_sinceRepaint.restart();
    }
    void finish() override {}

private:
    QElapsedTimer m_sinceRepaint;
};

const QString JobFileFilter = u"采集任务 (*.json)|*.json"_s;

// Where the file dialogs open: the temp folder, made when missing.
QString exportFolder()
{
    const QString temp = programFolder().tempFolder();
    QDir().mkpath(temp);
    return QDir::toNativeSeparators(temp);
}

// What a setting does, with its default in place of %1.
QString toolTipOf(LoadSettings::Field field)
{
    using F = LoadSettings::Field;
    switch (field) {
    case F::Concurrency:
        return u"批量采集时向同一网站同时发出的请求数（默认 %1）。网站容易出错或限制访问时设为 1 到 2。"_s;
    case F::Delay:
        return u"向同一网站发出两次请求之间至少等待的秒数，可以带小数（默认 %1）。网站限制访问时设为 1 到 2 秒。"_s;
    case F::Retries:
        return u"网页因超时、连接中断或服务器忙（HTTP 429、500、502、503、504）没有打开时再试的次数（默认 %1）；"
               u"每次先等 1、2、4 … 秒（最多 60 秒），服务器要求等更久时按服务器的要求。"_s;
    case F::TimeLimit:
        return u"打开一个网页最多等待的秒数，可以带小数（默认 %1）；超过的网页算作打开失败。"_s;
    case F::MaxBody:
        return u"一个网页的内容超过这个大小（MB，默认 %1）就不再下载，算作打开失败。"_s;
    case F::MaxText:
        return u"元素列表一次最多生成的文字（MB，默认 %1）；嵌套的元素各自包含里面的全部文字，超过时提示并停止。"_s;
    case F::AheadMemory:
        return u"批量采集时预先打开、等待处理的网页最多占用的内存（MB，默认 %1）；网页很大或内存较少时调小。"_s;
    case F::BrowserPages:
        return u"用完整浏览器批量采集时同时打开的网页数（默认 %1）；页面较重或内存较少时调小。"_s;
    case F::BatchWithoutMedia:
        return u"用完整浏览器批量采集时不下载网页中的图片、字体和音视频：提取表格用不到它们，采集更快（默认勾选）。"_s;
    case F::LinkedStyleSheets:
        return u"快速引擎也下载网页链接的样式表（每个网站的每个样式表只下载一次），像完整浏览器一样隐藏或分行显示文字（默认勾选）。"_s;
    case F::MaxNextPages:
        return u"“下一页”批量采集最多采集的网页数（默认 %1），到达后停止。"_s;
    case F::NextText:
        return u"“下一页”批量采集时，文字符合这个正则表达式的链接通向下一页，不区分大小写（默认 %1）；"
               u"整个文字都符合的链接优先，其次是文字中含有符合部分的第一个链接。"_s;
    }
    return {};
}

} // namespace

Frmsysset::Frmsysset(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , Label1(named(new QLabel(u"数据存放路径"_s, this), u"Label1"_s))
    , Label2(named(new QLabel(this), u"Label2"_s))
    , Label7(named(new QLabel(u"获取字段字符范围"_s, this), u"Label7"_s))
    , Text1(named(new QLineEdit(this), u"Text1"_s))
    , Check1(named(new QCheckBox(u"快速模式（不运行网页脚本）"_s, this), u"Check1"_s))
    , command1(named(new QPushButton(u"清理数据"_s, this), u"command1"_s))
    , command2(named(new QPushButton(u"数据输出"_s, this), u"command2"_s))
    , command3(named(new QPushButton(u"查看文件"_s, this), u"command3"_s))
    , command4(named(new QPushButton(u"保存参数"_s, this), u"command4"_s))
    , command5(named(new QPushButton(u"导出采集任务"_s, this), u"command5"_s))
    , command6(named(new QPushButton(u"导入采集任务"_s, this), u"command6"_s))
    , command7(named(new QPushButton(u"清除登录"_s, this), u"command7"_s))
    , Label5(named(new QLabel(this), u"Label5"_s))
    , Frame1(named(new QGroupBox(u"网页加载与批量采集"_s, this), u"Frame1"_s))
    , Label8(named(new QLabel(Frame1), u"Label8"_s))
    , Label9(named(new QLabel(Frame1), u"Label9"_s))
    , Label10(named(new QLabel(Frame1), u"Label10"_s))
    , Label11(named(new QLabel(Frame1), u"Label11"_s))
    , Label12(named(new QLabel(Frame1), u"Label12"_s))
    , Label13(named(new QLabel(Frame1), u"Label13"_s))
    , Label14(named(new QLabel(Frame1), u"Label14"_s))
    , Label15(named(new QLabel(Frame1), u"Label15"_s))
    , Label16(named(new QLabel(Frame1), u"Label16"_s))
    , Label22(named(new QLabel(Frame1), u"Label22"_s))
    , Text2(named(new QLineEdit(Frame1), u"Text2"_s))
    , Text3(named(new QLineEdit(Frame1), u"Text3"_s))
    , Text4(named(new QLineEdit(Frame1), u"Text4"_s))
    , Text5(named(new QLineEdit(Frame1), u"Text5"_s))
    , Text6(named(new QLineEdit(Frame1), u"Text6"_s))
    , Text7(named(new QLineEdit(Frame1), u"Text7"_s))
    , Text8(named(new QLineEdit(Frame1), u"Text8"_s))
    , Text9(named(new QLineEdit(Frame1), u"Text9"_s))
    , Text10(named(new QLineEdit(Frame1), u"Text10"_s))
    , Text15(named(new QLineEdit(Frame1), u"Text15"_s))
    , Check2(named(new QCheckBox(Frame1), u"Check2"_s))
    , Check3(named(new QCheckBox(Frame1), u"Check3"_s))
    , Frame2(named(new NetworkSettingsBox(this), u"Frame2"_s))
    , Label23(named(new QLabel(u"日志级别"_s, this), u"Label23"_s))
    , Combo2(named(new QComboBox(this), u"Combo2"_s))
    , Label24(named(new QLabel(u"结果服务器"_s, this), u"Label24"_s))
    , Text16(named(new QLineEdit(this), u"Text16"_s))
{
    setObjectName(u"Frmsysset"_s);
    setWindowTitle(u"系统设置"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    SkinnedFrame::install(this);
    linkToVendor(Label1);
    Text1->setToolTip(u"该设置是字段在一行中出现位置距离首字符的总长度，请合理设置该值否则系统无法正确取值。"_s);
    Check1->setToolTip(u"勾选后只读取网页本身的内容，不运行其中的脚本；重新启动程序后生效。"_s);
    command7->setToolTip(u"忘记在所有网站的登录（cookie），两种引擎和命令行都要重新登录。"_s);
    command7->setEnabled(CookieStore::current() != nullptr);
    for (const LogLevel level : {LogLevel::Off, LogLevel::Errors, LogLevel::Info, LogLevel::Detail})
        Combo2->addItem(logLevelName(level), int(level));
    Combo2->setToolTip(u"日志文件 %1 记录的内容（默认“%2”）：错误为打开失败的网页及原因和数据库错误；"
                       u"信息另外记录每个网页的状态、大小、用时和每次批量采集的开始与结果；详细另外记录每次重试和重定向。"
                       u"文件超过 %3 MB 时换新文件，保留最近的 %4 个旧文件。"_s
                           .arg(QDir::toNativeSeparators(programFolder().logFilePath()), logLevelName(DefaultLogLevel),
                                QString::number(RotatingLogFile::DefaultMaxBytes >> 20),
                                QString::number(RotatingLogFile::DefaultKept)));
    Label2->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Label2->setWordWrap(true);
    Text16->setPlaceholderText(u"空：结果存在本机的结果数据库"_s);
    Text16->setToolTip(u"批量采集的网页列表、进度和记录存放在这台 PostgreSQL 服务器上，几台机器可以一起采集同一批网页"
                       u"（其他机器用 pagrion-cli worker）；数据输出和查看结果读取服务器上最新一次采集的记录。"
                       u"填写连接 URI，如 postgresql://用户@主机:5432/数据库；密码可以写在 URI 中，"
                       u"或按 PostgreSQL 的习惯放在 ~/.pgpass 或环境变量 PGPASSWORD 中。留空则结果存在本机。"_s);

    using F = LoadSettings::Field;
    m_settingBoxes = {{F::Concurrency, Label8, Text2}, {F::Delay, Label9, Text3},
                      {F::Retries, Label10, Text4},    {F::TimeLimit, Label11, Text5},
                      {F::MaxBody, Label12, Text6},    {F::MaxText, Label13, Text7},
                      {F::AheadMemory, Label22, Text15}, {F::BrowserPages, Label14, Text8},
                      {F::MaxNextPages, Label15, Text9},
                      {F::NextText, Label16, Text10}};
    for (const SettingBox &setting : std::as_const(m_settingBoxes)) {
        const QString unit = loadSettingUnit(setting.field);
        setting.label->setText(unit.isEmpty() ? loadSettingName(setting.field)
                                              : u"%1（%2）"_s.arg(loadSettingName(setting.field), unit));
        setting.box->setToolTip(toolTipOf(setting.field).arg(LoadSettings().text(setting.field)));
        if (setting.field != F::NextText)
            setting.box->setMaximumWidth(80);
    }
    Check2->setText(loadSettingName(F::BatchWithoutMedia) + u"（完整浏览器）"_s);
    Check2->setToolTip(toolTipOf(LoadSettings::Field::BatchWithoutMedia));
    Check3->setText(loadSettingName(F::LinkedStyleSheets) + u"（快速引擎）"_s);
    Check3->setToolTip(toolTipOf(LoadSettings::Field::LinkedStyleSheets));

    auto *settings = new QGridLayout;
    settings->addWidget(Label1, 0, 0, Qt::AlignTop);
    settings->addWidget(Label2, 0, 1);
    settings->addWidget(Label7, 1, 0);
    settings->addWidget(Text1, 1, 1);
    settings->addWidget(Check1, 2, 1);
    settings->addWidget(Label23, 3, 0);
    settings->addWidget(Combo2, 3, 1, Qt::AlignLeft);
    settings->addWidget(Label24, 4, 0);
    settings->addWidget(Text16, 4, 1);
    settings->setColumnStretch(1, 1);
    // Two settings a row: label, box, gap, label, box; the pattern, last,
    // has a row of its own.
    auto *loading = new QGridLayout(Frame1);
    for (qsizetype i = 0; i < m_settingBoxes.size(); ++i) {
        const int row = int(i / 2);
        const int column = int(i % 2) * 3;
        const bool pattern = m_settingBoxes[i].field == F::NextText;
        loading->addWidget(m_settingBoxes[i].label, row, column);
        loading->addWidget(m_settingBoxes[i].box, row, column + 1, 1, pattern ? 4 : 1);
    }
    loading->addWidget(Check2, int((m_settingBoxes.size() + 1) / 2), 0, 1, 5);
    loading->addWidget(Check3, int((m_settingBoxes.size() + 1) / 2) + 1, 0, 1, 5);
    loading->setColumnMinimumWidth(2, 16);
    loading->setColumnStretch(2, 1);
    auto *buttons = new QHBoxLayout;
    for (QPushButton *button : {command1, command2, command3, command4, command5, command6, command7})
        buttons->addWidget(button);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(settings);
    layout->addWidget(Frame1);
    layout->addWidget(Frame2);
    layout->addWidget(Label5);
    layout->addStretch();
    layout->addLayout(buttons);
    resize(600, sizeHint().height());

    connect(command1, &QPushButton::clicked, this, &Frmsysset::command1_Click);
    connect(command2, &QPushButton::clicked, this, &Frmsysset::command2_Click);
    connect(command3, &QPushButton::clicked, this, &Frmsysset::command3_Click);
    connect(command4, &QPushButton::clicked, this, &Frmsysset::command4_Click);
    connect(command5, &QPushButton::clicked, this, &Frmsysset::command5_Click);
    connect(command6, &QPushButton::clicked, this, &Frmsysset::command6_Click);
    connect(command7, &QPushButton::clicked, this, &Frmsysset::command7_Click);

    Form_Load();
}

Frmsysset::~Frmsysset() = default;

void Frmsysset::Form_Load()
{
    Label2->setText(QDir::toNativeSeparators(programFolder().resultDatabasePath()));
    Text1->setText(GetVarValue(headLengthSetting()));
    // A database that cannot be read shows the defaults after its message.
    const Result<LoadSettings> load = readLoadSettings();
    showLoadSettings(load ? load.value() : LoadSettings());
    const Result<NetworkSettings> network = readNetworkSettings();
    Frame2->showSettings(network ? network.value() : NetworkSettings());
    const Result<LogLevel> logLevel = readLogLevel();
    Combo2->setCurrentIndex(Combo2->findData(int(logLevel ? logLevel.value() : DefaultLogLevel)));
    const Result<QString> server = readResultServer();
    Text16->setText(server ? server.value() : QString());
    const Result<EngineKind> engine = readEngineSetting();
    if (!engine) {
        information(engine.error());
        return;
    }
    Check1->setChecked(engine.value() == EngineKind::Static);
    if (!load)
        information(load.error());
}

void Frmsysset::command1_Click()
{
    // The runs on a result server are shared with other machines: this
    // button empties the local results only, and says so.
    const Result<QString> server = readResultServer();
    const QString question = server && !server.value().isEmpty()
                                 ? u"您确认清除本机结果数据库中的数据？结果服务器上的记录不会清除"
                                   u"（要重新采集请勾选“自动覆盖上次保存记录”）。"_s
                                 : u"您确认清除数据？"_s;
    if (!Current<Dialogs>::get().question(windowTitle(), question, Dialogs::DefaultButton::Cancel))
        return;
    const Status cleared = clearRecords();
    information(cleared ? u"数据清理成功！"_s : cleared.error());
}

void Frmsysset::command2_Click()
{
    const QString file = Current<Dialogs>::get().saveFile(
        u"请输出要输出的文件名称..."_s, exportFolder(),
        u"Excel (*.xls)|*.xls;*.xlsx|文本文件 (*.txt)|*.txt|HTML (*.html)|*.html|csv (*.csv)|*.csv"_s);
    if (file.isEmpty()) {
        setWindowTitle(u"系统设定"_s);
        Label5->clear();
        return;
    }
    const std::optional<ExportTarget> target = exportTargetFor(file);
    if (!target) {
        information(unknownExportFormatMessage());
        return;
    }
    // The dialog asked about replacing the name chosen, not the workbook
    // written under the name with an x.
    if (target->path != file && QFileInfo::exists(target->path)
        && !Current<Dialogs>::get().question(
            windowTitle(), u"文件 %1 已经存在，要替换它吗？"_s.arg(QDir::toNativeSeparators(target->path))))
        return;

    const Result<QString> server = readResultServer();
    if (!server) {
        information(server.error());
        return;
    }

    Label5->setText(u"正在输出文件请稍等...."_s);
    Label5->repaint();
    m_exporting = true;
    RepaintingProgress progress;
    const Result<ExportReport> exported = server.value().isEmpty()
                                              ? exportDatalist(*target, &progress)
                                              : exportNewestServerRun(*target, server.value(), &progress);
    m_exporting = false;
    Label5->clear();
    if (!exported) {
        setWindowTitle(u"系统设定"_s);
        information(exported.error());
        return;
    }
    information(exportDoneMessage(exported.value()));
}

void Frmsysset::command3_Click()
{
    FrmResults::showFor(this);
}

void Frmsysset::command4_Click()
{
    const Result<LoadSettings> load = loadSettingsFromBoxes();
    if (!load) {
        information(load.error());
        return;
    }
    const Result<NetworkSettings> network = Frame2->settings();
    if (!network) {
        information(network.error());
        return;
    }
    if (!resultServerAccepted())
        return;
    const EngineKind engine = Check1->isChecked() ? EngineKind::Static : EngineKind::Browser;
    const auto logLevel = LogLevel(Combo2->currentData().toInt());
    if (Status saved = saveSystemSettings(Text1->text(), engine, load.value(), network.value(), logLevel, Text16->text());
        !saved) {
        information(saved.error());
        return;
    }
    setLogLevel(logLevel);
    showLoadSettings(load.value());
    Q_EMIT loadSettingsSaved(load.value());
    information(u"保存成功！"_s);
}

void Frmsysset::command5_Click()
{
    const Result<QStringList> addresses = readSiteAddresses();
    if (!addresses) {
        information(addresses.error());
        return;
    }
    if (addresses.value().isEmpty()) {
        information(u"还没有保存过任何网址的采集设置。"_s);
        return;
    }
    Dialogs &dialogs = Current<Dialogs>::get();
    const std::optional<QString> site = dialogs.choose(windowTitle(), u"要导出哪个网址的采集任务？"_s, addresses.value());
    if (!site)
        return;
    const QString file = dialogs.saveFile(u"请输入采集任务文件的名称..."_s, exportFolder(), JobFileFilter);
    if (file.isEmpty())
        return;
    const auto job = readSiteJob(*site);
    if (!job || !job.value()) {
        information(job ? u"没有保存过网址“%1”的采集设置。"_s.arg(*site) : job.error());
        return;
    }
    const Status written = writeJobFile(file, *job.value());
    information(written ? u"采集任务已导出到文件：%1"_s.arg(QDir::toNativeSeparators(file)) : written.error());
}

void Frmsysset::command6_Click()
{
    const QString file = Current<Dialogs>::get().openFile(u"请选择要导入的采集任务文件..."_s, exportFolder(), JobFileFilter);
    if (file.isEmpty())
        return;
    const Result<QJsonObject> json = readJobFile(file);
    if (!json) {
        information(json.error());
        return;
    }
    const Result<SiteJob> job = jobFromJson(json.value());
    if (!job) {
        information(job.error());
        return;
    }
    const Status saved = saveSiteJob(job.value());
    information(saved ? u"已导入网址“%1”的采集任务。"_s.arg(job.value().settings.web) : saved.error());
    if (saved)
        Q_EMIT jobImported(job.value().settings.web);
}

void Frmsysset::command7_Click()
{
    CookieStore *cookies = CookieStore::current();
    if (!cookies
        || !Current<Dialogs>::get().question(windowTitle(), u"您确认清除所有网站的登录信息？清除后需要重新登录。"_s,
                                             Dialogs::DefaultButton::Cancel))
        return;
    const Status cleared = cookies->clear();
    information(cleared ? u"已清除所有网站的登录信息。"_s : cleared.error());
}

void Frmsysset::closeEvent(QCloseEvent *event)
{
    // The export reports into this window's labels until it returns.
    if (m_exporting) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void Frmsysset::information(const QString &text)
{
    Current<Dialogs>::get().information(windowTitle(), text);
}

void Frmsysset::showLoadSettings(const LoadSettings &settings)
{
    for (const SettingBox &setting : std::as_const(m_settingBoxes))
        setting.box->setText(settings.text(setting.field));
    Check2->setChecked(settings.batchWithoutMedia);
    Check3->setChecked(settings.linkedStyleSheets);
}

bool Frmsysset::resultServerAccepted()
{
    const QString server = trimSpaces(Text16->text());
    // A saved address is not tried again on every save: the server may be
    // down for a while, which the batch run tells when it starts.
    const Result<QString> saved = readResultServer();
    if (server.isEmpty() || (saved && saved.value() == server))
        return true;
    Label5->setText(u"正在连接结果服务器……"_s);
    Label5->repaint();
    const Status reached = checkResultServer(server);
    Label5->clear();
    if (reached)
        return true;
    if (Current<Dialogs>::get().question(windowTitle(),
                                         reached.error() + u"\n\n仍然保存这个结果服务器吗？保存后批量采集、数据输出和查看结果"
                                                           u"都要连接到它才能进行。选“取消”则什么也不保存。"_s,
                                         Dialogs::DefaultButton::Cancel))
        return true;
    Text16->setFocus();
    Text16->selectAll();
    return false;
}

Result<LoadSettings> Frmsysset::loadSettingsFromBoxes()
{
    LoadSettings settings;
    for (const SettingBox &setting : std::as_const(m_settingBoxes)) {
        if (Status taken = settings.setText(setting.field, setting.box->text()); !taken) {
            setting.box->setFocus();
            setting.box->selectAll();
            return Error{taken.error()};
        }
    }
    settings.batchWithoutMedia = Check2->isChecked();
    settings.linkedStyleSheets = Check3->isChecked();
    return settings;
}

} // namespace pagrion
