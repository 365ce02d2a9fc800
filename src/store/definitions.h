#pragma once

#include <optional>

#include <QList>
#include <QString>

#include "core/result.h"
#include "store/fieldlist.h"

// The stored layout (table DataFormat) and the stored field list (table
// FileName): the two definitions a page's grid becomes records by. Only one
// of them is in use at a time.
namespace pagrion {

// One stored layout row: column c is nullopt when the column is null.
using LayoutRow = QList<std::optional<QString>>;
using Layout = QList<LayoutRow>;

class Database;

// The stored layout, in stored order, from a connection of its own or from an
// open connection to the configuration database (the field list:
// store/fieldlist.h).
Result<Layout> readLayout();
Result<Layout> readLayout(Database &db);

// Saving one definition empties the other; both deletions and the inserts
// run as one transaction, so a failure leaves the old definitions in place.
// A layout wider than the table widens it first.
Status saveLayout(const Layout &layout);
Status saveFields(const QList<Field> &fields);
// The same on an open connection to the configuration database, within the
// caller's transaction when it holds one.
Status writeLayout(Database &db, const Layout &layout);
Status writeFields(Database &db, const QList<Field> &fields);

} // namespace pagrion
