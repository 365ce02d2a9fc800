#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QWindow>

#include "app/frmframetest.h"
#include "engine/staticbrowser.h"
#include "support/fakes.h"
#include "support/testhttpserver.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;

class TestFrmFrameTest : public QObject
{
    Q_OBJECT

private:
    FakeShell *shell = nullptr;
    TestHttpServer *server = nullptr;
    FrmFrameTest *window = nullptr;

    void open(const QString &path)
    {
        window->Text1->setText(server->url(path));
        window->command2_Click();
    }

    QStringList listed() const
    {
        QStringList texts;
        for (int i = 0; i < window->List1->count(); ++i)
            texts << window->List1->item(i)->text();
        return texts;
    }

private Q_SLOTS:
    void init()
    {
        shell = new FakeShell;
        server = new TestHttpServer;
        server->setPage(u"/frames.html"_s,
                        "<html><body><iframe src='a.html'></iframe><div><iframe src='/b.html'></iframe></div>"
                        "<iframe src='http://other.test/c.html'></iframe></body></html>");
        server->setPage(u"/plain.html"_s, "<html><body><p>no frames</p></body></html>");
        window = new FrmFrameTest(std::make_unique<StaticBrowser>(), nullptr);
    }
    void cleanup()
    {
        delete window;
        delete server;
        delete shell;
    }

    void startsWithTheTestDisabled()
    {
        QCOMPARE(window->windowTitle(), u"框架网页测试"_s);
        QCOMPARE(window->Text1->text(), u"输入网址"_s);
        QVERIFY(!window->command1->isEnabled());
        // The start page loading by itself does not enable the test.
        QTRY_VERIFY(window->findChild<QWidget *>(u"WebBrowser1"_s));
        QVERIFY(!window->command1->isEnabled());
    }

    void framesAreListedInDocumentOrder()
    {
        open(u"/frames.html"_s);
        QVERIFY(window->command1->isEnabled());
        window->command1_Click();
        QCOMPARE(listed(), (QStringList{server->url(u"/a.html"_s), server->url(u"/b.html"_s),
                                        u"http://other.test/c.html"_s}));

        window->List1->setCurrentRow(1);
        window->List1_Click();
        QCOMPARE(shell->opened, QStringList{server->url(u"/b.html"_s)});

        open(u"/plain.html"_s);
        window->command1_Click();
        QVERIFY(listed().isEmpty());
    }

    void clickingAnEmptyListOpensNothing()
    {
        window->List1->addItem(QString());
        window->List1->setCurrentRow(0);
        window->List1_Click();
        QVERIFY(shell->opened.isEmpty());
    }

    // The hint is read when the window opens; the user clicking into the box
    // empties it, switching windows keeps what was typed.
    void addressBoxHintAndTypedAddress()
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QCOMPARE(window->Text1->text(), u"输入网址"_s);
        QWindow *input = window->windowHandle();
        const auto clickInto = [&](QWidget *widget) {
            QTest::mouseClick(input, Qt::LeftButton, {}, widget->mapTo(window, widget->rect().center()));
        };
        clickInto(window->Text1);
        QVERIFY(window->Text1->text().isEmpty());
        const QString typed = u"http://example.test/"_s;
        for (QChar c : typed)
            QTest::keyClick(input, c.toLatin1());

        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QVERIFY(window->Text1->hasFocus());
        QCOMPARE(window->Text1->text(), typed);

        clickInto(window->List1);
        clickInto(window->Text1);
        QVERIFY(window->Text1->text().isEmpty());
    }
};

QTEST_MAIN(TestFrmFrameTest)
#include "tst_frmframetest.moc"
