#pragma once

#include "layout/editorwindow.h"

class QLineEdit;

namespace pagrion {

// "字段设置": builds a field list, one field per row with its name in the
// second column, typed through an in-cell editor or taken from the
// beginnings of the previewed rows.
class FrmsetFiled final : public EditorWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrmsetFiled)

public:
    explicit FrmsetFiled(QWidget *parent = nullptr);
    ~FrmsetFiled() override;

    void command1_Click() override; // 保存: the grid becomes the field list
    void AutoSet() override;
    void GetSaveInfor() override;

    // Opens the in-cell editor over the current cell for the typed character.
    void MSFlexGridEdit(char16_t keyAscii);
    // Writes the in-cell editor's text into its cell when it is open.
    void commitEdit();

    QLineEdit *Txt_Edit;

protected:
    bool runOwnTool(const QString &caption) override;
    void deleteRow(int row) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void takeValuesAutomatically();
    void renumber();
    void onGridKeyPress(QChar character);

    int m_editRow = -1;
    int m_editCol = -1;
};

} // namespace pagrion
