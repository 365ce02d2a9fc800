#pragma once

#include <QList>
#include <QString>

#include "core/result.h"

namespace pagrion {

// One entry of the field list (table FileName).
struct Field
{
    QString id;        // the field's position from 1, as stored (read leniently)
    QString filedname; // searched for in the head of each source row

    bool operator==(const Field &) const = default;
};

class Database;

// The stored field list, in stored order, from a connection of its own or
// from an open connection to the configuration database.
Result<QList<Field>> readFields();
Result<QList<Field>> readFields(Database &db);

} // namespace pagrion
