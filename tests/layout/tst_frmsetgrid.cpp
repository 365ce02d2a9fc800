#include <memory>

#include <QFontMetrics>
#include <QRadioButton>
#include <QTest>
#include <QToolBar>

#include "layout/frmsetgrid.h"
#include "layout/layouts.h"
#include "layout/recordedcell.h"
#include "platform/gridview.h"
#include "support/fakes.h"
#include "support/resultcheck.h"
#include "support/tempprogramfolder.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;

namespace {

void doubleClickCell(GridView *view, int row, int col)
{
    const QRect cell = view->visualRect(view->model()->index(row, col));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell.center());
}

QStringList column0(const Grid &grid)
{
    QStringList texts;
    for (int r = 1; r < grid.rows(); ++r)
        texts << grid.text(r, 0);
    return texts;
}

} // namespace

class TestFrmSetGrid : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TempProgramFolder> folder;
    std::unique_ptr<FakeDialogs> dialogs;
    std::unique_ptr<GridView> preview;
    std::unique_ptr<QRadioButton> option6;
    std::unique_ptr<FrmSetGrid> window;

    Grid &grid() { return window->MSFlexGrid1->grid(); }

private Q_SLOTS:
    void init()
    {
        folder = std::make_unique<TempProgramFolder>();
        QVERIFY2(folder->isValid(), qPrintable(folder->error()));
        dialogs = std::make_unique<FakeDialogs>();
        preview = std::make_unique<GridView>();
        option6 = std::make_unique<QRadioButton>();
        window = std::make_unique<FrmSetGrid>();
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        window->setLinks({.previewGrid = preview.get(), .options = {.Option6 = option6.get()}});
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    void cleanup()
    {
        window.reset();
        dialogs.reset();
        folder.reset();
    }

    void insertion_data()
    {
        QTest::addColumn<QString>("old");
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty cell takes it unasked") << QString() << QList<bool>{} << u"5,1"_s;
        QTest::newRow("OK adds it") << u"4,1"_s << QList<bool>{true} << u"4,1|5,1"_s;
        QTest::newRow("Cancel then OK replaces") << u"4,1"_s << QList<bool>{false, true} << u"5,1"_s;
        QTest::newRow("Cancel twice keeps") << u"4,1"_s << QList<bool>{false, false} << u"4,1"_s;
    }
    void insertion()
    {
        QFETCH(QString, old);
        QFETCH(QList<bool>, answers);
        QFETCH(QString, expected);
        setRecordedCell(u"5,1"_s);
        grid().setText(2, 3, old);
        window->MSFlexGrid1->gridChanged();
        dialogs->questionAnswers.assign(answers.begin(), answers.end());
        doubleClickCell(window->MSFlexGrid1, 2, 3);
        QCOMPARE(grid().text(2, 3), expected);
        QStringList asked;
        for (const FakeDialogs::Call &call : std::as_const(dialogs->calls))
            asked << call.title + u':' + call.text;
        QCOMPARE(asked, (QStringList{u"表格排版:是否在该单元格添加多个原单元格信息！"_s,
                                     u"表格排版:是否修改该单元格信息！"_s}.mid(0, answers.size())));
    }

    void deleteKey_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("row 1 empties the layout") << 1 << QStringList{QString()};
        QTest::newRow("row 3 goes alone") << 3 << QStringList{u"1"_s, u"2"_s, u"4"_s, u"5"_s, u"6"_s,
                                                               u"7"_s, u"8"_s, u"9"_s, QString()};
    }
    void deleteKey()
    {
        QFETCH(int, row);
        QFETCH(QStringList, expected);
        for (int r = 1; r <= 9; ++r)
            grid().setText(r, 0, QString::number(r));
        grid().setRows(11);
        window->MSFlexGrid1->gridChanged();
        window->MSFlexGrid1->setCurrentCell(row, 0);
        QTest::keyClick(window->MSFlexGrid1, Qt::Key_Delete);
        QCOMPARE(column0(grid()), expected);
    }

    void addCounts_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<std::optional<QString>>("answer");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("cols");
        QTest::newRow("2.5 rows round to even") << u"增加行"_s << std::optional(u"2.5"_s) << 12 << 20;
        QTest::newRow("cancel adds nothing") << u"增加行"_s << std::optional<QString>() << 10 << 20;
        QTest::newRow("below 2 rows refused") << u"增加行"_s << std::optional(u"-9"_s) << 10 << 20;
        QTest::newRow("no column refused") << u"增加列"_s << std::optional(u"-20"_s) << 10 << 20;
    }
    void addCounts()
    {
        QFETCH(QString, tool);
        QFETCH(std::optional<QString>, answer);
        dialogs->inputAnswers.push_back(answer);
        window->ActiveBar21_ToolClick(tool);
        QTEST(grid().rows(), "rows");
        QTEST(grid().cols(), "cols");
        QCOMPARE(dialogs->calls.value(0).title, u"表格排版"_s);
        QCOMPARE(grid().text(0, grid().cols() - 1), u"第"_s + QString::number(grid().cols()) + u"列"_s);
    }

    // The captions of added columns are written by the fitting inside the
    // command and measured by the one after it, so none is cut short.
    void addedColumnsFitTheirCaptions()
    {
        dialogs->inputAnswers.push_back(u"2"_s);
        QAction *tool = nullptr;
        for (QAction *action : window->ActiveBar21->actions())
            tool = action->text() == u"增加列" ? action : tool;
        QWidget *button = window->ActiveBar21->widgetForAction(tool);
        QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {},
                          button->mapTo(window.get(), button->rect().center()));
        QCOMPARE(grid().cols(), 22);
        const QFontMetrics metrics(window->font());
        for (int c : {0, 20, 21}) {
            QCOMPARE(window->MSFlexGrid1->colWidth(c),
                     metrics.horizontalAdvance(u"第%1列"_s.arg(c + 1)) * TwipsPerPixel + 300);
        }
    }

    void save()
    {
        PAGRION_VERIFY_OK(saveFields({{u"1"_s, u"AB"_s}}));
        const int rows = grid().rows();
        grid().setRows(2);
        window->ActiveBar21_ToolClick(u"保存信息"_s);
        QVERIFY(option6->isChecked());
        QCOMPARE(readFields().value().size(), 1);
        grid().setRows(rows);
        grid().setText(1, 0, u" 2,0 "_s);
        grid().setText(1, 1, u"2,1|3,1"_s);
        grid().setText(2, 1, u"2,1"_s); // no first cell: not part of the layout
        grid().setText(3, 0, u"4,0"_s);
        window->command1_Click();
        QCOMPARE(dialogs->informationTexts(), (QStringList{u"无保存信息！"_s, u"数据保存成功！"_s}));
        const Layout layout = readLayout().value();
        QCOMPARE(layout.size(), 2);
        QCOMPARE(layout.at(0).mid(0, 3), (LayoutRow{u"2,0"_s, u"2,1|3,1"_s, std::nullopt}));
        QCOMPARE(layout.at(1).value(0), std::optional(u"4,0"_s));
        QVERIFY(readFields().value().isEmpty());
    }

    void previewAndReload()
    {
        window->ActiveBar21_ToolClick(u"预览效果"_s);
        QCOMPARE(dialogs->informationTexts(), QStringList{u"无保存信息系统不能识别！"_s});
        QCOMPARE(grid().rows(), 2);

        preview->grid() = Grid(5, 2);
        preview->grid().setText(2, 0, u"a"_s);
        preview->grid().setText(2, 1, u"b"_s);
        preview->grid().setText(3, 1, u"c"_s);
        PAGRION_VERIFY_OK(saveLayout({{u"2,0"_s, u"2,1|3,1"_s}}));
        window->ActiveBar21_ToolClick(u"预览效果"_s);
        QCOMPARE(grid().text(1, 0), u"a"_s);
        QCOMPARE(grid().text(1, 1), u"bc"_s);
        QCOMPARE(grid().rows(), 3);
        QCOMPARE(grid().text(0, 0), u"第1列"_s);

        window->ActiveBar21_ToolClick(u"调入保存值"_s);
        QCOMPARE(grid().text(1, 0), u"2,0"_s);
        QCOMPARE(grid().text(1, 1), u"2,1|3,1"_s);
        QCOMPARE(grid().rows(), 3);
    }
};

QTEST_MAIN(TestFrmSetGrid)
#include "tst_frmsetgrid.moc"
