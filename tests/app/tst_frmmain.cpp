#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolTip>

#include "about/frmabout.h"
#include "about/frmnews.h"
#include "app/frmmain.h"
#include "engine/pagewaiter.h"
#include "frame/skinnedframe.h"
#include "platform/qttranslations.h"
#include "platform/rowtextedit.h"
#include "support/fakeplatform.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;

namespace {

QString captionOf(QWidget *control)
{
    if (auto *button = qobject_cast<QAbstractButton *>(control))
        return button->text();
    if (auto *label = qobject_cast<QLabel *>(control))
        return label->text();
    if (auto *frame = qobject_cast<QGroupBox *>(control))
        return frame->title();
    if (auto *edit = qobject_cast<QLineEdit *>(control))
        return edit->text();
    return {};
}

// Real input goes to the top-level window, which hands it to the widget
// under the pointer or with the focus, as the window system does.
QPoint inWindow(QWidget *widget, QPoint at)
{
    return widget->mapTo(widget->window(), at);
}

QPoint centreOf(QWidget *widget)
{
    return inWindow(widget, widget->rect().center());
}

// A point of the panel with no control on it.
QPoint bareSpotOf(QWidget *panel)
{
    for (int y = 2; y < panel->height() - 2; y += 3) {
        for (int x = 2; x < panel->width() - 2; x += 3) {
            if (!panel->childAt(x, y))
                return inWindow(panel, {x, y});
        }
    }
    return {};
}

// Records which widgets the application asked for their tool tip.
class ToolTipRequests final : public QObject
{
public:
    ToolTipRequests() { qApp->installEventFilter(this); }
    QList<QObject *> receivers;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::ToolTip)
            receivers << watched;
        return false;
    }
};

const QString PanelTip = u"单击右键显示操作流程信息"_s;

} // namespace

class TestFrmMain : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<FakePlatform> platform;
    FakeBrowser *browser = nullptr;
    FrmMain *window = nullptr;
    int quits = 0;

    void showActive()
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window));
    }

    // Rests the pointer on the spot until the window asks the widget there
    // for its tip; returns the tip then shown, if any.
    QString toolTipAt(QWidget *widget, QPoint spot)
    {
        ToolTipRequests requests;
        QTest::mouseMove(window->windowHandle(), spot);
        [&] { QTRY_VERIFY(requests.receivers.contains(widget)); }();
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    }

private Q_SLOTS:
    void initTestCase() { installQtTranslations(interfaceLocale()); }

    void init()
    {
        platform = std::make_unique<FakePlatform>();
        QVERIFY2(platform->folder.isValid(), qPrintable(platform->folder.error()));
        browser = new FakeBrowser;
        window = new FrmMain(*browser);
        quits = 0;
        window->setQuitFunction([this] { ++quits; });
        window->Form_Load();
    }
    void cleanup()
    {
        delete window;
        delete browser;
        platform.reset();
    }

    void controls_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("toolTip");
        const QString panelTip = u"单击右键显示操作流程信息"_s;
        const QString hint = u"输入网站URL[注意：选用参数调用必需含(*)通配符]"_s;
        QTest::newRow("Frame1") << u"Frame1"_s << u"批量采集设置"_s << panelTip;
        QTest::newRow("Frame2") << u"Frame2"_s << u"网页数据测试设置"_s << panelTip;
        QTest::newRow("Frame3") << u"Frame3"_s << u"批量采集"_s << panelTip;
        QTest::newRow("Frame4") << u"Frame4"_s << u"采集分析模式选择"_s << panelTip;
        QTest::newRow("Frame5") << u"Frame5"_s << u"批量采集模式"_s << panelTip;
        QTest::newRow("Frame6") << u"Frame6"_s << u"测试表及行的设置"_s << panelTip;
        QTest::newRow("Picture1") << u"Picture1"_s << QString() << panelTip;
        QTest::newRow("Text1") << u"Text1"_s << QString()
                               << u"网页测试时输入网页地址用来测试合适的表名称和行列转换格式，批量输出时修改该地址中参数为(*)。"_s;
        QTest::newRow("command1") << u"command1"_s << u"登陆"_s << QString();
        QTest::newRow("Label1") << u"Label1"_s << u"表名称"_s << QString();
        QTest::newRow("Text4") << u"Text4"_s << QString() << u"多个表用“|”分开"_s;
        QTest::newRow("Label5") << u"Label5"_s << u"过滤行设置"_s << QString();
        QTest::newRow("Text3") << u"Text3"_s << QString()
                               << u"该设置为可选格式为如  TableName1-10|TabelName2-3|TabelName2-5"_s;
        QTest::newRow("Text2") << u"Text2"_s << QString()
                               << u"显示该网页中的所有表信息，选择合适的表名称填写到下面的表名称栏中，作为批量提取参数。<rows>为一行结束的标示。"_s;
        QTest::newRow("command3") << u"command3"_s << u"提取信息"_s << QString();
        QTest::newRow("command5") << u"command5"_s << u"预览"_s << QString();
        QTest::newRow("Text6") << u"Text6"_s << hint << hint;
        QTest::newRow("Option4") << u"Option4"_s << u"参数调用"_s
                                 << u"需要在[输入设置]中设置起始值以及在地址栏中输入(*)通配符"_s;
        QTest::newRow("Option5") << u"Option5"_s << u"网页URL"_s << u"获取地址栏中输入网页中所有连接"_s;
        QTest::newRow("Option9") << u"Option9"_s << u"下一页"_s << u"从地址栏中的网页开始，沿“下一页”链接逐页采集"_s;
        QTest::newRow("Option7") << u"Option7"_s << u"调用字段"_s << u"批量采集时按照设置字段的参数采集"_s;
        QTest::newRow("Option6") << u"Option6"_s << u"调用排版"_s << u"批量采集时按照排版的参数采集"_s;
        QTest::newRow("Label2") << u"Label2"_s << u"从"_s << QString();
        QTest::newRow("TxtFrom") << u"TxtFrom"_s << QString()
                                 << u"参数的起始值，需要在登陆网页栏输入通配符(*)"_s;
        QTest::newRow("Label3") << u"Label3"_s << u"至"_s << QString();
        QTest::newRow("TxtTo") << u"TxtTo"_s << QString() << u"参数的结束值，需要在登陆网页栏输入通配符(*)。"_s;
        QTest::newRow("Check3") << u"Check3"_s << u"自动过滤首字段为空行记录"_s << u"对首行为空的字段不写入库中。"_s;
        QTest::newRow("Check2") << u"Check2"_s << u"自动覆盖上次保存记录"_s << u"覆盖上次的数据"_s;
        QTest::newRow("Check1") << u"Check1"_s << u"行列转换"_s << u"转换表的显示方式"_s;
        QTest::newRow("command6") << u"command6"_s << u"批量采集"_s << QString();
        QTest::newRow("command7") << u"command7"_s << u"终止运行"_s << QString();
        QTest::newRow("Label4") << u"Label4"_s << u"系统状态栏：准备就绪"_s << QString();
    }
    void controls()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QString, toolTip);
        auto *control = window->findChild<QWidget *>(name);
        QVERIFY2(control, qPrintable(name));
        QCOMPARE(captionOf(control), caption);
        QCOMPARE(control->toolTip(), toolTip);
    }

    void startUpState()
    {
        QCOMPARE(window->windowTitle(), u"Pagrion"_s);
        QVERIFY(window->IsStopped);
        QVERIFY(!window->PageLoaded());
        QVERIFY(window->Option4->isChecked());
        QVERIFY(window->Option6->isChecked());
        window->show();
        QVERIFY(!window->ProgressBar1->isVisible());
        QVERIFY(!window->ProgressBar2->isVisible());
        QVERIFY(!window->command7->isVisible());
        QVERIFY(!window->Check1->isVisible());
        QVERIFY(!window->Picture2->isVisible());
        QVERIFY(window->Text2->text().isEmpty());

        QStringList tools;
        for (QAction *tool : window->ActiveBar21->actions())
            tools << tool->text();
        QCOMPARE(tools, (QStringList{u"退出系统"_s, u"系统设置"_s, u"网页测试"_s, u"系统帮助"_s, u"关于我们"_s,
                                     u"版本检测"_s, u"网页预览"_s}));
    }

    void rightClickShowsTheProcedureOnPanelsOnly()
    {
        showActive();
        QWindow *input = window->windowHandle();
        QTest::mouseClick(input, Qt::LeftButton, {}, bareSpotOf(window->Frame4));
        QVERIFY(platform->dialogs.calls.isEmpty());

        QTest::mouseClick(input, Qt::RightButton, {}, bareSpotOf(window->Frame4));
        QCOMPARE(platform->dialogs.calls.size(), 1);
        const auto call = platform->dialogs.calls.first();
        QCOMPARE(call.title, u"Pagrion"_s);
        const QStringList lines = call.text.split(u"\r\n"_s);
        QCOMPARE(lines.size(), 10);
        QCOMPARE(lines.first(), u"系统操作流程："_s);
        QCOMPARE(lines.last(), u"第九步：开始批量采集点击[批量采集]。"_s);
        QVERIFY(!call.text.endsWith(u'\n'));

        QTest::mouseClick(input, Qt::RightButton, {}, bareSpotOf(window->Picture1));
        QTest::mouseClick(input, Qt::RightButton, {}, bareSpotOf(window->Frame6));
        QCOMPARE(platform->dialogs.calls.size(), 3);

        // Controls on the panels keep a right click to themselves; a text box
        // shows its own edit menu, in Chinese.
        for (QWidget *control : {static_cast<QWidget *>(window->command1), static_cast<QWidget *>(window->Combo1),
                                 static_cast<QWidget *>(window->Label1), static_cast<QWidget *>(window->Label4),
                                 static_cast<QWidget *>(window->Text2)})
            QTest::mouseClick(input, Qt::RightButton, {}, centreOf(control));
        QCOMPARE(platform->dialogs.calls.size(), 3);
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        QStringList items;
        for (QAction *action : menu->actions())
            items << action->text();
        const QString menuText = items.join(u", "_s);
        QVERIFY2(menuText.contains(u"复制(&C)"_s) && menuText.contains(u"全选"_s), qPrintable(menuText));
        menu->close();
    }

    void onlyThePanelsShowThePanelTip()
    {
        showActive();
        QVERIFY(toolTipAt(window->command1, centreOf(window->command1)) != PanelTip);
        QVERIFY(toolTipAt(window->Combo1, centreOf(window->Combo1)) != PanelTip);
        QVERIFY(toolTipAt(window->Label5, centreOf(window->Label5)) != PanelTip);
        QCOMPARE(toolTipAt(window->Frame4, bareSpotOf(window->Frame4)), PanelTip);
    }

    void busyAndIdleSwitching()
    {
        window->DoFalse();
        for (QWidget *control : QList<QWidget *>{window->command1, window->command3, window->command5,
                                                 window->command6, window->Combo1, window->Text3, window->TxtFrom,
                                                 window->TxtTo, window->Option6, window->Option7})
            QVERIFY2(!control->isEnabled(), qPrintable(control->objectName()));
        QVERIFY(window->command7->isEnabled());
        QVERIFY(window->ActiveBar21->isEnabled());
        QVERIFY(window->Text1->isEnabled());
        QVERIFY(window->Text4->isEnabled());

        window->DoTrue();
        QVERIFY(window->command1->isEnabled());
        QVERIFY(window->Option7->isEnabled());
    }

    void exitAndCloseAreRefusedWhileARunIsActive()
    {
        window->IsStopped = false;
        window->ActiveBar21->actions().at(0)->trigger();
        QCOMPARE(platform->dialogs.informationTexts(), QStringList{u"程序没有中止！"_s});
        QVERIFY(!window->close());
        QCOMPARE(platform->dialogs.informationTexts().last(), u"系统正在运行程序不能退出请终止！"_s);
        QCOMPARE(quits, 0);

        window->command7_Click();
        QVERIFY(window->IsStopped);
        window->ActiveBar21->actions().at(0)->trigger();
        QCOMPARE(quits, 1);
        window->close();
        QCOMPARE(quits, 2);
    }

    void helpOpensTheHelpFileBesideTheProgram()
    {
        window->ActiveBar21->actions().at(3)->trigger();
        QCOMPARE(platform->shell.opened.size(), 1);
        QVERIFY(platform->shell.opened.first().endsWith(u"/help.doc"_s));
    }

    void skinnedFrameVendorLinkAndToolWindows()
    {
        window->show();
        QVERIFY(window->windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(window->ActiveBar21->geometry().top() >= SkinnedFrame::TitleHeight);

        QTest::mouseClick(window->Label1, Qt::LeftButton);
        QCOMPARE(platform->shell.opened, QStringList{vendorHomePage()});

        // Each tool window exists once; showing it again brings the same one up.
        window->ActiveBar21->actions().at(4)->trigger();
        window->ActiveBar21->actions().at(4)->trigger();
        window->ActiveBar21->actions().at(5)->trigger();
        QCOMPARE(window->findChildren<FrmAbout *>().size(), 1);
        QVERIFY(window->findChild<FrmAbout *>()->isVisible());
        QCOMPARE(window->findChildren<FrmNews *>().size(), 1);

        // The close image goes through the close rule.
        window->IsStopped = false;
        auto *close = window->findChild<TitleButton *>(u"Imclose"_s, Qt::FindDirectChildrenOnly);
        QTest::mouseClick(close, Qt::LeftButton, {}, QPoint(8, 8));
        QCOMPARE(platform->dialogs.informationTexts(), QStringList{u"系统正在运行程序不能退出请终止！"_s});
        QCOMPARE(quits, 0);
    }

    void openWaitsForTheBrowserAndSwitchesStatus()
    {
        window->Combo1->clear(); // no class: the open ends at its own status
        window->Text1->setEditText(u"http://example.test/page"_s);
        QStringList statusDuringLoad;
        bool disabledDuringLoad = false;
        QTimer::singleShot(0, browser, [&] {
            statusDuringLoad << window->Label4->text();
            disabledDuringLoad = !window->command1->isEnabled();
            // A completion while the browser is still busy does not end the wait.
            browser->emitDownloadComplete();
            QVERIFY(!window->PageLoaded());
            browser->finishLoad();
        });
        window->command1_Click();

        QCOMPARE(browser->navigated, QStringList{u"http://example.test/page"_s});
        QCOMPARE(statusDuringLoad, QStringList{u"正在打开网页..."_s});
        QVERIFY(disabledDuringLoad);
        QVERIFY(window->PageLoaded());
        QVERIFY(window->command1->isEnabled());
        QCOMPARE(window->Label4->text(), u"下载完毕"_s);
        QVERIFY(platform->dialogs.calls.isEmpty());
    }

    void openWithoutConnectionTellsAndDoesNotNavigate()
    {
        platform->connection.connected = false;
        window->Text1->setEditText(u"http://example.test/"_s);
        window->command1_Click();
        QVERIFY(browser->navigated.isEmpty());
        QCOMPARE(platform->dialogs.calls.size(), 1);
        QCOMPARE(platform->dialogs.calls.first().title, u"Pagrion"_s);
        QCOMPARE(platform->dialogs.calls.first().text, u"网络没有联接无法搜集信息！"_s);
    }

    void openWithEmptyAddressDoesNothing()
    {
        window->command1_Click();
        QVERIFY(browser->navigated.isEmpty());
        QCOMPARE(platform->connection.calls, 0);
    }

    void enterInTheAddressBoxOpensATypedAddress()
    {
        showActive();
        QWindow *input = window->windowHandle();
        QTest::mouseClick(input, Qt::LeftButton, {}, centreOf(window->Text1));
        QTRY_VERIFY(window->Text1->hasFocus());
        const QString typed = u"http://example.test/enter"_s;
        for (QChar c : typed)
            QTest::keyClick(input, c.toLatin1());
        QCOMPARE(window->Text1->currentText(), typed);
        QTimer::singleShot(0, browser, [&] { browser->finishLoad(); });
        QTest::keyClick(input, Qt::Key_Return);
        QCOMPARE(browser->navigated, QStringList{typed});
    }

    void aBrowserThatNeverAnswersDoesNotHangOpen()
    {
        browser->setTimeLimitMs(50);
        window->Text1->setEditText(u"http://example.test/silent"_s);
        window->command1_Click(); // returns after the time limit and the grace period
        QVERIFY(window->command1->isEnabled());
    }

    void popUpsAreCancelled()
    {
        bool cancel = false;
        Q_EMIT browser->NewWindow2(&cancel);
        QVERIFY(cancel);
    }

    void batchAddressHintAndBatchModeOptions()
    {
        window->show();
        window->Text6->setFocus();
        QTRY_VERIFY(window->Text6->hasFocus());
        QVERIFY(window->Text6->text().isEmpty());
        window->Text6->setText(u"typed"_s);
        window->Text1->setFocus();
        window->Text6->setFocus();
        QTRY_VERIFY(window->Text6->hasFocus());
        QCOMPARE(window->Text6->text(), u"typed"_s);

        window->Text1->setEditText(u"http://example.test/list(*)"_s);
        window->Option5->click();
        QCOMPARE(window->Text6->text(), u"http://example.test/list(*)"_s);
        window->Text1->setEditText(u"http://example.test/other"_s);
        window->Option4->click();
        QCOMPARE(window->Text6->text(), u"http://example.test/other"_s);
    }
};

QTEST_MAIN(TestFrmMain)
#include "tst_frmmain.moc"
