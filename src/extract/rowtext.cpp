#include "extract/rowtext.h"

#include "core/textrules.h"

namespace pagrion {

QList<QList<QStringView>> readRowText(QStringView text)
{
    const QList<QStringView> pieces = text.split(RowMarker);
    QList<QList<QStringView>> rows;
    if (pieces.size() < 2)
        return rows;
    rows.reserve(pieces.size());
    for (const QStringView piece : pieces)
        rows.append(piece.isEmpty() ? QList<QStringView>() : piece.split(CellSeparator));
    return rows;
}

QString elementName(int index)
{
    return QStringLiteral("TableName") + QString::number(index);
}

QString rowName(const QString &element, int row)
{
    return element + u'-' + QString::number(row);
}

NameList::NameList(const QString &list)
{
    if (list.isEmpty())
        return;
    const QStringList items = list.split(CellSeparator);
    m_items.reserve(items.size());
    for (const QString &item : items)
        m_items.append(trimSpaces(item).toUpper());
}

bool NameList::contains(const QString &name) const
{
    return m_items.contains(name.toUpper());
}

bool GetTableName(const QString &TableStr, const NameList &tableNames)
{
    return tableNames.contains(TableStr);
}

bool GetTableRows(const QString &TableRowStr, const NameList &rowFilter)
{
    return !rowFilter.contains(TableRowStr);
}

} // namespace pagrion
