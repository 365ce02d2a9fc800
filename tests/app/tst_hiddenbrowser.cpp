#include <QApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QWindow>

#include "app/frmmain.h"
#include "engine/browserfactory.h"
#include "engine/webengine/webenginesetup.h"
#include "support/fakeplatform.h"
#include "support/testhttpserver.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;

namespace {

constexpr int DeadlineMs = 20'000;

// The windows an X server shows: the mapped children of its root window
// whose ancestors are all mapped too, as xwininfo reports them.
QStringList viewableWindows()
{
    QProcess tree;
    tree.start(u"xwininfo"_s, {u"-root"_s, u"-children"_s});
    if (!tree.waitForFinished(DeadlineMs))
        return {u"xwininfo did not answer"_s};
    QStringList viewable;
    static const QRegularExpression child(u"^\\s+(0x[0-9a-f]+) "_s, QRegularExpression::MultilineOption);
    for (const QRegularExpressionMatch &match : child.globalMatch(QString::fromLocal8Bit(tree.readAllStandardOutput()))) {
        QProcess info;
        info.start(u"xwininfo"_s, {u"-id"_s, match.captured(1)});
        info.waitForFinished(DeadlineMs);
        if (info.readAllStandardOutput().contains("IsViewable"))
            viewable << match.captured(1);
    }
    return viewable;
}

QString hex(WId id)
{
    return u"0x"_s + QString::number(id, 16);
}

} // namespace

// The full browser keeps its page view off screen. Offscreen, no window is
// ever seen, so this test starts an X server of its own, where the engine
// would otherwise show the view as a second window covering the first.
class TestHiddenBrowser : public QObject
{
    Q_OBJECT

public:
    explicit TestHiddenBrowser(bool hasDisplay) : m_hasDisplay(hasDisplay) {}

private Q_SLOTS:
    void startingTheWindowShowsOneWindow()
    {
        if (!m_hasDisplay)
            QSKIP("Xvfb and xwininfo (packages xvfb, x11-utils) are needed");
        FakePlatform platform;
        QVERIFY2(platform.folder.isValid(), qPrintable(platform.folder.error()));
        TestHttpServer server;
        // The page writes its table in an animation frame, which comes only
        // once the hidden view draws, and by then the engine has made the
        // native window it draws in.
        server.setPage(u"/drawn"_s, "<body><script>requestAnimationFrame(function () {"
                                    "  var t = document.createElement('table');"
                                    "  t.insertRow().insertCell().textContent = document.visibilityState + innerWidth;"
                                    "  document.body.appendChild(t); });</script></body>");

        const std::unique_ptr<Browser> browser = createBrowser(EngineKind::Browser);
        FrmMain window(*browser);
        window.Form_Load();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy completed(browser.get(), &Browser::DownloadComplete);
        browser->Navigate(server.url(u"/drawn"_s));
        QVERIFY(completed.wait(DeadlineMs));
        QTRY_COMPARE_WITH_TIMEOUT(browser->document()->tables().value(0).rows,
                                  (QList<QStringList>{{u"visible1280"_s}}), DeadlineMs);

        QCOMPARE(viewableWindows(), QStringList{hex(window.winId())});
        QList<QWindow *> shown;
        for (QWindow *top : QGuiApplication::topLevelWindows()) {
            if (top->isVisible())
                shown << top;
        }
        QCOMPARE(shown, QList<QWindow *>{window.windowHandle()});
    }

private:
    bool m_hasDisplay;
};

int main(int argc, char *argv[])
{
    QProcess xvfb;
    xvfb.start(u"Xvfb"_s, {u"-displayfd"_s, u"1"_s, u"-screen"_s, u"0"_s, u"1600x1200x24"_s, u"-nolisten"_s, u"tcp"_s});
    const bool started = xvfb.waitForStarted() && xvfb.waitForReadyRead(DeadlineMs);
    const QByteArray display = xvfb.readAllStandardOutput().trimmed();
    const bool hasDisplay = started && !display.isEmpty() && !QStandardPaths::findExecutable(u"xwininfo"_s).isEmpty();
    if (hasDisplay) {
        qputenv("DISPLAY", ":" + display);
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    int status = 0;
    {
        prepareWebEngine();
        QApplication app(argc, argv);
        TestHiddenBrowser test(hasDisplay);
        status = QTest::qExec(&test, argc, argv);
    }
    xvfb.terminate();
    xvfb.waitForFinished();
    return status;
}

#include "tst_hiddenbrowser.moc"
