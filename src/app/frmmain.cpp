#include "app/frmmain.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QToolBar>
#include <QToolTip>
#include <QVBoxLayout>

#include "about/frmabout.h"
#include "about/frmnews.h"
#include "app/frmframetest.h"
#include "app/frmwebpreview.h"
#include "engine/browser.h"
#include "engine/pagewaiter.h"
#include "frame/skinnedframe.h"
#include "platform/connectioncheck.h"
#include "platform/current.h"
#include "platform/dialogs.h"
#include "platform/rowtextedit.h"
#include "platform/shell.h"
#include "platform/widgetnames.h"
#include "store/frmsysset.h"
#include "store/programfolder.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

const QString Caption = u"Pagrion"_s;
const QString PanelTip = u"单击右键显示操作流程信息"_s;
const QString BatchAddressHint = u"输入网站URL[注意：选用参数调用必需含(*)通配符]"_s;
const QString NoConnection = u"网络没有联接无法搜集信息！"_s;

} // namespace

QString workflowText()
{
    const QStringList lines = {
        u"系统操作流程："_s,
        u"第一步：输入指定网页地址 点击[登陆网页]。"_s,
        u"第二步：选择合适的分析模式检查分析信息确定分析模式。"_s,
        u"第三步：输入表名称和行过滤信息 点击[提取信息]。"_s,
        u"第四步：点击[预览]。"_s,
        u"第五步：对显示的信息进行排版 点击[表格预览]-[排版]。"_s,
        u"第六步：编辑排版信息[表格排版]-[保存信息]。"_s,
        u"第七步：选择批量采集模式和输入相应的地址信息。"_s,
        u"第八步：填写批量采集设置[注意：选择正确的调用模式 排版或者字段 必选一]。"_s,
        u"第九步：开始批量采集点击[批量采集]。"_s,
    };
    return lines.join(u"\r\n"_s);
}

FrmMain::FrmMain(Browser &browser, QWidget *parent)
    : QMainWindow(parent)
    , m_browser(browser)
    , m_waiter(new PageWaiter(browser, this))
    , m_quit([] { QCoreApplication::exit(0); })
{
    setObjectName(u"FrmMain"_s);
    setWindowTitle(Caption);
    createControls();
    layoutControls();
    connectControls();
    showRecordChoice(RecordSource::Layout);
    SkinnedFrame::install(this);
    linkToVendor(Label1);

    // A page may never open a window of its own over the main window.
    connect(&m_browser, &Browser::NewWindow2, this, [](bool *cancel) { *cancel = true; });
}

FrmMain::~FrmMain() = default;

void FrmMain::createControls()
{
    ActiveBar21 = named(new QToolBar(this), u"ActiveBar21"_s);
    ActiveBar21->setMovable(false);
    for (const QString &caption :
         {u"退出系统"_s, u"系统设置"_s, u"网页测试"_s, u"系统帮助"_s, u"关于我们"_s, u"版本检测"_s, u"网页预览"_s})
        ActiveBar21->addAction(caption);

    Picture1 = named(new QWidget(this), u"Picture1"_s);
    Frame1 = named(new QGroupBox(u"批量采集设置"_s, Picture1), u"Frame1"_s);
    Frame2 = named(new QGroupBox(u"网页数据测试设置"_s, Picture1), u"Frame2"_s);
    Frame3 = named(new QGroupBox(u"批量采集"_s, Picture1), u"Frame3"_s);
    Frame4 = named(new QGroupBox(u"采集分析模式选择"_s, Picture1), u"Frame4"_s);
    Frame5 = named(new QGroupBox(u"批量采集模式"_s, Picture1), u"Frame5"_s);
    Frame6 = named(new QGroupBox(u"测试表及行的设置"_s, Frame2), u"Frame6"_s);

    Text1 = named(new QComboBox(Frame2), u"Text1"_s);
    Text1->setEditable(true);
    Text1->setInsertPolicy(QComboBox::NoInsert);
    // An editable combo box leaves its text without the edit menu every other box has.
    Text1->lineEdit()->setContextMenuPolicy(Qt::DefaultContextMenu);
    Text1->setToolTip(u"网页测试时输入网页地址用来测试合适的表名称和行列转换格式，批量输出时修改该地址中参数为(*)。"_s);
    command1 = named(new QPushButton(u"登陆"_s, Frame2), u"command1"_s);

    Label1 = named(new QLabel(u"表名称"_s, Frame6), u"Label1"_s);
    Text4 = named(new QLineEdit(Frame6), u"Text4"_s);
    Text4->setToolTip(u"多个表用“|”分开"_s);
    Label5 = named(new QLabel(u"过滤行设置"_s, Frame6), u"Label5"_s);
    Text3 = named(new QLineEdit(Frame6), u"Text3"_s);
    Text3->setToolTip(u"该设置为可选格式为如  TableName1-10|TabelName2-3|TabelName2-5"_s);

    Text2 = named(new RowTextEdit(Frame2), u"Text2"_s);
    Text2->setToolTip(u"显示该网页中的所有表信息，选择合适的表名称填写到下面的表名称栏中，作为批量提取参数。<rows>为一行结束的标示。"_s);
    command3 = named(new QPushButton(u"提取信息"_s, Frame2), u"command3"_s);
    command5 = named(new QPushButton(u"预览"_s, Frame2), u"command5"_s);
    ProgressBar1 = named(new QProgressBar(Frame2), u"ProgressBar1"_s);

    Combo1 = named(new QComboBox(Frame4), u"Combo1"_s);

    Text6 = named(new QLineEdit(BatchAddressHint, Frame5), u"Text6"_s);
    Text6->setToolTip(BatchAddressHint);
    Option4 = named(new QRadioButton(u"参数调用"_s, Frame5), u"Option4"_s);
    Option4->setToolTip(u"需要在[输入设置]中设置起始值以及在地址栏中输入(*)通配符"_s);
    Option4->setChecked(true);
    Option5 = named(new QRadioButton(u"网页URL"_s, Frame5), u"Option5"_s);
    Option5->setToolTip(u"获取地址栏中输入网页中所有连接"_s);
    Option9 = named(new QRadioButton(u"下一页"_s, Frame5), u"Option9"_s);
    Option9->setToolTip(u"从地址栏中的网页开始，沿“下一页”链接逐页采集"_s);

    Option7 = named(new QRadioButton(u"调用字段"_s, Frame1), u"Option7"_s);
    Option7->setToolTip(u"批量采集时按照设置字段的参数采集"_s);
    Option6 = named(new QRadioButton(u"调用排版"_s, Frame1), u"Option6"_s);
    Option6->setToolTip(u"批量采集时按照排版的参数采集"_s);
    Option6->setChecked(true);
    Option8 = named(new QRadioButton(u"逐行记录"_s, Frame1), u"Option8"_s);
    Option8->setToolTip(u"批量采集时表格的每一行存为一条记录"_s);
    Label6 = named(new QLabel(u"表头行"_s, Frame1), u"Label6"_s);
    Combo2 = named(new QComboBox(Frame1), u"Combo2"_s);
    Combo2->addItems({headerRowsText(EveryRowOptions::AutoHeaderRows), u"0"_s, u"1"_s, u"2"_s});
    Combo2->setToolTip(u"逐行记录时表格开头作为表头的行数。自动：由<th>单元格组成的行。表头不存为记录，它的文字作为列名。"_s);
    Label7 = named(new QLabel(u"列"_s, Frame1), u"Label7"_s);
    Text7 = named(new QLineEdit(Frame1), u"Text7"_s);
    Text7->setToolTip(u"逐行记录时保留的列及其顺序，用“|”分开，可以写表头文字或列号（从1起），如 名称|价格|3；空为全部列。"_s);
    Check4 = named(new QCheckBox(u"记录加来源网址和行号"_s, Frame1), u"Check4"_s);
    Check4->setToolTip(u"在每条记录的最后两列加上它所在网页的地址和它在网页中的行号（来源网址、行号）。"_s);
    Label2 = named(new QLabel(u"从"_s, Frame1), u"Label2"_s);
    TxtFrom = named(new QLineEdit(Frame1), u"TxtFrom"_s);
    TxtFrom->setToolTip(u"参数的起始值，需要在登陆网页栏输入通配符(*)"_s);
    Label3 = named(new QLabel(u"至"_s, Frame1), u"Label3"_s);
    TxtTo = named(new QLineEdit(Frame1), u"TxtTo"_s);
    TxtTo->setToolTip(u"参数的结束值，需要在登陆网页栏输入通配符(*)。"_s);
    Check3 = named(new QCheckBox(u"自动过滤首字段为空行记录"_s, Frame1), u"Check3"_s);
    Check3->setToolTip(u"对首行为空的字段不写入库中。"_s);
    Check2 = named(new QCheckBox(u"自动覆盖上次保存记录"_s, Frame1), u"Check2"_s);
    Check2->setToolTip(u"覆盖上次的数据"_s);

    command6 = named(new QPushButton(u"批量采集"_s, Frame3), u"command6"_s);
    command7 = named(new QPushButton(u"终止运行"_s, Frame3), u"command7"_s);
    ProgressBar2 = named(new QProgressBar(Frame3), u"ProgressBar2"_s);

    Label4 = named(new QLabel(Picture1), u"Label4"_s);
    Label4->setStyleSheet(u"color: red;"_s);

    // The swap setting travels with the site settings; the user never sees it.
    Check1 = named(new QCheckBox(u"行列转换"_s, Picture1), u"Check1"_s);
    Check1->setToolTip(u"转换表的显示方式"_s);
    Check1->hide();
    Picture2 = named(new QWidget(Picture1), u"Picture2"_s);
    Picture2->setFixedSize(1, 1);
    Picture2->hide();
}

void FrmMain::layoutControls()
{
    addToolBar(ActiveBar21);
    setCentralWidget(Picture1);

    auto *addressRow = new QHBoxLayout;
    addressRow->addWidget(Text1, 1);
    addressRow->addWidget(command1);

    auto *names = new QGridLayout(Frame6);
    names->addWidget(Label1, 0, 0);
    names->addWidget(Text4, 0, 1);
    names->addWidget(Label5, 1, 0);
    names->addWidget(Text3, 1, 1);

    auto *commands = new QHBoxLayout;
    commands->addWidget(ProgressBar1, 1);
    commands->addStretch();
    commands->addWidget(command3);
    commands->addWidget(command5);

    auto *test = new QVBoxLayout(Frame2);
    test->addLayout(addressRow);
    test->addWidget(Text2, 1);
    test->addWidget(Frame6);
    test->addLayout(commands);

    auto *mode = new QVBoxLayout(Frame4);
    mode->addWidget(Combo1);

    auto *batchMode = new QVBoxLayout(Frame5);
    batchMode->addWidget(Text6);
    auto *batchOptions = new QHBoxLayout;
    batchOptions->addWidget(Option4);
    batchOptions->addWidget(Option5);
    batchOptions->addWidget(Option9);
    batchMode->addLayout(batchOptions);

    auto *settings = new QGridLayout(Frame1);
    auto *recordChoice = new QHBoxLayout;
    recordChoice->addWidget(Option7);
    recordChoice->addWidget(Option6);
    recordChoice->addWidget(Option8);
    settings->addLayout(recordChoice, 0, 0, 1, 4);
    settings->addWidget(Label6, 1, 0);
    settings->addWidget(Combo2, 1, 1);
    settings->addWidget(Label7, 1, 2);
    settings->addWidget(Text7, 1, 3);
    settings->addWidget(Label2, 2, 0);
    settings->addWidget(TxtFrom, 2, 1);
    settings->addWidget(Label3, 2, 2);
    settings->addWidget(TxtTo, 2, 3);
    settings->addWidget(Check3, 3, 0, 1, 4);
    settings->addWidget(Check2, 4, 0, 1, 4);
    settings->addWidget(Check4, 5, 0, 1, 4);

    auto *batch = new QVBoxLayout(Frame3);
    auto *batchButtons = new QHBoxLayout;
    batchButtons->addWidget(command6);
    batchButtons->addWidget(command7);
    batch->addLayout(batchButtons);
    batch->addWidget(ProgressBar2);

    auto *right = new QVBoxLayout;
    right->addWidget(Frame4);
    right->addWidget(Frame5);
    right->addWidget(Frame1);
    right->addWidget(Frame3);
    right->addStretch();

    auto *columns = new QHBoxLayout;
    columns->addWidget(Frame2, 3);
    columns->addLayout(right, 2);

    auto *panel = new QVBoxLayout(Picture1);
    panel->addLayout(columns, 1);
    panel->addWidget(Label4);
    panel->addWidget(Check1);
    panel->addWidget(Picture2);

    resize(900, 640);
}

void FrmMain::connectControls()
{
    connect(ActiveBar21, &QToolBar::actionTriggered, this, [this](QAction *tool) { onToolbar(tool->text()); });
    connect(command1, &QPushButton::clicked, this, &FrmMain::command1_Click);
    connect(command3, &QPushButton::clicked, this, &FrmMain::command3_Click);
    connect(command5, &QPushButton::clicked, this, &FrmMain::command5_Click);
    connect(command6, &QPushButton::clicked, this, &FrmMain::command6_Click);
    connect(command7, &QPushButton::clicked, this, &FrmMain::command7_Click);
    connect(Text1, &QComboBox::activated, this, &FrmMain::Text1_Click);
    connect(Combo1, &QComboBox::activated, this, &FrmMain::Combo1_Click);
    for (QRadioButton *batchMode : {Option4, Option5, Option9})
        connect(batchMode, &QRadioButton::clicked, this, [this] { Text6->setText(Text1->currentText()); });
    // The header rows and columns belong to 逐行记录; the source columns
    // follow each choice's default until the user sets them.
    for (QRadioButton *choice : {Option6, Option7, Option8}) {
        connect(choice, &QRadioButton::toggled, this, [this](bool checked) {
            if (!checked)
                return;
            showRecordChoice(recordSource());
        });
    }

    // The box, not its line edit, has the focus, so the keys reach it first.
    Text1->installEventFilter(this);
    Text6->installEventFilter(this);
    for (QWidget *panel : panels())
        panel->installEventFilter(this);
}

void FrmMain::Form_Load()
{
    Text2->clear();
    WorkflowText = workflowText();
    for (QWidget *panel : panels())
        panel->setToolTip(PanelTip);
    Picture1->setStyleSheet(u"#Picture1 { background-color: #FFFFFF; }"_s);
    Label4->setText(u"系统状态栏：准备就绪"_s);
    ProgressBar1->hide();
    ProgressBar2->hide();
    command7->hide();
    LoadClassName();
    ReadAllSearch();
    if (Combo1->count() > 0) {
        Combo1->setCurrentIndex(0);
        Combo1_Click();
    }
    IsStopped = true;
}

bool FrmMain::PageLoaded() const
{
    return m_waiter->PageLoaded();
}

void FrmMain::showInformation(const QString &text)
{
    Current<Dialogs>::get().information(Caption, text);
}

bool FrmMain::connectedOrTold()
{
    if (Current<ConnectionCheck>::get().IsConnected())
        return true;
    showInformation(NoConnection);
    return false;
}

QList<QWidget *> FrmMain::workflowControls() const
{
    return {command1, command3, command5, command6, Combo1, Text3, TxtFrom, TxtTo, Option6, Option7, Option8};
}

QList<QWidget *> FrmMain::panels() const
{
    return {Picture1, Frame1, Frame2, Frame3, Frame4, Frame5, Frame6};
}

void FrmMain::DoFalse()
{
    for (QWidget *control : workflowControls())
        control->setEnabled(false);
}

void FrmMain::DoTrue()
{
    for (QWidget *control : workflowControls())
        control->setEnabled(true);
}

void FrmMain::Text1_Click()
{
    if (m_opening || Text1->currentText().isEmpty())
        return;
    ReadSearch();
    command1_Click();
}

void FrmMain::command1_Click()
{
    // The address box stays enabled while a page loads; a second open from it
    // would nest inside the first, so it is ignored until the first is done.
    if (m_opening || Text1->currentText().isEmpty())
        return;
    if (!connectedOrTold())
        return;

    m_opening = true;
    m_waiter->navigate(Text1->currentText());
    Label4->setText(u"正在打开网页..."_s);
    DoFalse();
    m_waiter->waitUntilLoaded();
    Label4->setText(u"下载完毕"_s);
    m_waiter->waitWhileBusy();
    DoTrue();
    m_opening = false;
    if (m_webPreview)
        m_webPreview->showPage(currentDocument());
    Combo1_Click();
    // Whatever arrived is analysed as it is, but the user learns it is no page.
    if (const std::optional<LoadFailure> &failure = m_waiter->browser().failure())
        Label4->setText(Label4->text() + u"　网页打开失败："_s + failure->reason);
}

void FrmMain::command7_Click()
{
    IsStopped = true;
    m_waiter->interrupt();
}

void FrmMain::onToolbar(const QString &caption)
{
    if (caption == u"退出系统") {
        if (!IsStopped) {
            showInformation(u"程序没有中止！"_s);
            return;
        }
        m_quit();
    } else if (caption == u"系统帮助") {
        Current<Shell>::get().open(programFolder().helpFilePath());
    } else if (caption == u"系统设置") {
        // Pages opened from now on keep to the limits saved there.
        Frmsysset *settings = showTool<Frmsysset>();
        connect(settings, &Frmsysset::loadSettingsSaved, this, &FrmMain::useLoadSettings, Qt::UniqueConnection);
        // An imported site joins the address list at once.
        connect(settings, &Frmsysset::jobImported, this, &FrmMain::addSiteAddress, Qt::UniqueConnection);
    } else if (caption == u"网页测试") {
        showTool<FrmFrameTest>();
    } else if (caption == u"关于我们") {
        showTool<FrmAbout>();
    } else if (caption == u"版本检测") {
        showTool<FrmNews>();
    } else if (caption == u"网页预览") {
        showWebPreview();
    }
}

template <typename Window>
Window *FrmMain::showTool()
{
    // Each tool window exists at most once; showing it again brings it up.
    auto *window = findChild<Window *>(QString(), Qt::FindDirectChildrenOnly);
    if (!window)
        window = new Window(this);
    showToolWindow(window);
    return window;
}

void FrmMain::useLoadSettings(const LoadSettings &settings)
{
    m_browser.setLimits(settings.pageLimits());
}

FrmWebPreview *FrmMain::webPreview() const
{
    return m_webPreview;
}

void FrmMain::showWebPreview()
{
    if (!m_webPreview) {
        m_webPreview = new FrmWebPreview(Text4, Text3, this);
        m_webPreview->setClassValue(m_classValue);
        // A batch run shows it the pages it handles, from the next one on.
        m_webPreview->setOffline(!IsStopped);
        if (IsStopped && PageLoaded())
            m_webPreview->showPage(currentDocument());
    }
    showToolWindow(m_webPreview);
}

bool FrmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Text1 && event->type() == QEvent::KeyPress) {
        const auto key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            Text1_Click();
            return true;
        }
    } else if (watched == Text6 && event->type() == QEvent::FocusIn) {
        if (Text6->text() == BatchAddressHint)
            Text6->clear();
    } else if (auto *panel = qobject_cast<QWidget *>(watched); panel && panels().contains(panel)) {
        if (panelEvent(panel, event))
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// The procedure text and the panels' tool tip belong to the panels alone. A
// control on a panel that ignores a right click (a button, a label), or has
// no tip of its own, hands the event on to its panel, where it is not the
// panel's: there is a control under the pointer.
bool FrmMain::panelEvent(QWidget *panel, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::RightButton || panel->childAt(mouse->position().toPoint()))
            return false;
        showInformation(WorkflowText);
        return true;
    }
    if (event->type() == QEvent::ToolTip && panel->childAt(static_cast<QHelpEvent *>(event)->pos())) {
        QToolTip::hideText();
        return true;
    }
    return false;
}

void FrmMain::closeEvent(QCloseEvent *event)
{
    event->ignore();
    if (!IsStopped) {
        showInformation(u"系统正在运行程序不能退出请终止！"_s);
        return;
    }
    m_quit();
}

} // namespace pagrion
