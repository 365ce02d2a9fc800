#include <memory>

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "layout/fieldgrid.h"
#include "layout/frmsetfiled.h"
#include "layout/layouts.h"
#include "platform/gridview.h"
#include "support/fakes.h"
#include "support/resultcheck.h"
#include "support/tempprogramfolder.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;

namespace {

// A field grid holding one row per (code, name) pair and the blank last row.
Grid fieldGrid(const QStringList &codes, const QStringList &names)
{
    Grid grid;
    writeFieldHeader(grid);
    grid.setRows(int(codes.size()) + 2);
    for (int i = 0; i < codes.size(); ++i) {
        grid.setText(i + 1, 0, codes.at(i));
        grid.setText(i + 1, 1, names.at(i));
    }
    return grid;
}

QStringList columnTexts(const Grid &grid, int col)
{
    QStringList texts;
    for (int r = 1; r < grid.rows(); ++r)
        texts << grid.text(r, col);
    return texts;
}

} // namespace

class TestFrmsetFiled : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TempProgramFolder> folder;
    std::unique_ptr<FakeDialogs> dialogs;
    std::unique_ptr<GridView> preview;
    std::unique_ptr<QRadioButton> option7;
    std::unique_ptr<FrmsetFiled> window;

    Grid &grid() { return window->MSFlexGrid1->grid(); }
    // Without a current cell, so that no renumbering follows.
    void setGrid(const Grid &grid)
    {
        window->MSFlexGrid1->setCurrentIndex({});
        window->MSFlexGrid1->grid() = grid;
        window->MSFlexGrid1->gridChanged();
    }

private Q_SLOTS:
    void init()
    {
        folder = std::make_unique<TempProgramFolder>();
        QVERIFY2(folder->isValid(), qPrintable(folder->error()));
        dialogs = std::make_unique<FakeDialogs>();
        preview = std::make_unique<GridView>();
        option7 = std::make_unique<QRadioButton>();
        window = std::make_unique<FrmsetFiled>();
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        window->setLinks({.previewGrid = preview.get(), .options = {.Option7 = option7.get()}});
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }
    void cleanup()
    {
        window.reset();
        dialogs.reset();
        folder.reset();
    }

    void refusedSaves()
    {
        PAGRION_VERIFY_OK(saveFields({{u"9"_s, u"old"_s}}));
        window->command1_Click();
        // A code of spaces still asks for a name; a name of spaces or one
        // beginning with CR is none.
        for (const Grid &incomplete : {fieldGrid({u"1"_s, u"2"_s}, {QString(), u"b"_s}),
                                       fieldGrid({u" "_s}, {u"   "_s}), fieldGrid({u"1"_s}, {u" \r\nx"_s})}) {
            setGrid(incomplete);
            window->command1_Click();
        }
        QCOMPARE(dialogs->informationTexts(),
                 (QStringList{u"无保存信息！"_s, u"信息不完整！"_s, u"信息不完整！"_s, u"信息不完整！"_s}));
        QCOMPARE(readFields().value(), (QList<Field>{{u"9"_s, u"old"_s}}));
    }

    void saveKeepsRowNumbersAndEmptiesTheLayout()
    {
        PAGRION_VERIFY_OK(saveLayout({{u"1,0"_s}}));
        setGrid(fieldGrid({u"1"_s, u"2"_s, QString(), u"4"_s, u"  "_s},
                          {u" a "_s, u"b"_s, u"c"_s, u"d"_s, u"e"_s}));
        grid().setText(1, 2, u"remark"_s);
        window->ActiveBar21_ToolClick(u"保存信息"_s);
        QVERIFY(option7->isChecked());
        QCOMPARE(dialogs->informationTexts(), QStringList{u"数据保存成功！"_s});
        QCOMPARE(readFields().value(),
                 (QList<Field>{{u"1"_s, u"a"_s}, {u"2"_s, u"b"_s}, {u"4"_s, u"d"_s}}));

        window->ActiveBar21_ToolClick(u"调入保存值"_s);
        QCOMPARE(columnTexts(grid(), 0), (QStringList{u"1"_s, u"2"_s, u"4"_s, QString()}));
        QCOMPARE(columnTexts(grid(), 1), (QStringList{u"a"_s, u"b"_s, u"d"_s, QString()}));
        QCOMPARE(grid().text(1, 2), QString());

        // The field list's save emptied the layout the preview reads.
        window->ActiveBar21_ToolClick(u"预览效果"_s);
        QCOMPARE(dialogs->informationTexts().last(), u"无保存信息系统不能识别！"_s);
        QCOMPARE(grid().rows(), 2);
    }

    void takeValuesAutomatically()
    {
        preview->grid() = Grid(6, 2);
        preview->grid().setText(1, 0, u"AB: x"_s);
        preview->grid().setText(2, 0, u"\r\nCD: y"_s);
        preview->grid().setText(4, 0, u"\r\nEF"_s);
        dialogs->inputAnswers.push_back(u"3"_s);
        window->ActiveBar21_ToolClick(u"自动取值"_s);
        QCOMPARE(dialogs->calls.value(0).title, u"输入数值"_s);
        QCOMPARE(dialogs->calls.value(0).text, u"输入截取行首字符数作为字段"_s);
        QCOMPARE(columnTexts(grid(), 0), (QStringList{u"1"_s, u"2"_s, u"4"_s, QString()}));
        QCOMPARE(columnTexts(grid(), 1), (QStringList{u"AB:"_s, u"\nCD"_s, u"\nEF"_s, QString()}));

        window->command1->setFocus();
        window->MSFlexGrid1->setFocus();
        QTRY_COMPARE(grid().text(3, 0), u"3"_s);
    }

    void fullStop_data()
    {
        QTest::addColumn<int>("fields");
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("editorText");
        QTest::newRow("only field: list emptied") << 1 << 1 << QStringList{QString()} << QString();
        QTest::newRow("3 fields: row removed") << 3 << 2 << QStringList{u"a"_s, u"c"_s, QString()} << QString();
        QTest::newRow("blank last row: typed")
            << 3 << 4 << QStringList{u"a"_s, u"b"_s, u"c"_s, QString()} << u"."_s;
    }
    void fullStop()
    {
        QFETCH(int, fields);
        QFETCH(int, row);
        QFETCH(QString, editorText);
        setGrid(fieldGrid(QStringList{u"1"_s, u"2"_s, u"3"_s}.mid(0, fields),
                          QStringList{u"a"_s, u"b"_s, u"c"_s}.mid(0, fields)));
        window->MSFlexGrid1->setCurrentCell(row, 1);
        QTest::keyClick(window->MSFlexGrid1, '.');
        QTEST(columnTexts(grid(), 1), "names");
        QCOMPARE(window->Txt_Edit->isVisible(), !editorText.isEmpty());
        if (!editorText.isEmpty())
            QCOMPARE(window->Txt_Edit->text(), editorText);
    }

    void inCellEditor()
    {
        setGrid(fieldGrid({u"1"_s}, {u"name"_s}));
        window->MSFlexGrid1->setCurrentCell(1, 1);
        QTest::keyClick(window->MSFlexGrid1, Qt::Key_X);
        QVERIFY(window->Txt_Edit->isVisible());
        QCOMPARE(window->Txt_Edit->text(), u"x"_s);
        const QRect cell = window->MSFlexGrid1->visualRect(window->MSFlexGrid1->model()->index(1, 1));
        QCOMPARE(window->Txt_Edit->pos(), window->MSFlexGrid1->viewport()->mapTo(window->Picture1, cell.topLeft()));

        QTest::keyClick(window->MSFlexGrid1, Qt::Key_Space);
        QCOMPARE(window->Txt_Edit->text(), u"name"_s);
        QTest::keyClicks(window->Txt_Edit, u"d"_s);
        QTest::keyClick(window->Txt_Edit, Qt::Key_Return);
        QVERIFY(window->Txt_Edit->isHidden());
        QCOMPARE(grid().text(1, 1), u"named"_s);

        // Leaving the cell writes back what the editor holds.
        window->MSFlexGrid1->setCurrentCell(2, 1);
        QTest::keyClick(window->MSFlexGrid1, Qt::Key_Y);
        window->MSFlexGrid1->setCurrentCell(1, 1);
        QVERIFY(window->Txt_Edit->isHidden());
        QCOMPARE(columnTexts(grid(), 1), (QStringList{u"named"_s, u"y"_s, QString()}));
        QCOMPARE(columnTexts(grid(), 0), (QStringList{u"1"_s, u"2"_s, QString()}));
    }
};

QTEST_MAIN(TestFrmsetFiled)
#include "tst_frmsetfiled.moc"
