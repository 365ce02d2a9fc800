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

// The stored field list, in stored order.
Result<QList<Field>> readFields();

} // namespace pagrion
