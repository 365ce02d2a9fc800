#pragma once

#include <QWidget>

class QLabel;
class QTextEdit;

namespace pagrion {

// "关于我们": the program's version and the read-me installed beside it.
// Closing it unloads it; the next show reads the read-me again.
class FrmAbout final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrmAbout)

public:
    explicit FrmAbout(QWidget *parent = nullptr);

    QLabel *Label1; // the vendor link
    QLabel *Label2; // the version line
    QTextEdit *RichTextBox1;

private:
    void Form_Load();
};

// The read-me's text: its bytes in the GBK code page, empty when the file
// is missing or unreadable.
QString readReadme(const QString &path);

} // namespace pagrion
