#include "platform/qtdialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace pagrion {

void QtDialogs::information(const QString &title, const QString &text)
{
    QMessageBox::information(QApplication::activeWindow(), title, text);
}

bool QtDialogs::question(const QString &title, const QString &text, DefaultButton defaultButton)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok | QMessageBox::Cancel,
                    QApplication::activeWindow());
    box.setDefaultButton(defaultButton == DefaultButton::Cancel ? QMessageBox::Cancel : QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok;
}

std::optional<QString> QtDialogs::input(const QString &title, const QString &prompt, const QString &initialText)
{
    bool ok = false;
    const QString text = QInputDialog::getText(QApplication::activeWindow(), title, prompt, QLineEdit::Normal,
                                               initialText, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

QString QtDialogs::saveFile(const QString &title, const QString &folder, const QString &filter)
{
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), title, folder, qtFileFilter(filter));
}

QString qtFileFilter(const QString &filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        // A caption that already shows its pattern, "Excel (*.xls)", is kept
        // as it stands; Qt reads the pattern from the parentheses.
        const bool showsPattern = parts[i].trimmed().endsWith(u')');
        filters << (showsPattern ? parts[i] : parts[i] + u" (" + parts[i + 1] + u')');
    }
    return filters.join(u";;");
}

} // namespace pagrion
