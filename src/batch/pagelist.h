#pragma once

#include <optional>

#include <QString>
#include <QStringList>

namespace pagrion {

// The page list holds at most this many addresses.
inline constexpr int MaxPages = 32767;

// The wildcard a parameter run replaces by each number of its range.
inline const QString Wildcard = QStringLiteral("(*)");

// Why a parameter range was refused, in the order the checks run.
enum class RangeProblem { NoValues, EndBeforeStart, OutOfRange, TooManyPages };

struct ParameterRange
{
    qint32 from = 0;
    qint32 to = 0;
};

// The range from..to as the user typed it: both texts must be non-empty; they
// are read leniently, compared, and rounded half to even.
struct RangeCheck
{
    std::optional<RangeProblem> problem;
    ParameterRange range; // valid when there is no problem
};
RangeCheck checkParameterRange(const QString &fromText, const QString &toText);

// The message shown for a refused range.
QString rangeProblemMessage(RangeProblem problem);

// Every address of the pattern for the range, each with the wildcard
// replaced by the number and trimmed of spaces.
QStringList parameterPages(const QString &pattern, const ParameterRange &range);

} // namespace pagrion
