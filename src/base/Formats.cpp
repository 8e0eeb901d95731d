#include "base/Formats.h"
#include "base/FormatText.h"

#include <QLocale>
#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace kelvaro::fmt {
namespace {

// A non-negative value as significant decimal digits: value = 0.d1 d2 ... dn * 10^exponent.
// Fifteen digits are what a double holds reliably; rounding them instead of the binary value
// makes 2.675 round like the 2.675 the user sees.
struct Decimal {
  std::array<char, 24> digits{};
  int count = 0;  // significant digits without trailing zeros; 0 for zero
  int exponent = 0;

  char digitAt(int position) const {
    return position >= 0 && position < count ? digits[static_cast<std::size_t>(position)] : '0';
  }
};

constexpr int kSignificantDigits = 15;

void stripTrailingZeros(Decimal& d) {
  while (d.count > 0 && d.digits[static_cast<std::size_t>(d.count - 1)] == '0') --d.count;
  if (d.count == 0) d.exponent = 0;
}

Decimal toDecimal(double magnitude) {
  Decimal d;
  if (!(magnitude > 0)) return d;
  std::array<char, 40> buffer{};
  auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude,
                              std::chars_format::scientific, kSignificantDigits - 1);
  // The text is "d.dddddddddddddde+XX".
  const char* p = buffer.data();
  d.digits[0] = *p++;
  d.count = 1;
  if (*p == '.') ++p;
  while (p < result.ptr && *p != 'e') d.digits[static_cast<std::size_t>(d.count++)] = *p++;
  ++p;  // 'e'
  if (*p == '+') ++p;
  int exponent = 0;
  std::from_chars(p, result.ptr, exponent);
  d.exponent = exponent + 1;
  stripTrailingZeros(d);
  return d;
}

// Keeps `keep` significant digits, halves away from zero (the value is a magnitude).
void roundTo(Decimal& d, int keep) {
  if (keep >= d.count) return;
  if (keep < 0) {
    d.count = 0;
    d.exponent = 0;
    return;
  }
  const bool up = d.digits[static_cast<std::size_t>(keep)] >= '5';
  d.count = keep;
  if (up) {
    int i = keep - 1;
    while (i >= 0 && d.digits[static_cast<std::size_t>(i)] == '9') --i;
    if (i < 0) {
      d.digits[0] = '1';
      d.count = 1;
      d.exponent += 1;
    } else {
      ++d.digits[static_cast<std::size_t>(i)];
      d.count = i + 1;
    }
  }
  stripTrailingZeros(d);
}

// Fixed notation with exactly `decimals` decimals, roundTo already applied.
void appendFixedDigits(std::string& out, const Decimal& d, int decimals) {
  if (d.exponent <= 0) {
    out += '0';
  } else {
    for (int i = 0; i < d.exponent; ++i) out += d.digitAt(i);
  }
  if (decimals > 0) {
    out += '.';
    for (int j = 0; j < decimals; ++j) out += d.digitAt(d.exponent + j);
  }
}

bool appendNonFinite(std::string& out, double value) {
  if (std::isnan(value)) {
    out += "NAN";
  } else if (std::isinf(value)) {
    out += value < 0 ? "-INF" : "INF";
  } else {
    return false;
  }
  return true;
}

void padLeft(std::string& out, std::size_t start, int width) {
  const std::size_t length = out.size() - start;
  if (width > 0 && length < static_cast<std::size_t>(width)) {
    out.insert(start, static_cast<std::size_t>(width) - length, ' ');
  }
}

using detail::appendNumber;
using detail::isAsciiDigit;
using detail::toQString;

int hexValue(QChar c) {
  const char16_t u = c.unicode();
  if (u >= u'0' && u <= u'9') return u - u'0';
  if (u >= u'a' && u <= u'f') return u - u'a' + 10;
  if (u >= u'A' && u <= u'F') return u - u'A' + 10;
  return -1;
}

// Splits at ';' outside quoted text.
std::vector<QString> splitSections(const QString& picture) {
  std::vector<QString> sections(1);
  QChar quote;
  for (QChar c : picture) {
    if (!quote.isNull()) {
      if (c == quote) quote = QChar();
    } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
      quote = c;
    } else if (c == QLatin1Char(';')) {
      sections.emplace_back();
      continue;
    }
    sections.back() += c;
  }
  return sections;
}

}  // namespace

Picture::Section Picture::compileSection(const QString& text) {
  Section s;
  auto appendLiteral = [&s](const QString& literal) {
    if (literal.isEmpty()) return;
    if (s.tokens.empty() || s.tokens.back().kind != Token::Kind::kLiteral) {
      s.tokens.push_back(Token{Token::Kind::kLiteral, {}, 0});
    }
    s.tokens.back().text += literal.toStdString();
  };
  bool point = false;
  int firstZero = -1;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
      qsizetype end = text.indexOf(c, i + 1);
      if (end < 0) end = text.size();
      appendLiteral(text.mid(i + 1, end - i - 1));
      i = end;
    } else if (c == QLatin1Char('0') || c == QLatin1Char('#')) {
      if (point) {
        s.tokens.push_back(Token{Token::Kind::kFractionDigit, {}, s.decimalPlaces++});
        if (c == QLatin1Char('0')) s.decimalZeros = s.decimalPlaces;
      } else {
        if (c == QLatin1Char('0') && firstZero < 0) firstZero = s.integerPlaces;
        s.tokens.push_back(Token{Token::Kind::kIntegerDigit, {}, s.integerPlaces++});
      }
    } else if (c == QLatin1Char('.')) {
      if (!point) s.tokens.push_back(Token{Token::Kind::kPoint, {}, 0});
      point = true;
    } else if (c == QLatin1Char(',')) {
      s.grouping = true;
    } else if ((c == QLatin1Char('E') || c == QLatin1Char('e')) && !s.scientific &&
               i + 1 < text.size() &&
               (text[i + 1] == QLatin1Char('+') || text[i + 1] == QLatin1Char('-'))) {
      s.scientific = true;
      Token token{Token::Kind::kExponent, {}, 0};
      token.text += static_cast<char>(c.unicode());
      token.text += static_cast<char>(text[i + 1].unicode());
      i += 2;
      while (i < text.size() && text[i] == QLatin1Char('0')) {
        ++token.index;
        ++i;
      }
      --i;
      token.index = std::clamp(token.index, 1, 4);
      s.tokens.push_back(token);
    } else {
      appendLiteral(QString(c));
    }
  }
  s.givenIntegerPlaces = s.integerPlaces;
  s.integerZeros = firstZero < 0 ? 0 : s.integerPlaces - firstZero;
  if (s.integerPlaces == 0 && (point || s.decimalPlaces > 0)) {
    // "#.00" and ".00" differ only in whether a zero integer part shows; integer digits of a
    // larger value need a place in both.
    auto at = std::find_if(s.tokens.begin(), s.tokens.end(), [](const Token& t) {
      return t.kind == Token::Kind::kPoint || t.kind == Token::Kind::kFractionDigit;
    });
    s.tokens.insert(at, Token{Token::Kind::kIntegerDigit, {}, 0});
    s.integerPlaces = 1;
  }
  return s;
}

Picture::Picture(const QString& picture) {
  for (const QString& text : splitSections(picture)) {
    if (sections_.size() == 3) break;
    sections_.push_back(compileSection(text));
  }
}

bool Picture::roundsToZero(const Section& section, double magnitude) {
  Decimal d = toDecimal(magnitude);
  if (section.scientific) return d.count == 0;
  roundTo(d, d.exponent + section.decimalPlaces);
  return d.count == 0;
}

void Picture::appendSection(std::string& out, const Section& section, double magnitude,
                            bool minus) {
  Decimal d = toDecimal(magnitude);
  int exponent10 = 0;
  if (section.scientific) {
    roundTo(d, std::max(1, section.givenIntegerPlaces + section.decimalPlaces));
    if (d.count > 0) {
      exponent10 = d.exponent - section.givenIntegerPlaces;
      d.exponent = section.givenIntegerPlaces;
    }
  } else {
    roundTo(d, d.exponent + section.decimalPlaces);
  }
  if (minus && d.count > 0) out += '-';

  const int significantInteger = d.count > 0 ? std::max(d.exponent, 0) : 0;
  const int shownInteger = std::max(significantInteger, section.integerZeros);
  const int significantFraction = d.count > 0 ? std::max(0, d.count - d.exponent) : 0;
  const int shownFraction = std::max(significantFraction, section.decimalZeros);
  const int offset = section.integerPlaces - shownInteger;

  auto appendIntegerDigit = [&](int p) {
    const int k = p - (shownInteger - significantInteger);
    out += k < 0 ? '0' : d.digitAt(k);
    const int fromRight = shownInteger - 1 - p;
    if (section.grouping && fromRight > 0 && fromRight % 3 == 0) out += ',';
  };

  for (const Token& token : section.tokens) {
    switch (token.kind) {
      case Token::Kind::kLiteral:
        out += token.text;
        break;
      case Token::Kind::kIntegerDigit: {
        const int p = token.index - offset;
        if (token.index == 0 && offset < 0) {
          for (int q = 0; q <= p; ++q) appendIntegerDigit(q);
        } else if (p >= 0) {
          appendIntegerDigit(p);
        }
        break;
      }
      case Token::Kind::kPoint:
        if (shownFraction > 0) out += '.';
        break;
      case Token::Kind::kFractionDigit:
        if (token.index < shownFraction) out += d.digitAt(d.exponent + token.index);
        break;
      case Token::Kind::kExponent:
        out += token.text[0];
        if (exponent10 < 0) {
          out += '-';
        } else if (token.text[1] == '+') {
          out += '+';
        }
        appendNumber(out, std::abs(exponent10), token.index);
        break;
    }
  }
}

void Picture::appendTo(std::string& out, double value) const {
  if (appendNonFinite(out, value)) return;
  if (sections_.empty() || sections_[0].tokens.empty()) {
    out += formatGeneral(value).toStdString();
    return;
  }
  const double magnitude = std::fabs(value);
  const bool negative = value < 0;
  auto usable = [this](std::size_t i) {
    return i < sections_.size() && !sections_[i].tokens.empty();
  };
  if (roundsToZero(sections_[0], magnitude)) {
    appendSection(out, sections_[usable(2) ? 2 : 0], magnitude, false);
  } else if (negative && usable(1)) {
    appendSection(out, sections_[1], magnitude, false);
  } else {
    appendSection(out, sections_[0], magnitude, negative);
  }
}

QString Picture::format(double value) const {
  std::string out;
  appendTo(out, value);
  return toQString(out);
}

QString formatFloat(const QString& picture, double value) { return Picture(picture).format(value); }

QString formatGeneral(double value) {
  std::string out;
  if (appendNonFinite(out, value)) return toQString(out);
  const Decimal d = toDecimal(std::fabs(value));
  if (d.count == 0) return QStringLiteral("0");
  if (value < 0) out += '-';
  if (d.exponent >= -4 && d.exponent <= kSignificantDigits) {
    if (d.exponent <= 0) {
      out += "0.";
      out.append(static_cast<std::size_t>(-d.exponent), '0');
      out.append(d.digits.data(), static_cast<std::size_t>(d.count));
    } else {
      for (int i = 0; i < d.exponent; ++i) out += d.digitAt(i);
      if (d.count > d.exponent) {
        out += '.';
        out.append(d.digits.data() + d.exponent, static_cast<std::size_t>(d.count - d.exponent));
      }
    }
  } else {
    out += d.digits[0];
    if (d.count > 1) {
      out += '.';
      out.append(d.digits.data() + 1, static_cast<std::size_t>(d.count - 1));
    }
    out += 'E';
    appendNumber(out, d.exponent - 1);
  }
  return toQString(out);
}

// Most values lie nowhere near a rounding half: their digits then come from one multiplication,
// which is what a recorded row at the belt's rate needs. Near a half, or for very large values,
// the exact decimal digits decide (false: not written).
static bool appendFixedQuick(std::string& out, double value, int decimals) {
  static constexpr double kScale[] = {1.0, 10.0, 100.0, 1000.0};
  if (decimals < 0 || decimals > 3) return false;
  const double scaled = std::fabs(value) * kScale[decimals];
  // Below 1e12 the product's error stays under 3e-4, well inside the margin around a half.
  if (!(scaled < 1e12)) return false;
  const double whole = std::floor(scaled);
  const double fraction = scaled - whole;
  if (std::fabs(fraction - 0.5) < 1e-3) return false;
  std::uint64_t rounded = static_cast<std::uint64_t>(whole) + (fraction > 0.5 ? 1 : 0);
  if (value < 0 && rounded != 0) out += '-';
  char digits[24];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + rounded % 10);
    rounded /= 10;
  } while (rounded != 0);
  while (n <= decimals) digits[n++] = '0';
  for (int i = n - 1; i >= 0; --i) {
    out += digits[i];
    if (i == decimals && decimals > 0) out += '.';
  }
  return true;
}

void appendFixed(std::string& out, double value, int width, int decimals) {
  const std::size_t start = out.size();
  if (appendFixedQuick(out, value, decimals)) {
    padLeft(out, start, width);
    return;
  }
  if (!appendNonFinite(out, value)) {
    decimals = std::max(decimals, 0);
    Decimal d = toDecimal(std::fabs(value));
    roundTo(d, d.exponent + decimals);
    if (value < 0 && d.count > 0) out += '-';
    appendFixedDigits(out, d, decimals);
  }
  padLeft(out, start, width);
}

QString formatFixed(double value, int width, int decimals) {
  std::string out;
  appendFixed(out, value, width, decimals);
  return toQString(out);
}

void appendInt(std::string& out, std::int64_t value, int width) {
  const std::size_t start = out.size();
  appendNumber(out, value);
  padLeft(out, start, width);
}

QString formatInt(std::int64_t value, int width) {
  std::string out;
  appendInt(out, value, width);
  return toQString(out);
}

std::optional<double> parseReal(const QString& text) {
  const QString trimmed = text.trimmed();
  std::string s;
  s.reserve(static_cast<std::size_t>(trimmed.size()));
  for (QChar c : trimmed) {
    if (c.unicode() > 127) return std::nullopt;
    s += static_cast<char>(c.unicode());
  }
  // Checked by hand because from_chars also takes "inf", "nan" and hexadecimal forms.
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  // from_chars does not take a leading '+'.
  const std::size_t numberStart = !s.empty() && s[0] == '+' ? 1 : 0;
  std::size_t mantissaDigits = 0;
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++mantissaDigits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++mantissaDigits;
  }
  if (mantissaDigits == 0) return std::nullopt;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t exponentDigits = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++exponentDigits;
    if (exponentDigits == 0) return std::nullopt;
  }
  if (i != s.size()) return std::nullopt;
  double value = 0;
  const char* first = s.data() + numberStart;
  const char* last = s.data() + s.size();
  auto result = std::from_chars(first, last, value);
  if (result.ec != std::errc() || result.ptr != last) return std::nullopt;
  return value;
}

std::optional<std::int32_t> parseInteger(const QString& text) {
  const QString s = text.trimmed();
  qsizetype i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-'))) {
    negative = s[i] == QLatin1Char('-');
    ++i;
  }
  bool hex = false;
  if (i < s.size() && s[i] == QLatin1Char('$')) {
    hex = true;
    i += 1;
  } else if (i + 1 < s.size() && s[i] == QLatin1Char('0') &&
             (s[i + 1] == QLatin1Char('x') || s[i + 1] == QLatin1Char('X'))) {
    hex = true;
    i += 2;
  }
  if (i >= s.size()) return std::nullopt;
  std::int64_t magnitude = 0;
  const std::int64_t limit = hex ? 0xFFFFFFFFLL : 0x80000000LL;
  for (; i < s.size(); ++i) {
    const int digit = hex ? hexValue(s[i]) : (isAsciiDigit(s[i]) ? s[i].unicode() - u'0' : -1);
    if (digit < 0) return std::nullopt;
    magnitude = magnitude * (hex ? 16 : 10) + digit;
    if (magnitude > limit) return std::nullopt;
  }
  std::int64_t value = magnitude;
  if (hex) value = static_cast<std::int32_t>(static_cast<std::uint32_t>(magnitude));
  if (negative) value = -value;
  if (value < std::numeric_limits<std::int32_t>::min() ||
      value > std::numeric_limits<std::int32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(value);
}

void appendHexByte(std::string& out, std::uint8_t byte) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  out += kDigits[byte >> 4];
  out += kDigits[byte & 0x0F];
}

QString hexByte(std::uint8_t byte) {
  std::string out;
  appendHexByte(out, byte);
  return toQString(out);
}

}  // namespace kelvaro::fmt
