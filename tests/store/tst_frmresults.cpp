#include <memory>

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTableView>
#include <QTest>

#include "store/database.h"
#include "store/frmresults.h"
#include "store/resulttablemodel.h"
#include "support/fakeplatform.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;

namespace {

bool exec(const QString &file, const QString &statement)
{
    Database db;
    return db.open(file) && db.run(statement).ok();
}

QString shown(const QAbstractItemModel *model, int row, int col, int role = Qt::DisplayRole)
{
    return model->data(model->index(row, col), role).toString();
}

} // namespace

class TestFrmResults : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<FakePlatform> platform;
    std::unique_ptr<QWidget> owner;

    QString results() const { return platform->folder.folder().resultDatabasePath(); }

private Q_SLOTS:
    void init()
    {
        platform = std::make_unique<FakePlatform>();
        QVERIFY2(platform->folder.isValid(), qPrintable(platform->folder.error()));
        owner = std::make_unique<QWidget>();
    }
    void cleanup()
    {
        owner.reset();
        platform.reset();
    }

    // 100,000 records open with only the rows in view read; the rest are read
    // as they are scrolled to, and a wider record widens the grid.
    void largeTableIsReadAsItIsScrolled()
    {
        QVERIFY(exec(results(), u"insert into datalist (c1, c2) "
                                u"with recursive n(i) as (select 1 union all select i + 1 from n where i < 100000) "
                                u"select char(13, 10) || '名称' || i, '000' || i from n"_s));
        QVERIFY(exec(results(), u"update datalist set c2 = '第一行' || char(13, 10) || '第二行', c5 = '宽' "
                                u"where id = 100000"_s));
        QElapsedTimer opening;
        opening.start();
        FrmResults *window = FrmResults::showFor(owner.get());
        QVERIFY(QTest::qWaitForWindowExposed(window));
        qInfo("100,000 records shown in %lld ms", opening.elapsed());

        const QAbstractItemModel *model = window->MSFlexGrid1->model();
        QCOMPARE(window->Label1->text(), u"共 100000 条记录"_s);
        QCOMPARE(model->rowCount(), 100000);
        QCOMPARE(model->columnCount(), 2);
        QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), u"第2列"_s);
        QCOMPARE(shown(model, 0, 0), u"名称1"_s);
        QCOMPARE(shown(model, 0, 1), u"0001"_s);

        // Rows not yet in view were never read: records deleted now are
        // missing from them, while the rows read at opening still show.
        QVERIFY(exec(results(), u"delete from datalist where id between 50000 and 50999"_s));
        window->MSFlexGrid1->scrollTo(model->index(98999, 0));
        QTRY_COMPARE(model->columnCount(), 5);
        QCOMPARE(model->headerData(4, Qt::Horizontal).toString(), u"第5列"_s);
        QCOMPARE(shown(model, 98999, 0), u"名称100000"_s);
        QCOMPARE(shown(model, 98999, 1), u"第一行 ↵ 第二行"_s);
        QCOMPARE(shown(model, 98999, 1, Qt::ToolTipRole), u"第一行\n第二行"_s);
        QCOMPARE(shown(model, 99999, 0), QString());
        QCOMPARE(shown(model, 0, 0), u"名称1"_s);

        // Reading afresh counts again.
        window->command2_Click();
        QCOMPARE(window->Label1->text(), u"共 99000 条记录"_s);
    }

    void oneWindowThatHandsTheFileToTheShell()
    {
        FrmResults *first = FrmResults::showFor(owner.get());
        QCOMPARE(first->windowTitle(), u"采集结果"_s);
        QCOMPARE(first->Label1->text(), u"共 0 条记录"_s);
        QCOMPARE(first->MSFlexGrid1->model()->headerData(0, Qt::Horizontal).toString(), u"第1列"_s);
        QVERIFY(exec(results(), u"insert into datalist (c1) values ('甲')"_s));
        QCOMPARE(FrmResults::showFor(owner.get()), first);
        QCOMPARE(first->Label1->text(), u"共 1 条记录"_s);

        first->command1_Click();
        QCOMPARE(platform->shell.opened, QStringList{results()});
        QVERIFY(platform->dialogs.calls.isEmpty());
    }

    void fieldNamesAndAMissingDatabase()
    {
        QVERIFY(exec(platform->folder.folder().configDatabasePath(),
                     u"insert into FileName (id, filedname) values (1, '名称'), (3, '价格')"_s));
        FrmResults *window = FrmResults::showFor(owner.get());
        const QAbstractItemModel *model = window->MSFlexGrid1->model();
        QCOMPARE(model->columnCount(), 3);
        QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), u"名称"_s);
        QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), u"第2列"_s);

        QVERIFY(QFile::remove(results()));
        window->command2_Click();
        QCOMPARE(window->Label1->text(), u"共 0 条记录"_s);
        QCOMPARE(platform->dialogs.calls.size(), 1);
        QCOMPARE(platform->dialogs.calls.at(0).title, u"采集结果"_s);
        QVERIFY(platform->dialogs.calls.at(0).text.contains(u"data.mdb"_s));
    }
};

QTEST_MAIN(TestFrmResults)
#include "tst_frmresults.moc"
