#include "about/frmabout.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QStringDecoder>
#include <QTextEdit>
#include <QVBoxLayout>

#include "about/programversion.h"
#include "frame/skinnedframe.h"
#include "store/programfolder.h"

using namespace Qt::StringLiterals;

namespace pagrion {

QString readReadme(const QString &path)
{
    if (!QFileInfo(path).isFile())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    file.close();
    // The read-me is UTF-8 with a byte order mark; one without a mark is in
    // GBK, the code page of older read-mes, which GB18030 contains.
    if (const std::optional<QStringConverter::Encoding> marked = QStringConverter::encodingForData(bytes)) {
        QStringDecoder decoder(*marked); // which leaves the mark out
        return decoder(bytes);
    }
    QStringDecoder decoder("GB18030");
    return decoder(bytes);
}

FrmAbout::FrmAbout(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , Label1(new QLabel(u"Pagrion"_s, this))
    , Label2(new QLabel(this))
    , RichTextBox1(new QTextEdit(this))
{
    setObjectName(u"FrmAbout"_s);
    setWindowTitle(u"关于我们"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    Label1->setObjectName(u"Label1"_s);
    Label2->setObjectName(u"Label2"_s);
    RichTextBox1->setObjectName(u"RichTextBox1"_s);
    RichTextBox1->setReadOnly(true);
    RichTextBox1->setAcceptRichText(false);

    QFont heading = Label1->font();
    heading.setBold(true);
    heading.setPointSizeF(heading.pointSizeF() * 1.3);
    Label1->setFont(heading);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(Label2);
    layout->addWidget(RichTextBox1, 1);
    resize(460, 380);

    SkinnedFrame::install(this);
    linkToVendor(Label1);
    Form_Load();
}

void FrmAbout::Form_Load()
{
    RichTextBox1->setPlainText(readReadme(programFolder().readmeFilePath()));
    Label2->setText(u"软件版本："_s + programVersion());
}

} // namespace pagrion
