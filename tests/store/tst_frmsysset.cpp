#include <algorithm>
#include <memory>
#include <optional>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QSet>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlRecord>
#include <QTest>

#include "engine/cookiestore.h"
#include "store/database.h"
#include "store/enginesetting.h"
#include "store/export.h"
#include "store/frmresults.h"
#include "store/frmsysset.h"
#include "store/jobfile.h"
#include "store/loadsettings.h"
#include "store/logsetting.h"
#include "store/sitesettings.h"
#include "store/systemsettings.h"
#include "support/fakes.h"
#include "support/resultcheck.h"
#include "support/tempprogramfolder.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;

namespace {

QStringList column(const QString &file, const QString &select)
{
    Database db;
    if (!db.open(file))
        return {u"<no database>"_s};
    const auto rows = db.selectAll(select);
    QStringList texts;
    for (const QSqlRecord &row : rows ? rows.value() : QList<QSqlRecord>())
        texts << row.value(0).toString();
    return texts;
}

QStringList datalist()
{
    return column(programFolder().resultDatabasePath(), u"select c1 from datalist order by id"_s);
}

bool exec(const QString &file, const QString &statement)
{
    Database db;
    return db.open(file) && db.run(statement).ok();
}

} // namespace

class TestFrmsysset : public QObject
{
    Q_OBJECT

private:
    std::optional<TempProgramFolder> folder;
    std::unique_ptr<FakeDialogs> dialogs;
    std::unique_ptr<FakeShell> shell;
    std::unique_ptr<Frmsysset> window;

    QString config() const { return programFolder().configDatabasePath(); }

private Q_SLOTS:
    void init()
    {
        QVERIFY2(folder.emplace().isValid(), qPrintable(folder->error()));
        dialogs = std::make_unique<FakeDialogs>();
        shell = std::make_unique<FakeShell>();
        LoadSettings load;
        load.concurrency = 2;
        load.delayMs = 1500;
        PAGRION_VERIFY_OK(saveSystemSettings(u"10"_s, EngineKind::Static, load, NetworkSettings(), LogLevel::Errors, {}));
        QVERIFY(exec(programFolder().resultDatabasePath(), u"insert into datalist (c1) values ('甲'), ('乙')"_s));
        window = std::make_unique<Frmsysset>();
    }
    void cleanup()
    {
        window.reset();
        shell.reset();
        dialogs.reset();
        folder.reset();
    }

    // Tests and scripts find a control by its name: no two share one.
    void controlNamesAreUnique()
    {
        QSet<QString> names;
        for (const QWidget *control : window->findChildren<QWidget *>()) {
            const QString name = control->objectName();
            if (name.isEmpty() || name.startsWith(u"qt_"_s))
                continue;
            QVERIFY2(!names.contains(name), qPrintable(name));
            names.insert(name);
        }
    }

    void startShowsPathAndSettings()
    {
        QCOMPARE(window->windowTitle(), u"系统设置"_s);
        QCOMPARE(window->Label2->text(), QDir::toNativeSeparators(folder->folder().resultDatabasePath()));
        QCOMPARE(window->Text1->text(), u"10"_s);
        QVERIFY(window->Check1->isChecked());
        const QList<QLineEdit *> boxes{window->Text2, window->Text3, window->Text4, window->Text5, window->Text6,
                                       window->Text7, window->Text8, window->Text9, window->Text10};
        QStringList shown;
        for (const QLineEdit *box : boxes)
            shown << box->text();
        QCOMPARE(shown, (QStringList{u"2"_s, u"1.5"_s, u"3"_s, u"30"_s, u"64"_s, u"256"_s, u"4"_s, u"1000"_s,
                                     LoadSettings::DefaultNextText}));
        QVERIFY(window->Check2->isChecked());
        QVERIFY(window->Check3->isChecked());
        QCOMPARE(window->Label11->text(), u"网页超时（秒）"_s);
        for (const QLineEdit *box : boxes)
            QVERIFY2(!box->toolTip().isEmpty(), qPrintable(box->objectName()));
        // Every setting is shown, named as its messages name it.
        QStringList labels;
        for (const QLabel *label : window->Frame1->findChildren<QLabel *>())
            labels << label->text();
        labels << window->Check2->text() << window->Check3->text();
        for (const LoadSettings::Field field : loadSettingFields()) {
            const QString name = loadSettingName(field);
            QVERIFY2(std::ranges::any_of(labels, [&](const QString &label) { return label.startsWith(name); }),
                     qPrintable(name));
        }
        QVERIFY(dialogs->calls.isEmpty());

        // 查看文件 shows the records in the program's own window.
        window->command3_Click();
        const auto *results = window->findChild<FrmResults *>();
        QVERIFY(results && results->isVisible());
        QCOMPARE(results->Label1->text(), u"共 2 条记录"_s);
        QVERIFY(shell->opened.isEmpty());
    }

    void saveReplacesVarTableAndStoresTheEngine()
    {
        QVERIFY(exec(config(), u"insert into VarTable (varname, varvalue) values ('Other', 'x'), ('PubLenfiled', '7')"_s));
        window->Text1->clear();
        window->Check1->setChecked(false);
        window->command4_Click();
        QCOMPARE(dialogs->calls.size(), 1);
        QCOMPARE(dialogs->calls.at(0).title, u"系统设置"_s);
        QCOMPARE(dialogs->calls.at(0).text, u"保存成功！"_s);
        QCOMPARE(column(config(), u"select varname || '=' || ifnull(varvalue, '<null>') from VarTable"_s),
                 QStringList{u"PubLenfiled="_s});
        QCOMPARE(readEngineSetting().value(), EngineKind::Browser);
    }

    void saveStoresTheLoadSettings()
    {
        QSignalSpy saved(window.get(), &Frmsysset::loadSettingsSaved);
        window->Text2->setText(u" 1 "_s);
        window->Text3->setText(u"2"_s);
        window->Text5->setText(u"12.5"_s);
        window->Check2->setChecked(false);
        window->Check3->setChecked(false);
        window->command4_Click();
        QCOMPARE(dialogs->informationTexts(), QStringList{u"保存成功！"_s});
        QCOMPARE(window->Text2->text(), u"1"_s); // shown as stored
        const auto stored = readLoadSettings();
        PAGRION_VERIFY_OK(stored);
        QCOMPARE(stored.value().concurrency, 1);
        QCOMPARE(stored.value().delayMs, 2000);
        QCOMPARE(stored.value().timeLimitMs, 12'500);
        QVERIFY(!stored.value().batchWithoutMedia);
        QVERIFY(!stored.value().linkedStyleSheets);
        QCOMPARE(saved.size(), 1);
        QVERIFY(saved.at(0).at(0).value<LoadSettings>() == stored.value());
    }

    // An older database without the setting shows the default; a level saved
    // is shown again and applies at once, without a restart.
    void logLevelIsKeptAndTakesEffect()
    {
        QVERIFY(exec(config(), u"drop table LogSetting"_s));
        window = std::make_unique<Frmsysset>();
        QCOMPARE(window->Combo2->currentText(), u"错误"_s);
        QCOMPARE(window->Combo2->count(), 4);
        QVERIFY(window->Combo2->toolTip().contains(QDir::toNativeSeparators(programFolder().logFilePath())));

        window->Combo2->setCurrentIndex(window->Combo2->findText(u"详细"_s));
        window->command4_Click();
        QCOMPARE(dialogs->informationTexts(), QStringList{u"保存成功！"_s});
        QCOMPARE(readLogLevel().value(), LogLevel::Detail);
        const QLoggingCategory probe("pagrion.probe", QtWarningMsg);
        QVERIFY(probe.isDebugEnabled());
        window = std::make_unique<Frmsysset>();
        QCOMPARE(window->Combo2->currentText(), u"详细"_s);

        window->Combo2->setCurrentIndex(window->Combo2->findText(u"关闭"_s));
        window->command4_Click();
        QCOMPARE(readLogLevel().value(), LogLevel::Off);
        QVERIFY(!probe.isWarningEnabled());
        // A level edited by hand into one the program does not know gives the default.
        QVERIFY(exec(config(), u"update LogSetting set value = 'loud'"_s));
        QCOMPARE(readLogLevel().value(), DefaultLogLevel);
    }

    // A value its setting does not take is named, gets the focus, and
    // nothing at all is saved: not the head length, not the engine.
    void badValueSavesNothing()
    {
        window->show();
        window->Text1->setText(u"20"_s);
        window->Check1->setChecked(false);
        window->Text2->setText(u"4"_s);
        window->Text4->setText(u"很多"_s);
        window->command4_Click();
        QCOMPARE(dialogs->calls.size(), 1);
        QCOMPARE(dialogs->calls.at(0).title, u"系统设置"_s);
        QVERIFY2(dialogs->calls.at(0).text.contains(u"“失败重试次数”"_s), qPrintable(dialogs->calls.at(0).text));
        QTRY_VERIFY(window->Text4->hasFocus());
        QCOMPARE(column(config(), u"select varvalue from VarTable"_s), QStringList{u"10"_s});
        QCOMPARE(readEngineSetting().value(), EngineKind::Static);
        QCOMPARE(readLoadSettings().value().concurrency, 2);
    }

    void clearAsksFirst()
    {
        window->command1_Click();
        QCOMPARE(dialogs->calls.size(), 1);
        QCOMPARE(dialogs->calls.at(0).kind, u"question"_s);
        QCOMPARE(dialogs->calls.at(0).text, u"您确认清除数据？"_s);
        // Enter in the box must not empty the results by accident.
        QCOMPARE(dialogs->calls.at(0).defaultButton, Dialogs::DefaultButton::Cancel);
        QCOMPARE(datalist(), (QStringList{u"甲"_s, u"乙"_s}));

        dialogs->questionAnswers.push_back(true);
        window->command1_Click();
        QCOMPARE(dialogs->informationTexts(), QStringList{u"数据清理成功！"_s});
        QCOMPARE(datalist(), QStringList());
    }

    // Forgetting the logins asks first, Cancel by default, and empties the
    // store and its file; without a store there is nothing to forget.
    void forgettingLoginsAsksFirst()
    {
        QVERIFY(!window->command7->isEnabled());
        CookieStore cookies(folder->folder().cookieFilePath());
        cookies.set(*parseCookieLine("#HttpOnly_shop.test\tFALSE\t/\tFALSE\t0\tsid\tabc"));
        PAGRION_VERIFY_OK(cookies.write());
        window = std::make_unique<Frmsysset>();
        QVERIFY(window->command7->isEnabled());

        window->command7_Click();
        QCOMPARE(dialogs->calls.size(), 1);
        QCOMPARE(dialogs->calls.at(0).kind, u"question"_s);
        QCOMPARE(dialogs->calls.at(0).defaultButton, Dialogs::DefaultButton::Cancel);
        QCOMPARE(cookies.cookies().size(), 1);

        dialogs->questionAnswers.push_back(true);
        window->command7_Click();
        QCOMPARE(dialogs->informationTexts(), QStringList{u"已清除所有网站的登录信息。"_s});
        QVERIFY(cookies.cookies().isEmpty());
        CookieStore restarted(folder->folder().cookieFilePath());
        QVERIFY(restarted.cookies().isEmpty());
    }

    // An .xls name gets the workbook it holds under the name with an x added,
    // and the message names that file.
    void exportWritesTheChosenFile()
    {
        const QString chosen = folder->folder().tempFolder() + u"/结果.xls"_s;
        dialogs->saveFileAnswers.push_back(chosen);
        window->command2_Click();
        QCOMPARE(dialogs->calls.value(0).kind, u"saveFile"_s);
        QCOMPARE(dialogs->calls.value(0).title, u"请输出要输出的文件名称..."_s);
        QCOMPARE(dialogs->calls.value(0).text,
                 QDir::toNativeSeparators(folder->folder().tempFolder())
                     + u"\nExcel (*.xls)|*.xls;*.xlsx|文本文件 (*.txt)|*.txt|HTML (*.html)|*.html|csv (*.csv)|*.csv"_s);
        QCOMPARE(dialogs->informationTexts(), QStringList{u"您成功输出,文件："_s + chosen + u'x'});
        QVERIFY(!QFile::exists(chosen));
        QFile file(chosen + u'x');
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.read(2) == "PK");
        QCOMPARE(window->Label5->text(), QString());
        QCOMPARE(window->windowTitle(), u"系统设置"_s);
    }

    // Choosing r.xls asks before the export replaces an existing r.xlsx.
    void exportAsksBeforeReplacingTheWorkbook()
    {
        const QString chosen = folder->folder().tempFolder() + u"/r.xls"_s;
        QFile existing(chosen + u'x');
        QVERIFY(existing.open(QIODevice::WriteOnly) && existing.write("mine") == 4);
        existing.close();
        dialogs->saveFileAnswers = {chosen, chosen};
        dialogs->questionAnswers = {false, true};
        window->command2_Click();
        QCOMPARE(dialogs->calls.value(1).kind, u"question"_s);
        QVERIFY(dialogs->calls.value(1).text.contains(QDir::toNativeSeparators(chosen + u'x')));
        QVERIFY(dialogs->informationTexts().isEmpty());
        QVERIFY(existing.open(QIODevice::ReadOnly) && existing.readAll() == "mine");
        existing.close();

        window->command2_Click();
        QCOMPARE(dialogs->informationTexts(), QStringList{u"您成功输出,文件："_s + chosen + u'x'});
        QVERIFY(existing.open(QIODevice::ReadOnly) && existing.read(2) == "PK");
    }

    // Cancelling, a name without a format word and a failure: only the
    // failure and the cancel change the caption, and no file appears.
    void exportWritesNothing()
    {
        window->Label5->setText(u"x"_s);
        const QString unnamed = folder->folder().tempFolder() + u"/data.doc"_s;
        dialogs->saveFileAnswers = {QString(), unnamed, folder->folder().tempFolder() + u"/out.txt"_s};
        window->command2_Click();
        QCOMPARE(window->windowTitle(), u"系统设定"_s);
        QCOMPARE(window->Label5->text(), QString());
        QVERIFY(dialogs->informationTexts().isEmpty());

        window->command2_Click();
        QCOMPARE(dialogs->informationTexts(), QStringList{unknownExportFormatMessage()});
        QVERIFY(!QFile::exists(unnamed));

        QVERIFY(exec(programFolder().resultDatabasePath(), u"drop table datalist"_s));
        window->setWindowTitle(u"系统设置"_s);
        window->command2_Click();
        QCOMPARE(window->windowTitle(), u"系统设定"_s);
        QCOMPARE(window->Label5->text(), QString());
        QCOMPARE(dialogs->informationTexts().size(), 2);
        QCOMPARE(dialogs->calls.last().title, u"系统设定"_s);
        QCOMPARE(QDir(folder->folder().tempFolder()).entryList(QDir::Files), QStringList());
    }

    // A job exported for a chosen address comes back whole in another
    // program folder.
    void jobsAreExportedAndImported()
    {
        SiteJob job{{u"http://shop.test/"_s, u"TableName0"_s, {}, true, u"表格"_s}};
        job.settings.records = RecordSource::Fields;
        job.fields = QList<Field>{{u"1"_s, u"名称"_s}};
        job.headLength = 6;
        PAGRION_VERIFY_OK(saveSiteJob(job));
        PAGRION_VERIFY_OK(saveSiteSettings({u"http://other.test/"_s, {}, {}, false, {}}));
        const QString file = folder->folder().tempFolder() + u"/任务.json"_s;
        dialogs->chooseAnswers.push_back(job.settings.web);
        dialogs->saveFileAnswers.push_back(file);
        window->command5_Click();
        QCOMPARE(dialogs->calls.value(0).kind, u"choose"_s);
        QCOMPARE(dialogs->calls.value(0).text.split(u'\n').mid(1),
                 (QStringList{u"http://other.test/"_s, u"http://shop.test/"_s}));
        QCOMPARE(dialogs->calls.value(1).text.section(u'\n', 1), u"采集任务 (*.json)|*.json"_s);
        QCOMPARE(dialogs->informationTexts(), QStringList{u"采集任务已导出到文件："_s + QDir::toNativeSeparators(file)});
        QCOMPARE(dialogs->calls.last().title, u"系统设置"_s);

        TempProgramFolder other;
        QVERIFY2(other.isValid(), qPrintable(other.error()));
        dialogs->openFileAnswers.push_back(file);
        QSignalSpy imported(window.get(), &Frmsysset::jobImported);
        window->command6_Click();
        QCOMPARE(dialogs->informationTexts().last(), u"已导入网址“http://shop.test/”的采集任务。"_s);
        QCOMPARE(imported.size(), 1); // the main window adds the address to its list
        QCOMPARE(imported.first().first().toString(), u"http://shop.test/"_s);
        const auto read = readSiteJob(job.settings.web);
        PAGRION_VERIFY_OK(read);
        QVERIFY(read.value() == job);
    }

    void jobButtonsTellWhyNothingHappened()
    {
        window->command5_Click();
        QCOMPARE(dialogs->informationTexts(), QStringList{u"还没有保存过任何网址的采集设置。"_s});

        // Cancelled dialogs write and tell nothing.
        PAGRION_VERIFY_OK(saveSiteSettings({u"http://a.test/"_s, {}, {}, false, {}}));
        dialogs->chooseAnswers = {std::nullopt, u"http://a.test/"_s};
        window->command5_Click();
        window->command5_Click();
        window->command6_Click();
        QCOMPARE(dialogs->informationTexts().size(), 1);
        QCOMPARE(QDir(folder->folder().tempFolder()).entryList(QDir::Files), QStringList());

        const QString bad = folder->folder().tempFolder() + u"/bad.json"_s;
        QFile file(bad);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(R"({"format": "pagrion-job", "version": 1})") > 0);
        file.close();
        dialogs->openFileAnswers.push_back(bad);
        window->command6_Click();
        QCOMPARE(dialogs->informationTexts().last(), u"采集任务文件中没有网址（“web”）。"_s);
        QCOMPARE(readSiteAddresses().value(), QStringList{u"http://a.test/"_s});
    }
};

QTEST_MAIN(TestFrmsysset)
#include "tst_frmsysset.moc"
