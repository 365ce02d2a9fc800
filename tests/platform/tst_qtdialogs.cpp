#include <functional>

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "platform/qtdialogs.h"
#include "platform/qttranslations.h"

using namespace Qt::StringLiterals;
using namespace pagrion;

namespace {

// Runs `handle` on the dialog of type Dialog once it is up and active; the
// caller then opens the dialog.
template <typename Dialog>
void whenShown(std::function<void(Dialog *)> handle)
{
    QTimer::singleShot(0, qApp, [handle = std::move(handle)] {
        Dialog *dialog = nullptr;
        const bool shown = QTest::qWaitFor([&] {
            dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
            return dialog && dialog->isActiveWindow();
        });
        QVERIFY(shown);
        handle(dialog);
    });
}

// The texts a user reads on the dialog's labels and push buttons.
QStringList textsOn(QWidget *dialog)
{
    QStringList texts;
    for (QLabel *label : dialog->findChildren<QLabel *>()) {
        if (label->isVisible() && !label->text().isEmpty())
            texts << label->text();
    }
    for (QPushButton *button : dialog->findChildren<QPushButton *>()) {
        if (button->isVisible())
            texts << button->text();
    }
    return texts;
}

// An English word where a Chinese text belongs; a file name may stand in it.
bool hasEnglishWord(const QStringList &texts, const QString &fileName = {})
{
    static const QRegularExpression word(u"[A-Za-z]{3,}"_s);
    QString joined = texts.join(u' ');
    if (!fileName.isEmpty())
        joined.remove(fileName);
    return joined.contains(word);
}

} // namespace

// The boxes as the user meets them, whatever the system's language: with
// Qt's Chinese texts, and questions without an icon.
class TestQtDialogs : public QObject
{
    Q_OBJECT

private:
    QtDialogs dialogs;

private Q_SLOTS:
    void initTestCase()
    {
        const QStringList missing = useChineseQtTexts();
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(u", "_s)));
    }

    void theInterfaceIsChineseOnEverySystem_data()
    {
        QTest::addColumn<QString>("system");
        QTest::addColumn<QString>("shown");
        QTest::newRow("C") << u"C"_s << u"zh_CN"_s;
        QTest::newRow("English") << u"en_US"_s << u"zh_CN"_s;
        QTest::newRow("German") << u"de_DE"_s << u"zh_CN"_s;
        QTest::newRow("simplified Chinese") << u"zh_CN"_s << u"zh_CN"_s;
        QTest::newRow("traditional Chinese") << u"zh_TW"_s << u"zh_TW"_s;
    }
    void theInterfaceIsChineseOnEverySystem()
    {
        QFETCH(QString, system);
        QTEST(interfaceLocale(QLocale(system)).name(), "shown");
    }

    void questionsHaveNoIconAndEnterTakesTheDefault_data()
    {
        QTest::addColumn<Dialogs::DefaultButton>("defaultButton");
        QTest::addColumn<bool>("answer");
        QTest::newRow("OK by default") << Dialogs::DefaultButton::Ok << true;
        QTest::newRow("Cancel as the default") << Dialogs::DefaultButton::Cancel << false;
    }
    void questionsHaveNoIconAndEnterTakesTheDefault()
    {
        QFETCH(Dialogs::DefaultButton, defaultButton);
        QMessageBox::Icon icon = QMessageBox::Information;
        QStringList buttons;
        whenShown<QMessageBox>([&](QMessageBox *box) {
            icon = box->icon();
            buttons = {box->button(QMessageBox::Ok)->text(), box->button(QMessageBox::Cancel)->text()};
            QTest::keyClick(box->windowHandle(), Qt::Key_Return);
        });
        const bool answer = dialogs.question(u"表格排版"_s, u"是否修改该单元格信息！"_s, defaultButton);
        QTEST(answer, "answer");
        QCOMPARE(icon, QMessageBox::NoIcon);
        QCOMPARE(buttons, (QStringList{u"确定"_s, u"取消"_s}));
    }

    void messagesAndInputBoxesSpeakChinese()
    {
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QStringList texts;
        whenShown<QMessageBox>([&](QMessageBox *box) {
            icon = box->icon();
            texts = textsOn(box);
            QTest::keyClick(box->windowHandle(), Qt::Key_Return);
        });
        dialogs.information(u"Pagrion"_s, u"数据保存成功！"_s);
        QCOMPARE(icon, QMessageBox::Information);
        QVERIFY2(!hasEnglishWord(texts), qPrintable(texts.join(u" / "_s)));

        whenShown<QDialog>([&](QDialog *box) {
            texts = textsOn(box);
            QTest::keyClick(box->windowHandle(), Qt::Key_Escape);
        });
        QCOMPARE(dialogs.input(u"表格排版"_s, u"输入增加的行数"_s, QString()), std::nullopt);
        QVERIFY2(texts.contains(u"取消"_s) && !hasEnglishWord(texts), qPrintable(texts.join(u" / "_s)));
    }

    void choiceOffersItsItemsWithTheFirstChosen()
    {
        const QStringList items{u"http://b.test/"_s, u"http://a.test/"_s};
        QStringList offered;
        whenShown<QInputDialog>([&](QInputDialog *box) {
            offered = box->comboBoxItems();
            QTest::keyClick(box->windowHandle(), Qt::Key_Return);
        });
        QCOMPARE(dialogs.choose(u"系统设置"_s, u"要导出哪个网址的采集任务？"_s, items), std::optional(items.first()));
        QCOMPARE(offered, items);

        whenShown<QInputDialog>([](QInputDialog *box) { QTest::keyClick(box->windowHandle(), Qt::Key_Escape); });
        QCOMPARE(dialogs.choose(u"系统设置"_s, u"要导出哪个网址的采集任务？"_s, items), std::nullopt);
    }

    // Qt's own file dialog, whatever the desktop offers, and its question
    // before a file is replaced.
    void theFileDialogAndItsOverwriteQuestionSpeakChinese()
    {
        QTemporaryDir folder;
        QFile existing(folder.filePath(u"data.xls"_s));
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.close();

        QStringList dialogTexts;
        QStringList question;
        whenShown<QFileDialog>([&](QFileDialog *dialog) {
            dialogTexts = textsOn(dialog);
            whenShown<QMessageBox>([&](QMessageBox *box) {
                question = textsOn(box);
                QTest::keyClick(box->windowHandle(), Qt::Key_Escape);
            });
            QTest::keyClicks(dialog->findChild<QLineEdit *>(u"fileNameEdit"_s), u"data.xls"_s);
            QTest::keyClick(dialog->windowHandle(), Qt::Key_Return);
            QTest::keyClick(dialog->windowHandle(), Qt::Key_Escape);
        });
        const QString chosen = dialogs.saveFile(u"请输出要输出的文件名称..."_s, folder.path(), u"Excel (*.xls)|*.xls"_s);
        QVERIFY(chosen.isEmpty());
        QVERIFY2(!dialogTexts.isEmpty() && !hasEnglishWord(dialogTexts), qPrintable(dialogTexts.join(u" / "_s)));
        QVERIFY2(question.join(u' ').contains(u"data.xls"_s) && !hasEnglishWord(question, u"data.xls"_s),
                 qPrintable(question.join(u" / "_s)));
    }
};

QTEST_MAIN(TestQtDialogs)
#include "tst_qtdialogs.moc"
