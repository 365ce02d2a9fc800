#pragma once

#include <memory>

#include <QWidget>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace pagrion {

class Browser;
class PageWaiter;

// "框架网页测试": loads a page in a browser of its own, lists the addresses of
// its frames and opens a chosen one with the desktop's program. It shares
// nothing with the main window and, unlike it, lets pages open windows.
class FrmFrameTest final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrmFrameTest)

public:
    // With the full browser engine, shown in the window.
    explicit FrmFrameTest(QWidget *parent = nullptr);
    // With the given browser; one without a view of its own shows none.
    FrmFrameTest(std::unique_ptr<Browser> browser, QWidget *parent);
    ~FrmFrameTest() override;

    void command2_Click(); // 打开
    void command1_Click(); // 测试
    void List1_Click();

    bool PageLoaded() const;

    QWidget *Picture1;
    QLabel *Label1;
    QLineEdit *Text1;
    QPushButton *command2;
    QWidget *WebBrowser1;
    QPushButton *command1;
    QListWidget *List1;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::unique_ptr<Browser> m_browser;
    PageWaiter *m_waiter;
};

} // namespace pagrion
