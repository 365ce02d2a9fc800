#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class QTableView;

namespace pagrion {

class ResultTableModel;

// "采集结果": the collected records of datalist, or of the newest run on the
// result server when one is set, in a read-only grid that reads them as they
// are scrolled to, their count, and the database file
// handed to the desktop's own program on request.
class FrmResults final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrmResults)

public:
    explicit FrmResults(QWidget *parent = nullptr);
    ~FrmResults() override;

    // Shows the one result window, made for the program's main window (the
    // outermost window above owner) when there is none yet, with the table
    // read afresh.
    static FrmResults *showFor(QWidget *owner);

    void Form_Load();      // reads the records afresh
    void command1_Click(); // 打开数据库文件
    void command2_Click(); // 刷新

    QLabel *Label1; // the record count
    QLabel *Label2; // the database file
    QTableView *MSFlexGrid1;
    QPushButton *command1;
    QPushButton *command2;

    ResultTableModel *model() const { return m_model; }

private:
    void fitColumns(int first, int last);

    ResultTableModel *m_model;
};

} // namespace pagrion
