#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kelvaro {

// BGAPI message layout: a 4-byte header, then the payload (multi-byte numbers little-endian).
namespace bgapi {
constexpr std::size_t kHeaderSize = 4;
constexpr std::size_t kPayloadCapacity = 1025;  // only 255 are ever used: the length is one byte
constexpr std::uint8_t kEventBit = 0x80;

constexpr std::uint8_t kClassSystem = 0;
constexpr std::uint8_t kClassConnection = 3;
constexpr std::uint8_t kClassAttributeClient = 4;
constexpr std::uint8_t kClassGap = 6;
}  // namespace bgapi

// The receive buffer: one packet assembled in place over the previous one. Bytes past the
// current packet's length still hold older data; readers must look at length() first.
struct BgapiPacket {
  std::uint8_t messageType = 0;
  std::uint8_t length = 0;
  std::uint8_t classId = 0;
  std::uint8_t commandId = 0;
  std::array<std::uint8_t, bgapi::kPayloadCapacity> payload{};

  bool isEvent() const { return (messageType & bgapi::kEventBit) != 0; }
};

// Whoever receives complete packets from the framer (the dispatcher).
class PacketSink {
 public:
  virtual ~PacketSink() = default;
  virtual void dispatchPacket(const BgapiPacket& packet) = 0;
};

}  // namespace kelvaro
