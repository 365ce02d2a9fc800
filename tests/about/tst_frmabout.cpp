#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

#include "about/frmabout.h"
#include "frame/skinnedframe.h"
#include "store/programfolder.h"
#include "support/fakes.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;

class TestFrmAbout : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir *folder = nullptr;

private Q_SLOTS:
    void init()
    {
        folder = new QTemporaryDir;
        QVERIFY(folder->isValid());
        setProgramFolder(folder->path());
    }
    void cleanup()
    {
        setProgramFolder({});
        delete folder;
    }

    void readmeAndVersion_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("missing") << false << QByteArray() << QString();
        QTest::newRow("zero bytes") << true << QByteArray() << QString();
        // "软件说明", CR LF, "第二行" in GBK.
        QTest::newRow("GBK") << true << QByteArray("\xC8\xED\xBC\xFE\xCB\xB5\xC3\xF7\r\n\xB5\xDA\xB6\xFE\xD0\xD0")
                             << u"软件说明\n第二行"_s;
        QTest::newRow("UTF-8 with a byte order mark") << true << (QByteArray("\xEF\xBB\xBF") + u"软件说明\r\n第二行"_s.toUtf8())
                                                      << u"软件说明\n第二行"_s;
    }
    void readmeAndVersion()
    {
        QFETCH(bool, exists);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        if (exists) {
            QFile file(programFolder().readmeFilePath());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        }
        FrmAbout about;
        QCOMPARE(about.windowTitle(), u"关于我们"_s);
        QCOMPARE(about.RichTextBox1->toPlainText(), text);
        QVERIFY(about.RichTextBox1->isReadOnly());
        QCOMPARE(about.Label2->text(), u"软件版本："_s + QStringLiteral(PAGRION_EXPECTED_VERSION));
    }

    // UTF-8 with a byte order mark, so it reads right outside the program too.
    void theShippedReadmeReadsAsChinese()
    {
        QFile shipped(QStringLiteral(PAGRION_PROGRAM_DIR) + u"/readme.txt"_s);
        QVERIFY(shipped.open(QIODevice::ReadOnly));
        const QByteArray bytes = shipped.readAll();
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        setProgramFolder(QStringLiteral(PAGRION_PROGRAM_DIR));
        FrmAbout about;
        const QString text = about.RichTextBox1->toPlainText();
        QVERIFY(text.contains(u"Pagrion"_s));
        QVERIFY(!text.contains(QChar::ReplacementCharacter));
        QVERIFY(std::any_of(text.begin(), text.end(), [](QChar c) { return c.script() == QChar::Script_Han; }));
    }

    void linksToTheVendorAndUnloadsOnClose()
    {
        FakeShell shell;
        QPointer<FrmAbout> about = new FrmAbout;
        about->show();
        QVERIFY(QTest::qWaitForWindowExposed(about));
        QTest::mouseClick(about->Label1, Qt::LeftButton);
        QCOMPARE(shell.opened, QStringList{vendorHomePage()});

        auto *close = about->findChild<TitleButton *>(u"Imclose"_s);
        QVERIFY(close);
        QTest::mouseClick(close, Qt::LeftButton, {}, QPoint(8, 8));
        QTRY_VERIFY(about.isNull());
    }
};

QTEST_MAIN(TestFrmAbout)
#include "tst_frmabout.moc"
