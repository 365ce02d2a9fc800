#pragma once

#include <functional>

#include <QCoreApplication>
#include <QSqlRecord>
#include <QTimer>

#include "batch/batchrun.h"
#include "core/progress.h"
#include "engine/pagewaiter.h"
#include "store/database.h"
#include "support/tempprogramfolder.h"

namespace pagrion::test {

class NoProgress final : public Progress
{
public:
    void start(int maximum) override { this->maximum = maximum; }
    void setValue(int value) override { this->value = value; }
    void finish() override {}
    int maximum = 0;
    int value = 0;
};

// Records what a run tells; stops the run when asked to at a given page.
class RecordingHost final : public BatchHost
{
public:
    explicit RecordingHost(PageWaiter &waiter) : m_waiter(waiter) {}

    void message(const QString &text) override { messages << text; }
    void status(const QString &text) override { statuses << text; }
    Progress &progress() override { return m_progress; }
    void runActive(bool active) override { activity << active; }
    void setBusy(bool busy) override { this->busy = busy; }
    bool stopRequested() override { return stopped; }
    void processEvents() override { QCoreApplication::processEvents(); }
    Result<int> headLength() override { return head; }
    void pageStarted(int index, const QString &address) override
    {
        started << address;
        if (index == stopAtPage) {
            // The user presses stop while this page is still loading.
            QTimer::singleShot(50, &m_waiter, [this] {
                stopped = true;
                m_waiter.interrupt();
            });
        }
    }
    // Runs between a page's records being made and their storing.
    void pageExtracted(const QString &rowText) override
    {
        if (whileStoring && !rowText.isEmpty())
            whileStoring(rowText);
    }
    void pageFailed(int index, const QString &, const QString &reason) override
    {
        failures << QString::number(index) + u' ' + reason;
    }

    QStringList messages, statuses, started, failures;
    QList<bool> activity;
    bool busy = false;
    bool stopped = false;
    int stopAtPage = -1;
    int head = 10;
    std::function<void(const QString &rowText)> whileStoring;

private:
    PageWaiter &m_waiter;
    NoProgress m_progress;
};

// A parameter run over address's "(*)" from..to, taking the first table of
// each page, with retries that back off briefly.
inline BatchSettings tableRun(const QString &address, int from, int to)
{
    BatchSettings settings;
    settings.address = address;
    settings.from = QString::number(from);
    settings.to = QString::number(to);
    settings.tableNames = QStringLiteral("TableName0");
    settings.classValue = QStringLiteral("table");
    settings.policy.firstBackoffMs = 20;
    return settings;
}

// A page whose table's second row is one record: a name and a price.
inline QByteArray tablePage(const QString &name, const QString &price)
{
    return (QStringLiteral("<html><body><table><tr><td>名称</td><td>价格</td></tr><tr><td>") + name
            + QStringLiteral("</td><td>") + price + QStringLiteral("</td></tr></table></body></html>"))
        .toUtf8();
}

// The first columns of the stored records, in the order stored.
inline QList<QStringList> storedRecords(const TempProgramFolder &folder, int columns)
{
    Database db;
    if (!db.open(folder.folder().resultDatabasePath()))
        return {};
    const auto rows = db.selectAll(QStringLiteral("select * from datalist order by id"));
    QList<QStringList> records;
    for (const QSqlRecord &row : rows.value()) {
        QStringList values;
        for (int c = 1; c <= columns; ++c)
            values << row.value(c).toString();
        records << values;
    }
    return records;
}

} // namespace pagrion::test
