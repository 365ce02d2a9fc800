#include "store/datalisttable.h"

#include <algorithm>

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include "core/textrules.h"
#include "store/database.h"
#include "store/positionaltable.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

bool refusedCharacter(QChar c)
{
    const char16_t code = c.unicode();
    return code < 0x20 && code != u'\t' && code != u'\n' && code != u'\r';
}

bool isLineBreak(QChar c)
{
    return c == u'\n' || c == u'\r';
}

QString selectedColumns(const DatalistColumns &columns)
{
    QStringList names;
    for (const QString &column : columns.columns)
        names << quotedName(column);
    return names.join(u',');
}

QStringList cellsOf(const QSqlQuery &query, int count)
{
    QStringList cells;
    cells.reserve(count);
    for (int c = 0; c < count; ++c)
        cells << query.value(c).toString();
    return cells;
}

// The position a field stands at, when it names one.
std::optional<qint32> fieldPosition(const Field &field)
{
    return roundToInt32(readNumber(field.id));
}

} // namespace

Result<DatalistColumns> readDatalistColumns(Database &db)
{
    const auto columns = tableColumns(db, tableName(PositionalTable::Datalist));
    if (!columns)
        return Error{columns.error()};
    return DatalistColumns{columns.value().constFirst(), columns.value().mid(1)};
}

Result<DatalistUse> measureDatalist(Database &db, const DatalistColumns &columns)
{
    QStringList measures{u"count(*)"_s};
    for (const QString &column : columns.columns)
        measures << u"max(%1 <> '')"_s.arg(quotedName(column));
    const auto found = db.selectAll(u"select %1 from datalist"_s.arg(measures.join(u',')));
    if (!found)
        return Error{found.error()};
    const QSqlRecord &record = found.value().constFirst();
    DatalistUse use;
    use.records = record.value(0).toInt();
    for (int c = 0; c < columns.columns.size(); ++c) {
        if (record.value(c + 1).toInt() == 1)
            use.usedColumns = c + 1;
    }
    return use;
}

QStringList datalistHeader(int count, const QList<Field> &fields, const QStringList &named)
{
    QStringList header;
    for (int c = 1; c <= count; ++c)
        header << u"第%1列"_s.arg(c);
    // The first field at a position names it, as the field editor lists them.
    QList<bool> taken(count + 1, false);
    for (const Field &field : fields) {
        const std::optional<qint32> position = fieldPosition(field);
        const QString name = field.filedname.trimmed();
        if (!position || *position < 1 || *position > count || taken[*position] || name.isEmpty())
            continue;
        header[*position - 1] = name;
        taken[*position] = true;
    }
    for (qsizetype c = 0; c < std::min<qsizetype>(named.size(), count); ++c) {
        if (!named[c].isEmpty())
            header[c] = named[c];
    }
    return header;
}

int fieldListWidth(const QList<Field> &fields)
{
    int width = 0;
    for (const Field &field : fields) {
        const std::optional<qint32> position = fieldPosition(field);
        if (position && !field.filedname.trimmed().isEmpty())
            width = std::max(width, *position);
    }
    return width;
}

Status forEachRecord(Database &db, const DatalistColumns &columns,
                     const std::function<Status(const QStringList &)> &take)
{
    auto selected = db.run(
        u"select %1 from datalist order by %2"_s.arg(selectedColumns(columns), quotedName(columns.key)));
    if (!selected)
        return Error{selected.error()};
    QSqlQuery query = std::move(selected).value();
    const int count = int(columns.columns.size());
    while (query.next()) {
        if (Status taken = take(cellsOf(query, count)); !taken)
            return taken;
    }
    if (query.lastError().isValid())
        return Error{query.lastError().text()};
    return success();
}

Result<QList<QStringList>> readRecords(Database &db, const DatalistColumns &columns, int first, int count)
{
    auto selected = db.run(u"select %1 from datalist order by %2 limit ? offset ?"_s.arg(
                               selectedColumns(columns), quotedName(columns.key)),
                           {count, first});
    if (!selected)
        return Error{selected.error()};
    QSqlQuery query = std::move(selected).value();
    QList<QStringList> records;
    while (query.next())
        records << cellsOf(query, int(columns.columns.size()));
    if (query.lastError().isValid())
        return Error{query.lastError().text()};
    return records;
}

QString presentedCell(const QString &stored)
{
    qsizetype begin = 0;
    qsizetype end = stored.size();
    while (begin < end && isLineBreak(stored[begin]))
        ++begin;
    while (end > begin && isLineBreak(stored[end - 1]))
        --end;
    const QStringView text = QStringView(stored).sliced(begin, end - begin);
    if (std::none_of(text.cbegin(), text.cend(), [](QChar c) { return c < u' '; }))
        return text.toString();
    QString cell;
    cell.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r') {
            cell += u'\n';
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
        } else if (!refusedCharacter(c)) {
            cell += c;
        }
    }
    return cell;
}

} // namespace pagrion
