#include "store/frmresults.h"

#include <algorithm>

#include <QApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "frame/skinnedframe.h"
#include "platform/current.h"
#include "platform/dialogs.h"
#include "platform/shell.h"
#include "platform/widgetnames.h"
#include "store/programfolder.h"
#include "store/resulttablemodel.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

// A column fitted to its contents is kept to this many pixels; the tool tip
// and the exports show the whole text.
constexpr int MaxFittedWidth = 320;

} // namespace

FrmResults::FrmResults(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , Label1(named(new QLabel(this), u"Label1"_s))
    , Label2(named(new QLabel(this), u"Label2"_s))
    , MSFlexGrid1(named(new QTableView(this), u"MSFlexGrid1"_s))
    , command1(named(new QPushButton(u"打开数据库文件"_s, this), u"command1"_s))
    , command2(named(new QPushButton(u"刷新"_s, this), u"command2"_s))
    , m_model(new ResultTableModel(this))
{
    setObjectName(u"FrmResults"_s);
    setWindowTitle(u"采集结果"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    SkinnedFrame::install(this);
    Label2->setTextInteractionFlags(Qt::TextSelectableByMouse);
    command1->setToolTip(u"用系统中与数据库文件关联的程序打开它（它是 SQLite 数据库文件）。"_s);
    command2->setToolTip(u"重新读取结果表。"_s);

    MSFlexGrid1->setModel(m_model);
    MSFlexGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    MSFlexGrid1->setWordWrap(false);
    // Every row is one line high, so the view never measures the rows it
    // has not read.
    MSFlexGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    MSFlexGrid1->verticalHeader()->setDefaultSectionSize(MSFlexGrid1->fontMetrics().height() + 8);
    MSFlexGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    // Fitting a column looks at the rows in view and no further than a block.
    MSFlexGrid1->horizontalHeader()->setResizeContentsPrecision(ResultTableModel::BlockRows);
    connect(m_model, &ResultTableModel::readFailed, this,
            [this](const QString &error) { Current<Dialogs>::get().information(windowTitle(), error); });
    connect(m_model, &QAbstractItemModel::columnsInserted, this,
            [this](const QModelIndex &, int first, int last) { fitColumns(first, last); });

    auto *top = new QHBoxLayout;
    top->addWidget(Label1);
    top->addStretch();
    top->addWidget(command2);
    top->addWidget(command1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(MSFlexGrid1, 1);
    layout->addWidget(Label2);
    resize(760, 480);

    connect(command1, &QPushButton::clicked, this, &FrmResults::command1_Click);
    connect(command2, &QPushButton::clicked, this, &FrmResults::command2_Click);
}

FrmResults::~FrmResults() = default;

FrmResults *FrmResults::showFor(QWidget *owner)
{
    FrmResults *window = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *open = qobject_cast<FrmResults *>(widget))
            window = open;
    }
    if (!window) {
        QWidget *main = owner->window();
        while (main->parentWidget())
            main = main->parentWidget()->window();
        window = new FrmResults(main);
    }
    showToolWindow(window);
    window->Form_Load();
    return window;
}

void FrmResults::Form_Load()
{
    const Status read = m_model->reload();
    const QString server = m_model->serverName();
    if (server.isEmpty())
        Label2->setText(u"数据库文件：%1（SQLite）"_s.arg(QDir::toNativeSeparators(programFolder().resultDatabasePath())));
    else if (const std::optional<qint64> run = m_model->serverRun())
        Label2->setText(u"结果服务器：%1，最新一次批量采集（编号 %2）"_s.arg(server).arg(*run));
    else
        Label2->setText(u"结果服务器：%1，还没有批量采集"_s.arg(server));
    // The records on a server are no file of this machine's.
    command1->setEnabled(server.isEmpty());
    Label1->setText(u"共 %1 条记录"_s.arg(m_model->records()));
    fitColumns(0, m_model->columnCount() - 1);
    if (!read)
        Current<Dialogs>::get().information(windowTitle(), read.error());
}

void FrmResults::command1_Click()
{
    Current<Shell>::get().open(QDir::toNativeSeparators(programFolder().resultDatabasePath()));
}

void FrmResults::command2_Click()
{
    Form_Load();
}

// Fits columns to their header and the rows in view, within a limit.
void FrmResults::fitColumns(int first, int last)
{
    QHeaderView *header = MSFlexGrid1->horizontalHeader();
    for (int c = first; c <= last; ++c) {
        MSFlexGrid1->resizeColumnToContents(c);
        header->resizeSection(c, std::min(header->sectionSize(c), MaxFittedWidth));
    }
}

} // namespace pagrion
