#include "link/DeviceAddress.h"

#include "base/Formats.h"

namespace kelvaro {

namespace {

constexpr qsizetype kDeviceIdDigits = 12;

std::optional<std::uint8_t> hexDigit(QChar c) {
  const char16_t u = c.unicode();
  if (u >= u'0' && u <= u'9') return static_cast<std::uint8_t>(u - u'0');
  if (u >= u'A' && u <= u'F') return static_cast<std::uint8_t>(u - u'A' + 10);
  if (u >= u'a' && u <= u'f') return static_cast<std::uint8_t>(u - u'a' + 10);
  return std::nullopt;
}

}  // namespace

QString DeviceId(const DeviceAddress& address) {
  QString text;
  text.reserve(2 * static_cast<int>(address.size()));
  for (auto it = address.rbegin(); it != address.rend(); ++it) text += fmt::hexByte(*it);
  return text;
}

std::optional<DeviceAddress> parseDeviceId(const QString& text) {
  if (text.size() < kDeviceIdDigits) return std::nullopt;
  DeviceAddress address{};
  for (std::size_t i = 0; i < address.size(); ++i) {
    const auto high = hexDigit(text[static_cast<qsizetype>(2 * i)]);
    const auto low = hexDigit(text[static_cast<qsizetype>(2 * i + 1)]);
    if (!high || !low) return std::nullopt;
    address[address.size() - 1 - i] = static_cast<std::uint8_t>(*high << 4 | *low);
  }
  return address;
}

}  // namespace kelvaro
