#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QKeyEvent>
#include "platform/rowtextedit.h"
#include <QPushButton>
#include <QTest>

#include "app/frmmain.h"
#include "layout/columnfitting.h"
#include "layout/frmpreview.h"
#include "layout/layouts.h"
#include "layout/recordedcell.h"
#include "platform/gridview.h"
#include "store/database.h"
#include "store/namedsetting.h"
#include "support/fakes.h"
#include "support/resultcheck.h"
#include "support/tempprogramfolder.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;

namespace {

void fill(GridView *view, const QList<QStringList> &rows, int cols)
{
    view->grid().setRows(int(rows.size()));
    view->grid().setCols(cols);
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < rows.at(r).size(); ++c)
            view->grid().setText(r, c, rows.at(r).at(c));
    view->gridChanged();
}

} // namespace

class TestFrmPreview : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TempProgramFolder> folder;
    std::unique_ptr<FakeDialogs> dialogs;
    std::unique_ptr<FakeConnectionCheck> connection;
    std::unique_ptr<FakeBrowser> browser;
    std::unique_ptr<FrmMain> window;
    FrmPreview *preview = nullptr;

private Q_SLOTS:
    void init()
    {
        folder = std::make_unique<TempProgramFolder>();
        QVERIFY2(folder->isValid(), qPrintable(folder->error()));
        dialogs = std::make_unique<FakeDialogs>();
        connection = std::make_unique<FakeConnectionCheck>(true);
        browser = std::make_unique<FakeBrowser>();
        window = std::make_unique<FrmMain>(*browser);
        preview = &window->preview();
        fill(preview->MSFlexGrid1, {{u"第1列"_s, u"第2列"_s}, {u"\r\na"_s, u"b"_s}, {u"   "_s, u"c"_s},
                                    {u"\r\n"_s, u"d"_s}, {u"\r\ne"_s, u"f"_s}, {}}, 2);
    }
    void cleanup()
    {
        window.reset();
        browser.reset();
        connection.reset();
        dialogs.reset();
        folder.reset();
    }

    void doubleClickRecordsTheCell()
    {
        preview->show();
        QVERIFY(QTest::qWaitForWindowExposed(preview));
        GridView *grid = preview->MSFlexGrid1;
        for (const auto &[row, col] : {std::pair{4, 1}, std::pair{2, 0}}) {
            const QPoint centre = grid->visualRect(grid->model()->index(row, col)).center();
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, centre);
            QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, centre);
            QCOMPARE(recordedCell(), cellReference(row, col));
        }
        preview->command2->click();
        QVERIFY(!preview->isVisible());
        QCOMPARE(recordedCell(), u"2,0"_s);
    }

    void ctrlKeysCopyTheCurrentCell_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<bool>("copies");
        const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
        QTest::newRow("Ctrl+C") << int(Qt::Key_C) << ctrl << true;
        QTest::newRow("Ctrl+V") << int(Qt::Key_V) << ctrl << true;
        QTest::newRow("Ctrl alone") << int(Qt::Key_Control) << Qt::KeyboardModifiers() << true;
        QTest::newRow("Ctrl+A") << int(Qt::Key_A) << ctrl << true;
        QTest::newRow("Ctrl+1") << int(Qt::Key_1) << ctrl << true;
        QTest::newRow("Ctrl+0") << int(Qt::Key_0) << ctrl << false;
        QTest::newRow("Ctrl+4") << int(Qt::Key_4) << ctrl << false;
        QTest::newRow("Ctrl+8") << int(Qt::Key_8) << ctrl << false;
        QTest::newRow("C without Ctrl") << int(Qt::Key_C) << Qt::KeyboardModifiers() << false;
    }

    void ctrlKeysCopyTheCurrentCell()
    {
        QFETCH(int, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(bool, copies);
        preview->show();
        QApplication::setActiveWindow(preview);
        GridView *grid = preview->MSFlexGrid1;
        grid->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), grid);
        grid->setCurrentCell(4, 0);
        QGuiApplication::clipboard()->setText(u"before"_s);
        // The key's own key-down only: a real Ctrl+0 also presses Ctrl, which copies by itself.
        QKeyEvent press(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(grid, &press);
        // The cell's own text, its leading line break included.
        QCOMPARE(QGuiApplication::clipboard()->text(), copies ? u"\r\ne"_s : u"before"_s);
    }

    void saveEmptiesThenStoresWithTheMainWindowsCheckBoxes()
    {
        Database db;
        PAGRION_VERIFY_OK(db.open(folder->folder().resultDatabasePath()));
        PAGRION_VERIFY_OK(db.run(u"insert into datalist (c1) values ('old')"_s));
        window->Check2->setChecked(true);
        window->Check3->setChecked(true);
        preview->command1->click();
        // The row of spaces is left out; the one of a line break is not.
        QCOMPARE(db.selectAll(u"select c1 from datalist where c1 <> 'old'"_s).value().size(), 3);
        QCOMPARE(db.selectAll(u"select c1 from datalist"_s).value().size(), 3);
        QCOMPARE(dialogs->calls.size(), 1);
        QCOMPARE(dialogs->calls.at(0).title, u"表格预览"_s);
        QCOMPARE(dialogs->calls.at(0).text, u"数据保存成功！"_s);
    }

    void columnsShareTheWidthOnResize()
    {
        fill(preview->MSFlexGrid1, {{}, {}}, 4);
        preview->MSFlexGrid1->resize(300, 200); // 4500 twips
        preview->AutoSet();
        for (int c = 0; c < 4; ++c)
            QCOMPARE(preview->MSFlexGrid1->colWidth(c), 999);
    }

    void previewCommandFitsColumnsToTheWidestLine()
    {
        window->Text2->setText(u"short|x<rows>\r\nlonger words here\r\nmid|<rows>\r\n"_s);
        window->command5_Click();
        QVERIFY(preview->isVisible());
        GridView *grid = preview->MSFlexGrid1;
        const QFontMetrics metrics(preview->font());
        QCOMPARE(grid->colWidth(0), metrics.horizontalAdvance(u"longer words here"_s) * TwipsPerPixel + 300);
        QCOMPARE(grid->colWidth(1), metrics.horizontalAdvance(u"第2列"_s) * TwipsPerPixel + 300);
        QCOMPARE(grid->font().pointSize(), 10);
        QVERIFY(dialogs->calls.isEmpty());
    }

    void fittingATooLargeGridTellsTheUser()
    {
        fill(preview->MSFlexGrid1, {{}}, 1);
        preview->MSFlexGrid1->grid().setRows(32769);
        preview->MSFlexGrid1->gridChanged();
        fitColumns(*preview->MSFlexGrid1, *preview);
        QCOMPARE(dialogs->informationTexts(), QStringList{u"由于您没有安装打印机系统无法自动调整宽度！"_s});
        QCOMPARE(dialogs->calls.at(0).title, u"提示"_s);
    }

    void mainWindowRecordProcedures()
    {
        window->MSFlexGrid1 = Grid(3, 1);
        window->MSFlexGrid1.setText(1, 0, u"AB: x"_s);
        window->MSFlexGrid1.setText(2, 0, u"\r\nCD: y"_s);
        window->MSFlexGrid2 = Grid(2, 2);
        QVERIFY(!window->GetDataInfor());
        QVERIFY(!window->GetDataInforForFiled());
        PAGRION_VERIFY_OK(saveLayout({{u"2,0|"_s}}));
        QVERIFY(!window->GetDataInfor());
        const QStringList texts = dialogs->informationTexts();
        QCOMPARE(texts.size(), 3);
        QCOMPARE(texts.mid(0, 2), (QStringList{u"无排版信息系统不能识别！"_s, u"无字段信息系统不能识别！"_s}));
        QCOMPARE(dialogs->calls.at(2).title, u"Pagrion"_s);

        // 3.5 rounds to 4, enough for the line break and "CD".
        PAGRION_VERIFY_OK(savePubLenfiled(u" 3.5"_s));
        PAGRION_VERIFY_OK(saveFields({{u"1"_s, u"AB"_s}, {u"2"_s, u"CD"_s}}));
        QVERIFY(window->GetDataInforForFiled());
        QCOMPARE(window->MSFlexGrid2.text(1, 1), u"\r\nCD: y"_s);
    }
};

QTEST_MAIN(TestFrmPreview)
#include "tst_frmpreview.moc"
