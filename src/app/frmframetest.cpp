#include "app/frmframetest.h"

#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWebEngineView>

#include "engine/pagewaiter.h"
#include "engine/webengine/webenginebrowser.h"
#include "frame/skinnedframe.h"
#include "platform/current.h"
#include "platform/shell.h"
#include "platform/widgetnames.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

// What the window's browser shows before the user opens a page.
const QString StartPage = u"about:blank"_s;
const QString AddressHint = u"输入网址"_s;

std::unique_ptr<Browser> visibleBrowser()
{
    return std::make_unique<WebEngineBrowser>();
}

} // namespace

FrmFrameTest::FrmFrameTest(QWidget *parent)
    : FrmFrameTest(visibleBrowser(), parent)
{
}

FrmFrameTest::FrmFrameTest(std::unique_ptr<Browser> browser, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , Picture1(named(new QWidget(this), u"Picture1"_s))
    , Label1(named(new QLabel(u"网页地址"_s, Picture1), u"Label1"_s))
    , Text1(named(new QLineEdit(AddressHint, Picture1), u"Text1"_s))
    , command2(named(new QPushButton(u"打开"_s, Picture1), u"command2"_s))
    , command1(named(new QPushButton(u"测试"_s, Picture1), u"command1"_s))
    , List1(named(new QListWidget(Picture1), u"List1"_s))
    , m_browser(std::move(browser))
    , m_waiter(new PageWaiter(*m_browser, this))
{
    setObjectName(u"FrmFrameTest"_s);
    setWindowTitle(u"框架网页测试"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    SkinnedFrame::install(this);
    linkToVendor(Label1);

    auto *engine = qobject_cast<WebEngineBrowser *>(m_browser.get());
    WebBrowser1 = engine && engine->view() ? static_cast<QWidget *>(engine->view()) : new QWidget(Picture1);
    WebBrowser1->setObjectName(u"WebBrowser1"_s);

    auto *address = new QHBoxLayout;
    address->addWidget(Label1);
    address->addWidget(Text1, 1);
    address->addWidget(command2);
    auto *side = new QVBoxLayout;
    side->addWidget(command1);
    side->addWidget(List1, 1);
    auto *body = new QHBoxLayout;
    body->addWidget(WebBrowser1, 3);
    body->addLayout(side, 1);
    auto *panel = new QVBoxLayout(Picture1);
    panel->addLayout(address);
    panel->addLayout(body, 1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins({});
    layout->addWidget(Picture1);

    setStyleSheet(u"#FrmFrameTest, #Picture1 { background-color: #FFFFFF; }"_s);
    command1->setEnabled(false);
    Text1->installEventFilter(this);
    connect(command2, &QPushButton::clicked, this, &FrmFrameTest::command2_Click);
    connect(command1, &QPushButton::clicked, this, &FrmFrameTest::command1_Click);
    connect(List1, &QListWidget::itemClicked, this, &FrmFrameTest::List1_Click);
    resize(820, 560);

    // The start page is not waited for; only an open enables the test.
    m_browser->Navigate(StartPage);
}

FrmFrameTest::~FrmFrameTest() = default;

bool FrmFrameTest::PageLoaded() const
{
    return m_waiter->PageLoaded();
}

void FrmFrameTest::command2_Click()
{
    if (Text1->text().isEmpty())
        return;
    command1->setEnabled(false);
    m_waiter->navigate(Text1->text());
    m_waiter->waitUntilLoaded();
    m_waiter->waitWhileBusy();
    command1->setEnabled(true);
}

void FrmFrameTest::command1_Click()
{
    List1->clear();
    const auto document = m_browser->document();
    if (!document)
        return;
    try {
        List1->addItems(document->frames());
    } catch (const DocumentError &) {
        // A page that cannot be read lists nothing; the test says no more.
    }
}

void FrmFrameTest::List1_Click()
{
    const QListWidgetItem *item = List1->currentItem();
    if (item && !item->text().isEmpty())
        Current<Shell>::get().open(item->text());
}

bool FrmFrameTest::eventFilter(QObject *watched, QEvent *event)
{
    // The user moving into the box (a click, Tab) empties it. The focus that
    // comes back with the window, as it opens or when the user returns to it,
    // is no such move: the hint stays to be read, selected so that typing
    // replaces it, and an address typed before stays too. A click into the
    // box that got its focus that way still takes the hint away.
    if (watched == Text1 && event->type() == QEvent::FocusIn) {
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            Text1->clear();
        else if (Text1->text() == AddressHint)
            Text1->selectAll();
    } else if (watched == Text1 && event->type() == QEvent::MouseButtonPress && Text1->text() == AddressHint) {
        Text1->clear();
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace pagrion
