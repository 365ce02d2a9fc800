#include "layout/layouts.h"

#include <QStringList>

#include "core/textrules.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

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

Status applyFields(const QList<Field> &fields, int headLength, const Grid &source, Grid &record,
                   const WorkBudget *budget)
{
    record.setCols(int(fields.size()) + 1);
    if (record.rows() < 2)
        record.setRows(2);
    for (int i = 1; i < source.rows(); ++i) {
        checkWork(budget);
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
