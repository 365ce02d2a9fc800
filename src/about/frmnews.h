#pragma once

#include <QWidget>

class QLabel;

namespace pagrion {

// "版本检测": the program's version. Comparing it with the vendor's latest
// release needs the vendor's server, which the program does not contact.
class FrmNews final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrmNews)

public:
    explicit FrmNews(QWidget *parent = nullptr);

    QLabel *Label2; // the version line
    QLabel *Label3; // the note on the check
};

} // namespace pagrion
