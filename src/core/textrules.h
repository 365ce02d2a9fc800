#pragma once

#include <optional>

#include <QtGlobal>
#include <QString>

// The text rules every part of the program shares. Lengths and positions are
// UTF-16 code units throughout, which is what QString counts.
namespace pagrion {

// Removes leading and trailing U+0020 only: tabs, line breaks and the
// ideographic space survive, so a cell's line structure is never lost.
QString trimSpaces(const QString &text);

// Names (tables, rows, classes, settings) compare case-insensitively by
// upper-casing both sides.
bool sameName(const QString &a, const QString &b);

// Reads a number the way users type it into a box: blanks anywhere in the
// number are ignored (" 1 2" is 12), an optional sign, digits with at most one
// decimal point, an optional exponent (E or D); reading stops at the first
// character that cannot continue the number, and text without a number is 0.
double readNumber(const QString &text);

// Rounds half to even into a signed integer; nullopt when the rounded value
// does not fit (the caller turns that into its own failure path).
std::optional<qint16> roundToInt16(double value);
std::optional<qint32> roundToInt32(double value);

} // namespace pagrion
