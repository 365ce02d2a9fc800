#pragma once

#include <functional>

#include <QList>
#include <QString>
#include <QStringList>

#include "core/result.h"
#include "store/fieldlist.h"

// Reading datalist for people: the export files and the result window.
namespace pagrion {

class Database;

// The data columns of datalist that are shown, in position order, and the
// key column that orders the records.
struct DatalistColumns
{
    QString key;
    QStringList columns;
};

// All data columns of datalist.
Result<DatalistColumns> readDatalistColumns(Database &db);

// How many records datalist holds and how many leading data columns hold
// text in any of them, in one pass over the table.
struct DatalistUse
{
    int records = 0;
    int usedColumns = 0;
};
Result<DatalistUse> measureDatalist(Database &db, const DatalistColumns &columns);

// The captions of the first count data columns: the column's own name where
// a run gave it one (store/columnnames.h), else, while a field list is
// stored (it is then the record definition in use), the name of the field
// at its position, else "第1列", "第2列", ….
QStringList datalistHeader(int count, const QList<Field> &fields, const QStringList &named = {});
// How many columns the field list reaches: its highest position.
int fieldListWidth(const QList<Field> &fields);

// Hands every record to take, in key order, reading one row at a time; the
// first columns.columns.size() data columns, null read as empty.
Status forEachRecord(Database &db, const DatalistColumns &columns,
                     const std::function<Status(const QStringList &)> &take);

// Up to count records from the record at position first (counted from 0 in
// key order).
Result<QList<QStringList>> readRecords(Database &db, const DatalistColumns &columns, int first, int count);

// A stored value as an export or the result window shows it: the control
// characters no file format carries are dropped (tab and line breaks stay),
// the line breaks at its start and end are dropped (every record's first
// value begins with one, from the row text), and each line break inside is
// a single LF.
QString presentedCell(const QString &stored);

} // namespace pagrion
