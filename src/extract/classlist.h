#pragma once

#include <QString>
#include <QStringList>

#include "core/result.h"

namespace pagrion {

// The value that selects table mode; any other class value is a tag name.
inline const QString TableClass = QStringLiteral("table");

// The texts of the class list, in stored order.
Result<QStringList> loadClassTexts();

// The value stored for a class text, trimmed of spaces with its case kept;
// empty when no class has that text. The first stored match decides.
Result<QString> classValueOf(const QString &classText);

} // namespace pagrion
