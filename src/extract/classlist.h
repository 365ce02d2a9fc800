#pragma once

#include <optional>

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

// One entry of the class list.
struct AnalysisClass
{
    QString text;
    QString value; // trimmed of spaces, its case kept
};

// The class with this text, else the first whose value is this, letter case
// ignored ("段落" or "p"); nullopt when there is neither.
Result<std::optional<AnalysisClass>> findClass(const QString &textOrValue);

} // namespace pagrion
