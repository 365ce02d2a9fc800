#include "store/frmsysset.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "chrome/skinnedframe.h"
#include "core/progress.h"
#include "platform/current.h"
#include "platform/dialogs.h"
#include "store/enginesetting.h"
#include "store/export.h"
#include "store/frmresults.h"
#include "store/getvarvalue.h"
#include "store/namedsetting.h"
#include "store/programfolder.h"
#include "store/resultstore.h"
#include "platform/widgetnames.h"

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
    , Label5(named(new QLabel(this), u"Label5"_s))
{
    setObjectName(u"Frmsysset"_s);
    setWindowTitle(u"系统设置"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    SkinnedFrame::install(this);
    linkToVendor(Label1);
    Text1->setToolTip(u"该设置是字段在一行中出现位置距离首字符的总长度，请合理设置该值否则系统无法正确取值。"_s);
    Check1->setToolTip(u"勾选后只读取网页本身的内容，不运行其中的脚本；重新启动程序后生效。"_s);
    Label2->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Label2->setWordWrap(true);

    auto *settings = new QGridLayout;
    settings->addWidget(Label1, 0, 0, Qt::AlignTop);
    settings->addWidget(Label2, 0, 1);
    settings->addWidget(Label7, 1, 0);
    settings->addWidget(Text1, 1, 1);
    settings->addWidget(Check1, 2, 1);
    settings->setColumnStretch(1, 1);
    auto *buttons = new QHBoxLayout;
    for (QPushButton *button : {command1, command2, command3, command4})
        buttons->addWidget(button);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(settings);
    layout->addWidget(Label5);
    layout->addStretch();
    layout->addLayout(buttons);
    resize(500, 280);

    connect(command1, &QPushButton::clicked, this, &Frmsysset::command1_Click);
    connect(command2, &QPushButton::clicked, this, &Frmsysset::command2_Click);
    connect(command3, &QPushButton::clicked, this, &Frmsysset::command3_Click);
    connect(command4, &QPushButton::clicked, this, &Frmsysset::command4_Click);

    Form_Load();
}

Frmsysset::~Frmsysset() = default;

void Frmsysset::Form_Load()
{
    Label2->setText(QDir::toNativeSeparators(programFolder().resultDatabasePath()));
    Text1->setText(GetVarValue(headLengthSetting()));
    const Result<EngineKind> engine = readEngineSetting();
    if (!engine) {
        information(engine.error());
        return;
    }
    Check1->setChecked(engine.value() == EngineKind::Static);
}

void Frmsysset::command1_Click()
{
    if (!Current<Dialogs>::get().question(windowTitle(), u"您确认清除数据？"_s, Dialogs::DefaultButton::Cancel))
        return;
    const Status cleared = clearRecords();
    information(cleared ? u"数据清理成功！"_s : cleared.error());
}

void Frmsysset::command2_Click()
{
    const QString temp = programFolder().tempFolder();
    QDir().mkpath(temp);
    const QString file = Current<Dialogs>::get().saveFile(
        u"请输出要输出的文件名称..."_s, QDir::toNativeSeparators(temp),
        u"Excel (*.xls)|*.xls|文本文件 (*.txt)|*.txt|HTML (*.html)|*.html|csv (*.csv)|*.csv"_s);
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

    Label5->setText(u"正在输出文件请稍等...."_s);
    Label5->repaint();
    m_exporting = true;
    RepaintingProgress progress;
    const Result<ExportReport> exported = exportDatalist(*target, &progress);
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
    if (Status saved = savePubLenfiled(Text1->text()); !saved) {
        information(saved.error());
        return;
    }
    const EngineKind engine = Check1->isChecked() ? EngineKind::Static : EngineKind::Browser;
    if (Status saved = saveEngineSetting(engine); !saved) {
        information(saved.error());
        return;
    }
    information(u"保存成功！"_s);
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

} // namespace pagrion
