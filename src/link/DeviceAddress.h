#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <optional>

namespace kelvaro {

// A Bluetooth device address in the byte order of the dongle's messages (scan response, connect
// direct): least significant byte first.
using DeviceAddress = std::array<std::uint8_t, 6>;

// The text form of an address that the user selects and the settings remember: 12 upper-case
// hexadecimal digits, most significant byte first, no separators.
QString DeviceId(const DeviceAddress& address);

// The address whose DeviceId begins text: its first 12 characters, hexadecimal digits in either
// case (anything after them is not looked at). Nothing for a shorter text or one with another
// character among the twelve.
std::optional<DeviceAddress> parseDeviceId(const QString& text);

}  // namespace kelvaro
