#pragma once

#include <cstdint>

#include "link/BgapiPacket.h"

namespace kelvaro {

class ConsoleLog;
class TickSource;

// Framing states: which byte of a packet the framer waits for.
namespace rxstate {
constexpr std::uint8_t kMessageType = 0;
constexpr std::uint8_t kLength = 1;
constexpr std::uint8_t kClassId = 2;
constexpr std::uint8_t kCommandId = 3;
constexpr std::uint8_t kPayload = 4;
constexpr std::uint8_t kDispatching = 5;  // a complete packet is being dispatched
}  // namespace rxstate

// Cuts the received byte stream into BGAPI packets, one byte at a time, and hands every complete
// packet to the sink before it looks at the next byte. A packet is assembled in place in the one
// receive buffer owned here; the sink reads it there.
//
// BGAPI has no start marker or checksum, so after a lost or surplus byte a framer that takes any
// byte as a message type stays shifted for as long as the belt keeps streaming. This one accepts a
// header only when the dongle could have sent it (see RxFramer.cpp, isPossibleHeader) and otherwise
// drops the header's first byte and re-examines the bytes after it, so it finds the next packet
// boundary within a packet or two. Dropped bytes are counted; the first packet dispatched after
// drops leaves the console line "Resync: N bytes dropped".
class RxFramer {
 public:
  // More than this many milliseconds between two bytes abandon a partial packet.
  static constexpr std::uint32_t kInterByteTimeoutMs = 550;

  RxFramer(TickSource& ticks, ConsoleLog& console, PacketSink& sink);
  RxFramer(const RxFramer&) = delete;
  RxFramer& operator=(const RxFramer&) = delete;

  // Advances the framer by one received byte; dispatches the packet it completes. An exception
  // from the sink propagates after the framer is back at state 0 and has taken the byte.
  void FeedRxByte(std::uint8_t b);

  std::uint8_t rxState() const { return RxState; }
  std::int32_t payloadIndex() const { return payloadIndex_; }
  std::uint32_t lastByteTick() const { return lastByteTick_; }
  // The receive buffer: the packet being assembled or dispatched, over older data.
  const BgapiPacket& packet() const { return packet_; }

  // Bytes discarded because they could not start a packet, since construction.
  std::uint64_t droppedBytes() const { return droppedBytes_; }
  // Partial packets abandoned by the inter-byte time-out, since construction.
  std::uint64_t timeouts() const { return timeouts_; }

 private:
  void takeHeaderByte(std::uint8_t b);
  void dispatch();

  TickSource& ticks_;
  ConsoleLog& console_;
  PacketSink& sink_;

  std::uint8_t RxState = rxstate::kMessageType;
  std::int32_t payloadIndex_ = 0;
  std::uint32_t lastByteTick_ = 0;
  BgapiPacket packet_;

  std::uint64_t droppedBytes_ = 0;
  std::uint64_t droppedSinceDispatch_ = 0;
  std::uint64_t timeouts_ = 0;
};

}  // namespace kelvaro
