#pragma once

// The belt's notifications as the dongle delivers them, for the tests and the benchmarks. Written
// from the wire format, byte by byte, not from the program's constants, so that a wrong constant
// in the program shows up as a failing test.

#include <QByteArray>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kelvaro::testing {

// The belt's 16-byte sensor value, little-endian fields.
using SensorValue = std::array<std::uint8_t, 16>;

// The fields of one sensor value, raw as the belt sends them. The defaults are a belt at rest:
// forces 1000 and 500, accelerations 16, -16 and 256, the battery at 3.962 V.
struct RawValues {
  std::uint8_t status = 0x00;
  std::uint8_t sequence = 0x00;
  std::uint8_t tag = 0x7F;
  std::uint8_t selector = 1;  // what aux is: 1 battery (mV), 2 temperature (centidegrees)
  std::uint16_t force1 = 1000;
  std::uint16_t force2 = 500;
  std::int16_t ax = 16;
  std::int16_t ay = -16;
  std::int16_t az = 256;
  std::uint16_t aux = 3962;
};

inline SensorValue sensorValue(const RawValues& r) {
  SensorValue v{};
  const auto put16 = [&v](std::size_t at, std::uint16_t x) {
    v[at] = static_cast<std::uint8_t>(x & 0xFF);
    v[at + 1] = static_cast<std::uint8_t>(x >> 8);
  };
  v[0] = r.status;
  v[1] = r.sequence;
  v[2] = r.tag;
  v[3] = r.selector;
  put16(4, r.force1);
  put16(6, r.force2);
  put16(8, static_cast<std::uint16_t>(r.ax));
  put16(10, static_cast<std::uint16_t>(r.ay));
  put16(12, static_cast<std::uint16_t>(r.az));
  put16(14, r.aux);
  return v;
}

// The belt's notified attribute, the one the simulated belt streams.
constexpr std::uint16_t kBeltValueHandle = 0x0019;

// The payload of an attribute-value event (class 4, id 5): connection handle, attribute handle,
// value type 1 (notify), the value's length and its bytes.
inline std::vector<std::uint8_t> attributeValuePayload(const std::uint8_t* value, std::size_t size,
                                                       std::uint8_t connection = 0,
                                                       std::uint16_t attribute = kBeltValueHandle) {
  std::vector<std::uint8_t> payload{connection, static_cast<std::uint8_t>(attribute & 0xFF),
                                    static_cast<std::uint8_t>(attribute >> 8), 0x01,
                                    static_cast<std::uint8_t>(size)};
  payload.insert(payload.end(), value, value + size);
  return payload;
}

// The whole attribute-value event: the header (event, length, class 4, id 5), then the payload.
inline std::vector<std::uint8_t> notificationPacket(const std::uint8_t* value, std::size_t size,
                                                    std::uint8_t connection = 0,
                                                    std::uint16_t attribute = kBeltValueHandle) {
  const std::vector<std::uint8_t> payload =
      attributeValuePayload(value, size, connection, attribute);
  std::vector<std::uint8_t> packet{0x80, static_cast<std::uint8_t>(payload.size()), 0x04, 0x05};
  packet.insert(packet.end(), payload.begin(), payload.end());
  return packet;
}

inline std::vector<std::uint8_t> notificationPacket(const SensorValue& value,
                                                    std::uint8_t connection = 0,
                                                    std::uint16_t attribute = kBeltValueHandle) {
  return notificationPacket(value.data(), value.size(), connection, attribute);
}

inline std::vector<std::uint8_t> notificationPacket(const RawValues& raw,
                                                    std::uint8_t connection = 0) {
  return notificationPacket(sensorValue(raw), connection);
}

// The same as bytes for a serial port, with a value of any length (a short one included).
inline QByteArray notificationBytes(const QByteArray& value, std::uint8_t connection = 0,
                                    std::uint16_t attribute = kBeltValueHandle) {
  const std::vector<std::uint8_t> packet =
      notificationPacket(reinterpret_cast<const std::uint8_t*>(value.constData()),
                         static_cast<std::size_t>(value.size()), connection, attribute);
  return QByteArray(reinterpret_cast<const char*>(packet.data()),
                    static_cast<qsizetype>(packet.size()));
}

inline QByteArray notificationBytes(const RawValues& raw, std::uint8_t connection = 0) {
  const SensorValue v = sensorValue(raw);
  return notificationBytes(QByteArray(reinterpret_cast<const char*>(v.data()), 16), connection);
}

}  // namespace kelvaro::testing
