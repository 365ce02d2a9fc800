#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace pagrion {

// "系统设置": where the results are stored, emptying and exporting them,
// opening the result database, and the program's two settings (the head
// length of field lists and the engine pages are loaded with).
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

    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label7;
    QLineEdit *Text1;
    QCheckBox *Check1; // checked: pages are loaded without running their scripts
    QPushButton *command1;
    QPushButton *command2;
    QPushButton *command3;
    QPushButton *command4;
    QLabel *Label5;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void information(const QString &text);

    bool m_exporting = false;
};

} // namespace pagrion
