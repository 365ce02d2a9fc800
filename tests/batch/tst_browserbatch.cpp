#include <QSqlRecord>
#include <QTest>

#include "engine/pageloader.h"
#include "batch/batchrun.h"
#include "core/progress.h"
#include "layout/layouts.h"
#include "engine/webenginebrowser.h"
#include "store/database.h"
#include "support/resultcheck.h"
#include "support/tempprogramfolder.h"
#include "support/testhttpserver.h"
#include "support/webenginetest.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;

namespace {

class QuietHost final : public BatchHost, private Progress
{
public:
    void message(const QString &text) override { messages << text; }
    void status(const QString &) override {}
    Progress &progress() override { return *this; }
    void runActive(bool) override {}
    void setBusy(bool) override {}
    bool stopRequested() override { return false; }
    void processEvents() override {}
    Result<int> headLength() override { return 10; }
    QStringList messages;

private:
    void start(int) override {}
    void setValue(int) override {}
    void finish() override {}
};

} // namespace

// A parameter run with the full browser: what the pages' scripts write is
// collected like any other table.
class TestBrowserBatch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void scriptWrittenTablesAreCollected()
    {
        TempProgramFolder folder;
        QVERIFY(folder.isValid());
        PAGRION_VERIFY_OK(saveLayout({{u"1,0"_s, u"1,1"_s}}));
        TestHttpServer server;
        for (int i = 1; i <= 3; ++i) {
            server.setPage(u"/item%1.html"_s.arg(i),
                           u"<html><body><script>document.write('<table><tr><td>物品%1</td><td>%2</td></tr>"
                           "</table>')</script></body></html>"_s.arg(i).arg(i * 10).toUtf8());
        }
        WebEngineBrowser browser;
        browser.setTimeLimitMs(10'000);
        PageLoader loader(browser);
        QuietHost host;
        Grid mainGrid, recordGrid;
        QStringList pages;
        BatchRun run(loader, host, mainGrid, recordGrid, pages);

        BatchSettings settings;
        settings.address = server.url(u"/item(*).html"_s);
        settings.from = u"1"_s;
        settings.to = u"4"_s; // the fourth page is missing: an error page, skipped
        settings.tableNames = u"TableName0"_s;
        settings.classValue = u"table"_s;
        const auto outcome = run.run(settings);

        QCOMPARE(outcome.end, BatchRun::End::Finished);
        QCOMPARE(outcome.stats.skipped, 1);
        QVERIFY(host.messages.isEmpty());
        Database db;
        PAGRION_VERIFY_OK(db.open(folder.folder().resultDatabasePath()));
        const auto rows = db.selectAll(u"select c1, c2 from datalist order by id"_s);
        PAGRION_VERIFY_OK(rows);
        QStringList stored;
        for (const QSqlRecord &row : rows.value())
            stored << row.value(0).toString() + u'=' + row.value(1).toString();
        QCOMPARE(stored, (QStringList{u"物品1=10"_s, u"物品2=20"_s, u"物品3=30"_s}));
    }
};

PAGRION_WEBENGINE_TEST_MAIN(TestBrowserBatch)
#include "tst_browserbatch.moc"
