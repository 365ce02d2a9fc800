#include "core/textrules.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace pagrion {

QString trimSpaces(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == u' ')
        ++begin;
    while (end > begin && text.at(end - 1) == u' ')
        --end;
    return text.mid(begin, end - begin);
}

bool sameName(const QString &a, const QString &b)
{
    return a.toUpper() == b.toUpper();
}

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n';
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

} // namespace

double readNumber(const QString &text)
{
    // Collect the number's characters in the C locale's form, skipping blanks,
    // and let strtod convert what was collected.
    QByteArray number;
    enum class Stage { Sign, Mantissa, ExponentSign, Exponent } stage = Stage::Sign;
    bool seenPoint = false;
    bool mantissaDigits = false;
    qsizetype exponentMark = -1; // where in `number` the exponent began

    for (const QChar c : text) {
        if (isBlank(c))
            continue;
        if (stage == Stage::Sign) {
            stage = Stage::Mantissa;
            if (c == u'+' || c == u'-') {
                number += char(c.unicode());
                continue;
            }
        }
        if (stage == Stage::Mantissa) {
            if (isDigit(c)) {
                number += char(c.unicode());
                mantissaDigits = true;
            } else if (c == u'.' && !seenPoint) {
                number += '.';
                seenPoint = true;
            } else if ((c == u'e' || c == u'E' || c == u'd' || c == u'D') && mantissaDigits) {
                exponentMark = number.size();
                number += 'e';
                stage = Stage::ExponentSign;
            } else {
                break;
            }
            continue;
        }
        if (stage == Stage::ExponentSign) {
            stage = Stage::Exponent;
            if (c == u'+' || c == u'-') {
                number += char(c.unicode());
                continue;
            }
        }
        if (isDigit(c))
            number += char(c.unicode());
        else
            break;
    }

    // An exponent mark without digits after it does not belong to the number.
    if (exponentMark >= 0) {
        const QByteArray exponent = number.mid(exponentMark + 1);
        if (exponent.isEmpty() || exponent == "+" || exponent == "-")
            number.truncate(exponentMark);
    }
    if (!mantissaDigits)
        return 0.0;

    // from_chars is locale-independent but takes no '+' sign.
    const bool negative = number.startsWith('-');
    if (number.startsWith('+') || negative)
        number.remove(0, 1);
    double value = 0.0;
    const auto [end, error] = std::from_chars(number.constData(), number.constData() + number.size(), value);
    Q_UNUSED(end);
    if (error == std::errc::result_out_of_range)
        value = std::numeric_limits<double>::infinity(); // refused later by the rounding
    return negative ? -value : value;
}

namespace {

template <typename Int>
std::optional<Int> roundHalfEven(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    // nearbyint rounds half to even in the default floating-point mode.
    const double rounded = std::nearbyint(value);
    if (rounded < double(std::numeric_limits<Int>::min()) || rounded > double(std::numeric_limits<Int>::max()))
        return std::nullopt;
    return Int(rounded);
}

} // namespace

std::optional<qint16> roundToInt16(double value)
{
    return roundHalfEven<qint16>(value);
}

std::optional<qint32> roundToInt32(double value)
{
    return roundHalfEven<qint32>(value);
}

} // namespace pagrion
