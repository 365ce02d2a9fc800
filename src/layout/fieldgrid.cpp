#include "layout/fieldgrid.h"

#include <QStringList>

#include "core/textrules.h"
#include "layout/layoutgrid.h"

using namespace Qt::StringLiterals;

namespace pagrion {

void writeFieldHeader(Grid &grid)
{
    const QStringList captions = u"编码|字段名称      |备注 "_s.split(u'|');
    if (grid.rows() < 1)
        grid.setRows(1);
    grid.setCols(int(captions.size()));
    for (int c = 0; c < captions.size(); ++c)
        grid.setText(0, c, captions.at(c));
}

QList<Field> fieldsFromGrid(const Grid &grid)
{
    QList<Field> fields;
    if (grid.cols() < 2)
        return fields;
    for (int r = 1; r <= grid.rows() - 2; ++r) {
        if (trimSpaces(grid.text(r, 0)).isEmpty())
            continue;
        fields.append({QString::number(r), trimSpaces(grid.text(r, 1))});
    }
    return fields;
}

bool checksave(const Grid &grid)
{
    if (grid.cols() < 2)
        return true;
    for (int r = 1; r <= grid.rows() - 2; ++r) {
        if (grid.text(r, 0).isEmpty())
            continue;
        const QString name = trimSpaces(grid.text(r, 1));
        if (name.isEmpty() || name.startsWith(u'\r'))
            return false;
    }
    return true;
}

void loadFieldsIntoGrid(const QList<Field> &fields, Grid &grid)
{
    int k = 0;
    for (const Field &field : fields) {
        const QString values[] = {field.id, field.filedname};
        for (int c = 0; c < 2; ++c) {
            if (trimSpaces(values[c]).isEmpty())
                continue;
            if (grid.cols() < c + 1)
                grid.setCols(c + 1);
            if (grid.rows() < k + 2)
                grid.setRows(k + 2);
            grid.setText(k + 1, c, values[c]);
        }
        ++k;
        keepBlankLastRow(grid);
    }
}

std::optional<int> headLengthFromAnswer(const QString &answer)
{
    const std::optional<qint32> n = roundToInt32(readNumber(answer));
    if (!n || *n <= 0)
        return std::nullopt;
    return *n;
}

void takeFieldsFromPreview(const Grid &preview, int headLength, Grid &fields)
{
    clearGridRows(fields);
    if (fields.cols() < 2)
        fields.setCols(2);
    for (int k = 1; k <= preview.rows() - 2 && preview.cols() > 0; ++k) {
        QString text = trimSpaces(preview.text(k, 0));
        // Rows after the first begin with CR LF; only the CR goes, so the LF stays in the name.
        if (text.startsWith(u'\r'))
            text.remove(0, 1);
        if (text.isEmpty())
            continue;
        const int last = fields.rows() - 1;
        fields.setText(last, 0, QString::number(k));
        fields.setText(last, 1, text.left(headLength));
        fields.setRows(fields.rows() + 1);
    }
    keepBlankLastRow(fields);
}

void renumberFields(Grid &grid)
{
    if (grid.cols() < 1)
        return;
    for (int r = 1; r <= grid.rows() - 2; ++r)
        grid.setText(r, 0, QString::number(r));
}

void deleteFieldRow(Grid &grid, int row)
{
    if (row < 1 || row >= grid.rows())
        return;
    if (row == 1 && grid.rows() == 2) {
        clearGridRows(grid);
        return;
    }
    removeGridRow(grid, row);
    keepBlankLastRow(grid);
}

FieldKeyResult fieldKeyPress(Grid &grid, int row, int col, char16_t code)
{
    if (code == u'.' && grid.contains(row, col) && row >= 1) {
        if (!grid.text(row, col).isEmpty() && grid.rows() == 3) {
            clearGridRows(grid);
            return FieldKeyResult::Handled;
        }
        if (grid.rows() > 3 && row != grid.rows() - 1) {
            removeGridRow(grid, row);
            return FieldKeyResult::Handled;
        }
    }
    return FieldKeyResult::StartEditor;
}

QString editorStartText(const QString &cellText, char16_t code)
{
    if (code <= 32)
        return cellText;
    return QString(QChar(code));
}

} // namespace pagrion
