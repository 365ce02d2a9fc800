#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "platform/qtdialogs.h"

using namespace Qt::StringLiterals;
using namespace pagrion;

// The save dialog as the user works it: a filter picked with the keyboard, a
// name typed, Enter.
class TestSaveFileDialog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void typedNameGetsTheChosenFiltersExtension_data()
    {
        QTest::addColumn<int>("downPresses");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("first filter") << 0 << u"result"_s << u"result.xls"_s;
        QTest::newRow("filter picked later") << 3 << u"result"_s << u"result.csv"_s;
        QTest::newRow("typed extension stays") << 1 << u"result.html"_s << u"result.html"_s;
    }
    void typedNameGetsTheChosenFiltersExtension()
    {
        QFETCH(int, downPresses);
        QFETCH(QString, typed);
        QFETCH(QString, chosen);
        QTemporaryDir folder;
        bool worked = false;
        QTimer::singleShot(0, this, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            auto *types = dialog ? dialog->findChild<QComboBox *>(u"fileTypeCombo"_s) : nullptr;
            auto *name = dialog ? dialog->findChild<QLineEdit *>(u"fileNameEdit"_s) : nullptr;
            if (!types || !name) {
                if (dialog)
                    dialog->reject();
                return;
            }
            for (int i = 0; i < downPresses; ++i)
                QTest::keyClick(types, Qt::Key_Down);
            QTest::keyClicks(name, typed);
            QTest::keyClick(name, Qt::Key_Return);
            worked = true;
        });
        QtDialogs dialogs;
        const QString path = dialogs.saveFile(u"请输出要输出的文件名称..."_s, folder.path(),
                                              u"Excel (*.xls)|*.xls;*.xlsx|文本文件 (*.txt)|*.txt|HTML (*.html)|*.html|csv (*.csv)|*.csv"_s);
        QVERIFY2(worked, "the dialog was not the one expected");
        QCOMPARE(path, folder.filePath(chosen));
    }

    // The filters read as written, while Excel's also lists the .xlsx files
    // the program writes for it.
    void filtersShowTheirTextAndListWorkbooks()
    {
        QTemporaryDir folder;
        QStringList shown;
        QStringList patterns;
        QTimer::singleShot(0, this, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            auto *types = dialog ? dialog->findChild<QComboBox *>(u"fileTypeCombo"_s) : nullptr;
            auto *files = dialog ? dialog->findChild<QFileSystemModel *>() : nullptr;
            if (types && files) {
                for (int i = 0; i < types->count(); ++i)
                    shown << types->itemText(i);
                patterns = files->nameFilters();
            }
            if (dialog)
                dialog->reject();
        });
        QtDialogs dialogs;
        dialogs.saveFile(u"请输出要输出的文件名称..."_s, folder.path(), u"Excel (*.xls)|*.xls;*.xlsx|文本文件|*.txt"_s);
        QCOMPARE(shown, (QStringList{u"Excel (*.xls)"_s, u"文本文件 (*.txt)"_s}));
        QCOMPARE(patterns, (QStringList{u"*.xls"_s, u"*.xlsx"_s}));
    }

    void suffixOfANameFilter()
    {
        QCOMPARE(nameFilterSuffix(u"Excel (*.xls)"_s), u"xls"_s);
        QCOMPARE(nameFilterSuffix(u"网页 (*.html *.htm)"_s), u"html"_s);
        QCOMPARE(nameFilterSuffix(u"所有文件 (*)"_s), QString());
        QCOMPARE(nameFilterSuffix(u"*.txt"_s), u"txt"_s);
    }
};

QTEST_MAIN(TestSaveFileDialog)
#include "tst_savefiledialog.moc"
