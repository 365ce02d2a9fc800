#include "layout/gridclipboard.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextDocumentFragment>
#include <QTextEdit>

#include "platform/gridview.h"

namespace pagrion {

bool copiesOnKeyDown(int keyCode, Qt::KeyboardModifiers modifiers)
{
    return modifiers.testFlag(Qt::ControlModifier) && (keyCode & 67) != 0;
}

void copyFocusedToClipboard()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    QWidget *focused = QApplication::focusWidget();
    if (!focused)
        return;
    // An editable combo box hands its focus to its line edit.
    if (auto *combo = qobject_cast<QComboBox *>(focused->parentWidget()); combo && combo->lineEdit() == focused)
        focused = combo;

    if (auto *edit = qobject_cast<QLineEdit *>(focused))
        clipboard->setText(edit->selectedText());
    else if (auto *plain = qobject_cast<QPlainTextEdit *>(focused))
        clipboard->setText(plain->textCursor().selection().toPlainText());
    else if (auto *rich = qobject_cast<QTextEdit *>(focused))
        clipboard->setText(rich->textCursor().selection().toPlainText());
    else if (auto *combo = qobject_cast<QComboBox *>(focused))
        clipboard->setText(combo->currentText());
    else if (auto *grid = qobject_cast<GridView *>(focused))
        clipboard->setText(grid->currentText());
    else if (auto *list = qobject_cast<QAbstractItemView *>(focused))
        clipboard->setText(list->currentIndex().data(Qt::DisplayRole).toString());
}

} // namespace pagrion
