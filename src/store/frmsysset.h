#pragma once

#include <QList>
#include <QWidget>

#include "store/loadsettings.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace pagrion {

class NetworkSettingsBox;

// "系统设置": where the results are stored, emptying and exporting them,
// opening the result database, and the program's settings: the head length
// of field lists, the engine pages are loaded with, and how pages are loaded
// (requests at once, pause, retries, limits, the full browser in batches,
// next-page runs), the proxy and the User-Agent, and how much the log file
// records, and the result server batch runs keep their records on. A site's job moves to
// another machine through a job file written and read here. The logins both
// engines share can be forgotten here.
class Frmsysset final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Frmsysset)

public:
    // Reads the settings at once; a missing head length ends the program.
    explicit Frmsysset(QWidget *parent = nullptr);
    ~Frmsysset() override;

    void Form_Load();
    void command1_Click(); // 清理数据
    void command2_Click(); // 数据输出
    void command3_Click(); // 查看文件
    void command4_Click(); // 保存参数
    void command5_Click(); // 导出采集任务
    void command6_Click(); // 导入采集任务
    void command7_Click(); // 清除登录

    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label7;
    QLineEdit *Text1;
    QCheckBox *Check1; // checked: pages are loaded without running their scripts
    QPushButton *command1;
    QPushButton *command2;
    QPushButton *command3;
    QPushButton *command4;
    QPushButton *command5;
    QPushButton *command6;
    QPushButton *command7; // disabled when the program keeps no logins
    QLabel *Label5;
    QGroupBox *Frame1; // how pages are loaded
    QLabel *Label8, *Label9, *Label10, *Label11, *Label12, *Label13, *Label14, *Label15, *Label16, *Label22;
    QLineEdit *Text2; // requests at once to one site
    QLineEdit *Text3; // seconds between two requests to one site
    QLineEdit *Text4; // retries
    QLineEdit *Text5; // time limit, seconds
    QLineEdit *Text6; // page size limit, MB
    QLineEdit *Text7; // element list text limit, MB
    QLineEdit *Text8; // pages the full browser loads at once in a batch
    QLineEdit *Text9; // pages a next-page run visits at most
    QLineEdit *Text10; // the next-page link's text, a regular expression
    QLineEdit *Text15; // memory pages loaded ahead may hold, MB
    QCheckBox *Check2; // checked: batches load no images, fonts or media
    QCheckBox *Check3; // checked: the static engine fetches linked style sheets
    NetworkSettingsBox *Frame2; // the proxy and the User-Agent
    QLabel *Label23;
    QComboBox *Combo2; // the log file's level, 关闭 to 详细
    QLabel *Label24;
    QLineEdit *Text16; // the result server's connection URI, empty for none

Q_SIGNALS:
    // "保存参数" stored these load settings.
    void loadSettingsSaved(const LoadSettings &settings);
    // "导入采集任务" saved the job of this address.
    void jobImported(const QString &web);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void information(const QString &text);
    void showLoadSettings(const LoadSettings &settings);
    // The settings in the boxes, or the message about the first box whose
    // value its setting does not take (that box gets the focus).
    Result<LoadSettings> loadSettingsFromBoxes();
    // False when the result server in Text16 is new, cannot be reached and
    // the user chose not to keep it.
    bool resultServerAccepted();

    struct SettingBox
    {
        LoadSettings::Field field;
        QLabel *label;
        QLineEdit *box;
    };
    QList<SettingBox> m_settingBoxes;

    bool m_exporting = false;
};

} // namespace pagrion
