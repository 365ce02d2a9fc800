#pragma once

#include <optional>

#include <QList>
#include <QString>

#include "core/grid.h"
#include "layout/layouts.h"

// What the field editor does to its grid, apart from showing it. Column 0
// holds the row's code (a row without one is not a field), column 1 the field
// name, column 2 a remark that is never saved; the grid keeps a blank last row.
namespace pagrion {

// Header row and three columns: "编码", "字段名称      ", "备注 ".
void writeFieldHeader(Grid &grid);

// Rows 1 to rows - 2 whose code is not blank once trimmed, each with its row
// number as id and its name trimmed of spaces.
QList<Field> fieldsFromGrid(const Grid &grid);

// False when a row with a code (compared untrimmed, so a code of spaces counts)
// has a name that is blank once trimmed or begins with CR.
bool checksave(const Grid &grid);

// Puts a saved field list back: record k into row k + 1, id in column 0 and
// name in column 1, each non-blank value as stored.
void loadFieldsIntoGrid(const QList<Field> &fields, Grid &grid);

// The head length typed for "自动取值", read leniently and rounded; nullopt
// when it is 0 or less (nothing is to change) or does not fit.
std::optional<int> headLengthFromAnswer(const QString &answer);

// Replaces the field rows by one field per non-blank first cell of the preview
// grid's rows 1 to rows - 2: the code is the preview row's number, the name
// the first headLength characters of the trimmed cell after one leading CR.
void takeFieldsFromPreview(const Grid &preview, int headLength, Grid &fields);

// Column 0 of rows 1 to rows - 2 becomes 1, 2, 3 ...
void renumberFields(Grid &grid);

// The Delete key: the only field row of a two-row grid is emptied, any other
// row below the header is removed.
void deleteFieldRow(Grid &grid, int row);

// A character typed on the grid. "." removes the field in (row, col), or the
// whole list when it is the only one; every other character, and "." where
// nothing is to remove, opens the in-cell editor.
enum class FieldKeyResult {
    Handled,
    StartEditor,
};
FieldKeyResult fieldKeyPress(Grid &grid, int row, int col, char16_t code);

// The in-cell editor's starting text: the cell's text for a control character
// or space, the typed character alone otherwise.
QString editorStartText(const QString &cellText, char16_t code);

} // namespace pagrion
