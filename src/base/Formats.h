#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <optional>

namespace kelvaro {

// Number and date texts as the program shows and stores them. The decimal separator is always
// ".", whatever the user's locale. Halves round away from zero.
namespace fmt {

// Picture formats: "0.000", "#0.00", "000", "####0 g", "(####0 ms)", "#,##0.##", "UN=0.000 V", ...
// '0' a digit always shown, '#' a digit shown when significant, '.' the decimal point, ',' thousands
// grouping, anything else literal ("..." and '...' quote literal text).
QString formatFloat(const QString& picture, double value);

// The general real format of the settings file: up to 15 significant digits, fixed notation for
// magnitudes from 0.00001 below 1E15, otherwise scientific ("1.2E-6", "2.5E20").
QString formatGeneral(double value);

// Parses a real with "." as separator and optional exponent; blanks around it are allowed.
std::optional<double> parseReal(const QString& text);

// Parses a 32-bit integer: decimal with optional sign, or hexadecimal with "$" or "0x"/"0X".
std::optional<std::int32_t> parseInteger(const QString& text);

// A byte as two upper-case hexadecimal digits ("0A").
QString hexByte(std::uint8_t byte);

}  // namespace fmt
}  // namespace kelvaro
