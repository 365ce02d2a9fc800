#pragma once

#include <QString>

// The recorded cell: the reference ("row,col") of the preview cell the user
// double-clicked last. One value for the whole program, shared by the preview
// window and both editors; it starts empty and is never cleared.
namespace pagrion {

const QString &recordedCell();
void setRecordedCell(const QString &reference);

// The reference of a cell as the layouts store it: "4,1", no spaces or signs.
QString cellReference(int row, int col);

} // namespace pagrion
