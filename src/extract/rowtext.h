#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Row text is how extraction hands its result to everything after it: cells
// joined by "|", each row ended by "<rows>" and CR LF.
namespace pagrion {

inline const QString RowMarker = QStringLiteral("<rows>");
inline const QString CellSeparator = QStringLiteral("|");
inline const QString RowEnd = QStringLiteral("<rows>\r\n");

// Splits row text at every "<rows>" and each piece at every "|", trimming
// nothing. An empty piece has no cells. A text without any "<rows>" holds no
// rows at all, so the result is empty. The cells are views into the text,
// which must outlive them: a page's text is copied only into the cells kept.
QList<QList<QStringView>> readRowText(QStringView text);

// "TableName" and the index: the element name of a table or element list.
QString elementName(int index);
// Element name, "-" and the row index.
QString rowName(const QString &element, int row);

// A "|"-separated list of element or row names as the user types it. An item
// matches a name when, trimmed of spaces, it equals the name in upper case.
class NameList final
{
public:
    explicit NameList(const QString &list);
    bool contains(const QString &name) const;
    bool isEmpty() const { return m_items.isEmpty(); }

private:
    QStringList m_items; // trimmed and upper-cased
};

// True when the table-name list names this element.
bool GetTableName(const QString &TableStr, const NameList &tableNames);
// False when the row filter list names this row (the row is left out).
bool GetTableRows(const QString &TableRowStr, const NameList &rowFilter);

} // namespace pagrion
