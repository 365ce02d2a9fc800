#include "layout/frmsetfiled.h"

#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRadioButton>

#include "layout/fieldgrid.h"
#include "layout/layoutgrid.h"
#include "layout/layouts.h"
#include "platform/current.h"
#include "platform/dialogs.h"
#include "platform/gridview.h"

using namespace Qt::StringLiterals;

namespace pagrion {

FrmsetFiled::FrmsetFiled(QWidget *parent)
    : EditorWindow(u"FrmsetFiled"_s, u"字段设置"_s,
                   {u"保存信息"_s, u"增加行"_s, u"增加列"_s, u"自动取值"_s, u"预览效果"_s, u"调入保存值"_s, u"关闭"_s},
                   parent)
    , Txt_Edit(new QLineEdit(Picture1))
{
    Txt_Edit->setObjectName(u"Txt_Edit"_s);
    Txt_Edit->hide();
    Txt_Edit->installEventFilter(this);

    writeFieldHeader(grid());
    showGrid();
    AutoSet();

    connect(MSFlexGrid1, &GridView::keyPress, this, [this](QChar character) { onGridKeyPress(character); });
    connect(MSFlexGrid1, &GridView::gotFocus, this, [this] { renumber(); });
    connect(MSFlexGrid1->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] {
        if (m_restoringCurrent)
            return;
        commitEdit();
        renumber();
    });
}

FrmsetFiled::~FrmsetFiled() = default;

void FrmsetFiled::command1_Click()
{
    if (grid().rows() < 3) {
        information(u"无保存信息！"_s);
        return;
    }
    if (!checksave(grid())) {
        information(u"信息不完整！"_s);
        return;
    }
    const Status saved = saveFields(fieldsFromGrid(grid()));
    information(saved ? u"数据保存成功！"_s : saved.error());
}

void FrmsetFiled::AutoSet()
{
    fitColumns();
}

void FrmsetFiled::GetSaveInfor()
{
    const Result<QList<Field>> fields = readFields();
    if (!fields) {
        information(fields.error());
        return;
    }
    loadFieldsIntoGrid(fields.value(), grid());
    showGrid();
}

void FrmsetFiled::MSFlexGridEdit(char16_t keyAscii)
{
    const int row = MSFlexGrid1->currentRow();
    const int col = MSFlexGrid1->currentCol();
    if (!grid().contains(row, col))
        return;
    m_editRow = row;
    m_editCol = col;
    Txt_Edit->setText(editorStartText(grid().text(row, col), keyAscii));
    Txt_Edit->setCursorPosition(int(Txt_Edit->text().size()));
    const QRect cell = MSFlexGrid1->visualRect(MSFlexGrid1->model()->index(row, col));
    Txt_Edit->setGeometry(QRect(MSFlexGrid1->viewport()->mapTo(Picture1, cell.topLeft()), cell.size()));
    Txt_Edit->raise();
    Txt_Edit->show();
    Txt_Edit->setFocus();
}

void FrmsetFiled::commitEdit()
{
    if (Txt_Edit->isHidden())
        return;
    if (grid().contains(m_editRow, m_editCol))
        grid().setText(m_editRow, m_editCol, Txt_Edit->text());
    Txt_Edit->hide();
    keepBlankLastRow(grid());
    showGrid();
}

bool FrmsetFiled::runOwnTool(const QString &caption)
{
    if (caption == u"保存信息") {
        if (links().options.Option7)
            links().options.Option7->setChecked(true);
        command1_Click();
    } else if (caption == u"自动取值") {
        takeValuesAutomatically();
    } else {
        return false;
    }
    return true;
}

void FrmsetFiled::deleteRow(int row)
{
    deleteFieldRow(grid(), row);
}

bool FrmsetFiled::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Txt_Edit && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            commitEdit();
            MSFlexGrid1->setFocus();
            return true;
        }
        // A space hands the focus back without writing; the editor stays open
        // until the current cell changes.
        if (key == Qt::Key_Space) {
            MSFlexGrid1->setFocus();
            return true;
        }
    }
    return EditorWindow::eventFilter(watched, event);
}

void FrmsetFiled::takeValuesAutomatically()
{
    const std::optional<QString> answer =
        Current<Dialogs>::get().input(u"输入数值"_s, u"输入截取行首字符数作为字段"_s);
    if (!answer)
        return;
    const std::optional<int> headLength = headLengthFromAnswer(*answer);
    if (!headLength)
        return;
    takeFieldsFromPreview(previewGrid(), *headLength, grid());
    showGrid();
    AutoSet();
}

void FrmsetFiled::renumber()
{
    renumberFields(grid());
    showGrid();
}

void FrmsetFiled::onGridKeyPress(QChar character)
{
    const char16_t code = character.unicode();
    // Of the control characters only Enter and Backspace open the editor:
    // Ctrl shortcuts, Tab and Escape do not, and Delete is a key-down command.
    if ((code < 32 && code != 8 && code != 13) || code == 127 || MSFlexGrid1->currentRow() < 1)
        return;
    if (fieldKeyPress(grid(), MSFlexGrid1->currentRow(), MSFlexGrid1->currentCol(), code)
        == FieldKeyResult::Handled) {
        showGrid();
        return;
    }
    MSFlexGridEdit(code);
}

} // namespace pagrion
