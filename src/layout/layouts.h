#pragma once

#include <optional>

#include <QList>
#include <QString>

#include "core/grid.h"
#include "core/result.h"
#include "core/workbudget.h"
#include "store/definitions.h"

// Layouts and field lists: the two ways a page's extracted grid becomes
// records. A layout row names, per record column, the source cells whose
// texts are joined; a field list gives each field the row whose head holds
// the field's name.
namespace pagrion {

// A layout with its cell references read once, to be applied to page after
// page without reading them again.
struct LayoutPlan
{
    struct Reference
    {
        qint16 row;
        qint16 col;
    };
    struct Cell
    {
        int col;
        QList<Reference> references;       // in order, up to a piece that cannot be read
        std::optional<QString> unreadable; // what is wrong with that piece
    };
    QList<QList<Cell>> rows; // one per layout row, its cells that name anything
};
LayoutPlan planLayout(const Layout &layout);

// Writes layout row k into target row k + 1. Stops at the first bad cell
// (a piece without a comma, an empty piece, a reference outside the source
// grid or a part outside the 16-bit range) with an error that says which;
// what was written before stays.
Status applyLayout(const LayoutPlan &plan, const Grid &source, Grid &target);
Status applyLayout(const Layout &layout, const Grid &source, Grid &target);

// Writes one record into row 1 of the record grid, which gets one column per
// field plus one. Fails on a field position outside the record grid or a
// negative head length. A budget ends the work on a long grid with WorkEnded.
Status applyFields(const QList<Field> &fields, int headLength, const Grid &source, Grid &record,
                   const WorkBudget *budget = nullptr);

} // namespace pagrion
