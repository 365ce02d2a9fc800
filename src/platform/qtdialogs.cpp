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
    QFileDialog dialog(QApplication::activeWindow(), title, folder, qtFileFilter(filter));
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // A name typed without an extension gets the one of the filter chosen
    // when the dialog is confirmed, before it asks about replacing a file.
    const auto useSuffixOf = [&dialog](const QString &nameFilter) {
        dialog.setDefaultSuffix(nameFilterSuffix(nameFilter));
    };
    useSuffixOf(dialog.selectedNameFilter());
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, useSuffixOf);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString QtDialogs::openFile(const QString &title, const QString &folder, const QString &filter)
{
    QFileDialog dialog(QApplication::activeWindow(), title, folder, qtFileFilter(filter));
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

std::optional<QString> QtDialogs::choose(const QString &title, const QString &prompt, const QStringList &items)
{
    bool ok = false;
    const QString item = QInputDialog::getItem(QApplication::activeWindow(), title, prompt, items, 0, false, &ok);
    if (!ok)
        return std::nullopt;
    return item;
}

QString nameFilterSuffix(const QString &nameFilter)
{
    // The patterns stand in the last parentheses, or make up the whole filter.
    QString patterns = nameFilter;
    if (const qsizetype open = nameFilter.lastIndexOf(u'('); open >= 0)
        patterns = nameFilter.mid(open + 1).section(u')', 0, 0);
    const QString first = patterns.split(u' ', Qt::SkipEmptyParts).value(0);
    const QString suffix = first.startsWith(u"*.") ? first.mid(2) : QString();
    return suffix.contains(u'*') || suffix.contains(u'?') ? QString() : suffix;
}

QString qtFileFilter(const QString &filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        // A caption that already shows its pattern, "Excel (*.xls)", is shown
        // as it stands. Qt reads the patterns ("*.xls;*.xlsx") from the last
        // parentheses and, with the details hidden, shows what stands before.
        const bool showsPattern = parts[i].trimmed().endsWith(u')');
        const QString shown = showsPattern ? parts[i] : parts[i] + u" (" + parts[i + 1] + u')';
        filters << shown + u" (" + QString(parts[i + 1]).replace(u';', u' ') + u')';
    }
    return filters.join(u";;");
}

} // namespace pagrion
