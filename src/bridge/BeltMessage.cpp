#include "bridge/BeltMessage.h"

#include <charconv>
#include <cmath>

namespace kelvaro {

namespace {

bool isHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

}  // namespace

BeltLabel::BeltLabel(int belt, std::u16string_view name) {
  put(",\"belt\":");
  char digits[16];
  const auto result = std::to_chars(digits, digits + sizeof digits, belt);
  put(std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
  put(",\"name\":\"");
  std::size_t units = name.size() < kMaxNameUnits ? name.size() : kMaxNameUnits;
  // The cut leaves no half of a character outside the printable ASCII behind.
  if (units < name.size() && units > 0 && isHighSurrogate(name[units - 1])) --units;
  static constexpr char kHex[] = "0123456789abcdef";
  for (std::size_t i = 0; i < units; ++i) {
    const char16_t c = name[i];
    if (c == u'"') {
      put("\\\"");
    } else if (c == u'\\') {
      put("\\\\");
    } else if (c >= 0x20 && c < 0x7F) {
      const char ascii = static_cast<char>(c);
      put(std::string_view(&ascii, 1));
    } else {
      const char escape[6] = {
          '\\',         'u', kHex[(c >> 12) & 0xF], kHex[(c >> 8) & 0xF], kHex[(c >> 4) & 0xF],
          kHex[c & 0xF]};
      put(std::string_view(escape, sizeof escape));
    }
  }
  put("\"");
}

void BeltLabel::put(std::string_view s) {
  const std::size_t room = kCapacity - size_;
  const std::size_t n = s.size() < room ? s.size() : room;
  for (std::size_t i = 0; i < n; ++i) text_[size_ + i] = s[i];
  size_ += n;
}

void BeltMessage::put(std::string_view s) {
  const std::size_t room = kCapacity - size_;
  const std::size_t n = s.size() < room ? s.size() : room;
  for (std::size_t i = 0; i < n; ++i) text_[size_ + i] = s[i];
  size_ += n;
}

void BeltMessage::putInteger(long long value) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  put(std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
}

void BeltMessage::putFixed(double value, int decimals) {
  // Beyond any force a 16-bit reading can give; keeps the text short and the number finite.
  constexpr double kLimit = 1e12;
  if (!std::isfinite(value) || std::fabs(value) > kLimit) value = 0.0;
  char digits[40];
  const auto result =
      std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, decimals);
  std::string_view text(digits, static_cast<std::size_t>(result.ptr - digits));
  // "-0.0" is a number to JSON, but a reporter showing it is odd.
  if (text.size() > 1 && text.front() == '-' && text.find_first_not_of("-0.") == text.npos) {
    text.remove_prefix(1);
  }
  put(text);
}

void BeltMessage::build(const BeltReading& r) {
  size_ = 0;
  put("{\"n\":");
  putInteger(static_cast<long long>(r.sequence));
  put(",\"force\":");
  putFixed(r.force1, 1);
  put(",\"force2\":");
  putFixed(r.force2, 1);
  put(",\"GX\":");
  putInteger(r.accelX);
  put(",\"GY\":");
  putInteger(r.accelY);
  put(",\"GZ\":");
  putInteger(r.accelZ);
  put(",\"breathsPerMinute\":");
  if (r.breathsPerMinute) {
    putFixed(*r.breathsPerMinute, 1);
  } else {
    put("null");
  }
  put(",\"phase\":");
  switch (r.phase) {
    case BreathPhase::In:
      put("\"in\"");
      break;
    case BreathPhase::Out:
      put("\"out\"");
      break;
    case BreathPhase::Unknown:
      put("null");
      break;
  }
  put(r.apnea ? ",\"apnea\":true" : ",\"apnea\":false");
  put(",\"activity\":");
  putFixed(r.activity, 2);
  put(r.connected ? ",\"connected\":true}" : ",\"connected\":false}");
}

void BeltMessage::build(const BeltReading& reading, const BeltLabel& belt) {
  build(reading);
  if (belt.isEmpty()) return;
  // The label goes inside the object, before its closing brace.
  --size_;
  put(belt.json());
  put("}");
}

}  // namespace kelvaro
