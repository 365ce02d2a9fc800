#pragma once

#include <memory>
#include <optional>

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QStringList>

#include "core/result.h"
#include "store/fieldlist.h"

namespace pagrion {

class ServerStore;

// datalist as a read-only table for a view, or, when a result server is
// set, the records of the newest run on it in page-list order. Reloading reads only the record
// count; records are read in blocks when the view first asks for one of
// their cells, so a table of any size opens at once and memory holds only
// the blocks last looked at. The columns run up to the last one holding
// text in the records read so far (or the field list's width), so they can
// grow while the user scrolls.
class ResultTableModel final : public QAbstractTableModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ResultTableModel)

public:
    static constexpr int BlockRows = 256;
    static constexpr int KeptBlocks = 64;
    // Longer texts are cut in the cells and in their tool tips.
    static constexpr int ShownLength = 500;
    static constexpr int TipLength = 2000;

    explicit ResultTableModel(QObject *parent = nullptr);
    ~ResultTableModel() override;

    // Reads the record count and the field list afresh and forgets the
    // records read before; a result server set meanwhile is connected to.
    Status reload();
    int records() const { return m_records; }
    // The result server read from (user@host:port/database), empty for the
    // result database; and the run shown, if it has one.
    QString serverName() const;
    std::optional<qint64> serverRun() const { return m_run; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

Q_SIGNALS:
    // Reading a block failed; its rows show empty.
    void readFailed(const QString &error);

private:
    // The record count, the widest record and the columns' own names.
    Status measureLocal(int &tableColumns);
    Status measureServer(const QString &uri, int &tableColumns);
    Result<QList<QStringList>> readBlock(int number) const;
    const QList<QStringList> &block(int number) const;
    void widenTo(int columns);

    int m_records = 0;
    int m_columns = 1;
    QList<Field> m_fields;
    QStringList m_named; // the columns' own names, from the result database
    QStringList m_header;
    mutable QHash<int, QList<QStringList>> m_blocks; // cells as presented
    mutable QList<int> m_recent;                     // block numbers, most recent last
    mutable bool m_failed = false;                   // reported once per reload
    int m_generation = 0;                            // counts the reloads
    std::unique_ptr<ServerStore> m_server;           // while a result server is set
    std::optional<qint64> m_run;                     // the server's run shown
};

} // namespace pagrion
