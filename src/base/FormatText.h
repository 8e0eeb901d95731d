#pragma once

// Small text helpers shared by the number and the date formats; not for use outside them.
#include <QChar>
#include <QString>
#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <string>

namespace kelvaro::fmt::detail {

inline void appendNumber(std::string& out, std::int64_t value, int minDigits = 1) {
  std::array<char, 24> buffer{};
  auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  const char* digits = buffer.data();
  if (value < 0) {
    out += '-';
    ++digits;
  }
  const auto length = static_cast<std::size_t>(result.ptr - digits);
  if (length < static_cast<std::size_t>(std::max(minDigits, 0))) {
    out.append(static_cast<std::size_t>(minDigits) - length, '0');
  }
  out.append(digits, length);
}

inline QString toQString(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline bool isAsciiDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

}  // namespace kelvaro::fmt::detail
