#include <QLabel>
#include <QSignalSpy>
#include <QScreen>
#include <QTest>
#include <QVBoxLayout>

#include "frame/skinnedframe.h"
#include "support/fakes.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;

class TestSkinnedFrame : public QObject
{
    Q_OBJECT

private:
    QWidget *window = nullptr;
    QLabel *content = nullptr;
    SkinnedFrame *frame = nullptr;

private Q_SLOTS:
    void init()
    {
        window = new QWidget;
        window->setWindowTitle(u"框架"_s);
        content = new QLabel(u"内容"_s, window);
        (new QVBoxLayout(window))->addWidget(content);
        frame = SkinnedFrame::install(window);
        window->resize(500, 400);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
    }
    void cleanup() { delete window; }

    void buttonsAndShapeFollowTheSize()
    {
        QVERIFY(window->windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(frame->Immin()->geometry(), QRect(446, 8, 17, 16));
        QCOMPARE(frame->Imclose()->geometry(), QRect(469, 8, 17, 16));
        QCOMPARE(frame->Immin()->toolTip(), u"最小化"_s);
        QCOMPARE(frame->Imclose()->toolTip(), u"关闭"_s);
        QVERIFY(content->geometry().top() >= SkinnedFrame::TitleHeight);

        // Corners: 52 × 52 ellipses top-left and bottom-left, 51 × 52 top-right,
        // 9 × 9 bottom-right; the sides run straight to the window's edges.
        const QRegion mask = window->mask();
        for (const QPoint inside : {QPoint(10, 10), QPoint(490, 10), QPoint(10, 390), QPoint(495, 395),
                                    QPoint(0, 200), QPoint(499, 200), QPoint(250, 0), QPoint(250, 399)})
            QVERIFY2(mask.contains(inside), qPrintable(u"%1,%2"_s.arg(inside.x()).arg(inside.y())));
        for (const QPoint outside : {QPoint(0, 0), QPoint(5, 5), QPoint(494, 5), QPoint(499, 0), QPoint(5, 394),
                                     QPoint(499, 399)})
            QVERIFY2(!mask.contains(outside), qPrintable(u"%1,%2"_s.arg(outside.x()).arg(outside.y())));

        window->resize(320, 240);
        QCOMPARE(frame->Immin()->pos(), QPoint(266, 8));
        QCOMPARE(frame->Imclose()->pos(), QPoint(289, 8));
        QVERIFY(!window->mask().contains(QPoint(319, 239)));
        QVERIFY(window->mask().contains(QPoint(319, 120)));
    }

    void hoverLookLastsUntilTheMouseLeavesOrReleases()
    {
        TitleButton *close = frame->Imclose();
        QTest::mouseMove(close, QPoint(8, 8));
        QCOMPARE(close->look(), TitleButtonLook::Hover);
        QCOMPARE(close->marker(), u"1"_s);
        QVERIFY(!close->pixmap().isNull());

        QTest::mouseMove(window, QPoint(250, 20));
        QCOMPARE(close->look(), TitleButtonLook::Normal);
        QVERIFY(close->marker().isEmpty());
        QVERIFY(close->pixmap().isNull());

        // A right press shows the pressed look but neither closes nor moves.
        QSignalSpy moves(frame, &SkinnedFrame::moveStarted);
        QTest::mouseMove(close, QPoint(8, 8));
        QTest::mousePress(close, Qt::RightButton, {}, QPoint(8, 8));
        QCOMPARE(close->look(), TitleButtonLook::Pressed);
        QTest::mouseRelease(close, Qt::RightButton, {}, QPoint(8, 8));
        QCOMPARE(close->look(), TitleButtonLook::Normal);
        QVERIFY(close->marker().isEmpty());
        QVERIFY(window->isVisible());
        QCOMPARE(moves.count(), 0);
    }

    void titleButtonsMinimiseAndClose()
    {
        QTest::mouseClick(frame->Immin(), Qt::LeftButton, {}, QPoint(8, 8));
        QVERIFY(window->isMinimized());
        QCOMPARE(frame->Immin()->look(), TitleButtonLook::Normal);

        showToolWindow(window);
        QVERIFY(!window->isMinimized());
        QVERIFY(window->isVisible());

        QTest::mouseClick(frame->Imclose(), Qt::LeftButton, {}, QPoint(8, 8));
        QVERIFY(!window->isVisible());
    }

    void onlyALeftPressOnTheBareSurfaceMoves()
    {
        QSignalSpy moves(frame, &SkinnedFrame::moveStarted);
        QTest::mousePress(window, Qt::RightButton, {}, QPoint(250, 20));
        QTest::mouseRelease(window, Qt::RightButton, {}, QPoint(250, 20));
        QTest::mouseClick(content, Qt::LeftButton);
        QCOMPARE(moves.count(), 0);

        // A click with no movement between press and release moves nothing:
        // the window must not follow the pointer after it.
        QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(250, 20));
        QTest::mouseMove(window, QPoint(260, 30));
        QCOMPARE(moves.count(), 0);

        QTest::mousePress(window, Qt::LeftButton, {}, QPoint(250, 20));
        QTest::mouseMove(window, QPoint(260, 30));
        QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(260, 30));
        QCOMPARE(moves.count(), 1);
    }

    // A tool window opens whole on its owner's screen, however far down its
    // last position or however large its size.
    void toolWindowOpensWholeOnTheScreen()
    {
        QWidget owner;
        owner.show();
        auto *tool = new QWidget(&owner, Qt::Window);
        const QRect area = owner.screen()->availableGeometry();
        tool->resize(area.width() / 2, area.height() * 2);
        tool->move(area.right() - 10, area.bottom() - 10);
        showToolWindow(tool);
        QVERIFY2(area.contains(tool->frameGeometry()), qPrintable(u"%1,%2 %3x%4"_s.arg(tool->frameGeometry().x())
                                                                  .arg(tool->frameGeometry().y())
                                                                  .arg(tool->frameGeometry().width())
                                                                  .arg(tool->frameGeometry().height())));
        QCOMPARE(tool->width(), area.width() / 2);
    }

    void vendorLinkOpensTheHomePageOnALeftClick()
    {
        FakeShell shell;
        linkToVendor(content);
        QTest::mouseClick(content, Qt::RightButton);
        QVERIFY(shell.opened.isEmpty());
        QTest::mouseClick(content, Qt::LeftButton);
        QCOMPARE(shell.opened, QStringList{vendorHomePage()});
        QVERIFY(vendorHomePage().endsWith(u"/help.doc"_s));
    }
};

QTEST_MAIN(TestSkinnedFrame)
#include "tst_skinnedframe.moc"
