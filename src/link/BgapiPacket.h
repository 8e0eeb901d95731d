#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "link/BgapiProtocol.h"

namespace kelvaro {

namespace bgapi {
// The receive buffer's payload. The framer takes only the message types without high length bits
// (kResponse, kEvent; see RxFramer.cpp), so a header it accepts announces at most the length
// byte's 255.
constexpr std::size_t kPayloadCapacity = 255;
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
