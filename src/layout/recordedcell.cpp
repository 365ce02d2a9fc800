#include "layout/recordedcell.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

QString &storedCell()
{
    static QString cell;
    return cell;
}

} // namespace

const QString &recordedCell()
{
    return storedCell();
}

void setRecordedCell(const QString &reference)
{
    storedCell() = reference;
}

QString cellReference(int row, int col)
{
    return QString::number(row) + u',' + QString::number(col);
}

} // namespace pagrion
