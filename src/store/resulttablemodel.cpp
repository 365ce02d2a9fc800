#include "store/resulttablemodel.h"

#include <algorithm>

#include <QTimer>

#include "store/columnnames.h"
#include "store/database.h"
#include "store/datalisttable.h"
#include "store/programfolder.h"
#include "store/server/pgconnection.h"
#include "store/server/serverreport.h"
#include "store/server/serverstore.h"
#include "store/serversetting.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

// One line per cell: a line break inside shows as an arrow.
QString oneLine(const QString &cell)
{
    QString line = cell.left(ResultTableModel::ShownLength);
    line.replace(u'\n', u" ↵ "_s);
    return line.size() < cell.size() ? line + u'…' : line;
}

} // namespace

ResultTableModel::ResultTableModel(QObject *parent) : QAbstractTableModel(parent)
{
}

ResultTableModel::~ResultTableModel() = default;

Status ResultTableModel::reload()
{
    beginResetModel();
    m_blocks.clear();
    m_recent.clear();
    m_failed = false;
    ++m_generation;
    m_records = 0;
    m_named.clear();
    m_run.reset();
    m_server.reset();
    int tableColumns = 1;
    const Result<QString> server = readResultServer();
    Status read = !server                   ? Status(Error{server.error()})
                  : server.value().isEmpty() ? measureLocal(tableColumns)
                                             : measureServer(server.value(), tableColumns);
    // Without a readable field list the columns are simply numbered; a
    // server's run names its own columns, as its export does.
    const Result<QList<Field>> fields = m_server ? Result<QList<Field>>(QList<Field>()) : readFields();
    m_fields = fields ? fields.value() : QList<Field>();
    m_columns = std::clamp(std::max(fieldListWidth(m_fields), int(m_named.size())), 1, tableColumns);
    m_header = datalistHeader(m_columns, m_fields, m_named);
    endResetModel();
    return read;
}

QString ResultTableModel::serverName() const
{
    return m_server ? m_server->connection().serverName() : QString();
}

Status ResultTableModel::measureLocal(int &tableColumns)
{
    Database db;
    if (Status opened = db.open(programFolder().resultDatabasePath()); !opened)
        return opened;
    const auto columns = readDatalistColumns(db);
    if (!columns)
        return Error{columns.error()};
    tableColumns = std::max<int>(1, int(columns.value().columns.size()));
    const auto found = db.selectAll(u"select count(*) from datalist"_s);
    if (!found)
        return Error{found.error()};
    m_records = found.value().constFirst().value(0).toInt();
    const auto named = readColumnNames(db);
    if (!named)
        return Error{named.error()};
    m_named = named.value();
    return success();
}

Status ResultTableModel::measureServer(const QString &uri, int &tableColumns)
{
    auto opened = ServerStore::open(uri);
    if (!opened)
        return Error{opened.error()};
    m_server = std::move(opened).value();
    const auto newest = newestServerRun(m_server->connection());
    if (!newest)
        return Error{newest.error()};
    m_run = newest.value();
    if (!m_run)
        return success();
    const auto measured = measureServerRecords(m_server->connection(), *m_run);
    if (!measured)
        return Error{measured.error()};
    m_records = measured.value().count;
    m_named = measured.value().columnNames;
    tableColumns = std::max({1, measured.value().width, int(m_named.size())});
    return success();
}

Result<QList<QStringList>> ResultTableModel::readBlock(int number) const
{
    if (m_server) {
        if (!m_run)
            return QList<QStringList>();
        return readServerRecords(m_server->connection(), *m_run, number * BlockRows, BlockRows);
    }
    Database db;
    if (Status opened = db.open(programFolder().resultDatabasePath()); !opened)
        return Error{opened.error()};
    const auto columns = readDatalistColumns(db);
    if (!columns)
        return Error{columns.error()};
    return readRecords(db, columns.value(), number * BlockRows, BlockRows);
}

int ResultTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_records;
}

int ResultTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_columns;
}

QVariant ResultTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    const QList<QStringList> &rows = block(index.row() / BlockRows);
    const int r = index.row() % BlockRows;
    if (r >= rows.size() || index.column() >= rows[r].size())
        return {};
    const QString &cell = rows[r][index.column()];
    if (role == Qt::DisplayRole)
        return oneLine(cell);
    // A tip only where the cell does not show all of its text.
    if (cell.size() <= ShownLength && !cell.contains(u'\n'))
        return {};
    return cell.size() > TipLength ? cell.left(TipLength) + u'…' : cell;
}

QVariant ResultTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section < m_header.size())
        return m_header[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags ResultTableModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

const QList<QStringList> &ResultTableModel::block(int number) const
{
    if (const auto found = m_blocks.constFind(number); found != m_blocks.cend()) {
        m_recent.removeOne(number);
        m_recent << number;
        return *found;
    }
    if (m_recent.size() >= KeptBlocks)
        m_blocks.remove(m_recent.takeFirst());
    QList<QStringList> rows;
    int widest = 0;
    const auto read = readBlock(number);
    if (read) {
        for (const QStringList &stored : read.value()) {
            QStringList cells;
            for (const QString &cell : stored)
                cells << presentedCell(cell);
            while (!cells.isEmpty() && cells.constLast().isEmpty())
                cells.removeLast();
            widest = std::max(widest, int(cells.size()));
            rows << cells;
        }
    }
    // The view is painting: what changes the model's shape waits until it is
    // done, and is dropped if the table is read anew before that.
    auto *self = const_cast<ResultTableModel *>(this);
    const int generation = m_generation;
    if (!read && !m_failed) {
        m_failed = true;
        QTimer::singleShot(0, self, [self, generation, error = read.error()] {
            if (generation == self->m_generation)
                Q_EMIT self->readFailed(error);
        });
    }
    if (widest > m_columns)
        QTimer::singleShot(0, self, [self, generation, widest] {
            if (generation == self->m_generation)
                self->widenTo(widest);
        });
    m_recent << number;
    return *m_blocks.insert(number, rows);
}

void ResultTableModel::widenTo(int columns)
{
    if (columns <= m_columns)
        return;
    beginInsertColumns({}, m_columns, columns - 1);
    m_columns = columns;
    m_header = datalistHeader(m_columns, m_fields, m_named);
    endInsertColumns();
}

} // namespace pagrion
