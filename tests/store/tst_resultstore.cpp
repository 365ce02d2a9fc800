#include <QSqlRecord>
#include <QTest>

#include <QFile>

#include "store/database.h"
#include "store/resultsession.h"
#include "store/resultstore.h"
#include "support/resultcheck.h"
#include "support/tempprogramfolder.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;

namespace {

using Rows = QList<QStringList>;

// A record grid: the header, the given rows, the blank last row.
Grid recordGrid(const Rows &rows, int cols)
{
    Grid grid(int(rows.size()) + 2, cols);
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < rows.at(r).size(); ++c)
            grid.setText(r + 1, c, rows.at(r).at(c));
    return grid;
}

// datalist's first columns after the key, row by row; NULL reads "<null>".
Rows storedRows(int cols)
{
    Database db;
    if (!db.open(programFolder().resultDatabasePath()))
        return {{u"<no database>"_s}};
    const auto rows = db.selectAll(u"select * from datalist order by id"_s);
    Rows texts;
    for (const QSqlRecord &row : rows.value()) {
        texts.append(QStringList());
        for (int c = 1; c <= cols; ++c)
            texts.last() << (row.value(c).isNull() ? u"<null>"_s : row.value(c).toString());
    }
    return texts;
}

} // namespace

class TestResultStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        folder = std::make_unique<TempProgramFolder>();
        QVERIFY2(folder->isValid(), qPrintable(folder->error()));
    }
    void cleanup() { folder.reset(); }

    void rowsAreTrimmedIntoTheColumnsAfterTheKey_data()
    {
        QTest::addColumn<bool>("skipEmptyFirstField");
        QTest::addColumn<Rows>("expected"); // 3 grid columns, then the first column the grid does not reach
        const QStringList first{u"a"_s, u"\r\nb"_s, u""_s, u"<null>"_s};
        const QStringList blankFirst{u""_s, u"c"_s, u""_s, u"<null>"_s};
        const QStringList lineBreakFirst{u"\r\n"_s, u""_s, u""_s, u"<null>"_s};
        QTest::newRow("all rows") << false << Rows{first, blankFirst, lineBreakFirst};
        QTest::newRow("blank first cells left out") << true << Rows{first, lineBreakFirst};
    }

    void rowsAreTrimmedIntoTheColumnsAfterTheKey()
    {
        QFETCH(bool, skipEmptyFirstField);
        QFETCH(Rows, expected);
        const Grid grid = recordGrid({{u"  a  "_s, u"\r\nb"_s}, {u"   "_s, u" c"_s}, {u"\r\n"_s}}, 3);
        const auto stored = appendRecords(grid, {skipEmptyFirstField});
        PAGRION_VERIFY_OK(stored);
        QCOMPARE(stored.value(), expected.size());
        QCOMPARE(storedRows(4), expected);
    }

    void failingRowKeepsTheRowsBeforeIt()
    {
        {
            Database db;
            PAGRION_VERIFY_OK(db.open(folder->folder().resultDatabasePath()));
            PAGRION_VERIFY_OK(db.run(u"create trigger refuse before insert on datalist when new.c1 = 'bad' "
                                     "begin select raise(abort, 'value refused'); end"_s));
        }
        const auto stored = appendRecords(recordGrid({{u"one"_s}, {u"bad"_s}, {u"three"_s}}, 1), {});
        QVERIFY(!stored.ok());
        QVERIFY2(stored.error().contains(u"value refused"_s), qPrintable(stored.error()));
        QCOMPARE(storedRows(1), Rows{{u"one"_s}});
    }

    void widerGridWidensTheTable()
    {
        Grid grid = recordGrid({{u"first"_s}}, 300);
        grid.setText(1, 299, u"last"_s);
        PAGRION_VERIFY_OK(appendRecords(grid, {}));
        const Rows rows = storedRows(300);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.at(0).first(), u"first"_s);
        QCOMPARE(rows.at(0).last(), u"last"_s);
    }

    void sessionStoresWholePagesOnly()
    {
        {
            Database db;
            PAGRION_VERIFY_OK(db.open(folder->folder().resultDatabasePath()));
            PAGRION_VERIFY_OK(db.run(u"create trigger refuse before insert on datalist when new.c1 = 'bad' "
                                     "begin select raise(abort, 'value refused'); end"_s));
        }
        ResultSession session;
        PAGRION_VERIFY_OK(session.storePage(recordGrid({{u"one"_s}}, 1), {}));
        const auto failed = session.storePage(recordGrid({{u"two"_s}, {u"bad"_s}, {u"three"_s}}, 1), {});
        QVERIFY(!failed.ok());
        QVERIFY2(failed.error().contains(u"value refused"_s), qPrintable(failed.error()));
        // The session goes on after a page it could not store.
        const auto next = session.storePage(recordGrid({{u"four"_s}, {u"five"_s}}, 1), {});
        PAGRION_VERIFY_OK(next);
        QCOMPARE(next.value(), 2);
        QCOMPARE(storedRows(1), (Rows{{u"one"_s}, {u"four"_s}, {u"five"_s}}));
    }

    // A page added to a run's list is written only with the next page's
    // mark: when that page's transaction fails, the next mark takes it along.
    void addedPagesGoWithTheNextPageMarked()
    {
        {
            Database db;
            PAGRION_VERIFY_OK(db.open(folder->folder().resultDatabasePath()));
            PAGRION_VERIFY_OK(db.run(u"create trigger refuse before insert on datalist when new.c1 = 'bad' "
                                     "begin select raise(abort, 'value refused'); end"_s));
        }
        const QString settings = u"chain"_s;
        const auto recorded = [&] {
            ResultSession reader;
            const auto run = reader.findUnfinishedRun(settings);
            const QStringList states{u"pending"_s, u"stored"_s, u"skipped"_s, u"failed"_s};
            const auto recordedPages = reader.continueRun(run.value()->id);
            QStringList pages;
            for (const RecordedPage &page : recordedPages.value())
                pages << page.address + u' ' + states.at(int(page.state));
            return pages;
        };
        ResultSession session;
        PAGRION_VERIFY_OK(session.beginRun(settings, {u"p1"_s}));
        session.addPage(1, u"p2"_s);
        QVERIFY(!session.storePage(recordGrid({{u"bad"_s}}, 1), {}, {.index = 0, .emptyReason = {}, .columnNames = {}}).ok());
        QCOMPARE(recorded(), QStringList{u"p1 pending"_s});

        PAGRION_VERIFY_OK(session.storePage(recordGrid({{u"good"_s}}, 1), {}, {.index = 0, .emptyReason = {}, .columnNames = {}}));
        QCOMPARE(recorded(), (QStringList{u"p1 stored"_s, u"p2 pending"_s}));
        session.addPage(2, u"p3"_s);
        PAGRION_VERIFY_OK(session.markPage(1, PageState::Skipped));
        QCOMPARE(recorded(), (QStringList{u"p1 stored"_s, u"p2 skipped"_s, u"p3 pending"_s}));
        const auto run = session.findUnfinishedRun(settings);
        QCOMPARE(run.value()->pages, 3);
        QCOMPARE(run.value()->done, 2);
    }

    void sessionSharesTheFileWithTheWindowsSaves()
    {
        ResultSession session;
        PAGRION_VERIFY_OK(session.storePage(recordGrid({{u"a"_s, u"b"_s}}, 2), {}));
        // A window saves a grid of its own, wider than the table, meanwhile.
        Grid wide = recordGrid({{u"w"_s}}, 400);
        wide.setText(1, 399, u"end"_s);
        PAGRION_VERIFY_OK(appendRecords(wide, {}));
        // Pages of another width after it: the session widens the table again
        // and compiles its insert for the new width.
        PAGRION_VERIFY_OK(session.storePage(recordGrid({{u"c"_s}}, 1), {}));
        Grid wider = recordGrid({{u"x"_s}}, 500);
        wider.setText(1, 499, u"last"_s);
        PAGRION_VERIFY_OK(session.storePage(wider, {.skipEmptyFirstField = true}));
        const Rows rows = storedRows(500);
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows.at(0).mid(0, 3), (QStringList{u"a"_s, u"b"_s, u"<null>"_s}));
        QCOMPARE(rows.at(1).at(399), u"end"_s);
        QCOMPARE(rows.at(2).mid(0, 2), (QStringList{u"c"_s, u"<null>"_s}));
        QCOMPARE(rows.at(3).at(499), u"last"_s);

        PAGRION_VERIFY_OK(session.clearRecords());
        QVERIFY(storedRows(1).isEmpty());
    }

    void sessionOpensOnceTheFileIsThere()
    {
        const QString file = folder->folder().resultDatabasePath();
        QVERIFY(QFile::rename(file, file + u".away"_s));
        ResultSession session;
        const auto missing = session.storePage(recordGrid({{u"lost"_s}}, 1), {});
        QVERIFY(!missing.ok());
        QVERIFY2(missing.error().contains(u"找不到数据库文件"_s), qPrintable(missing.error()));
        QVERIFY(!QFile::exists(file)); // never created in place of the user's file
        QVERIFY(QFile::rename(file + u".away"_s, file));
        PAGRION_VERIFY_OK(session.storePage(recordGrid({{u"kept"_s}}, 1), {}));
        QCOMPARE(storedRows(1), (Rows{{u"kept"_s}}));
    }

private:
    std::unique_ptr<TempProgramFolder> folder;
};

QTEST_GUILESS_MAIN(TestResultStore)
#include "tst_resultstore.moc"
