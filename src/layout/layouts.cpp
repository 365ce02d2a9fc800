#include "layout/layouts.h"

#include <algorithm>

#include <QSqlRecord>
#include <QStringList>
#include <QVariantList>

#include "core/textrules.h"
#include "store/database.h"
#include "store/positionaltable.h"
#include "store/programfolder.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

Status runStatement(Database &db, const QString &statement, const QVariantList &values = {})
{
    auto ran = db.run(statement, values);
    return ran ? success() : Status(Error{ran.error()});
}

Status deleteDefinitions(Database &db)
{
    if (Status done = runStatement(db, u"delete from DataFormat"_s); !done)
        return done;
    return runStatement(db, u"delete from FileName"_s);
}

// The layout editor shows layout row k as grid row k + 1 and column c as
// "第c+1列"; errors name the cell the way the user sees it.
QString layoutCellName(int k, int c)
{
    return u"排版第%1行第%2列"_s.arg(k + 1).arg(c + 1);
}

// The references of one layout cell, read up to the first piece that
// cannot be read.
LayoutPlan::Cell planCell(const QString &layoutCell, int k, int c)
{
    LayoutPlan::Cell cell{c, {}, std::nullopt};
    for (const QString &piece : layoutCell.split(u'|')) {
        if (piece.isEmpty()) {
            cell.unreadable = u"%1的“%2”中有空的单元格坐标，无法识别。"_s.arg(layoutCellName(k, c), layoutCell);
            break;
        }
        const QStringList parts = piece.split(u',');
        if (parts.size() < 2) {
            cell.unreadable = u"%1的单元格坐标“%2”缺少逗号，无法识别。"_s.arg(layoutCellName(k, c), piece);
            break;
        }
        const std::optional<qint16> row = roundToInt16(readNumber(parts.at(0)));
        const std::optional<qint16> col = roundToInt16(readNumber(parts.at(1)));
        if (!row || !col) {
            cell.unreadable = u"%1的单元格坐标“%2”超出范围。"_s.arg(layoutCellName(k, c), piece);
            break;
        }
        cell.references.append({*row, *col});
    }
    return cell;
}

// The texts of the cells a layout cell names, joined without separator.
Result<QString> joinedValue(const LayoutPlan::Cell &cell, const Grid &source, int k)
{
    QString value;
    for (const LayoutPlan::Reference &reference : cell.references) {
        if (!source.contains(reference.row, reference.col))
            return Error{u"%1引用的单元格 %2,%3 不在表格内（表格共 %4 行 %5 列）。"_s
                             .arg(layoutCellName(k, cell.col))
                             .arg(reference.row)
                             .arg(reference.col)
                             .arg(source.rows())
                             .arg(source.cols())};
        value += source.text(reference.row, reference.col);
    }
    if (cell.unreadable)
        return Error{*cell.unreadable};
    return value;
}

void keepBlankLastRow(Grid &grid)
{
    if (!GetGridLastRowNull(grid))
        grid.setRows(grid.rows() + 1);
}

} // namespace

Result<Layout> readLayout()
{
    Database db;
    if (Status opened = db.open(programFolder().configDatabasePath()); !opened)
        return Error{opened.error()};
    return readLayout(db);
}

Result<Layout> readLayout(Database &db)
{
    auto records = db.selectAll(u"select * from DataFormat order by rowid"_s);
    if (!records)
        return Error{records.error()};
    Layout layout;
    for (const QSqlRecord &record : records.value()) {
        LayoutRow row;
        for (int c = 0; c < record.count(); ++c) {
            const QVariant value = record.value(c);
            row.append(value.isNull() ? std::nullopt : std::optional<QString>(value.toString()));
        }
        layout.append(row);
    }
    return layout;
}

Status saveLayout(const Layout &layout)
{
    Database db;
    if (Status opened = db.open(programFolder().configDatabasePath()); !opened)
        return opened;
    qsizetype width = 0;
    for (const LayoutRow &row : layout)
        width = std::max(width, row.size());
    if (Status widened = ensureDataColumns(db, PositionalTable::DataFormat, int(width)); !widened)
        return widened;
    const auto columns = dataColumns(db, PositionalTable::DataFormat);
    if (!columns)
        return Error{columns.error()};

    return db.inTransaction([&]() -> Status {
        if (Status deleted = deleteDefinitions(db); !deleted)
            return deleted;
        for (const LayoutRow &row : layout) {
            if (row.isEmpty()) {
                if (Status done = runStatement(db, u"insert into DataFormat default values"_s); !done)
                    return done;
                continue;
            }
            QStringList names;
            QStringList marks;
            QVariantList values;
            for (qsizetype c = 0; c < row.size(); ++c) {
                names << quotedName(columns.value().at(c));
                marks << u"?"_s;
                values << (row.at(c) ? QVariant(*row.at(c)) : QVariant());
            }
            const QString insert = u"insert into DataFormat (%1) values (%2)"_s.arg(names.join(u','), marks.join(u','));
            if (Status done = runStatement(db, insert, values); !done)
                return done;
        }
        return success();
    });
}

Status saveFields(const QList<Field> &fields)
{
    Database db;
    if (Status opened = db.open(programFolder().configDatabasePath()); !opened)
        return opened;
    return db.inTransaction([&]() -> Status {
        if (Status deleted = deleteDefinitions(db); !deleted)
            return deleted;
        for (const Field &field : fields) {
            if (Status done = runStatement(db, u"insert into FileName (id, filedname) values (?, ?)"_s,
                                           {field.id, field.filedname});
                !done)
                return done;
        }
        return success();
    });
}

LayoutPlan planLayout(const Layout &layout)
{
    LayoutPlan plan;
    plan.rows.reserve(layout.size());
    for (int k = 0; k < layout.size(); ++k) {
        QList<LayoutPlan::Cell> cells;
        const LayoutRow &row = layout.at(k);
        for (int c = 0; c < row.size(); ++c) {
            if (!row.at(c))
                continue;
            const QString layoutCell = trimSpaces(*row.at(c));
            if (!layoutCell.isEmpty())
                cells.append(planCell(layoutCell, k, c));
        }
        plan.rows.append(cells);
    }
    return plan;
}

Status applyLayout(const LayoutPlan &plan, const Grid &source, Grid &target)
{
    for (int k = 0; k < plan.rows.size(); ++k) {
        for (const LayoutPlan::Cell &cell : plan.rows.at(k)) {
            if (target.cols() < cell.col + 1)
                target.setCols(cell.col + 1);
            auto value = joinedValue(cell, source, k);
            if (!value)
                return Error{value.error()};
            // A layout row whose values were all empty added no row, so this
            // one's row may be missing; an empty value needs no row of its own.
            if (target.rows() < k + 2) {
                if (value.value().isEmpty())
                    continue;
                target.setRows(k + 2);
            }
            target.setText(k + 1, cell.col, std::move(value).value());
        }
        keepBlankLastRow(target);
    }
    return success();
}

Status applyLayout(const Layout &layout, const Grid &source, Grid &target)
{
    return applyLayout(planLayout(layout), source, target);
}

Status applyFields(const QList<Field> &fields, int headLength, const Grid &source, Grid &record)
{
    record.setCols(int(fields.size()) + 1);
    if (record.rows() < 2)
        record.setRows(2);
    for (int i = 1; i < source.rows(); ++i) {
        if (headLength < 0)
            return Error{u"字段截取长度为 %1，不能小于 0。"_s.arg(headLength)};
        const QString text = source.cols() > 0 ? trimSpaces(source.text(i, 0)) : QString();
        const QString head = text.left(headLength);
        // An empty head holds no name, not even an empty one.
        if (head.isEmpty())
            continue;
        for (const Field &field : fields) {
            if (!head.contains(trimSpaces(field.filedname)))
                continue;
            const std::optional<qint32> col = roundToInt32(readNumber(field.id) - 1);
            if (!col || *col < 0 || *col >= record.cols())
                return Error{u"字段“%1”的编码“%2”超出记录的字段范围（1 至 %3）。"_s.arg(
                    field.filedname, field.id, QString::number(record.cols()))};
            record.setText(1, *col, text);
        }
    }
    keepBlankLastRow(record);
    return success();
}

} // namespace pagrion
