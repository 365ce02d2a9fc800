#pragma once

#include <QString>

namespace pagrion {

class Document;
class Progress;
class WorkBudget;

// Row text of every element with this tag name that the row filter keeps: one
// row per element (named TableName1-<index>), its trimmed text as it stands,
// so a "|" inside the text splits the row into cells. Reports one progress
// step per element, filtered or not.
QString elementListText(const Document &document, const QString &tagName, const QString &rowFilter,
                        Progress *progress = nullptr, const WorkBudget *budget = nullptr);

} // namespace pagrion
